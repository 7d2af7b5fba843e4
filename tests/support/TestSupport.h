// Shared helpers of every test: scratch folder, media fixtures made with ffmpeg, waiting,
// and running child processes with a time limit.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace tvxtest {

// The test's private scratch folder (created by tests/support/tvx-test-run.sh).
QString scratchDir();
// A path inside the scratch folder; parent folders are created.
QString scratchPath(const QString &relative);

// Process-wide set-up every test calls first: C locale for numbers (libmpv needs it) and the
// program's organisation and application names.
void initTestProcess();

// Spins the event loop until pred() is true or timeoutMs passes.
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 5000);

// Writes a file with the given bytes (parents created); returns its path.
QString writeFile(const QString &path, const QByteArray &bytes);
// Runs body with the process's file size limit at maxBytes (SIGXFSZ ignored), so a write past it
// fails as on a full disk; the limit and the signal's handler are restored afterwards.
// False when the limit could not be set (body then did not run).
bool withFileSizeLimit(qint64 maxBytes, const std::function<void()> &body);
// Writes an executable shell script (for fake "ffmpeg.exe"/"ffprobe.exe" programs).
QString writeScript(const QString &path, const QString &body);

struct ProcessResult
{
    int exitCode = -1;
    bool started = false;
    bool timedOut = false;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
};
ProcessResult runProcess(const QString &program, const QStringList &args, int timeoutMs = 60000,
                         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

// Copies the running test program into folder (emptied first), where it sees that folder as its
// application folder: a child run of the copy meets whatever libraries the test put there.
// Returns the copy's path, or an empty string when it could not be made.
QString copyTestProgramInto(const QString &folder);

// The built player executable (set by CTest).
QString appExecutable();
QString sourceDir();

// Media fixtures, generated with ffmpeg on first use and shared by all tests of a build.
// Each returns an absolute path, or an empty string when ffmpeg could not make it.
namespace fixtures {
QString smallMp4();        // 3 s, 320x240, H.264 + AAC
QString clip1080p();       // 2 s, 1920x1080, H.264
QString audioMp3();        // 3 s sine, MP3, no video
QString mkvTwoAudio();     // 3 s, H.264 + two AAC tracks (languages "eng", "chi")
QString mkvWithTracks();   // mkvTwoAudio's tracks + SubRip subtitles ("eng") from srtFile
QString srtFile();         // three cues
QString garbageMp4();      // random bytes named ".mp4"
QString zeroByteFile();    // an empty ".mp4"
QString unicodeNamedMp4(); // copy of smallMp4 named with blanks and Chinese characters
QString longNamedMp4();    // copy of smallMp4 whose name is longCjkFileName(250, "mp4")
} // namespace fixtures

// A file name of Chinese characters (three bytes each in UTF-8) and "." + extension that takes
// exactly bytes bytes, padded with ASCII digits: names of the length users reach.
QString longCjkFileName(int bytes, const QString &extension);
// What is wrong with the file name of path made from a source whose base name is sourceBase:
// longer than NAME_MAX (255 bytes), a character cut in two, not ending in tail, or not
// starting with a non-empty start of sourceBase. Empty when nothing is.
QString shortenedNameProblem(const QString &path, const QString &sourceBase, const QString &tail);

} // namespace tvxtest
