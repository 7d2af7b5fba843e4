// libmpv opened after the first frame: the loader reports ready once, and the shared video
// component neither opens nor starts an engine before it may bind one.
#include "RealPlayerTypes.h"
#include "TestSupport.h"
#include "player/MpvEngine.h"
#include "player/mpv/MpvLibrary.h"
#include "player/mpv/MpvLibraryLoader.h"
#include "player/mpv/MpvVideoItem.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QtTest>

class TestMpvLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        tvxtest::registerRealPlayerTypes();
    }

    // Runs first: nothing in this process has called into libmpv yet.
    void componentWaitsUntilItMayBind()
    {
        QVERIFY(!mpvlib::openingDone());
        QQuickView view;
        view.resize(320, 240);
        view.setContent(QUrl(), nullptr, new QQuickItem);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QQmlComponent component(view.engine(),
                                QUrl(QStringLiteral("qrc:/qml/components/CommonVideoPlayer.qml")));
        QScopedPointer<QObject> player(
            component.createWithInitialProperties({{"bindEngine", false}, {"width", 320}, {"height", 240}}));
        QVERIFY2(player, qPrintable(component.errorString()));
        qobject_cast<QQuickItem *>(player.data())->setParentItem(view.rootObject());
        auto *engine = player->property("engine").value<MpvEngine *>();
        QVERIFY(engine);

        // The start-up path of the main page: an empty play list clears the player.
        QVariant stopped;
        QVERIFY(QMetaObject::invokeMethod(player.data(), "stop", Q_RETURN_ARG(QVariant, stopped)));
        QVERIFY(stopped.toBool());
        QVERIFY(!engine->initialized());
        QVERIFY(!mpvlib::openingDone());
        // A play request waits for the surface instead of starting libmpv.
        QVariant parked;
        QVERIFY(QMetaObject::invokeMethod(
            player.data(), "play", Q_RETURN_ARG(QVariant, parked),
            Q_ARG(QVariant, QUrl::fromLocalFile(tvxtest::fixtures::smallMp4()).toString())));
        QVERIFY(player->property("playParked").toBool());
        QVERIFY(!mpvlib::openingDone());

        MpvLibraryLoader loader;
        QSignalSpy ready(&loader, &MpvLibraryLoader::readyChanged);
        loader.loadInBackground();
        loader.loadInBackground();
        QVERIFY(!loader.ready()); // announced through the event loop, never inside the call
        QVERIFY(ready.wait(tvxtest::scaledMs(30000)));
        QCOMPARE(ready.count(), 1);
        QVERIFY(mpvlib::openingDone());

        player->setProperty("bindEngine", true);
        QVERIFY(engine->initialized());
        QVERIFY(tvxtest::waitUntil([&] { return player->property("hasMedia").toBool(); }, 10000));
        QVERIFY(tvxtest::waitUntil([&] { return engine->position() > 0.1; }, 10000));

        // Once open, a later loader is ready at once.
        MpvLibraryLoader later;
        later.loadInBackground();
        QVERIFY(later.ready());
    }
};

QTEST_MAIN(TestMpvLibrary)
#include "tst_mpvlibrary.moc"
