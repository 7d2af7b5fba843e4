// Turning file URLs into local paths with the platform's own rules.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace app {

// A "file:" URL becomes its local path ("/home/u/a.mp4" on Linux, "C:/a.mp4" on Windows);
// any other text is returned trimmed and unchanged. Never cut a fixed number of characters
// off "file:///": that loses the leading slash of every absolute Linux path.
QString localPathFromUrlOrPath(const QString &urlOrPath);

// The "file:" URL of a local path, in QUrl's default string form.
QString fileUrlFromLocalPath(const QString &path);

// File names are bytes; Qt's are Unicode text decoded with the system's encoding. A name whose
// bytes are not valid there (Latin-1 "caf\xe9.mp4" under UTF-8) decodes lossily, and no QFile
// reaches the file again. These keep such a name whole: its URL carries the bytes as
// percent-escapes ("caf%E9.mp4"), as file managers hand such names on.

// True when the path's bytes do not survive QFile::decodeName and encodeName.
bool nameIsUnreadableInSystemEncoding(const QByteArray &path);

// The "file:" URL of an absolute local path given as bytes, in QUrl's default string form
// (bytes that are not UTF-8 stay percent-escapes).
QString fileUrlFromLocalBytes(const QByteArray &absolutePath);

// The local path a "file:" URL names, as bytes: percent-escapes are taken as bytes, so a name
// that is not valid in the system's encoding is kept. Empty for any other URL.
QByteArray localPathBytesFromUrl(const QUrl &url);

// True when the file URL names something that exists under a name Qt cannot hold.
bool urlNamesUnreadableExistingFile(const QUrl &url);

} // namespace app
