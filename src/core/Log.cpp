// Time stamp, head and escaping of the log line.
#include "core/Log.h"

#include <QRegularExpression>
#include <QTime>

#include <cstring>
#include <string_view>

QString getCurrectTime()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

namespace {

using std::string_view;

bool isIdentifierChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool startsWith(string_view text, size_t at, string_view word)
{
    return text.substr(at, word.size()) == word;
}

bool endsWith(string_view text, string_view word)
{
    return text.size() >= word.size() && text.substr(text.size() - word.size()) == word;
}

bool isKeywordAt(string_view text, size_t at, string_view word)
{
    const size_t end = at + word.size();
    return startsWith(text, at, word) && (at == 0 || !isIdentifierChar(text[at - 1])) &&
           (end == text.size() || !isIdentifierChar(text[end]));
}

// Index just past the symbol of an operator name whose keyword ends at at ("operator<<",
// "operator()"): its brackets must not count as nesting.
size_t pastOperatorSymbol(string_view text, size_t at)
{
    if (startsWith(text, at, "()"))
        return at + 2;
    while (at < text.size() && text[at] != '\0' && std::strchr("+-*/%^&|~!=<>,[]", text[at]))
        ++at;
    return at;
}

// The pretty name without the template arguments both compilers append in brackets
// ("... [with T = int]", "... [T = int]").
string_view withoutTemplateClause(string_view text)
{
    if (!endsWith(text, "]"))
        return text;
    int depth = 0;
    for (size_t i = text.size(); i-- > 0;) {
        if (text[i] == ']')
            ++depth;
        else if (text[i] == '[' && --depth == 0)
            return i > 0 && text[i - 1] == ' ' ? text.substr(0, i - 1) : text;
    }
    return text;
}

// Where the outermost lambda's part of a pretty name begins, or npos. GCC writes a lambda as
// "<lambda(...)>", clang as "(anonymous class)" or "(lambda at ...)", each after the scope
// it is written in; a marker inside the parameters or template arguments of that scope (a
// lambda's type as a template argument) is not the lambda itself.
size_t lambdaStart(string_view text)
{
    static constexpr string_view kMarkers[] = {"<lambda(", "(anonymous class)", "(lambda at "};
    int parens = 0;
    int angles = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isKeywordAt(text, i, "operator")) {
            i = pastOperatorSymbol(text, i + 8) - 1;
            continue;
        }
        if (parens == 0 && angles == 0) {
            for (const string_view marker : kMarkers) {
                if (startsWith(text, i, marker))
                    return i >= 2 && text.substr(i - 2, 2) == "::" ? i - 2 : i;
            }
        }
        switch (text[i]) {
        case '(':
            ++parens;
            break;
        case ')':
            --parens;
            break;
        case '<':
            ++angles;
            break;
        case '>':
            if (angles > 0)
                --angles;
            break;
        default:
            break;
        }
    }
    return string_view::npos;
}

