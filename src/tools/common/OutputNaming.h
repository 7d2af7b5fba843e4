// Output names of the queued tools: a free name that never takes an existing file, the
// temporary file beside it, and the output folder check.
#pragma once

#include <QString>

#include <functional>

namespace tools {

// The longest file name (one path component) the file systems in use take: NAME_MAX, counted
// in the bytes the name is stored as.
inline constexpr int kMaxFileNameBytes = 255;

// The bytes text takes in a file name on this system.
int fileNameBytes(const QString &text);

// The longest start of text, cut between characters (never inside one), that takes at most
// maxBytes in a file name.
QString truncatedToFileNameBytes(const QString &text, int maxBytes);

// base + tail, with base shortened so that the whole fits kMaxFileNameBytes: the tail (a
// counter, a stamp, the extension) is what makes the name, so it is the part that is kept.
QString fittedFileName(const QString &base, const QString &tail);

// True when something (a file, a folder or even a dangling link) already holds the path.
bool pathIsTaken(const QString &path);

// The first of "<base><tail>.<ext>", "<base><tail>(1).<ext>", ... in directory that is not taken
// and is not the source itself, each with base shortened where the name would not fit
// kMaxFileNameBytes (the tail, such as "_compressed", is kept whole). Empty when directory or
// extension is empty.
QString freeOutputFilePath(const QString &directory, const QString &baseName, const QString &extension,
                           const QString &sourcePath, const QString &tail = QString());

// Moves the finished temporary file to the name nextName gives (it is handed the name tried last,
// empty at first), and to a fresh one whenever the name was taken meanwhile: Qt's rename never
// replaces a file, so one that appeared after the name was chosen is left alone. Gives up when
// nextName gives nothing new, when the failure is not a taken name, or after 100 tries. Returns
// the name the file got; empty when it kept its temporary name.
QString renameToFreeName(const QString &temporary,
                         const std::function<QString(const QString &last)> &nextName);

// "<folder>/<complete base>.__tvx_tmp__.<taskId>.part.<suffix>" (".part" without a suffix), the
// complete base shortened where the name would not fit kMaxFileNameBytes; empty when finalPath
// is empty.
QString temporaryOutputFilePath(const QString &finalPath, const QString &taskId);

// True when the folder exists or could be created; otherwise errorText (when given) receives
// emptyText or createFailedText.
bool ensureOutputDirectory(const QString &outputDirectory, const QString &emptyText,
                           const QString &createFailedText, QString *errorText);

} // namespace tools
