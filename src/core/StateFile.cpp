// Checking the program's state files before QSettings parses them.
#include "core/StateFile.h"

#include "core/AtomicFile.h"
#include "core/Log.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace app {
namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isHexLetterOrDigit(uint c)
{
    return c < 0x80 && hexDigit(static_cast<char>(c)) >= 0;
}

bool isBlank(uint c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One element of a value, as QSettings hands it to its variant decoder, judged as it is built:
// typed when it would be read through QDataStream ("@Variant(", "@DateTime("). Blanks after the
// "@" are ignored as well: the program doubles a leading "@" of every text it writes, so
// nothing it wrote comes close. Only the head is kept, however long the element.
class Element
{
public:
    void append(uint c)
    {
        if (m_count++ == 0) {
            m_at = c == uint('@');
            return;
        }
        if (!m_at || isBlank(c) || m_length == int(sizeof m_head))
            return;
        m_head[m_length++] = c < 0x80 ? char(c) : '\x7f';
    }
    bool typed() const { return m_at && (startsWith("Variant(") || startsWith("DateTime(")); }
    void clear() { *this = Element(); }

private:
    bool startsWith(const char *pattern) const
    {
        const int n = int(qstrlen(pattern));
        return m_length >= n && qstrncmp(m_head, pattern, uint(n)) == 0;
    }

    int m_count = 0;
    bool m_at = false;
    char m_head[10] = {};
    int m_length = 0;
};

// Undoes the escapes and quotes of one value the way QSettings does before it turns each
// element of the value into a variant, and judges every element. A numeric escape that the
// program never writes (one spelling a plain character other than a hex digit, or a value
// beyond 16 bits that a reader truncates) counts as unsafe by itself.
bool valueIsSafe(const char *text, int n)
{
    Element element;
    bool quoted = false;
    int i = 0;
    const auto skipBlanks = [&]() {
        while (i < n && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        const char c = text[i];
        if (c == '\\') {
            if (++i >= n)
                break;
            const char e = text[i++];
            if (e == 'x' || (e >= '0' && e <= '7')) {
                const int base = e == 'x' ? 16 : 8;
                if (e == 'x' && (i >= n || hexDigit(text[i]) < 0))
                    continue; // a bare "\x" reads as nothing
                quint64 value = e == 'x' ? 0 : quint64(e - '0');
                int digits = e == 'x' ? 0 : 1;
                while (i < n) {
                    const int d = hexDigit(text[i]);
                    if (d < 0 || d >= base)
                        break;
                    value = value * quint64(base) + quint64(d);
                    if (value > 0xffff || ++digits > 6)
                        return false;
                    ++i;
                }
                if (value >= 0x20 && value < 0x7f && !isHexLetterOrDigit(uint(value)))
                    return false;
                element.append(uint(value));
                continue;
            }
            switch (e) {
            case 'a':
                element.append('\a');
                break;
            case 'b':
                element.append('\b');
                break;
            case 'f':
                element.append('\f');
                break;
            case 'n':
                element.append('\n');
                break;
            case 'r':
                element.append('\r');
                break;
            case 't':
                element.append('\t');
                break;
            case 'v':
                element.append('\v');
                break;
            case '"':
            case '?':
            case '\'':
            case '\\':
                element.append(uchar(e));
                break;
            case '\r':
            case '\n':
                // A continued line: the other half of a CR LF pair goes with it.
                if (i < n && (text[i] == '\r' || text[i] == '\n') && text[i] != e)
                    ++i;
                break;
            default:
                break; // QSettings drops an unknown escape with its character
            }
            continue;
        }
        if (c == '"') {
            ++i;
            quoted = !quoted;
            if (!quoted)
                skipBlanks();
            continue;
        }
        if (c == ',' && !quoted) {
            if (element.typed())
                return false;
            element.clear();
            ++i;
            skipBlanks();
            continue;
        }
        element.append(uchar(c));
        ++i;
    }
    return !element.typed();
}

// Walks INI text the way QSettings' reader splits it into logical lines (a line feed ends a
// line unless quoted or escaped; a ";" starts a comment at the head of a line and ends the line
// elsewhere outside quotes) and hands over each line as [start, end) with the position of the
// "=" that ends its key (-1 when there is none; a section header's is -1 too).
template <typename Visit> bool forEachLine(const QByteArray &text, Visit visit)
{
    const char *data = text.constData();
    const int n = text.size();
    int pos = 0;
    while (pos < n) {
        int lineStart = pos;
        while (lineStart < n && isBlank(uchar(data[lineStart])))
            ++lineStart;
        int equals = -1;
        bool quoted = false;
        int i = lineStart;
        while (i < n) {
            const char c = data[i++];
            if (c == '=') {
                if (!quoted && equals < 0)
                    equals = i - 1;
            } else if (c == '\n' || c == '\r') {
                if (i == lineStart + 1) {
                    ++lineStart;
                } else if (!quoted) {
                    --i;
                    break;
                }
            } else if (c == '\\') {
                if (i < n) {
                    const char e = data[i++];
                    if (i < n && ((e == '\n' && data[i] == '\r') || (e == '\r' && data[i] == '\n')))
                        ++i;
                }
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == ';') {
                if (i == lineStart + 1) {
                    while (i < n && data[i] != '\n' && data[i] != '\r')
                        ++i;
                    lineStart = i;
                } else if (!quoted) {
                    --i;
                    break;
                }
            }
        }
        pos = i;
        if (pos <= lineStart)
            break;
        if (!visit(lineStart, pos, data[lineStart] == '[' ? -1 : equals))
            return false;
    }
    return true;
}

QString asideName(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString candidate = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    return candidate;
}

// Moves whatever stands at path out of the reader's way; removes it when it cannot be moved,
// as a FIFO left in place would block the next reader for good.
void setAside(const QString &path, const QString &what)
{
    const QString aside = asideName(path);
    if (QFile::rename(path, aside)) {
        TVX_LOG_ERROR << "[StateFile]" << path << what << "; moved aside as" << aside;
        return;
    }
    const bool removed = QFile::remove(path);
    TVX_LOG_ERROR << "[StateFile]" << path << what << "; could not be moved aside, removed:" << removed;
}

#ifndef Q_OS_WIN
QString kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}
#endif

} // namespace

