// Time stamp, head and escaping of the log line.
#include "core/Log.h"

#include <QRegularExpression>
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

QString maskToken(const QString &token)
{
    return token.isEmpty() ? token : QStringLiteral("***");
}

QString maskPhone(const QString &phone)
{
    const int hidden = phone.size() - 7;
    if (phone.isEmpty())
        return phone;
    if (hidden < 1)
        return QStringLiteral("***");
    return phone.left(3) + QString(hidden, QLatin1Char('*')) + phone.right(4);
}

QString maskSecrets(const QString &text)
{
    // A JSON member with a string or number value, or a query item after "?" or "&".
    static const QRegularExpression kItem(
        QStringLiteral(R"re("(\w+)"\s*:\s*(?:"((?:[^"\\]|\\.)*)"|(-?\d+))|(?<=[?&])(\w+)=([^&#\s"]*))re"));
    static const QRegularExpression kPhoneNames(QStringLiteral("^(account|accountid|phone|mobile)$"),
                                                QRegularExpression::CaseInsensitiveOption);
    QString out;
    int copied = 0;
    QRegularExpressionMatchIterator it = kItem.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool query = m.capturedStart(4) >= 0;
        const QString name = m.captured(query ? 4 : 1);
        const int valueGroup = query ? 5 : (m.capturedStart(2) >= 0 ? 2 : 3);
        const QString value = m.captured(valueGroup);
        QString masked;
        if (name.contains(QLatin1String("token"), Qt::CaseInsensitive))
            masked = maskToken(value);
        else if (kPhoneNames.match(name).hasMatch())
            masked = maskPhone(value);
        else if (valueGroup == 2 && value.contains(QLatin1Char('=')))
            masked = maskSecrets(value); // an address with its own query inside a JSON string
        else
            continue;
        if (masked == value)
            continue;
        out += text.midRef(copied, m.capturedStart(valueGroup) - copied);
        // A number masked in JSON becomes a string, so the body stays well formed.
        const bool quote = valueGroup == 3;
        out += quote ? QLatin1Char('"') + masked + QLatin1Char('"') : masked;
        copied = m.capturedEnd(valueGroup);
    }
    if (copied == 0)
        return text;
    out += text.midRef(copied);
    return out;
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
