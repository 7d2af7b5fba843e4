// The main window with the real objects behind it. Every guarded call site of the QML sources is
// checked against them: each member a document reaches through Guard must exist on the class it
// reaches, so a misspelt member, or a member that only a test's stand-in has, fails here instead
// of turning into a silent no-op. And a file the real engine cannot play empties the player.
#include "RealPlayerTypes.h"
#include "TestSupport.h"
#include "app/QmlContextObjects.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"
#include "cloud/video_to_text/VideoToTextViewModel.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/MediaPreviewService.h"
#include "i18n/I18nService.h"
#include "player/MpvEngine.h"
#include "player/PlaylistModel.h"
#include "player/mpv/MpvLibrary.h"
#include "player/mpv/MpvLibraryLoader.h"
#include "system/FileDialogService.h"
#include "system/SingleInstanceService.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/format_convert/FormatConvertViewModel.h"
#include "tools/video_compress/VideoCompressTaskFactory.h"
#include "tools/video_compress/VideoCompressViewModel.h"
#include "user_pay/AccountManager.h"
#include "user_pay/WebUIAPIService.h"

#include <QDirIterator>
#include <QFile>
#include <QMetaMethod>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QtQml>
#include <QtTest>

namespace {

struct Site
{
    QString file;
    int line = 0;
    QString kind;   // call, read, has, optionalCall, object
    QString target; // "name" for a context object, else the expression as written
    QString member;
};

int lineOf(const QString &text, int offset)
{
    return text.leftRef(offset).count(QLatin1Char('\n')) + 1;
}

// The Guard call sites of one document. A member that is not a string literal is reported as
// a site with an empty member: the walk cannot check it, so it is not allowed.
QVector<Site> sitesIn(const QString &file, const QString &text)
{
    QVector<Site> sites;
    static const QRegularExpression member(QString::fromLatin1(
        R"re(Guard\.(call|read|has|optionalCall)\(\s*([^,()]+?)\s*,\s*("([A-Za-z_]\w*)"|[^\s,)]+))re"));
    for (auto it = member.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        sites.append({file, lineOf(text, m.capturedStart()), m.captured(1), m.captured(2), m.captured(4)});
    }
    static const QRegularExpression object(QString::fromLatin1(R"re(Guard\.object\(\s*([^)]*?)\s*\))re"));
    for (auto objects = object.globalMatch(text); objects.hasNext();) {
        const auto m = objects.next();
        sites.append(
            {file, lineOf(text, m.capturedStart()), QStringLiteral("object"), m.captured(1), QString()});
    }
    return sites;
}

bool hasMember(const QMetaObject *meta, const QString &name)
{
    if (meta->indexOfProperty(name.toUtf8().constData()) >= 0)
        return true;
    for (int i = 0; i < meta->methodCount(); ++i) {
        if (QString::fromLatin1(meta->method(i).name()) == name)
            return true;
    }
    return false;
}

bool isLiteral(const QString &target)
{
    return target.size() > 2 && target.startsWith(QLatin1Char('"')) && target.endsWith(QLatin1Char('"'));
}

} // namespace

// The objects main publishes, published as main does.
struct MainScene
{
    PlaylistModel playlist;
    MediaPreviewService previews;
    SystemActions actions;
    FileDialogService dialogs;
    TaskManager tasks;
    MpvLibraryLoader mpvLibrary;
    SingleInstanceService singleInstance{QStringLiteral("pagewiring")};
    I18nService i18nService;
    FFmpegEnvironment ffmpeg;
    FFprobeService prober{&ffmpeg};
    FormatConvertTaskFactory convertFactory{&prober};
    VideoCompressTaskFactory compressFactory{&prober};
    FormatConvertViewModel formatConvert{&ffmpeg, &prober, &tasks, &actions, &convertFactory};
    VideoCompressViewModel videoCompress{&ffmpeg, &prober, &tasks, &actions, &compressFactory};
    VideoToTextTaskFactory videoToTextFactory;
    VideoToTextViewModel videoToText{&prober, &tasks, &videoToTextFactory};
    // Never initialised here: it signs nobody in and sends nothing.
    user_pay::AccountManager account{
        std::make_shared<user_pay::WebUIAPIService>([] { return QStringLiteral("pagewiring"); }), nullptr};
    QQmlApplicationEngine engine;

    MainScene()
    {
        i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
        // Opened as main has it open by the time anyone plays: the page binds its engine at once.
        mpvlib::open();
        mpvLibrary.loadInBackground();
        app::QmlContextObjects objects;
        objects.playlistStore = &playlist;
        objects.playerSettingsFilePath = tvxtest::scratchPath("player.ini");
        objects.appSettingsMenuSettingsFilePath = tvxtest::scratchPath("app_settings_menu.ini");
        objects.loginDialogSettingsFilePath = tvxtest::scratchPath("login_dialog.ini");
        objects.mediaPreviewService = &previews;
        objects.systemActions = &actions;
        objects.fileDialogService = &dialogs;
        objects.taskManager = &tasks;
        objects.mpvLibrary = &mpvLibrary;
        objects.i18n = &i18nService;
        objects.startupMediaFileUrlFromCpp = QString();
        objects.startupShouldTrackActivityFromCpp = false;
        objects.singleInstanceService = &singleInstance;
        objects.screenAvailableSizeFromCpp = QGuiApplication::primaryScreen()->availableGeometry().size();
        objects.formatConvertViewModel = &formatConvert;
        objects.videoCompressViewModel = &videoCompress;
        objects.videoToTextViewModel = &videoToText;
        objects.accountManager = &account;
        app::publishToQml(engine.rootContext(), objects);
    }
};

