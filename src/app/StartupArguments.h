// The file a start is given on its command line.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

// The file URL to open for the program's arguments (the program name first). The first
// argument that names an existing file wins. Without one, the first argument that could be a
// file (not blank, not an option, not a URL of another scheme) is still handed on, so that the
// window can say why it was not opened instead of starting as if nothing had been given.
// Empty when there is no such argument.
QString startupFileUrl(const QStringList &args);

} // namespace app
