// Control and bidirectional formatting characters taken out of text from a server.
#include "core/DisplayText.h"

#include "core/Log.h"

namespace app {

namespace {

bool breaksLine(ushort c)
{
    return c == '\n' || c == '\r' || c == '\t' || c == 0x0b || c == 0x0c || c == 0x85 || c == 0x2028 ||
           c == 0x2029;
}

bool isHidden(ushort c)
{
    return isControlCharacter(c) || c == 0x061c || isBidiFormatting(c);
}

} // namespace

QString displayText(const QString &text)
{
    bool clean = true;
    for (const QChar c : text) {
        if (breaksLine(c.unicode()) || isHidden(c.unicode())) {
            clean = false;
            break;
        }
    }
    if (clean)
        return text;
    QString out;
    out.reserve(text.size());
    bool blank = false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (breaksLine(u)) {
            // A run of breaks ("\r\n") is one gap between words.
            if (!blank)
                out.append(QLatin1Char(' '));
            blank = true;
            continue;
        }
        if (isHidden(u))
            continue;
        out.append(c);
        blank = false;
    }
    return out;
}

} // namespace app
