// Whole-file replacement on top of QSaveFile. On Linux (Qt 5.15) it writes an unnamed O_TMPFILE,
// links it under a temporary name beside the target and renames that over the target: the
// target's name never points at nothing.
#include "core/AtomicFile.h"

#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace app {

namespace {

// Qt syncs the data alone before the rename; the permissions set on the temporary file reach
// the disk with it as well, so a crash never brings back a private file readable by others.
bool syncToDisk(QSaveFile &file)
{
#ifdef Q_OS_UNIX
    return file.flush() && ::fsync(file.handle()) == 0;
#else
    return file.flush();
#endif
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if ((permissions && !file.setPermissions(permissions)) || file.write(bytes) != bytes.size() ||
        !syncToDisk(file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace app
