// Parsing, escape decoding, lookup and argument substitution of the message catalog.
#include "i18n/I18nCatalog.h"

#include "core/Log.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace {

bool isSeparator(QChar c)
{
    return c.isSpace() || c == QLatin1Char(':') || c == QLatin1Char('=');
}

int hexDigitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

bool I18nCatalog::loadFromResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        TVX_LOG_ERROR << "[I18n] Failed to open properties file:" << path;
        return false;
    }

    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    m_entries.clear();

    QString line;
    int lineNumber = 0;
    while (stream.readLineInto(&line)) {
        ++lineNumber;
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')) || trimmed.startsWith(QLatin1Char('!')))
            continue;
        const Entry entry = parseEntry(line);
        if (entry.key.isEmpty()) {
            TVX_LOG_WARN << "[I18n] Ignored invalid entry at line" << lineNumber << "in" << path;
            continue;
        }
        m_entries.insert(entry.key, entry.value);
    }

    TVX_LOG_INFO << "[I18n] Loaded entries:" << m_entries.size() << "from" << path;
    return true;
}

QString I18nCatalog::translate(const QString &key, const QVariantMap &args) const
{
    const auto it = m_entries.constFind(key);
    if (it == m_entries.constEnd()) {
        TVX_LOG_WARN << "[I18n] Missing key:" << key;
        return QStringLiteral("[[%1]]").arg(key);
    }
    return applyArgs(it.value(), args);
}

I18nCatalog::Entry I18nCatalog::parseEntry(const QString &line)
{
    const int n = line.size();
    int i = 0;
    while (i < n && line.at(i).isSpace())
        ++i;
    if (i == n)
        return {};

    const int keyStart = i;
    while (i < n && !isSeparator(line.at(i))) {
        // An escaped blank, colon or equals sign belongs to the key.
        i += line.at(i) == QLatin1Char('\\') ? 2 : 1;
    }
    if (i >= n)
        return {decodeEscapedText(line.mid(keyStart)), QString()};

    const QString rawKey = line.mid(keyStart, i - keyStart);
    if (line.at(i).isSpace()) {
        while (i < n && line.at(i).isSpace())
            ++i;
        if (i < n && (line.at(i) == QLatin1Char('=') || line.at(i) == QLatin1Char(':')))
            ++i;
    } else {
        ++i;
    }
    while (i < n && line.at(i).isSpace())
        ++i;

    return {decodeEscapedText(rawKey), decodeEscapedText(line.mid(i))};
}

QString I18nCatalog::decodeEscapedText(const QString &raw)
{
    QString out;
    out.reserve(raw.size());
    const int n = raw.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = raw.at(i);
        if (c != QLatin1Char('\\')) {
            out.append(c);
            continue;
        }
        if (i + 1 >= n) {
            out.append(c);
            break;
        }
        const QChar next = raw.at(++i);
        switch (next.unicode()) {
        case 'n':
            out.append(QLatin1Char('\n'));
            break;
        case 'r':
            out.append(QLatin1Char('\r'));
            break;
        case 't':
            out.append(QLatin1Char('\t'));
            break;
        case 'u': {
            int value = 0;
            bool valid = i + 4 < n;
            for (int d = 1; valid && d <= 4; ++d) {
                const int digit = hexDigitValue(raw.at(i + d));
                valid = digit >= 0;
                value = value * 16 + digit;
            }
            if (valid) {
                out.append(QChar(static_cast<ushort>(value)));
                i += 4;
            } else {
                // Not a code unit: keep "\u" as typed and read what follows normally.
                out.append(QLatin1String("\\u"));
            }
            break;
        }
        default:
            out.append(next);
            break;
        }
    }
    return out;
}

QString I18nCatalog::applyArgs(const QString &text, const QVariantMap &args)
{
    // Compiled (and optimised) once, before any thread can share it.
    static const QRegularExpression pattern = [] {
        QRegularExpression re(QStringLiteral("%\\{([A-Za-z0-9_.-]+)\\}"));
        re.optimize();
        return re;
    }();

    if (args.isEmpty())
        return text;

    // One pass over the original text: an argument value that itself looks like a
    // placeholder is copied as it is, never substituted again.
    QString result;
    result.reserve(text.size());
    int copiedUpTo = 0;
    QRegularExpressionMatchIterator it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const auto arg = args.constFind(match.captured(1));
        if (arg == args.constEnd())
            continue;
        result.append(text.midRef(copiedUpTo, match.capturedStart() - copiedUpTo));
        result.append(arg.value().toString());
        copiedUpTo = match.capturedEnd();
    }
    result.append(text.midRef(copiedUpTo));
    return result;
}
