// Text from a server as the interface shows it.
#pragma once

#include <QString>

namespace app {

// The text without what could make one line look like another: line and paragraph breaks and
// tabs become one blank each, every other control character goes, and so do the marks,
// embeddings, overrides and isolates that reorder bidirectional text. The interface shows the
// result as plain text, never as markup.
QString displayText(const QString &text);

} // namespace app
