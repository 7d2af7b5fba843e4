// Time stamp, head and escaping of the log line.
#include "core/Log.h"

#include <QTime>

QString getCurrectTime()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

namespace app {
QString logHead(const char *functionName)
{
    return QStringLiteral("[%1] FUNC: %2").arg(getCurrectTime(), QString::fromLatin1(functionName));
}

QString escapeLogText(const QString &text)
{
    const auto needsEscape = [](ushort c) {
        // C0 controls, DEL, C1 controls, and the Unicode line and paragraph separators.
        return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
    };
    bool clean = true;
    for (const QChar c : text) {
        if (needsEscape(c.unicode())) {
            clean = false;
            break;
        }
    }
    if (clean)
        return text;

    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (!needsEscape(u)) {
            out.append(c);
            continue;
        }
        switch (u) {
        case '\n':
            out.append(QLatin1String("\\n"));
            break;
        case '\r':
            out.append(QLatin1String("\\r"));
            break;
        case '\t':
            out.append(QLatin1String("\\t"));
            break;
        default:
            out.append(u > 0xff ? QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'))
                                : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0')));
            break;
        }
    }
    return out;
}
} // namespace app
