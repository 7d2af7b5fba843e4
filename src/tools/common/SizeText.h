// The short size text the task lists show beside a source ("1023B", "1.5K", "150K", "5.0M").
#pragma once

#include <QString>

namespace tools {

// Bytes up to 1023 as "<n>B" (0 or less reads "0B"); above, K, M or G (no larger unit), with one
// decimal below 100 and none from 100 on.
QString shortFileSizeText(qint64 bytes);

} // namespace tools
