// The video surface under Xvfb: an engine bound to an item draws upright frames, and items and engines die
// cleanly while playing.
#include "RealPlayerTypes.h"
#include "TestSupport.h"
#include "player/MpvEngine.h"
#include "player/mpv/MpvVideoItem.h"

#include <QGuiApplication>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSGTexture>
#include <QSGTextureProvider>
#include <QSignalSpy>
#include <QtTest>

#include <mpv/client.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace {

const char kScene[] = R"(
import QtQuick 2.15
import Tavrixo 1.0
Item {
    width: 320; height: 240
    MpvEngine { id: eng; objectName: "engine" }
    MpvVideoItem { objectName: "video"; anchors.fill: parent; engine: eng }
}
)";

// The page's progress bar in small: it moves with every position the engine announces.
const char kProgressScene[] = R"(
import QtQuick 2.15
import Tavrixo 1.0
Item {
    width: 320; height: 240
    MpvEngine { id: eng; objectName: "engine" }
    MpvVideoItem { objectName: "video"; anchors.fill: parent; engine: eng }
    Rectangle { y: 230; height: 10; width: eng.position * 100; color: "white" }
}
)";

// A surface drawn straight into the window, in a frame of the page, under a white square that
// covers its lower right corner.
const char kDirectScene[] = R"(
import QtQuick 2.15
import Tavrixo 1.0
Item {
    width: 320; height: 240
    MpvEngine { id: eng; objectName: "engine" }
    Item {
        objectName: "frame"
        x: 80; y: 60; width: 160; height: 120
        MpvVideoItem { objectName: "video"; anchors.fill: parent; engine: eng; drawsIntoWindow: true }
    }
    Rectangle { x: 200; y: 150; width: 60; height: 60; color: "white" }
}
)";

const QColor kWindowColour(0x20, 0x40, 0x60);

// The same scene with its surface drawn straight into the window.
QByteArray drawnIntoWindow(const char *scene)
{
    return QByteArray(scene).replace("engine: eng }", "engine: eng; drawsIntoWindow: true }");
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 12 && qAbs(a.green() - b.green()) < 12 && qAbs(a.blue() - b.blue()) < 12;
}

// The two-band picture fills `place` upright, the window's colour shows at `bare` (when inside
// the window), and the square in front of the picture (when the scene has one) still covers it.
QString pictureProblem(const QImage &frame, const QRect &place, const QPoint &bare, bool square = true)
{
    const QColor top =
        frame.pixelColor(place.center().x() - place.width() / 4, place.top() + place.height() / 4);
    const QColor bottom =
        frame.pixelColor(place.center().x() - place.width() / 4, place.top() + place.height() * 3 / 4);
    if (!(top.red() > 150 && top.blue() < 100 && bottom.blue() > 150 && bottom.red() < 100))
        return QStringLiteral("picture top %1 bottom %2").arg(top.name(), bottom.name());
    if (frame.rect().contains(bare) && !near(frame.pixelColor(bare), kWindowColour))
        return QStringLiteral("bare window %1").arg(frame.pixelColor(bare).name());
    if (square && !near(frame.pixelColor(230, 180), Qt::white))
        return QStringLiteral("square %1").arg(frame.pixelColor(230, 180).name());
    return {};
}

// The colours at `points` in the framebuffer of the window's first pass whose synchronisation
// comes after arm(): what that pass drew, before any later pass could mend it. The state is shared
// with the connections, so a pass still running on the render thread outlives the probe safely.
class FirstPassProbe
{
public:
    FirstPassProbe(QQuickWindow *window, QVector<QPoint> points) : m_state(std::make_shared<State>())
    {
        m_state->window = window;
        m_state->points = std::move(points);
        const std::shared_ptr<State> state = m_state;
        m_sync = QObject::connect(
            window, &QQuickWindow::beforeSynchronizing, window,
            [state] {
                // The GUI thread waits here: the window's size is read while it holds still.
                if (state->armed.exchange(false)) {
                    state->thisPass = true;
                    state->ratio = state->window->effectiveDevicePixelRatio();
                    state->height = qRound(state->window->height() * state->ratio);
                }
            },
            Qt::DirectConnection);
        m_render = QObject::connect(
            window, &QQuickWindow::afterRendering, window, [state] { state->read(); }, Qt::DirectConnection);
    }
    ~FirstPassProbe()
    {
        QObject::disconnect(m_sync);
        QObject::disconnect(m_render);
    }
    FirstPassProbe(const FirstPassProbe &) = delete;
    FirstPassProbe &operator=(const FirstPassProbe &) = delete;