// The main window loaded and shown; its player page, or null when either failed.
QObject *shownPage(MainScene &scene)
{
    scene.engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    if (scene.engine.rootObjects().size() != 1)
        return nullptr;
    auto *window = qobject_cast<QQuickWindow *>(scene.engine.rootObjects().first());
    if (!window || !QTest::qWaitForWindowExposed(window))
        return nullptr;
    return window->property("pageItem").value<QObject *>();
}

class PageWiringTest : public QObject
{
    Q_OBJECT

    // What the documents name and this build does not have yet: their classes do not exist, so
    // their members cannot be checked.
    const QSet<QString> m_notBuilt{QStringLiteral("videoCaptureViewModel"),
                                   QStringLiteral("videoToImageViewModel"),
                                   // A tool page's view model, whichever of the above the page was given.
                                   QStringLiteral("viewModel")};
    // The expressions by which documents reach the player engine.
    const QSet<QString> m_engineExpressions{QStringLiteral("mpvEngine"), QStringLiteral("videoPlayer.engine"),
                                            QStringLiteral("engine"), QStringLiteral("playerEngine"),
                                            QStringLiteral("dialog.playerEngine")};
    // Capability probes (optionalCall) for members no class of this build has yet.
    const QSet<QString> m_pendingMembers;

    // Returns the problems found at the given sites.
    QStringList check(const QVector<Site> &sites, QQmlContext *context, const QMetaObject *engineMeta) const
    {
        QStringList problems;
        for (const Site &site : sites) {
            const QString where = QStringLiteral("%1:%2").arg(site.file).arg(site.line);
            QString name = site.target;
            if (isLiteral(name))
                name = name.mid(1, name.size() - 2);
            else if (site.kind == QLatin1String("object")) {
                problems << where + QStringLiteral(": context name is not a literal: ") + site.target;
                continue;
            }
            if (site.kind == QLatin1String("object")) {
                if (!m_notBuilt.contains(name) && !context->contextProperty(name).isValid())
                    problems << where + QStringLiteral(": main publishes no ") + name;
                continue;
            }
            if (site.member.isEmpty()) {
                problems << where + QStringLiteral(": member of ") + site.target +
                                QStringLiteral(" is not a literal");
                continue;
            }
            if (m_notBuilt.contains(name))
                continue;
            const QMetaObject *meta = nullptr;
            QString className;
            if (isLiteral(site.target)) {
                QObject *object = context->contextProperty(name).value<QObject *>();
                if (!object) {
                    problems << where + QStringLiteral(": main publishes no object ") + name;
                    continue;
                }
                meta = object->metaObject();
            } else if (m_engineExpressions.contains(name)) {
                meta = engineMeta;
            } else {
                problems << where + QStringLiteral(": unknown guard target ") + site.target;
                continue;
            }
            className = QString::fromLatin1(meta->className());
            if (hasMember(meta, site.member))
                continue;
            if (site.kind == QLatin1String("optionalCall") &&
                m_pendingMembers.contains(className + QStringLiteral("::") + site.member)) {
                qInfo("%s: %s::%s not in this build yet", qPrintable(where), qPrintable(className),
                      qPrintable(site.member));
                continue;
            }
            problems << where + QStringLiteral(": ") + className + QStringLiteral(" has no member ") +
                            site.member;
        }
        return problems;
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
        tvxtest::registerRealPlayerTypes();
    }

    void everyGuardedMemberExists()
    {
        MainScene scene;
        QQmlApplicationEngine &engine = scene.engine;
        QQmlContext *context = engine.rootContext();
        engine.load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(engine.rootObjects().size(), 1);
        QObject *page = engine.rootObjects().first()->property("pageItem").value<QObject *>();
        QVERIFY2(page, "the player page did not load");
        QObject *view = page->findChild<QObject *>(QStringLiteral("playerView"));
        QVERIFY(view);
        QObject *player = view->findChild<QObject *>(QStringLiteral("videoPlayer"));
        QVERIFY(player);
        QObject *mpv = player->property("engine").value<QObject *>();
        QVERIFY(qobject_cast<MpvEngine *>(mpv));

        QVector<Site> sites;
        const QString root = tvxtest::sourceDir() + QStringLiteral("/resources/qml");
        QDirIterator it(root, {QStringLiteral("*.qml"), QStringLiteral("*.js")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(QLatin1String("/shared/Guard.qml")))
                continue;
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            sites += sitesIn(QDir(root).relativeFilePath(path), QString::fromUtf8(file.readAll()));
        }
        // The walk sees the call sites (a broken pattern would pass everything).
        QVERIFY2(sites.size() > 80, qPrintable(QString::number(sites.size())));
        const QStringList problems = check(sites, context, mpv->metaObject());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

        // And it would notice the mistakes it is there for.
        const QString wrong = QStringLiteral("Guard.call(\"playlistStore\", \"addFilez\", [a])\n"
                                             "Guard.read(videoPlayer.engine, \"volumme\", 0)\n"
                                             "Guard.call(\"playlistStor\", \"addFiles\")\n"
                                             "Guard.call(engine, name, [a])\n"
                                             "Guard.object(\"fileDialogServce\")\n"
                                             "Guard.has(someObject, \"x\")\n");
        QCOMPARE(check(sitesIn(QStringLiteral("wrong.qml"), wrong), context, mpv->metaObject()).size(), 6);
    }

