// Every state file the program keeps, written by the program's own writer with what users really
// store (a 10,000-entry play list, 250-byte CJK names, quotes, backslashes, "%", "@", "#", ";",
// "=", a leading "-") and loaded again the way a start loads it, state-file check included:
// what comes back is what was saved, whole, and nothing is set aside.
#include "TestSupport.h"
#include "app/StartupState.h"
#include "core/AppPaths.h"
#include "core/StateFile.h"
#include "platform/RegistryStore.h"
#include "player/PlayerSettings.h"
#include "player/PlaylistModel.h"
#include "tools/common/ToolBatch.h"
#include "tools/video_capture/FrameToolSupport.h"
#include "user_pay/AccountLocalStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

using Step = std::function<QString()>;
Q_DECLARE_METATYPE(Step)

namespace {

// Names as users have them: each is a file name, a folder name, a title and a free text below.
QStringList hardNames()
{
    QString longCjk;
    while (longCjk.toUtf8().size() + 3 <= 246) // with ".mp4": 250 bytes
        longCjk += QStringLiteral("长");
    return {
        QStringLiteral("第01集 普通的视频"),  longCjk,
        QStringLiteral("say \"hi\" it's"),    QStringLiteral("back\\slash\\x40\\100\\n"),
        QStringLiteral("100% %41 %U0040 %%"), QStringLiteral("@Variant(\\0\\0\\0\\t)"),
        QStringLiteral("@DateTime(x)"),       QStringLiteral("mail@example.com @home"),
        QStringLiteral("a, @Variant(1), b"),  QStringLiteral("#tag ;semi; a=b=c"),
        QStringLiteral("-leading dash"),      QStringLiteral(" blanks around "),
        QStringLiteral("[section] x"),        QStringLiteral("emoji \U0001F600 and é"),
    };
}

QString scratchMedia()
{
    return tvxtest::scratchPath(QStringLiteral("媒体 @;=#%"));
}

QStringList asideCopies(const QString &path)
{
    const QFileInfo info(path);
    return info.dir().entryList({info.fileName() + QStringLiteral(".damaged-*")},
                                QDir::AllEntries | QDir::System);
}

// ---- each state file: write through its writer, read back through the start's reader; both
// return the same text when the file came back whole ----

QString playlistDump(const PlaylistModel &model)
{
    QStringList lines{QString::number(model.playbackMode()), QString::number(model.count())};
    for (int row = 0; row < model.count(); ++row) {
        const QModelIndex index = model.index(row);
        lines << QStringList{model.data(index, PlaylistModel::TitleRole).toString(),
                             model.data(index, PlaylistModel::MetaRole).toString(),
                             model.data(index, PlaylistModel::TagRole).toString(),
                             model.data(index, PlaylistModel::SourcePathRole).toString()}
                     .join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

QString writePlaylist(int entries)
{
    const QStringList names = hardNames();
    QVariantList urls;
    for (int i = 0; i < entries; ++i) {
        const QString name = names.at(i % names.size());
        // The long name stands alone so it stays at 250 bytes.
        const QString file = (i < names.size() ? name : QStringLiteral("%1 %2").arg(i).arg(name)) +
                             (i % 3 == 0 ? QStringLiteral(".mp3") : QStringLiteral(".mp4"));
        urls << QUrl::fromLocalFile(scratchMedia() + QLatin1Char('/') + file);
    }
    PlaylistModel model;
    model.addFiles(urls, false);
    model.setPlaybackMode(PlaylistModel::ShuffleLoopPlayback);
    return playlistDump(model);
}

QString loadPlaylist()
{
    return playlistDump(PlaylistModel());
}

QString playerDump(const PlayerSettings &s)
{
    return QStringList{s.hwdecMode,
                       QString::number(s.volume, 'g', 17),
                       QString::number(s.chromeAutoHideMs),
                       QString::number(s.playbackSpeed, 'g', 17),
                       QString::number(s.preferredPlaybackSpeed, 'g', 17),
                       QString::number(s.alwaysApplyPreferredPlaybackSpeed),
                       s.aspectMode,
                       QString::number(s.videoRotation),
                       QString::number(s.cropBlackBars),
                       QString::number(s.videoBrightness),
                       QString::number(s.videoSaturation),
                       QString::number(s.videoContrast),
                       QString::number(s.videoHue),
                       QString::number(s.videoEnhancementEnabled),
                       s.audioChannelMode,
                       s.audioOutputDevice,
                       QString::number(s.audioDelayMs),
                       QString::number(s.audioTrackId),
                       QString::number(s.subtitleTrackId),
                       QString::number(s.subtitleDelayMs),
                       QString::number(s.secondarySubtitleTrackId),
                       QString::number(s.secondarySubtitleDelayMs)}
        .join(QLatin1Char('\n'));
}

QString writePlayer(const QString &device)
{
    PlayerSettings s;
    s.hwdecMode = QStringLiteral("nvdec");
    s.volume = 37.25;
    s.chromeAutoHideMs = 10000;
    s.playbackSpeed = 0.5;
    s.preferredPlaybackSpeed = 1.75;
    s.alwaysApplyPreferredPlaybackSpeed = true;
    s.aspectMode = QStringLiteral("4:3");
    s.videoRotation = 270;
    s.cropBlackBars = true;
    s.videoBrightness = -100;
    s.videoSaturation = 100;
    s.videoContrast = -1;
    s.videoHue = 55;
    s.videoEnhancementEnabled = true;
    s.audioChannelMode = QStringLiteral("mono-right");
    s.audioOutputDevice = device;
    s.audioDelayMs = -10000;
    s.audioTrackId = 2147483647;
    s.subtitleTrackId = 3;
    s.subtitleDelayMs = 10000;
    s.secondarySubtitleTrackId = 4;
    s.secondarySubtitleDelayMs = -250;
    s.save();
    return playerDump(s);
}

QString loadPlayer()
{
    PlayerSettings s;
    s.load();
    return playerDump(s);
}

QString accountDump(const user_pay::AccountInfo &a)
{
    return QStringList{a.accountId,
                       a.uid,
                       a.nickname,
                       a.avatarUrl,
                       a.token,
                       QString::number(a.accountType),
                       QString::number(a.isVirtualAccount)}
        .join(QLatin1Char('\n'));
}

QString writeAccount(const QString &text)
{
    user_pay::AccountInfo a;
    a.accountId = QStringLiteral("id_") + text + QStringLiteral("_9"); // never blank-padded
    a.uid = QStringLiteral("1234567890123");
    a.nickname = text;
    a.avatarUrl = QStringLiteral("https://img.example.com/a%20b/") + text + QStringLiteral("?x=1&y=@#f");
    a.token = QStringLiteral("tok=") + text + QString(200, QLatin1Char('T'));
    a.accountType = 2;
    a.isVirtualAccount = false; // follows from the type
    if (!user_pay::AccountLocalStore().save(a))
        return QStringLiteral("not saved");
    return accountDump(a);
}

QString loadAccount()
{
    user_pay::AccountInfo a;
    return user_pay::AccountLocalStore().load(&a) ? accountDump(a) : QStringLiteral("not loaded");
}

// A tool's remembered output folder: it must exist to be taken back, so it is made.
QString outputFolder(const QString &name)
{
    const QString folder = scratchMedia() + QLatin1Char('/') + name.trimmed();
    QDir().mkpath(folder);
    return QDir::fromNativeSeparators(QFileInfo(folder).absoluteFilePath());
}

// The registry stand-in, with the entries a file association writes.
QString registryDump(platform::RegistryStore &store, const QStringList &names)
{
    QStringList lines;
    for (const QString &name : names) {
        const QString key =
            QStringLiteral("Software\\Classes\\Tavrixo.") + name + QStringLiteral("\\shell\\open");
        QString value;
        bool found = false;
        store.read(key, name, &value, &found);
        lines << (found ? value : QStringLiteral("<missing>"));
        store.read(key, QString(), &value, &found);
        lines << (found ? value : QStringLiteral("<missing>"));
    }
    return lines.join(QLatin1Char('\n'));
}

QString writeRegistry(const QStringList &names)
{
    platform::RegistryStore store(app::appDataFilePath(QStringLiteral("registry.ini")));
    for (const QString &name : names) {
        const QString key =
            QStringLiteral("Software\\Classes\\Tavrixo.") + name + QStringLiteral("\\shell\\open");
        store.write(key, name, QStringLiteral("\"/opt/媒体/tavrixo\" \"%1\" ") + name);
        store.write(key, QString(), name + QStringLiteral("\nsecond line\r\n"));
    }
    if (!store.flush())
        return QStringLiteral("not flushed");
    return registryDump(store, names);
}

QString loadRegistry(const QStringList &names)
{
    platform::RegistryStore store(app::appDataFilePath(QStringLiteral("registry.ini")));
    return registryDump(store, names);
}

// The QML documents' Settings (the settings menu, the sign-in dialog, the play-list panel's
// key in "player.ini"), as their documents declare them.
QString qmlSettings(const QString &path, const QString &category, const QString &property,
                    const QString &type, const QVariant &write)
{
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(QStringLiteral("import QtQml 2.15\nimport Qt.labs.settings 1.0\n"
                                     "Settings { category: \"%1\"; property %2 %3 }\n")
                          .arg(category, type, property)
                          .toUtf8(),
                      QUrl());
    std::unique_ptr<QObject> settings(component.beginCreate(engine.rootContext()));
    if (!settings)
        return component.errorString();
    settings->setProperty("fileName", path);
    component.completeCreate();
    if (write.isValid())
        settings->setProperty(property.toUtf8().constData(), write);
    return settings->property(property.toUtf8().constData()).toString();
}

} // namespace

class StateFileRoundTripTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void everyStateFileComesBackWhole_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<Step>("write");
        QTest::addColumn<Step>("load");

        QTest::newRow("play list: every hard name")
            << "playlist.ini" << Step([] { return writePlaylist(hardNames().size()); }) << Step(loadPlaylist);
        QTest::newRow("play list: 10,000 entries")
            << "playlist.ini" << Step([] { return writePlaylist(10000); }) << Step(loadPlaylist);

        for (const QString &name : hardNames()) {
            QTest::addRow("player settings: device \"%s\"", qPrintable(name))
                << "player.ini" << Step([name] { return writePlayer(name); }) << Step(loadPlayer);
            QTest::addRow("account: \"%s\"", qPrintable(name))
                << "account_info.json" << Step([name] { return writeAccount(name); }) << Step(loadAccount);
        }

        // Each tool's output folder, through the function its view model saves and loads with.
        const QList<QPair<QString, QString>> batchTools = {
            {QStringLiteral("format_convert.ini"), QStringLiteral("format_convert/output_directory")},
            {QStringLiteral("video_compress.ini"), QStringLiteral("video_compress/output_directory")},
            {QStringLiteral("video_to_text.ini"), QStringLiteral("video_to_text/output_directory")},
        };
        const QList<QPair<QString, QString>> frameTools = {
            {QStringLiteral("video_capture.ini"), QStringLiteral("video_capture/output_directory")},
            {QStringLiteral("video_to_image.ini"), QStringLiteral("video_to_image/output_directory")},
        };
        for (const QString &name : hardNames()) {
            for (const auto &tool : batchTools) {
                const QString path = app::appDataFilePath(tool.first);
                const QString key = tool.second;
                QTest::addRow("%s: \"%s\"", qPrintable(tool.first), qPrintable(name))
                    << tool.first << Step([path, key, name] {
                           const QString folder = outputFolder(name);
                           tools::ToolBatch::saveRememberedDirectory(path, key, folder);
                           return folder;
                       })
                    << Step([path, key] { return tools::ToolBatch::loadRememberedDirectory(path, key); });
            }
            for (const auto &tool : frameTools) {
                const QString path = app::appDataFilePath(tool.first);
                const QString key = tool.second;
                QTest::addRow("%s: \"%s\"", qPrintable(tool.first), qPrintable(name))
                    << tool.first << Step([path, key, name] {
                           const QString folder = outputFolder(name);
                           tools::frames::saveOutputDirectory(path, key, folder);
                           return folder;
                       })
                    << Step([path, key] { return tools::frames::loadOutputDirectory(path, key); });
            }
        }

        QTest::newRow("registry store: every hard name")
            << "registry.ini" << Step([] { return writeRegistry(hardNames()); })
            << Step([] { return loadRegistry(hardNames()); });
        QTest::newRow("start-up state") << "sensors_state.ini" << Step([] {
            app::markActivityTrackedOnStartup();
            return QStringLiteral("tracked");
        }) << Step([] {
            return app::shouldTrackActivityOnStartup() ? QStringLiteral("not tracked")
                                                       : QStringLiteral("tracked");
        });

        // The QML documents' files: main checks each path before the document opens it.
        const auto qmlRow = [](const char *row, const QString &file, const QString &category,
                               const QString &property, const QString &type, const QVariant &value) {
            const QString path = app::appDataFilePath(file);
            QTest::newRow(row) << file << Step([=] {
                return qmlSettings(path, category, property, type, value);
            }) << Step([=] {
                return qmlSettings(app::checkedStateFile(path, app::kSettingsStateFileMaxBytes), category,
                                   property, type, QVariant());
            });
        };
        qmlRow("settings menu", QStringLiteral("app_settings_menu.ini"), QStringLiteral("AppSettingsMenu"),
               QStringLiteral("defaultPlayerEnabled"), QStringLiteral("bool"), true);
        qmlRow("sign-in dialog", QStringLiteral("login_dialog.ini"), QStringLiteral("LoginDialog"),
               QStringLiteral("lastLoginMethod"), QStringLiteral("var"), 2);
        qmlRow("play-list panel", QStringLiteral("player.ini"), QStringLiteral("PlayerListPanel"),
               QStringLiteral("thumbnailMode"), QStringLiteral("bool"), true);
    }
    void everyStateFileComesBackWhole()
    {
        QFETCH(QString, fileName);
        QFETCH(Step, write);
        QFETCH(Step, load);
        const QString path = app::appDataFilePath(fileName);
        QDir(app::appDataRootPath()).removeRecursively();
        app::ensureAppDataRootPath();

        const QString saved = write();
        QVERIFY(QFileInfo(path).isFile());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();

        // Twice: a start that loses something saves less, and the next start shows it.
        for (int start = 1; start <= 2; ++start) {
            const QString loaded = load();
            if (loaded != saved) {
                const QStringList a = saved.split(QLatin1Char('\n'));
                const QStringList b = loaded.split(QLatin1Char('\n'));
                int line = 0;
                while (line < a.size() && line < b.size() && a.at(line) == b.at(line))
                    ++line;
                QFAIL(qPrintable(QStringLiteral("start %1: differs from line %2: saved \"%3\", loaded \"%4\"")
                                     .arg(start)
                                     .arg(line + 1)
                                     .arg(a.value(line), b.value(line))));
            }
            QCOMPARE(asideCopies(path), QStringList());
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().size(), bytes.size()); // nothing was rewritten with less
    }
};

QTEST_GUILESS_MAIN(StateFileRoundTripTest)
#include "tst_statefileroundtrip.moc"