    // GUI thread, in the same turn as the change, so the next synchronisation carries it.
    void arm() { m_state->armed = true; }
    bool done() const { return m_state->done; }
    QVector<QColor> colours() const
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->colours;
    }

private:
    struct State
    {
        // Render thread (the GUI thread under the basic loop), the window's context current.
        void read()
        {
            if (!thisPass)
                return;
            thisPass = false;
            QOpenGLContext *gl = QOpenGLContext::currentContext();
            if (!gl)
                return;
            QOpenGLFunctions *f = gl->functions();
            f->glBindFramebuffer(GL_FRAMEBUFFER, gl->defaultFramebufferObject());
            QVector<QColor> read;
            for (const QPoint &p : points) {
                uchar rgba[4] = {0, 0, 0, 0};
                f->glReadPixels(qRound(p.x() * ratio), height - 1 - qRound(p.y() * ratio), 1, 1, GL_RGBA,
                                GL_UNSIGNED_BYTE, rgba);
                read << QColor(rgba[0], rgba[1], rgba[2]);
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                colours = read;
            }
            done = true;
        }

        QQuickWindow *window = nullptr;
        QVector<QPoint> points;
        std::atomic<bool> armed{false};
        // Render thread only (written while the GUI thread waits in synchronisation).
        bool thisPass = false;
        qreal ratio = 1;
        int height = 0;
        std::atomic<bool> done{false};
        std::mutex mutex;
        QVector<QColor> colours;
    };

    std::shared_ptr<State> m_state;
    QMetaObject::Connection m_sync;
    QMetaObject::Connection m_render;
};

// Counts the window's passes on the GUI thread: frameSwapped comes on the render thread, where a
// signal spy would count while the test reads.
class SwapCounter
{
public:
    explicit SwapCounter(QQuickWindow *window)
    {
        QObject::connect(
            window, &QQuickWindow::frameSwapped, &m_receiver, [this] { ++m_count; }, Qt::QueuedConnection);
    }
    int count() const { return m_count; }
    void clear() { m_count = 0; }

private:
    QObject m_receiver;
    int m_count = 0;
};

// Red over blue, so a picture upside down is told apart from an upright one.
QString twoBandClip()
{
    const QString path = tvxtest::scratchPath(QStringLiteral("bands.mp4"));
    if (QFile::exists(path))
        return path;
    const auto r =
        tvxtest::runProcess(QStringLiteral("ffmpeg"),
                            {"-nostdin", "-hide_banner", "-v", "error", "-y", "-f", "lavfi", "-i",
                             "color=c=red:s=320x240:r=25:d=3,drawbox=x=0:y=120:w=320:h=120:color=blue:t=fill",
                             "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", path});
    return r.exitCode == 0 ? path : QString();
}

int nonBlackPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() + c.green() + c.blue() > 60)
                ++count;
        }
    }
    return count;
}

} // namespace

