// End to end with the real program: tavrixo started on a generated clip under Xvfb shows the
// picture in its page, pauses on Space, and takes a second start's clip into its list with a
// thumbnail. The screen is read back through the X server; keys go in through XTest.
#include "TestSupport.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QImage>
#include <QLibrary>
#include <QProcess>
#include <QScreen>
#include <QtTest>

namespace {

// XTest reached at run time, so the test needs no X development headers.
class XKeyboard
{
public:
    XKeyboard()
    {
        m_x11.setFileNameAndVersion(QStringLiteral("X11"), 6);
        m_xtst.setFileNameAndVersion(QStringLiteral("Xtst"), 6);
        if (!m_x11.load() || !m_xtst.load())
            return;
        m_open = reinterpret_cast<OpenFn>(m_x11.resolve("XOpenDisplay"));
        m_close = reinterpret_cast<CloseFn>(m_x11.resolve("XCloseDisplay"));
        m_flush = reinterpret_cast<FlushFn>(m_x11.resolve("XFlush"));
        m_keycode = reinterpret_cast<KeycodeFn>(m_x11.resolve("XKeysymToKeycode"));
        m_fakeKey = reinterpret_cast<FakeKeyFn>(m_xtst.resolve("XTestFakeKeyEvent"));
        m_fakeMotion = reinterpret_cast<FakeMotionFn>(m_xtst.resolve("XTestFakeMotionEvent"));
        if (m_open && m_close && m_flush && m_keycode && m_fakeKey && m_fakeMotion)
            m_display = m_open(nullptr);
    }
    ~XKeyboard()
    {
        if (m_display)
            m_close(m_display);
    }
    bool ready() const { return m_display != nullptr; }

    void moveTo(int x, int y)
    {
        m_fakeMotion(m_display, -1, x, y, 0);
        m_flush(m_display);
    }

    void tapSpace()
    {
        const unsigned char code = m_keycode(m_display, 0x20); // XK_space
        m_fakeKey(m_display, code, 1, 0);
        m_fakeKey(m_display, code, 0, 0);
        m_flush(m_display);
    }

private:
    using OpenFn = void *(*)(const char *);
    using CloseFn = int (*)(void *);
    using FlushFn = int (*)(void *);
    using KeycodeFn = unsigned char (*)(void *, unsigned long);
    using FakeKeyFn = int (*)(void *, unsigned int, int, unsigned long);
    using FakeMotionFn = int (*)(void *, int, int, int, unsigned long);

    QLibrary m_x11;
    QLibrary m_xtst;
    OpenFn m_open = nullptr;
    CloseFn m_close = nullptr;
    FlushFn m_flush = nullptr;
    KeycodeFn m_keycode = nullptr;
    FakeKeyFn m_fakeKey = nullptr;
    FakeMotionFn m_fakeMotion = nullptr;
    void *m_display = nullptr;
};

// The main window opens at the top left of the bare X screen; this is inside its video area.
const QRect kVideoArea(200, 120, 560, 380);

QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(kVideoArea);
}

double litShare(const QImage &image)
{
    int lit = 0;
    int total = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QColor c = image.pixelColor(x, y);
            lit += (c.red() + c.green() + c.blue()) > 60 ? 1 : 0;
            ++total;
        }
    }
    return total > 0 ? double(lit) / total : 0.0;
}

QString makeClip(const QString &name, const QString &size)
{
    const QString out = tvxtest::scratchPath(name);
    const auto r = tvxtest::runProcess(QStringLiteral("ffmpeg"),
                                       {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
                                        "-i", "testsrc2=size=" + size + ":rate=25:duration=30", "-c:v",
                                        "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", out},
                                       120000);
    return r.exitCode == 0 && QFileInfo(out).size() > 0 ? out : QString();
}

QString findFile(const QString &name)
{
    QDirIterator it(tvxtest::scratchDir(), {name}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

int countFiles(const QString &folderName)
{
    int n = 0;
    QDirIterator it(tvxtest::scratchDir(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString dir = it.next();
        if (QFileInfo(dir).fileName() == folderName)
            n += QDir(dir).entryList(QDir::Files).size();
    }
    return n;
}

} // namespace

class AppEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY2(!tvxtest::appExecutable().isEmpty(), "TVX_APP_EXE is not set");
        m_clipA = makeClip(QStringLiteral("first clip.mp4"), QStringLiteral("640x360"));
        m_clipB = makeClip(QStringLiteral("second.mp4"), QStringLiteral("480x270"));
        QVERIFY(!m_clipA.isEmpty());
        QVERIFY(!m_clipB.isEmpty());
    }

    void playsPausesAndTakesASecondClip()
    {
        XKeyboard keyboard;
        QVERIFY2(keyboard.ready(), "XTest is not available on this display");

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TVX_MPV_AO"), QStringLiteral("null"));
        QProcess app;
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start(tvxtest::appExecutable(), {m_clipA});
        QVERIFY(app.waitForStarted(tvxtest::scaledMs(10000)));
        const auto stopApp = qScopeGuard([&app] {
            app.kill();
            app.waitForFinished(tvxtest::scaledMs(5000));
        });

        // The picture shows in the page.
        const bool shown = QTest::qWaitFor(
            [&app] { return litShare(grabScreen()) > 0.3 || app.state() != QProcess::Running; },
            tvxtest::scaledMs(30000));
        // The stand-in page or a player type missing from start-up shows no picture: a failure.
        if (!shown || litShare(grabScreen()) <= 0.3)
            QFAIL(app.readAll().right(4000).constData());
        QVERIFY2(app.state() == QProcess::Running, app.readAll().constData());
        const QImage early = grabScreen();
        QTRY_VERIFY_WITH_TIMEOUT(grabScreen() != early, tvxtest::scaledMs(10000));

        // A second start hands its clip over: it joins the list and plays, and the window is
        // activated, so it takes the keyboard.
        const auto second = tvxtest::runProcess(tvxtest::appExecutable(), {m_clipB}, 30000, env);
        QCOMPARE(second.exitCode, 0);
        QString playlistFile;
        QTRY_VERIFY_WITH_TIMEOUT(!(playlistFile = findFile(QStringLiteral("playlist.ini"))).isEmpty(),
                                 tvxtest::scaledMs(10000));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QFile f(playlistFile);
                const QByteArray text = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                return text.contains("first clip.mp4") && text.contains("second.mp4");
            }(),
            tvxtest::scaledMs(10000));
        QTRY_VERIFY_WITH_TIMEOUT(countFiles(QStringLiteral("media_preview_cache")) >= 1,
                                 tvxtest::scaledMs(30000));

        // Space pauses: the picture stops changing.
        QTest::qWait(1500);
        keyboard.moveTo(kVideoArea.center().x(), kVideoArea.center().y());
        keyboard.tapSpace();
        // A loaded machine may show a frame or two after the key; paused means the picture
        // then holds still between two grabs.
        QImage paused;
        QVERIFY(QTest::qWaitFor(
            [&paused] {
                const QImage before = grabScreen();
                QTest::qWait(700);
                paused = grabScreen();
                return before == paused;
            },
            tvxtest::scaledMs(5000)));
        // And Space again resumes it.
        keyboard.tapSpace();
        QTRY_VERIFY_WITH_TIMEOUT(grabScreen() != paused, tvxtest::scaledMs(10000));
    }

private:
    QString m_clipA;
    QString m_clipB;
};

QTEST_MAIN(AppEndToEndTest)
#include "tst_appe2e.moc"
