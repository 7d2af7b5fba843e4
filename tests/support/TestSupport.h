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

// How much longer than on a quiet machine a wait may take before it counts as a hang: the
// TVX_TEST_TIME_SCALE environment variable (at least 1; scripts/test.sh raises it on a loaded
// machine, and CMake multiplies the suites' TIMEOUTs by the same value). Deadlines that only
// guard against hangs go through scaledMs(); what a test measures never does.
double timeScale();
int scaledMs(int ms);
// A product's own time limit for a test that checks what the program makes of a real program's
// answer, not how fast it comes: three times the limit, then scaled.
int generousMs(int productMs);

// Spins the event loop until pred() is true or timeoutMs (scaled by timeScale()) passes.
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
// The time limit is scaled by timeScale(): it only ends a child that hangs.
ProcessResult runProcess(const QString &program, const QStringList &args, int timeoutMs = 60000,
                         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

// Copies the running test program into folder (emptied first), where it sees that folder as its
// application folder: a child run of the copy meets whatever libraries the test put there.
// Returns the copy's path, or an empty string when it could not be made.
QString copyTestProgramInto(const QString &folder);

// The built player executable (set by CTest).
QString appExecutable();
// The source tree: TVX_SOURCE_DIR when set (CTest sets it), else the tree this was built from.
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

// Stored otherwise than shown: 2 s, 640x360 with a display matrix of -90 degrees (shown 360x640),
// and 720x576 with a 64:45 sample aspect (16:9, shown 1024x576).
QString sidewaysPhoneMp4();
QString anamorphicPalMp4();
// 4 s, 320x240 10-bit HEVC near 145 kbit/s + AAC at 48 kbit/s: below any rate the compressor
// would otherwise pick.
QString lowRateHevcMp4();
QString longNamedMp4(); // copy of smallMp4 whose name is longCjkFileName(250, "mp4")
} // namespace fixtures

// A file name of Chinese characters (three bytes each in UTF-8) and "." + extension that takes
// exactly bytes bytes, padded with ASCII digits: names of the length users reach.
QString longCjkFileName(int bytes, const QString &extension);
// What is wrong with the file name of path made from a source whose base name is sourceBase:
// longer than NAME_MAX (255 bytes), a character cut in two, not ending in tail, or not
// starting with a non-empty start of sourceBase. Empty when nothing is.
QString shortenedNameProblem(const QString &path, const QString &sourceBase, const QString &tail);

} // namespace tvxtest
