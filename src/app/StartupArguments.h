// The file a start is given on its command line.
#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

namespace app {

// The file URL to open for the program's arguments (the program name first), as the system
// gave them: bytes, since a file name need not be valid text in the system's encoding. The
// first argument that names an existing file wins; a name that exists as a file in the working
// folder is that file even when it also reads as a URL ("Talk: part1.mp4"). Without one, the
// first argument that could be a file (not blank, not an option, not a URL of another scheme)
// is still handed on, so that the window can say why it was not opened instead of starting as
// if nothing had been given. A name Qt cannot hold keeps its bytes as percent-escapes in the
// URL (see core/FileUrl.h). Empty when there is no such argument.
QString startupFileUrl(const QByteArrayList &args);

// The same for arguments already decoded with the system's encoding.
QString startupFileUrl(const QStringList &args);

} // namespace app
