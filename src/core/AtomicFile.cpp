// Whole-file replacement on top of QSaveFile. On Linux (Qt 5.15) it writes an unnamed O_TMPFILE,
// fdatasyncs it, links it under a temporary name beside the target and renames that over the
// target: the target's name never points at nothing.
#include "core/AtomicFile.h"

#include <QSaveFile>

namespace app {

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if ((permissions && !file.setPermissions(permissions)) || file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace app