    // The real engine reports the damaged file; the page drops it and says which file it was.
    void failedFileEmptiesThePlayer()
    {
        const QString garbage = tvxtest::fixtures::garbageMp4();
        QVERIFY(!garbage.isEmpty());
        MainScene scene;
        QObject *page = shownPage(scene);
        QVERIFY(page);
        QObject *view = page->findChild<QObject *>(QStringLiteral("playerView"));
        QVERIFY(view);

        const QString url = QUrl::fromLocalFile(garbage).toString();
        QVERIFY(QMetaObject::invokeMethod(page, "openExternalFilesAndPlay",
                                          Q_ARG(QVariant, QVariant(QVariantList{url}))));
        const QString expected =
            scene.i18nService.t(QStringLiteral("ui.text.player.play_failed"),
                                QVariantMap{{QStringLiteral("name"), QStringLiteral("garbage.mp4")}});
        QTRY_COMPARE_WITH_TIMEOUT(page->property("settingsStatusText").toString(), expected,
                                  tvxtest::scaledMs(10000));
        QVERIFY(!view->property("hasMedia").toBool());
        QVERIFY(!page->property("playerHasMedia").toBool());
    }

    // A damaged entry does not stop the list: the next file plays as after an ended file.
    void listMovesOnPastAFailedFile()
    {
        const QString garbage = tvxtest::fixtures::garbageMp4();
        const QString good = tvxtest::fixtures::smallMp4();
        QVERIFY(!garbage.isEmpty() && !good.isEmpty());
        MainScene scene;
        QObject *page = shownPage(scene);
        QVERIFY(page);
        QObject *view = page->findChild<QObject *>(QStringLiteral("playerView"));
        QVERIFY(view);

        const QVariantList urls{QUrl::fromLocalFile(garbage).toString(),
                                QUrl::fromLocalFile(good).toString()};
        QVERIFY(QMetaObject::invokeMethod(page, "openExternalFilesAndPlay", Q_ARG(QVariant, QVariant(urls))));
        QTRY_COMPARE_WITH_TIMEOUT(scene.playlist.currentFileUrl(), QUrl::fromLocalFile(good),
                                  tvxtest::scaledMs(10000));
        QTRY_VERIFY_WITH_TIMEOUT(view->property("hasMedia").toBool(), tvxtest::scaledMs(10000));
        QCOMPARE(QUrl(view->property("currentFileUrl").toString()), QUrl::fromLocalFile(good));
    }

    // With the real engine resting on the last frame of a file that played through, opening
    // the file again plays it from the start.
    void reopeningAnEndedFilePlaysItAgain()
    {
        const QString clip = tvxtest::fixtures::smallMp4();
        QVERIFY(!clip.isEmpty());
        MainScene scene;
        scene.playlist.setPlaybackMode(PlaylistModel::SinglePlayback);
        QObject *page = shownPage(scene);
        QVERIFY(page);
        QObject *player = page->findChild<QObject *>(QStringLiteral("videoPlayer"));
        QVERIFY(player);
        auto *mpv = qobject_cast<MpvEngine *>(player->property("engine").value<QObject *>());
        QVERIFY(mpv);
        QObject *coordinator = page->property("coordinator").value<QObject *>();
        QVERIFY(coordinator);

        const QVariantList urls{QUrl::fromLocalFile(clip).toString()};
        QVERIFY(QMetaObject::invokeMethod(page, "openExternalFilesAndPlay", Q_ARG(QVariant, QVariant(urls))));
        QTRY_VERIFY_WITH_TIMEOUT(coordinator->property("requestedFileEnded").toBool(),
                                 tvxtest::scaledMs(20000));
        QVERIFY(mpv->position() > 2.0);
        QVERIFY(page->property("playerHasMedia").toBool());

        QVERIFY(QMetaObject::invokeMethod(page, "openExternalFilesAndPlay", Q_ARG(QVariant, QVariant(urls))));
        QVERIFY(!coordinator->property("requestedFileEnded").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(mpv->position() > 0.3 && mpv->position() < 2.0 && !mpv->paused(),
                                 tvxtest::scaledMs(10000));
    }
};

QTEST_MAIN(PageWiringTest)
#include "tst_pagewiring.moc"
