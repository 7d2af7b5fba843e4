// The one way the program replaces a file whole: readers find the old file or the new one,
// never none and never half of one.
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace app {

// Writes bytes to a temporary file beside path, syncs it to the disk and renames it over path.
// A file that exists keeps its permissions unless permissions are given; those are set on the
// temporary file, so the file never appears under its name with other ones (0600 for what only
// the user may read, the executable bit of a launcher). A link at path is followed and its
// target replaced. False, with whatever stood at path untouched and no temporary file left
// behind, when the folder is missing or any step fails.
bool writeFileAtomically(const QString &path, const QByteArray &bytes,
                         QFileDevice::Permissions permissions = QFileDevice::Permissions());

} // namespace app
