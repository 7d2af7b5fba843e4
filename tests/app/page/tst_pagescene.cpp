// End to end inside one process: the real engine, video surface, play list and coordinator
// behind the player page in the real main window, playing generated clips under Xvfb.
#include "TestSupport.h"
#include "app/QmlContextObjects.h"
#include "app/QmlTypes.h"
#include "ffmpeg/MediaPreviewService.h"
#include "i18n/I18n.h"
#include "i18n/I18nService.h"
#include "platform/RegistryStore.h"
#include "player/MpvEngine.h"
#include "player/PlaybackCoordinator.h"
#include "player/PlaylistModel.h"
#include "player/mpv/MpvVideoItem.h"
#include "system/SystemActions.h"

#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml>
#include <QtTest>

#include <algorithm>

namespace {

QObject *child(QObject *root, const char *name)
{
    return root ? root->findChild<QObject *>(QLatin1String(name)) : nullptr;
}

// Share of pixels in the middle of the image that are clearly not black.
double litShare(const QImage &image, const QRect &area)
{
    int lit = 0;
    int total = 0;
    for (int y = area.top(); y < area.bottom(); y += 4) {
        for (int x = area.left(); x < area.right(); x += 4) {
            const QColor c = image.pixelColor(x, y);
            lit += (c.red() + c.green() + c.blue()) > 60 ? 1 : 0;
            ++total;
        }
    }
    return total > 0 ? double(lit) / total : 0.0;
}

// Screenshots for the documentation, only when the variable names a file.
void saveShot(const QImage &image, const char *variable)
{
    const QString path = qEnvironmentVariable(variable);
    if (!path.isEmpty())
        image.scaledToWidth(960, Qt::SmoothTransformation).save(path);
}

// The thumbnail image of a row in the thumbnail view has loaded.
// Asks for a frame and waits until the window has drawn it, so what a grab or a check sees
// is the scene's current state (and the render thread has let go of deleted items).
bool waitForFrame(QQuickWindow *window)
{
    // frameSwapped comes on the render thread: a spy would count there while this thread reads.
    int swapped = 0;
    QObject receiver;
    QObject::connect(
        window, &QQuickWindow::frameSwapped, &receiver, [&swapped] { ++swapped; }, Qt::QueuedConnection);
    window->update();
    return tvxtest::waitUntil([&swapped] { return swapped > 0; }, 5000);
}

// The items that draw something over any of `cover`, painted before `stop`.
void fillsBehind(QQuickItem *item, QQuickItem *stop, const QRectF &cover, QStringList &found, bool &stopped)
{
    if (stopped || !item->isVisible() || item->opacity() <= 0)
        return;
    if (item == stop) {
        stopped = true;
        return;
    }
    if ((item->flags() & QQuickItem::ItemHasContents) &&
        item->mapRectToScene(item->boundingRect()).intersects(cover))
        found << QString::fromLatin1(item->metaObject()->className());
    QList<QQuickItem *> children = item->childItems();
    std::stable_sort(children.begin(), children.end(),
                     [](const QQuickItem *a, const QQuickItem *b) { return a->z() < b->z(); });
    for (QQuickItem *c : children)
        fillsBehind(c, stop, cover, found, stopped);
}

bool rowThumbnailReady(QObject *list, int row)
{
    QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, row), Q_ARG(int, 0));
    list->setProperty("currentIndex", row);
    QObject *item = list->property("currentItem").value<QObject *>();
    QObject *thumb = child(item, "rowThumbnailImage");
    return thumb && thumb->property("status").toInt() == 1 && thumb->property("visible").toBool();
}

} // namespace

class PageSceneTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
        qputenv("TVX_MPV_AO", "null");
        app::registerQmlTypes();
        m_clipA = tvxtest::fixtures::smallMp4();
        m_clipB = tvxtest::fixtures::mkvTwoAudio();
        QVERIFY(!m_clipA.isEmpty());
        QVERIFY(!m_clipB.isEmpty());
    }

    void playsPausesAndListsClips()
    {
        PlaylistModel playlist;
        MediaPreviewService previews;
        I18nService i18nService;
        i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
        QQmlApplicationEngine engine;
        app::QmlContextObjects objects;
        objects.playlistStore = &playlist;
        objects.playerSettingsFilePath = tvxtest::scratchPath("player.ini");
        objects.appSettingsMenuSettingsFilePath = tvxtest::scratchPath("app_settings_menu.ini");
        objects.mediaPreviewService = &previews;
        objects.i18n = &i18nService;
        objects.startupShouldTrackActivityFromCpp = false;
        app::publishToQml(engine.rootContext(), objects);
        engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(engine.rootObjects().size(), 1);
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QObject *page = window->property("pageItem").value<QObject *>();
        QVERIFY(page);
        QObject *view = child(page, "playerView");
        QObject *player = child(view, "videoPlayer");
        QVERIFY(view && player);
        auto *mpv = qobject_cast<MpvEngine *>(player->property("engine").value<QObject *>());
        QVERIFY(mpv);

        const QString urlA = QUrl::fromLocalFile(m_clipA).toString();
        QVERIFY(QMetaObject::invokeMethod(page, "openExternalFilesAndPlay",
                                          Q_ARG(QVariant, QVariant(QVariantList{urlA}))));
        QTRY_VERIFY_WITH_TIMEOUT(view->property("hasMedia").toBool(), tvxtest::scaledMs(10000));
        QTRY_VERIFY_WITH_TIMEOUT(mpv->position() > 0.4, tvxtest::scaledMs(15000));

        // The picture is in the page: the middle of the video area is not black.
        QObject *viewport = child(view, "playerViewport");
        auto *viewportItem = qobject_cast<QQuickItem *>(viewport);
        QVERIFY(viewportItem);
        const QRectF area =
            viewportItem->mapRectToScene(QRectF(0, 0, viewportItem->width(), viewportItem->height()));
        QImage frame;
        QTRY_VERIFY_WITH_TIMEOUT((frame = window->grabWindow(),
                                  litShare(frame, area.toRect().adjusted(200, 100, -200, -100)) > 0.3),
                                 10000);
        saveShot(frame, "TVX_PAGE_SCREENSHOT");

        // Nothing of the page is drawn behind the playing picture: under a software rasteriser
        // every such fill costs the video area again on every frame, and mpv draws the picture
        // into the window before the scene, so anything behind it would paint over it.
        auto *surface = qobject_cast<QQuickItem *>(child(player, "videoSurface"));
        QVERIFY(surface);
        QStringList behind;
        bool reached = false;
        fillsBehind(window->contentItem(), surface,
                    surface->mapRectToScene(surface->boundingRect()).adjusted(1, 1, -1, -1), behind, reached);
        QVERIFY(reached);
        QVERIFY2(behind.isEmpty(), qPrintable(behind.join(QLatin1String(", "))));
        QVERIFY(!window->clearBeforeRendering());

        // Space pauses: the position stops moving.
        window->requestActivate();
        QTest::keyClick(window, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(mpv->paused(), tvxtest::scaledMs(5000));
        // Paused is a clip that holds still: an observation over time, not a state to wait for.
        QTest::qWait(300);
        const double pausedAt = mpv->position();
        QTest::qWait(600);
        QCOMPARE(mpv->position(), pausedAt);

        // A second clip opened is added to the list and plays; the panel shows both.
        const QString urlB = QUrl::fromLocalFile(m_clipB).toString();
        QVERIFY(QMetaObject::invokeMethod(page, "openExternalFilesAndPlay",
                                          Q_ARG(QVariant, QVariant(QVariantList{urlB}))));
        QCOMPARE(playlist.count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(view->property("currentFileUrl").toString(), urlB,
                                  tvxtest::scaledMs(10000));
        QVERIFY(QMetaObject::invokeMethod(page, "setPlaylistCollapsed", Q_ARG(QVariant, false)));
        QObject *panel = page->property("playlistPanel").value<QObject *>();
        QVERIFY(panel);
        QObject *list = child(panel, "playlistView");
        QTRY_COMPARE_WITH_TIMEOUT(list->property("count").toInt(), 2, tvxtest::scaledMs(5000));
        if (!qEnvironmentVariableIsEmpty("TVX_PAGE_LIST_SCREENSHOT")) {
            QVERIFY(waitForFrame(window));
            saveShot(window->grabWindow(), "TVX_PAGE_LIST_SCREENSHOT");
        }
        // The new row gets its thumbnail from the preview service.
        panel->setProperty("thumbnailMode", true);
        QTRY_VERIFY_WITH_TIMEOUT(rowThumbnailReady(list, 1), tvxtest::scaledMs(30000));
        if (!qEnvironmentVariableIsEmpty("TVX_PAGE_PANEL_SCREENSHOT")) {
            QVERIFY(waitForFrame(window));
            saveShot(window->grabWindow(), "TVX_PAGE_PANEL_SCREENSHOT");
        }

        // Tear down inside the living window, as tool pages do.
        QVERIFY(QMetaObject::invokeMethod(view, "clearFile"));
        QTRY_VERIFY(!view->property("hasMedia").toBool());
    }

    // The settings menu registers and unregisters the default player in the registry store.
    void settingsMenuRegistersDefaultPlayer()
    {
        i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties"));
        PlaylistModel playlist;
        SystemActions actions;
        const QString registryFile = tvxtest::scratchPath("registry/menu.ini");
        platform::RegistryStore store(registryFile);
        actions.setRegistryStore(&store);
        I18nService i18nService;
        i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
        QQmlApplicationEngine engine;
        app::QmlContextObjects objects;
        objects.playlistStore = &playlist;
        objects.systemActions = &actions;
        objects.appSettingsMenuSettingsFilePath = tvxtest::scratchPath("menu/app_settings_menu.ini");
        objects.i18n = &i18nService;
        objects.startupShouldTrackActivityFromCpp = false;
        app::publishToQml(engine.rootContext(), objects);
        engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(engine.rootObjects().size(), 1);
        QObject *page = engine.rootObjects().first()->property("pageItem").value<QObject *>();
        QVERIFY(page);
        QObject *menu = page->property("settingsMenu").value<QObject *>();
        QVERIFY(menu);
        QVERIFY(!menu->property("defaultPlayerEnabled").toBool());

        const QString extensionKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes\\.mp4");
        QString progId;
        bool found = false;
        QVERIFY(QMetaObject::invokeMethod(menu, "triggerAction",
                                          Q_ARG(QVariant, QStringLiteral("defaultPlayer"))));
        QCOMPARE(page->property("settingsStatusText").toString(),
                 i18n::t(QStringLiteral("system.status.default_player_set")));
        QVERIFY(menu->property("defaultPlayerEnabled").toBool());
        platform::RegistryStore reread(registryFile);
        QVERIFY(reread.read(extensionKey, QString(), &progId, &found));
        QVERIFY(found);
        QCOMPARE(progId, QStringLiteral("Tavrixo.mp4"));

        QVERIFY(QMetaObject::invokeMethod(menu, "triggerAction",
                                          Q_ARG(QVariant, QStringLiteral("defaultPlayer"))));
        QCOMPARE(page->property("settingsStatusText").toString(),
                 i18n::t(QStringLiteral("system.status.default_player_unset")));
        QVERIFY(!menu->property("defaultPlayerEnabled").toBool());
        platform::RegistryStore afterRollback(registryFile);
        QVERIFY(afterRollback.read(extensionKey, QString(), &progId, &found));
        QVERIFY(!found);
    }

    // Tool pages create and destroy their own players inside a living window.
    void playerCreatedAndDestroyedInLivingWindow()
    {
        QQmlApplicationEngine engine;
        engine.loadData("import QtQuick 2.14\nimport QtQuick.Window 2.14\n"
                        "Window { width: 640; height: 360; visible: true }");
        QCOMPARE(engine.rootObjects().size(), 1);
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/qml/components/CommonVideoPlayer.qml")));
        QVERIFY2(component.isReady(), qPrintable(component.errorString()));
        const QString url = QUrl::fromLocalFile(m_clipA).toString();
        for (int round = 0; round < 3; ++round) {
            QObject *player = component.create(engine.rootContext());
            QVERIFY(player);
            auto *item = qobject_cast<QQuickItem *>(player);
            item->setParentItem(window->contentItem());
            item->setSize(QSizeF(640, 360));
            QVERIFY(QMetaObject::invokeMethod(player, "openForPreview", Q_ARG(QVariant, url),
                                              Q_ARG(QVariant, 1.0), Q_ARG(QVariant, round == 1)));
            QTRY_VERIFY_WITH_TIMEOUT(player->property("hasMedia").toBool(), tvxtest::scaledMs(10000));
            // Each round tears the player down at a later point of its start: as soon as it
            // has media, after its first drawn frame, once the clip plays.
            if (round >= 1)
                QVERIFY(waitForFrame(window));
            if (round == 2) {
                auto *mpv = qobject_cast<MpvEngine *>(player->property("engine").value<QObject *>());
                QVERIFY(mpv);
                QTRY_VERIFY_WITH_TIMEOUT(mpv->position() > 0.1, tvxtest::scaledMs(10000));
            }
            delete player;
            QVERIFY(waitForFrame(window));
        }
    }

private:
    QString m_clipA;
    QString m_clipB;
};

// Under the sanitizer build these tests look for memory errors; leak checking stays off, as
// what it reports at exit belongs to the OpenGL driver, D-Bus and fontconfig.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

QTEST_MAIN(PageSceneTest)
#include "tst_pagescene.moc"