// The unqualified name of the function a signature names ("void ns::C::m(int) const" gives
// "m"), or an empty view when it names none.
string_view unqualifiedFunctionName(string_view signature)
{
    static constexpr string_view kQualifiers[] = {"const", "volatile", "noexcept", "mutable", "&&", "&"};
    for (bool stripped = true; stripped;) {
        stripped = false;
        while (!signature.empty() && signature.back() == ' ')
            signature.remove_suffix(1);
        for (const string_view qualifier : kQualifiers) {
            if (endsWith(signature, qualifier) &&
                (!isIdentifierChar(qualifier.front()) || signature.size() == qualifier.size() ||
                 !isIdentifierChar(signature[signature.size() - qualifier.size() - 1]))) {
                signature.remove_suffix(qualifier.size());
                stripped = true;
                break;
            }
        }
    }
    if (!endsWith(signature, ")"))
        return {};
    int depth = 0;
    size_t open = string_view::npos;
    for (size_t i = signature.size(); i-- > 0;) {
        if (signature[i] == ')')
            ++depth;
        else if (signature[i] == '(' && --depth == 0) {
            open = i;
            break;
        }
    }
    if (open == string_view::npos)
        return {};
    string_view head = signature.substr(0, open);
    for (size_t i = head.size(); i-- > 0;) {
        if (!isKeywordAt(head, i, "operator"))
            continue;
        // An operator template's arguments ("operator->*<int>") are not part of its name; the
        // symbol's own angle brackets are never followed by a name.
        string_view name = head.substr(i);
        for (size_t at = 8; at + 1 < name.size(); ++at) {
            if (name[at] == '<' && (isIdentifierChar(name[at + 1]) || name[at + 1] == ':')) {
                name = name.substr(0, at);
                break;
            }
        }
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        return name;
    }
    if (endsWith(head, ">")) {
        int angles = 0;
        for (size_t i = head.size(); i-- > 0;) {
            if (head[i] == '>')
                ++angles;
            else if (head[i] == '<' && --angles == 0) {
                head = head.substr(0, i);
                break;
            }
        }
    }
    size_t start = head.size();
    while (start > 0 && (isIdentifierChar(head[start - 1]) || head[start - 1] == '~'))
        --start;
    return head.substr(start);
}

} // namespace

namespace {
QtMessageHandler g_qtOutput = nullptr;

bool ownCategory(const char *category)
{
    return category && std::strncmp(category, "tvx", 3) == 0 && (category[3] == '\0' || category[3] == '.');
}

void writeLogLine(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!ownCategory(context.category)) {
        g_qtOutput(type, context, text);
        return;
    }
    // Qt's own output names a category other than "default" in front of the line; ours carry
    // the function instead, so the line stays what the log's readers expect.
    const QMessageLogContext plain(context.file, context.line, context.function, "default");
    g_qtOutput(type, plain, text);
}
} // namespace