bool stateFileUsable(const QString &path, qint64 maxBytes)
{
#ifndef Q_OS_WIN
    const QByteArray native = QFile::encodeName(path);
    struct stat entry;
    if (::lstat(native.constData(), &entry) != 0)
        return false; // missing
    struct stat target = entry;
    const bool link = S_ISLNK(entry.st_mode);
    if (link && ::stat(native.constData(), &target) != 0)
        return false; // a link to nothing: as good as missing, and a save replaces it
    if (!S_ISREG(target.st_mode)) {
        setAside(path, QStringLiteral("is %1%2, not a state file")
                           .arg(link ? QStringLiteral("a link to ") : QString(), kindOf(target.st_mode)));
        return false;
    }
    const qint64 size = target.st_size;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    if (!info.isFile()) {
        setAside(path, QStringLiteral("is not a regular file, not a state file"));
        return false;
    }
    const qint64 size = info.size();
#endif
    if (size > maxBytes) {
        setAside(path, QStringLiteral("is larger than any the program writes: %1 bytes").arg(size));
        return false;
    }
    return true;
}

bool readStateFile(const QString &path, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    if (!stateFileUsable(path, maxBytes))
        return false;
#ifndef Q_OS_WIN
    // Whatever replaced the file since the check, opening never waits and reading stops at
    // the bound.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxBytes) {
        ::close(fd);
        return false;
    }
    // Sized by the file, not by the limit: a read of maxBytes reserves all of it up front.
    QByteArray text(int(info.st_size) + 1, Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < text.size()) {
        const ssize_t n = ::read(fd, text.data() + filled, size_t(text.size() - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        filled += n;
    }
    ::close(fd);
    if (filled > maxBytes)
        return false; // grown past the bound since the check
    text.truncate(int(filled));
    *bytes = text;
    return true;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.read(qMin(file.size(), maxBytes) + 1);
    if (text.size() > maxBytes)
        return false;
    *bytes = text;
    return true;
#endif
}

bool stateTextIsSafe(const QByteArray &text)
{
    // Only values are ever turned into variants; section headers and keys (QSettings writes
    // items\40\meta for an entry of an array) are names, whatever they spell.
    const char *data = text.constData();
    return forEachLine(text, [data](int, int end, int equals) {
        return equals < 0 || valueIsSafe(data + equals + 1, end - equals - 1);
    });
}

QByteArray safeStateLines(const QByteArray &text)
{
    QByteArray kept;
    const char *data = text.constData();
    forEachLine(text, [&kept, data](int start, int end, int equals) {
        if (equals < 0 || valueIsSafe(data + equals + 1, end - equals - 1)) {
            kept.append(data + start, end - start);
            kept += '\n';
        }
        return true;
    });
    return kept;
}

bool clearStaleStateLock(const QString &path)
{
#ifndef Q_OS_WIN
    const QString lock = path + QStringLiteral(".lock");
    const QByteArray native = QFile::encodeName(lock);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false; // none, the usual case
    struct stat info;
    // The lock is taken while it is removed, so that two processes never both remove one.
    const bool stale =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool removed = stale && ::unlink(native.constData()) == 0;
    ::close(fd);
    if (removed)
        TVX_LOG_WARN << "[StateFile]" << lock << "was left by a save that never ended; removed";
    return removed;
#else
    Q_UNUSED(path);
    return false;
#endif
}

QString checkedStateFile(const QString &path, qint64 maxBytes)
{
    clearStaleStateLock(path);
    QByteArray text;
    if (!readStateFile(path, maxBytes, &text))
        return path;
    if (stateTextIsSafe(text))
        return path;

    const QString aside = asideName(path);
    if (!QFile::rename(path, aside)) {
        // It cannot be moved, so it must not stay where QSettings would read it either.
        QFile::remove(path);
        TVX_LOG_ERROR << "[StateFile]" << path
                      << "cannot be read safely and could not be moved aside; removed";
        return path;
    }
    const QByteArray kept = safeStateLines(text);
    bool rewritten = false;
    if (!kept.isEmpty() && stateTextIsSafe(kept)) {
        rewritten = writeFileAtomically(path, kept);
    }
    TVX_LOG_ERROR << "[StateFile]" << path << "cannot be read safely; moved aside as" << aside
                  << "; readable lines kept:" << rewritten;
    return path;
}

QString keepStateFileCopy(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return QString();
    const QString copy = asideName(path);
    const bool copied = QFile::copy(path, copy);
    TVX_LOG_WARN << "[StateFile]" << path << "did not load whole; kept as" << copy
                 << "before it is rewritten:" << copied;
    return copied ? copy : QString();
}

void clearOwnedGroups(QSettings &settings, const QStringList &groups)
{
    for (const QString &group : groups)
        settings.remove(group);
}

} // namespace app
