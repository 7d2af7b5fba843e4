// Text from a server as the interface shows it.
#pragma once

#include <QString>

namespace app {

// C0 controls, DEL and C1 controls: never meant to be seen.
constexpr bool isControlCharacter(ushort c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

// The marks, embeddings, overrides and isolates that reorder bidirectional text around them.
constexpr bool isBidiFormatting(ushort c)
{
    return c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

// The text without what could make one line look like another: line and paragraph breaks and
// tabs become one blank each, every other control character goes, and so do the marks,
// embeddings, overrides and isolates that reorder bidirectional text. The interface shows the
// result as plain text, never as markup.
QString displayText(const QString &text);

} // namespace app