namespace app {

void installLogLineOutput()
{
    // Qt hands back its own output when no handler was installed before, never null.
    if (!g_qtOutput)
        g_qtOutput = qInstallMessageHandler(writeLogLine);
}

QString enclosingFunctionName(const char *prettyFunction)
{
    string_view text = withoutTemplateClause(prettyFunction ? string_view(prettyFunction) : string_view());
    const size_t lambda = lambdaStart(text);
    if (lambda != string_view::npos)
        text = text.substr(0, lambda);
    const string_view name = unqualifiedFunctionName(text);
    return QString::fromLatin1(name.data(), int(name.size()));
}

QString logHead(const char *functionName, const char *prettyFunction)
{
    QString name;
    if (prettyFunction && std::strcmp(functionName, "operator()") == 0)
        name = enclosingFunctionName(prettyFunction);
    if (name.isEmpty())
        name = QString::fromLatin1(functionName);
    return QStringLiteral("[%1] FUNC: %2").arg(getCurrectTime(), name);
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

} // namespace app

namespace {

// Masks the secrets of text; cut says that text is the head of a longer one, whose secrets may
// go on past its end: a value that runs to the end is then masked whole, whatever its kind, and
// so is an address head that the cut ends before its host.
QString maskSecretsIn(const QString &text, bool cut)
{
    // The user-info of an address, also with the escaped slashes a JSON writer may use.
    static const QRegularExpression kUserInfo(
        QStringLiteral(R"re(\b([A-Za-z][A-Za-z0-9+.\-]*:(?:\\?/){2})([^/\\?#@\s"]+)@)re"));
    static const QRegularExpression kAuthorityAtEnd(
        QStringLiteral(R"re(\b([A-Za-z][A-Za-z0-9+.\-]*:(?:\\?/){2})([^/\\?#@\s"]+)$)re"));
    // A JSON member with a string or number value, or a query or form item at the start, after
    // white space (a form body behind a line's label) or after "?" or "&". A string that the
    // text ends before its closing quote still counts.
    static const QRegularExpression kItem(QStringLiteral(
        R"re("(\w+)"\s*:\s*(?:"((?:[^"\\]|\\.)*\\?)(?:"|$)|(-?\d+))|(?<![^?&\s])(\w+)=([^&#\s"]*))re"));
    static const QRegularExpression kSecretNames(QStringLiteral("token|password|pwd|^loginkey$"),
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression kPhoneNames(
        QStringLiteral("^(account|accountid|username|bindaccount|phone|phonenumber|mobile)$"),
        QRegularExpression::CaseInsensitiveOption);

    QString source = text;
    if (source.contains(QLatin1Char('@')))
        source.replace(kUserInfo, QStringLiteral("\\1***@"));
    if (cut)
        source.replace(kAuthorityAtEnd, QStringLiteral("\\1***"));

    QString out;
    int copied = 0;
    QRegularExpressionMatchIterator it = kItem.globalMatch(source);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool query = m.capturedStart(4) >= 0;
        const QString name = m.captured(query ? 4 : 1);
        const int valueGroup = query ? 5 : (m.capturedStart(2) >= 0 ? 2 : 3);
        const QString value = m.captured(valueGroup);
        const bool runsToCut = cut && m.capturedEnd(valueGroup) >= source.size() - 1;
        QString masked;
        if (kSecretNames.match(name).hasMatch())
            masked = app::maskToken(value);
        else if (kPhoneNames.match(name).hasMatch())
            masked = runsToCut ? app::maskToken(value) : app::maskPhone(value);
        else if (valueGroup == 2 && value.contains(QLatin1Char('=')))
            masked = maskSecretsIn(value, runsToCut); // an address with its own query inside a JSON string
        else
            continue;
        if (masked == value)
            continue;
        out += source.midRef(copied, m.capturedStart(valueGroup) - copied);
        // A number masked in JSON becomes a string, so the body stays well formed.
        const bool quote = valueGroup == 3;
        out += quote ? QLatin1Char('"') + masked + QLatin1Char('"') : masked;
        copied = m.capturedEnd(valueGroup);
    }
    if (copied == 0)
        return source;
    out += source.midRef(copied);
    return out;
}

QString cutNote(qint64 wholeBytes)
{
    return QStringLiteral("\u2026 (%1 bytes)").arg(wholeBytes);
}

} // namespace

namespace app {

QString maskSecrets(const QString &text)
{
    return maskSecretsIn(text, false);
}

QString logExcerpt(const QString &text, int maxBytes)
{
    // The UTF-8 length without making the UTF-8: a message can be megabytes long.
    qint64 bytes = 0;
    int cutAt = -1;
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const ushort c = text.at(i).unicode();
        int width = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < size && text.at(i + 1).isLowSurrogate();
        if (pair)
            width = 4;
        if (cutAt < 0 && bytes + width > maxBytes)
            cutAt = i;
        bytes += width;
        if (pair)
            ++i;
    }
    if (cutAt < 0)
        return maskSecretsIn(text, false);
    return maskSecretsIn(text.left(cutAt), true) + cutNote(bytes);
}

QString logExcerpt(const QByteArray &utf8, int maxBytes)
{
    if (utf8.size() <= maxBytes)
        return maskSecretsIn(QString::fromUtf8(utf8), false);
    // Never half a character: the cut steps back over continuation bytes.
    int cut = qMax(0, maxBytes);
    while (cut > 0 && (static_cast<unsigned char>(utf8.at(cut)) & 0xC0) == 0x80)
        --cut;
    return maskSecretsIn(QString::fromUtf8(utf8.constData(), cut), true) + cutNote(utf8.size());
}

QString maskAddress(const QString &address)
{
    return logExcerpt(address);
}

QString escapeLogText(const QString &text)
{
    const auto needsEscape = [](ushort c) {
        // What could break a line or reorder it: controls, the Unicode line and paragraph
        // separators, and bidirectional formatting.
        return isControlCharacter(c) || c == 0x2028 || c == 0x2029 || isBidiFormatting(c);
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