class TestVideoSurface : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QQuickView> m_view;

    QQuickItem *loadScene(const char *source = kScene)
    {
        auto *component = new QQmlComponent(m_view->engine(), m_view.get());
        component->setData(source, QUrl(QStringLiteral("qrc:/test/Scene.qml")));
        auto *item = qobject_cast<QQuickItem *>(component->create());
        if (!item) {
            qWarning() << component->errors();
            return nullptr;
        }
        item->setParentItem(m_view->rootObject());
        return item;
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        tvxtest::registerRealPlayerTypes();
        QVERIFY(!tvxtest::fixtures::smallMp4().isEmpty());
        QVERIFY(!twoBandClip().isEmpty());
    }

    void init()
    {
        m_view = std::make_unique<QQuickView>();
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        m_view->setColor(Qt::black);
        m_view->resize(320, 240);
        m_view->setContent(QUrl(), nullptr, new QQuickItem);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void cleanup() { m_view.reset(); }

    void playsUprightMovingPictures()
    {
        QQuickItem *scene = loadScene();
        QVERIFY(scene);
        auto *video = scene->findChild<MpvVideoItem *>(QStringLiteral("video"));
        auto *engine = scene->findChild<MpvEngine *>(QStringLiteral("engine"));
        QVERIFY(video && engine);
        QVERIFY(engine->initialized()); // binding the engine initialises it
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));

        QVERIFY(engine->playFile(QUrl::fromLocalFile(twoBandClip())));
        QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0.5; }, 10000));
        QImage frame;
        QVERIFY(tvxtest::waitUntil(
            [&] {
                frame = m_view->grabWindow();
                return nonBlackPixels(frame) > 100;
            },
            5000));
        const QColor top = frame.pixelColor(frame.width() / 2, frame.height() / 4);
        const QColor bottom = frame.pixelColor(frame.width() / 2, frame.height() * 3 / 4);
        QVERIFY2(top.red() > 150 && top.blue() < 100, qPrintable(top.name()));
        QVERIFY2(bottom.blue() > 150 && bottom.red() < 100, qPrintable(bottom.name()));

        QVERIFY(engine->playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0.3; }, 10000));
        QVERIFY(tvxtest::waitUntil([&] { return nonBlackPixels(m_view->grabWindow()) > 100; }, 5000));
        const QImage first = m_view->grabWindow();
        QVERIFY(tvxtest::waitUntil([&] { return m_view->grabWindow() != first; }, 5000));
        delete scene;
    }

    void onePassPerVideoFrame_data()
    {
        QTest::addColumn<QByteArray>("scene");
        QTest::newRow("into a texture, progress moving") << QByteArray(kProgressScene);
        QTest::newRow("into the window, progress moving") << drawnIntoWindow(kProgressScene);
        QTest::newRow("into the window, nothing else moving") << drawnIntoWindow(kScene);
    }

    // Under a software rasteriser every pass of the window costs the whole window: progress that
    // moves between two video frames must ride on the next frame's pass, not add a pass of its own.
    // Nor may a frame go without its pass: mpv, finding itself late, would show a third of them.
    // The second is checked a frame at a time while paused, where the machine's speed says
    // nothing; the first while playing (a loaded machine only lowers the count of passes).
    void onePassPerVideoFrame()
    {
        QFETCH(QByteArray, scene);
        QQuickItem *root = loadScene(scene.constData());
        QVERIFY(root);
        auto *video = root->findChild<MpvVideoItem *>(QStringLiteral("video"));
        auto *engine = root->findChild<MpvEngine *>(QStringLiteral("engine"));
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
        QVERIFY(engine->playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0.4; }, 10000));

        SwapCounter passes(m_view.get());
        QSignalSpy moves(engine, &MpvEngine::positionChanged);

        // Paused, then a frame at a time: each step brings its frame, its pass and its position.
        QVERIFY(engine->setPause(true));
        QVERIFY(tvxtest::waitUntil([&] { return engine->paused(); }, 5000));
        // On a loaded machine the pause can land at the clip's end, where a step brings nothing:
        // the steps start from a known frame, one the pause cannot have landed on. mpv reports
        // the target as its position while it seeks, and a step sent then is lost in the seek.
        const double target = engine->position() > 1.0 ? 0.2 : 1.2; // frames of the 25 fps clip
        const QByteArray targetText = QByteArray::number(target);
        const char *seek[] = {"seek", targetText.constData(), "absolute+exact", nullptr};
        QCOMPARE(mpv_command(engine->handle(), seek), 0);
        QVERIFY2(tvxtest::waitUntil(
                     [&] {
                         int seeking = 1;
                         mpv_get_property(engine->handle(), "seeking", MPV_FORMAT_FLAG, &seeking);
                         return !seeking && qAbs(engine->position() - target) < 0.01;
                     },
                     10000),
                 qPrintable(QStringLiteral("at %1 seeking %2").arg(engine->position()).arg(target)));
        for (int step = 0; step < 10; ++step) {
            const int passesBefore = passes.count();
            const int movesBefore = moves.count();
            const double at = engine->position();
            const char *frameStep[] = {"frame-step", nullptr};
            QCOMPARE(mpv_command(engine->handle(), frameStep), 0);
            QVERIFY2(tvxtest::waitUntil(
                         [&] {
                             return passes.count() > passesBefore && moves.count() > movesBefore &&
                                    engine->position() > at + 0.02;
                         },
                         10000),
                     qPrintable(QStringLiteral("step %1 at %2: %3 passes, %4 moves")
                                    .arg(step)
                                    .arg(engine->position())
                                    .arg(passes.count() - passesBefore)
                                    .arg(moves.count() - movesBefore)));
        }

        // Playing again: no more passes than frames.
        QVERIFY(engine->setPause(false));
        QVERIFY(tvxtest::waitUntil([&] { return !engine->paused(); }, 5000));
        passes.clear();
        const double start = engine->position();
        // The pause may land late on a loaded machine: measure up to shortly before the clip's end.
        const double until = qMin(start + 1.2, 2.6);
        QVERIFY2(tvxtest::waitUntil([&] { return engine->position() >= until; }, 10000),
                 qPrintable(QStringLiteral("from %1 at %2").arg(start).arg(engine->position())));
        const double frames = (engine->position() - start) * 25; // the clip's rate
        const QString counts = QStringLiteral("%1 passes for %2 frames").arg(passes.count()).arg(frames);
        QVERIFY2(passes.count() <= frames * 1.25 + 2, qPrintable(counts));
        delete root;
    }

    // The picture is opaque: drawn as a blended item, the software rasteriser would read back and
    // blend the whole video area on every frame.
    void pictureDrawnWithoutBlending()
    {
        QQuickItem *scene = loadScene();
        QVERIFY(scene);
        auto *video = scene->findChild<MpvVideoItem *>(QStringLiteral("video"));
        auto *engine = scene->findChild<MpvEngine *>(QStringLiteral("engine"));
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
        QVERIFY(engine->playFile(QUrl::fromLocalFile(twoBandClip())));
        QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0.3; }, 10000));
        // The texture provider may be read on the render thread only. The slot captures nothing:
        // what it reads is published through atomics, not through the connection's own copy,
        // which the render thread may call before the race checker sees it handed over.
        static std::atomic<MpvVideoItem *> probed{nullptr};
        static std::atomic<int> alpha{-1};
        alpha.store(-1);
        probed.store(video);
        const auto connection = connect(
            m_view.get(), &QQuickWindow::afterRendering, video,
            [] {
                MpvVideoItem *item = probed.load();
                QSGTextureProvider *provider = item ? item->textureProvider() : nullptr;
                if (provider && provider->texture())
                    alpha.store(provider->texture()->hasAlphaChannel() ? 1 : 0);
            },
            Qt::DirectConnection);
        video->update();
        QVERIFY(tvxtest::waitUntil([&] { return alpha.load() >= 0; }, 5000));
        disconnect(connection);
        probed.store(nullptr);
        QCOMPARE(alpha.load(), 0);
        delete scene;
    }

    void drawsStraightIntoTheWindow_data()
    {
        QTest::addColumn<QString>("change");
        // Points the picture covered before the change and must leave at once: mpv learns of
        // a new place only after the pass that found it.
        QTest::addColumn<QVector<QPoint>>("vacated");
        QTest::newRow("in place") << "" << QVector<QPoint>{};
        QTest::newRow("frame moved") << "moved" << QVector<QPoint>{{200, 100}, {170, 150}};
        QTest::newRow("frame grown to the window") << "grown" << QVector<QPoint>{};
        // The picture's old place in proportion to the larger window.
        QTest::newRow("window resized") << "window" << QVector<QPoint>{{300, 200}};
        // What full screen does to the page: Xvfb has no window manager to make it so.
        QTest::newRow("window as big as a screen, frame filling it") << "fullscreen" << QVector<QPoint>{};
        QTest::newRow("hidden and shown") << "hidden" << QVector<QPoint>{};
        QTest::newRow("stretched to fill a wider frame") << "fill" << QVector<QPoint>{{160, 64}, {160, 176}};
        // mpv keeps the picture in its margins only while it keeps the picture's aspect.
        QTest::newRow("stretched to fill a frame above the middle")
            << "fill high" << QVector<QPoint>{{160, 150}, {100, 170}};
    }

    // mpv draws into the window's own framebuffer before the scene: the picture upright at the
    // item's place whatever moves, the window's colour around it (its clear is off meanwhile),
    // the scene's items in front of it, and the window cleared where a hidden item was.
    void drawsStraightIntoTheWindow()
    {
        QFETCH(QString, change);
        QFETCH(QVector<QPoint>, vacated);
        m_view->setColor(kWindowColour);
        QQuickItem *scene = loadScene(kDirectScene);
        QVERIFY(scene);
        auto *frameItem = scene->findChild<QQuickItem *>(QStringLiteral("frame"));
        auto *video = scene->findChild<MpvVideoItem *>(QStringLiteral("video"));
        auto *engine = scene->findChild<MpvEngine *>(QStringLiteral("engine"));
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
        QVERIFY(!m_view->clearBeforeRendering());
        QVERIFY(engine->playFile(QUrl::fromLocalFile(twoBandClip())));
        QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0.3; }, 10000));

        QString problem;
        const auto showsPicture = [&](const QRect &place, const QPoint &bare) {
            return tvxtest::waitUntil(
                [&] {
                    problem = pictureProblem(m_view->grabWindow(), place, bare);
                    return problem.isEmpty();
                },
                5000);
        };
        QVERIFY2(showsPicture(QRect(80, 60, 160, 120), QPoint(40, 120)), qPrintable(problem));

        FirstPassProbe firstPass(m_view.get(), vacated);
        if (change == QLatin1String("moved")) {
            frameItem->setPosition(QPointF(0, 0));
            firstPass.arm();
            QVERIFY2(showsPicture(QRect(0, 0, 160, 120), QPoint(200, 100)), qPrintable(problem));
        } else if (change == QLatin1String("grown")) {
            frameItem->setPosition(QPointF(0, 0));
            frameItem->setSize(QSizeF(320, 240));
            QVERIFY2(showsPicture(QRect(0, 0, 320, 240), QPoint(-1, -1)), qPrintable(problem));
        } else if (change == QLatin1String("window")) {
            // The window takes its new size when the display answers: the pass after that counts.
            const auto resized =
                connect(m_view.get(), &QWindow::heightChanged, this, [&] { firstPass.arm(); });
            m_view->resize(480, 360);
            QVERIFY(tvxtest::waitUntil([&] { return firstPass.done(); }, 5000));
            disconnect(resized);
            QVERIFY2(showsPicture(QRect(80, 60, 160, 120), QPoint(400, 300)), qPrintable(problem));
        } else if (change == QLatin1String("fullscreen")) {
            m_view->resize(1280, 720);
            QVERIFY(tvxtest::waitUntil([&] { return m_view->width() == 1280; }, 5000));
            frameItem->setPosition(QPointF(0, 0));
            frameItem->setSize(m_view->size());
            const QRect whole(QPoint(0, 0), m_view->size());
            QVERIFY2(showsPicture(whole, QPoint(-1, -1)), qPrintable(problem));
        } else if (change.startsWith(QLatin1String("fill"))) {
            QVERIFY(engine->setAspectMode(QStringLiteral("fill")));
            const QRect place(40, change == QLatin1String("fill") ? 70 : 20, 240, 100);
            frameItem->setPosition(place.topLeft());
            frameItem->setSize(place.size());
            firstPass.arm();
            QVERIFY2(showsPicture(place, QPoint(20, 120)), qPrintable(problem));
            // The picture's own shape would leave the frame's left end bare.
            QVERIFY(tvxtest::waitUntil(
                [&] {
                    const QColor c = m_view->grabWindow().pixelColor(place.left() + 5, place.top() + 10);
                    return c.red() > 150 && c.blue() < 100;
                },
                5000));
        } else if (change == QLatin1String("hidden")) {
            video->setVisible(false);
            QVERIFY(tvxtest::waitUntil(
                [&] { return near(m_view->grabWindow().pixelColor(120, 90), kWindowColour); }, 5000));
            video->setVisible(true);
            QVERIFY2(showsPicture(QRect(80, 60, 160, 120), QPoint(40, 120)), qPrintable(problem));
        }
        // The first pass after the change already shows the window's colour where the picture was.
        if (!vacated.isEmpty()) {
            QVERIFY(tvxtest::waitUntil([&] { return firstPass.done(); }, 5000));
            const QVector<QColor> colours = firstPass.colours();
            for (int i = 0; i < vacated.size(); ++i) {
                QVERIFY2(near(colours.value(i), kWindowColour),
                         qPrintable(QStringLiteral("(%1, %2) in the first pass: %3")
                                        .arg(vacated[i].x())
                                        .arg(vacated[i].y())
                                        .arg(colours.value(i).name())));
            }
        }
        delete scene;
        // With the surface gone the window clears itself again.
        QVERIFY(tvxtest::waitUntil([&] { return m_view->clearBeforeRendering(); }, 5000));
        QVERIFY(tvxtest::waitUntil(
            [&] { return near(m_view->grabWindow().pixelColor(120, 90), kWindowColour); }, 5000));
    }

    // The window's clear is one per window: a second surface that asks to draw into the same
    // window draws into a texture instead, and the window's clear stays off until the surface
    // that turned it off goes, whichever goes first.
    void oneSurfaceDrawsIntoAWindow_data()
    {
        QTest::addColumn<bool>("firstGoesFirst");
        QTest::newRow("the first surface goes first") << true;
        QTest::newRow("the second surface goes first") << false;
    }

    void oneSurfaceDrawsIntoAWindow()
    {
        QFETCH(bool, firstGoesFirst);
        m_view->setColor(kWindowColour);
        QQuickItem *scene = loadScene(R"(
import QtQuick 2.15
import Tavrixo 1.0
Item {
    width: 320; height: 240
    MpvEngine { id: one; objectName: "one" }
    MpvEngine { id: two; objectName: "two" }
    MpvVideoItem { objectName: "first"; x: 0; y: 0; width: 160; height: 120; engine: one; drawsIntoWindow: true }
    MpvVideoItem { objectName: "second"; x: 160; y: 120; width: 160; height: 120; engine: two; drawsIntoWindow: true }
}
)");
        QVERIFY(scene);
        QPointer<MpvVideoItem> first = scene->findChild<MpvVideoItem *>(QStringLiteral("first"));
        QPointer<MpvVideoItem> second = scene->findChild<MpvVideoItem *>(QStringLiteral("second"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("another surface already draws")));
        QVERIFY(tvxtest::waitUntil(
            [&] { return first->renderContextReady() && second->renderContextReady(); }, 10000));
        for (const QString &name : {QStringLiteral("one"), QStringLiteral("two")}) {
            auto *engine = scene->findChild<MpvEngine *>(name);
            QVERIFY(engine);
            QVERIFY(engine->playFile(QUrl::fromLocalFile(twoBandClip())));
            QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0.3; }, 10000));
        }

        QPointer<MpvVideoItem> stays = firstGoesFirst ? second : first;
        delete (firstGoesFirst ? first : second).data();
        const QRect place = stays->mapRectToScene(stays->boundingRect()).toRect();
        QString problem;
        QVERIFY2(tvxtest::waitUntil(
                     [&] {
                         problem = pictureProblem(m_view->grabWindow(), place, QPoint(-1, -1), false);
                         return problem.isEmpty();
                     },
                     5000),
                 qPrintable(problem));
        delete stays.data();
        QVERIFY(tvxtest::waitUntil([&] { return m_view->clearBeforeRendering(); }, 5000));
        delete scene;
    }

    // The way a surface draws is chosen when its node is made: a later change is refused aloud
    // rather than left unapplied in silence.
    void drawingWayKeptOnceShown()
    {
        QQuickItem *scene = loadScene();
        auto *video = scene->findChild<MpvVideoItem *>(QStringLiteral("video"));
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
        QSignalSpy changed(video, &MpvVideoItem::drawsIntoWindowChanged);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("drawsIntoWindow cannot change")));
        video->setDrawsIntoWindow(true);
        QVERIFY(!video->drawsIntoWindow());
        QCOMPARE(changed.count(), 0);
        QVERIFY(m_view->clearBeforeRendering());
        // Out of the window the item has no node, and the way may change.
        video->setParentItem(nullptr);
        video->setDrawsIntoWindow(true);
        QVERIFY(video->drawsIntoWindow());
        video->setParentItem(scene);
        QVERIFY(tvxtest::waitUntil([&] { return !m_view->clearBeforeRendering(); }, 5000));
        delete scene;
    }

    void rebindingTheSameEngineDoesNothing()
    {
        QQuickItem *scene = loadScene();
        auto *video = scene->findChild<MpvVideoItem *>(QStringLiteral("video"));
        auto *engine = scene->findChild<MpvEngine *>(QStringLiteral("engine"));
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
        QSignalSpy engineChanged(video, &MpvVideoItem::engineChanged);
        QSignalSpy readyChanged(video, &MpvVideoItem::renderContextReadyChanged);
        video->setEngine(engine);
        QCOMPARE(engineChanged.count(), 0);
        QCOMPARE(readyChanged.count(), 0);

        // Another engine: ready drops at once, before engineChanged, and returns for the new handle.
        MpvEngine other;
        QStringList order;
        connect(video, &MpvVideoItem::renderContextReadyChanged, this, [&] { order << "ready"; });
        connect(video, &MpvVideoItem::engineChanged, this, [&] { order << "engine"; });
        video->setEngine(&other);
        QCOMPARE(order, (QStringList{"ready", "engine"}));
        QVERIFY(!video->renderContextReady());
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
        video->setEngine(engine);
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
        delete scene;
    }

    void itemWithoutEngineNeverGetsReady()
    {
        auto *item = new MpvVideoItem(m_view->rootObject());
        item->setSize(QSizeF(100, 100));
        item->update();
        QTest::qWait(300);
        QVERIFY(!item->renderContextReady());
        delete item;
    }

    void teardownWhilePlaying_data()
    {
        QTest::addColumn<bool>("itemFirst");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("intoWindow");
        QTest::newRow("item first, at once") << true << 0 << false;
        QTest::newRow("item first, while drawing") << true << 150 << false;
        QTest::newRow("engine first, at once") << false << 0 << false;
        QTest::newRow("engine first, while drawing") << false << 150 << false;
        QTest::newRow("item first, while drawing into the window") << true << 150 << true;
        QTest::newRow("engine first, while drawing into the window") << false << 150 << true;
    }

    // Tool pages destroy their player inside a living window: the render context must be
    // freed on the render thread before the mpv core goes, and no callback may reach a
    // destroyed item (AddressSanitizer checks the rest).
    void teardownWhilePlaying()
    {
        QFETCH(bool, itemFirst);
        QFETCH(int, delayMs);
        QFETCH(bool, intoWindow);
        const QByteArray source = intoWindow ? drawnIntoWindow(kScene) : QByteArray(kScene);
        for (int round = 0; round < 3; ++round) {
            QQuickItem *scene = loadScene(source.constData());
            QVERIFY(scene);
            QPointer<MpvVideoItem> video = scene->findChild<MpvVideoItem *>(QStringLiteral("video"));
            QPointer<MpvEngine> engine = scene->findChild<MpvEngine *>(QStringLiteral("engine"));
            QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
            QVERIFY(engine->playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
            QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0; }, 10000));
            QTest::qWait(delayMs);
            if (itemFirst) {
                delete video.data();
                QTest::qWait(delayMs + 50);
                QVERIFY(engine);
                QVERIFY(engine->position() >= 0);
            } else {
                QSignalSpy readyChanged(video.data(), &MpvVideoItem::renderContextReadyChanged);
                delete engine.data();
                QVERIFY(tvxtest::waitUntil([&] { return !video->renderContextReady(); }, 5000));
                QTest::qWait(delayMs + 50);
                QVERIFY(video);
            }
            delete scene;
            QTest::qWait(20);
        }
        // The window keeps drawing after every teardown, and clears itself again.
        QVERIFY(tvxtest::waitUntil([&] { return !m_view->grabWindow().isNull(); }, 5000));
        QVERIFY(m_view->clearBeforeRendering());
    }

    // The tool windows beside the playing page, as a busy session has them: each opens with its
    // own player, changes its video, takes another engine, and is closed (hidden first, as the
    // close button does, or destroyed outright) while the other still draws. Every render
    // context is freed with an OpenGL context current and never while a GUI thread waits
    // (AddressSanitizer and ThreadSanitizer check the rest).
    void toolWindowsComeAndGoWhilePagePlays()
    {
        m_view->setColor(kWindowColour);
        QQuickItem *page = loadScene(kDirectScene);
        QVERIFY(page);
        auto *pageVideo = page->findChild<MpvVideoItem *>(QStringLiteral("video"));
        auto *pageEngine = page->findChild<MpvEngine *>(QStringLiteral("engine"));
        QVERIFY(tvxtest::waitUntil([&] { return pageVideo->renderContextReady(); }, 10000));
        const QStringList clips{twoBandClip(), tvxtest::fixtures::smallMp4()};

        for (int round = 0; round < 3; ++round) {
            QVERIFY(pageEngine->playFile(QUrl::fromLocalFile(twoBandClip())));
            std::vector<std::unique_ptr<QQuickView>> tools;
            for (int i = 0; i < 2; ++i) {
                auto tool = std::make_unique<QQuickView>();
                tool->setResizeMode(QQuickView::SizeRootObjectToView);
                tool->resize(320, 240);
                QQmlComponent component(tool->engine());
                component.setData(i == 0 ? kScene : drawnIntoWindow(kScene).constData(),
                                  QUrl(QStringLiteral("qrc:/test/Tool.qml")));
                tool->setContent(QUrl(), &component, component.create());
                QVERIFY(tool->rootObject());
                tool->show();
                tools.push_back(std::move(tool));
            }
            for (int i = 0; i < 2; ++i) {
                QQuickItem *root = tools[size_t(i)]->rootObject();
                auto *video = root->findChild<MpvVideoItem *>(QStringLiteral("video"));
                auto *engine = root->findChild<MpvEngine *>(QStringLiteral("engine"));
                QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
                QVERIFY(engine->playFile(QUrl::fromLocalFile(clips[i])));
            }
            for (int i = 0; i < 2; ++i) {
                QQuickItem *root = tools[size_t(i)]->rootObject();
                auto *video = root->findChild<MpvVideoItem *>(QStringLiteral("video"));
                auto *engine = root->findChild<MpvEngine *>(QStringLiteral("engine"));
                QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0; }, 10000));
                // Another video in the same player, then another player for the item.
                QVERIFY(engine->stopPlayback());
                QVERIFY(engine->playFile(QUrl::fromLocalFile(clips[1 - i])));
                auto *other = new MpvEngine(root);
                video->setEngine(other);
                QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
                QVERIFY(other->playFile(QUrl::fromLocalFile(clips[i])));
                if (round == 1)
                    delete engine; // the item's earlier engine is gone already; this one goes too
            }
            QTest::qWait(round * 100);
            // The first closed and hidden before it goes, the second destroyed outright; the
            // order turns with each round.
            const size_t first = size_t(round % 2);
            tools[first]->hide();
            QTest::qWait(50);
            tools[first].reset();
            tools[1 - first].reset();
        }
        QString problem;
        QVERIFY2(tvxtest::waitUntil(
                     [&] {
                         problem =
                             pictureProblem(m_view->grabWindow(), QRect(80, 60, 160, 120), QPoint(40, 120));
                         return problem.isEmpty();
                     },
                     5000),
                 qPrintable(problem));
        delete page;
    }

    void windowClosedWhilePlaying_data()
    {
        QTest::addColumn<bool>("intoWindow");
        QTest::newRow("into a texture") << false;
        QTest::newRow("into the window") << true;
    }

    void windowClosedWhilePlaying()
    {
        QFETCH(bool, intoWindow);
        const QByteArray source = intoWindow ? drawnIntoWindow(kScene) : QByteArray(kScene);
        QQuickItem *scene = loadScene(source.constData());
        auto *video = scene->findChild<MpvVideoItem *>(QStringLiteral("video"));
        auto *engine = scene->findChild<MpvEngine *>(QStringLiteral("engine"));
        QVERIFY(tvxtest::waitUntil([&] { return video->renderContextReady(); }, 10000));
        QVERIFY(engine->playFile(QUrl::fromLocalFile(tvxtest::fixtures::smallMp4())));
        QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0; }, 10000));
        scene->setParent(m_view->rootObject()); // owned by the window's tree, as in the program
        m_view.reset();                         // the whole window goes, as at program exit
    }
};

// Under the sanitizer build this test looks for memory errors across the three threads. Leak
// checking stays off: its exit-time scan of the OpenGL driver's threads crashes now and then,
// and what it finds there belongs to the driver, D-Bus and fontconfig.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

int main(int argc, char **argv)
{
    QStringList args;
    bool basic = false;
    for (int i = 0; i < argc; ++i) {
        if (qstrcmp(argv[i], "-basic-render-loop") == 0)
            basic = true;
        else
            args << QString::fromLocal8Bit(argv[i]);
    }
    qputenv("QSG_RENDER_LOOP", basic ? "basic" : "threaded");
    QGuiApplication app(argc, argv);
    TestVideoSurface test;
    return QTest::qExec(&test, args);
}

#include "tst_videosurface.moc"
