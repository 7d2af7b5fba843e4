// Turning file URLs into local paths with the platform's own rules.
#pragma once

#include <QString>
#include <QUrl>

namespace app {

// A "file:" URL becomes its local path ("/home/u/a.mp4" on Linux, "C:/a.mp4" on Windows);
// any other text is returned trimmed and unchanged. Never cut a fixed number of characters
// off "file:///": that loses the leading slash of every absolute Linux path.
QString localPathFromUrlOrPath(const QString &urlOrPath);

// The "file:" URL of a local path, in QUrl's default string form.
QString fileUrlFromLocalPath(const QString &path);

} // namespace app
