// Output names of the queued tools: a free name that never takes an existing file, the
// temporary file beside it, and the output folder check.
#pragma once

#include <QString>

namespace tools {

// True when something (a file, a folder or even a dangling link) already holds the path.
bool pathIsTaken(const QString &path);

// The first of "<base>.<ext>", "<base>(1).<ext>", "<base>(2).<ext>", ... in directory that is
// not taken and is not the source itself. Empty when directory or extension is empty.
QString freeOutputFilePath(const QString &directory, const QString &baseName, const QString &extension,
                           const QString &sourcePath);

// "<folder>/<complete base>.__tvx_tmp__.<taskId>.part.<suffix>" (".part" without a suffix); empty when
// finalPath is empty.
QString temporaryOutputFilePath(const QString &finalPath, const QString &taskId);

// True when the folder exists or could be created; otherwise errorText (when given) receives
// emptyText or createFailedText.
bool ensureOutputDirectory(const QString &outputDirectory, const QString &emptyText,
                           const QString &createFailedText, QString *errorText);

} // namespace tools
