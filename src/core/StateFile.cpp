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

// Feeds the characters QSettings would see once escapes and quotes are undone. Blanks are left
// out altogether and a numeric escape that the program never writes (one spelling a plain
// character, or a value beyond 16 bits that a reader could truncate) counts as unsafe by
// itself, so no spelling of a typed value gets through.
class Decoder
{
public:
    // Returns false as soon as the text can no longer be trusted.
    bool feed(const QByteArray &text)
    {
        const int n = text.size();
        for (int i = 0; i < n; ++i) {
            const char c = text.at(i);
            if (c == '"' || c == ' ' || c == '\t' || c == '\r' || c == '\n')
                continue;
            if (c != '\\') {
                if (!put(static_cast<uchar>(c)))
                    return false;
                continue;
            }
            if (++i >= n)
                break;
            const char e = text.at(i);
            if (e == 'x' || (e >= '0' && e <= '7')) {
                const int base = e == 'x' ? 16 : 8;
                quint64 value = e == 'x' ? 0 : quint64(e - '0');
                int digits = e == 'x' ? 0 : 1;
                while (i + 1 < n) {
                    const int d = hexDigit(text.at(i + 1));
                    if (d < 0 || d >= base)
                        break;
                    value = value * quint64(base) + quint64(d);
                    if (value > 0xffff)
                        return false;
                    ++digits;
                    ++i;
                }
                if (digits > 6)
                    return false;
                if (value >= 0x20 && value < 0x7f && !isHexLetterOrDigit(uint(value)))
                    return false;
                if (!put(uint(value)))
                    return false;
                continue;
            }
            if (e == '\r' || e == '\n')
                continue; // a continued line
            if (!put(static_cast<uchar>(e)))
                return false;
        }
        return true;
    }

private:
    // Looks for "@Variant(" and "@DateTime(": the two forms QSettings reads through
    // QDataStream.
    bool put(uint c)
    {
        m_variant = advance(m_variant, c, "@Variant(");
        m_dateTime = advance(m_dateTime, c, "@DateTime(");
        return m_variant >= 0 && m_dateTime >= 0;
    }

    static int advance(int matched, uint c, const char *pattern)
    {
        if (c == uint(uchar(pattern[matched]))) {
            ++matched;
            return pattern[matched] == '\0' ? -1 : matched;
        }
        return c == uint('@') ? 1 : 0;
    }

    int m_variant = 0;
    int m_dateTime = 0;
};

// Splits INI text into logical lines as QSettings does: a line feed ends a line unless it is
// quoted or escaped.
template <typename Visit> void forEachLogicalLine(const QByteArray &text, Visit visit)
{
    const int n = text.size();
    int start = 0;
    bool quoted = false;
    for (int i = 0; i < n; ++i) {
        const char c = text.at(i);
        if (c == '\\') {
            ++i;
            if (i + 1 < n && ((text.at(i) == '\r' && text.at(i + 1) == '\n') ||
                              (text.at(i) == '\n' && text.at(i + 1) == '\r')))
                ++i;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
        } else if ((c == '\n' || c == '\r') && !quoted) {
            visit(text.mid(start, i - start));
            start = i + 1;
        }
    }
    if (start < n)
        visit(text.mid(start));
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
    return Decoder().feed(text);
}

QByteArray safeStateLines(const QByteArray &text)
{
    QByteArray kept;
    forEachLogicalLine(text, [&kept](const QByteArray &line) {
        if (stateTextIsSafe(line)) {
            kept += line;
            kept += '\n';
        }
    });
    return kept;
}

QString checkedStateFile(const QString &path, qint64 maxBytes)
{
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
