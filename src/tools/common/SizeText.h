// The byte-size texts the tools show: the short one of the task lists ("1023B", "1.5K", "150K",
// "5.0M"), the two-decimal one of the compress list ("716.80MB") and the one of the long-image
// limit message ("12.5 MB").
#pragma once

#include <QString>

namespace tools {

// Bytes up to 1023 as "<n>B" (0 or less reads "0B"); above, K, M or G (no larger unit), with one
// decimal below 100 and none from 100 on.
QString shortFileSizeText(qint64 bytes);

// KB, MB or GB (no smaller or larger unit) with two decimals and no space; 0 or less reads
// "0.00KB".
QString twoDecimalFileSizeText(qint64 bytes);

// Megabytes with one decimal below 1024 MB ("12.5 MB"), gigabytes with two from there on
// ("1.50 GB").
QString megabyteSizeText(qint64 bytes);

} // namespace tools
