// The program's own state files ("playlist.ini", "player.ini", "sensors_state.ini", the tools' and
// dialogs' INI files, "account_info.json"): INI text is written through QSettings, never with
// typed "@Variant" values. A damaged or hostile
// file must never crash a start, nor be silently thrown away.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QSettings;

namespace app {

// Larger than anything the program writes to these files.
constexpr qint64 kSettingsStateFileMaxBytes = 1024 * 1024; // every state file but the play list
// "playlist.ini": the list refuses entries that would take its file past this (100,000 entries of
// 200-character paths), so whatever it saves loads again.
constexpr qint64 kPlaylistStateFileMaxBytes = 256 * 1024 * 1024;

// The one check before anything opens a state file, with lstat/stat only: true when path is a
// regular file (itself or through a link) of at most maxBytes. Whatever else stands there (a
// FIFO, a device, a folder, a link to one of them, a larger file) would block or flood the
// reader: it is moved aside as "<name>.damaged-<time>" (removed when it cannot be moved) and
// logged, so the program starts with defaults. A missing file is left alone.
bool stateFileUsable(const QString &path, qint64 maxBytes);

// Reads a state file that passes stateFileUsable, never more than maxBytes and without waiting
// on anything but a regular file; false when it is missing, set aside or cannot be read.
bool readStateFile(const QString &path, qint64 maxBytes, QByteArray *bytes);

// Makes the file safe for QSettings before anything reads it, and returns the path. A stale
// lock is cleared (clearStaleStateLock) and what stateFileUsable refuses is set aside first. A file
// larger than maxBytes is moved aside as "<name>.damaged-<time>" (the program starts with
// defaults); a file holding values that QSettings would decode as serialised data (which can
// allocate without bound) is moved aside the same way and the lines that read safely are
// written back, so nothing readable is lost. Both are logged. A missing file is left alone.
QString checkedStateFile(const QString &path, qint64 maxBytes);

// QSettings takes "<file>.lock" for every save and waits while the lock looks alive. A lock left
// by a process killed during a save, whose pid now belongs to a live process of the same name
// (pid namespaces, containers, a new boot), held a save on the GUI thread for about 30 s. A
// live holder keeps the lock file flock()ed for as long as it holds it; a lock file that nobody
// holds that way is left over and removed (and logged). True when one was removed.
// checkedStateFile does this first; a QSettings kept open calls it before each sync().
bool clearStaleStateLock(const QString &path);

// Copies the file beside itself as "<name>.damaged-<time>" before it is overwritten with less
// than it held; returns the copy's path, empty when there was nothing to copy or copying failed.
QString keepStateFileCopy(const QString &path);

// Removes the listed groups of the file before a save writes them afresh, so keys the program
// does not know leave its own groups; other groups stay as they are.
void clearOwnedGroups(QSettings &settings, const QStringList &groups);

// True when no value in the INI text would be decoded by QSettings as serialised data. Only
// values are judged, element by element as QSettings splits and unescapes them; section headers
// and keys are names and never decoded. Errs on the side of refusing within a value (blanks
// after the "@", escapes QSettings never writes), yet whatever QSettings writes passes whole.
bool stateTextIsSafe(const QByteArray &text);

// The logical lines of INI text whose values are safe (for rewriting a damaged file).
QByteArray safeStateLines(const QByteArray &text);

} // namespace app
