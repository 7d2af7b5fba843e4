// Damaged and hostile state files: the check before anything opens them (FIFOs, devices, folders
// and huge files set aside), the check before QSettings reads them, the stored account's reading,
// the play list's reading of every entry it holds, and saves that meet a lock left behind.
#include "TestSupport.h"
#include "app/StartupState.h"
#include "core/AppPaths.h"
#include "core/StateFile.h"
#include "player/PlayerSettings.h"
#include "player/PlaylistModel.h"
#include "tools/common/ToolBatch.h"
#include "user_pay/AccountLocalStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The 30-byte line that made QSettings allocate hundreds of millions of elements.
const QByteArray kBomb = QByteArrayLiteral("x=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\n");

QStringList asideCopies(const QString &path)
{
    const QFileInfo info(path);
    // Whatever was set aside: a FIFO, a folder or a link as well as a file.
    return info.dir().entryList({info.fileName() + QStringLiteral(".damaged-*")},
                                QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

void clearFolder(const QString &dir)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

// What can stand where a state file should be, made at path; the kind a reader would meet.
void plant(const QString &path, const QString &what)
{
    const QByteArray native = QFile::encodeName(path);
    if (what == QLatin1String("fifo")) {
        QVERIFY(::mkfifo(native.constData(), 0600) == 0);
    } else if (what == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inner")));
    } else if (what == QLatin1String("link to /dev/zero")) {
        QVERIFY(::symlink("/dev/zero", native.constData()) == 0);
    } else if (what == QLatin1String("link to a fifo")) {
        const QByteArray fifo = native + ".pipe";
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        QVERIFY(::symlink(fifo.constData(), native.constData()) == 0);
    } else if (what == QLatin1String("link to a folder")) {
        QVERIFY(::symlink("/", native.constData()) == 0);
    } else if (what == QLatin1String("too large")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(app::kSettingsStateFileMaxBytes + 1)); // sparse: no time to write
    } else if (what == QLatin1String("link to a file")) {
        tvxtest::writeFile(path + QStringLiteral(".real"), "[k]\nv=1\n");
        QVERIFY(::symlink(QFile::encodeName(path + QStringLiteral(".real")).constData(),
                          native.constData()) == 0);
    } else if (what == QLatin1String("dangling link")) {
        QVERIFY(::symlink("/nonexistent/state.ini", native.constData()) == 0);
    } else {
        QFAIL("unknown kind");
    }
}

bool present(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

QByteArray playlistEntries(int count, int firstNumber = 1)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(firstNumber + i);
        text += "items\\" + n + "\\source_path=/media/clip" + n + ".mp4\n";
        text += "items\\" + n + "\\title=Clip " + n + "\n";
    }
    return text;
}

// "<path>.lock" as a process killed during a save leaves it, when a live process of the same name
// now has its pid (pid namespaces, containers, a new boot): here it names this very process.
// QLockFile judges such a lock alive until it is 30 s old; a thread keeps it fresh, so a save
// that waits on it waits until the thread gives up, a minute later.
class LeftLock
{
public:
    explicit LeftLock(const QString &path) : m_lock(path + QStringLiteral(".lock"))
    {
        QByteArray contents;
        {
            QLockFile real(m_lock);
            if (!real.tryLock(0))
                return;
            QFile file(m_lock);
            if (file.open(QIODevice::ReadOnly))
                contents = file.readAll();
            real.unlock();
        }
        tvxtest::writeFile(m_lock, contents);
        m_planted = !contents.isEmpty();
        m_toucher = std::thread([this] {
            const QByteArray native = QFile::encodeName(m_lock);
            for (int turn = 0; turn < 120 && !m_stop; ++turn) {
                ::utimensat(AT_FDCWD, native.constData(), nullptr, 0); // a missing lock stays missing
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            }
            m_gaveUp = !m_stop;
        });
    }
    ~LeftLock() { stop(); }
    bool planted() const { return m_planted; }
    // True when the save returned while the lock still looked alive.
    bool stop()
    {
        m_stop = true;
        if (m_toucher.joinable())
            m_toucher.join();
        return !m_gaveUp;
    }
    QString path() const { return m_lock; }

private:
    QString m_lock;
    bool m_planted = false;
    std::atomic_bool m_stop{false};
    std::atomic_bool m_gaveUp{false};
    std::thread m_toucher;
};

} // namespace

class StateFilesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void typedValuesAreFoundHoweverSpelt_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("safe");
        QSettings writer(tvxtest::scratchPath(QStringLiteral("own.ini")), QSettings::IniFormat);
        writer.setValue(QStringLiteral("p/s"), QStringLiteral("@x é,\"q\"\\ ;z\n\x01w 0ab\u00e9a1"));
        writer.setValue(QStringLiteral("p/d"), 0.1);
        writer.setValue(QStringLiteral("p/b"), true);
        writer.setValue(QStringLiteral("p/path"), QStringLiteral("/home/u/@music/测试 a,b.mp4"));
        // Texts that spell a typed value, and keys QSettings writes with backslashes and
        // percent escapes: all plain text and names, so the file must pass.
        writer.setValue(QStringLiteral("p/typed"), QStringLiteral("@Variant(\\0\\0\\0\\t)"));
        writer.setValue(QStringLiteral("p/inside"), QStringLiteral("x@Variant(1) a, @DateTime(2)"));
        writer.setValue(QStringLiteral("p/blank"), QStringLiteral(" @Variant(1)"));
        writer.setValue(QStringLiteral("p/list"),
                        QStringList{QStringLiteral("@Variant(1)"), QStringLiteral("b")});
        for (const int n : {40, 64, 100, 777, 10000})
            writer.setValue(QStringLiteral("items/%1/meta").arg(n), QStringLiteral("clip %1.mp4").arg(n));
        writer.setValue(QStringLiteral("@Variant(k)/x@DateTime(k)"), QStringLiteral("v"));
        writer.sync();
        QFile own(writer.fileName());
        QVERIFY(own.open(QIODevice::ReadOnly));
        QTest::newRow("a file QSettings wrote") << own.readAll() << true;
        QTest::newRow("the crash line") << kBomb << false;
        QTest::newRow("in a group never read") << QByteArray("[junk]\nk=1\n" + kBomb) << false;
        QTest::newRow("date time") << QByteArray("k=@DateTime(\\0\\0)\n") << false;
        QTest::newRow("quoted") << QByteArray("k=\"@Variant(\\0)\"\n") << false;
        QTest::newRow("quotes inside") << QByteArray("k=\"@Var\"iant(\\0)\n") << false;
        QTest::newRow("second list element") << QByteArray("k=a, @Variant(\\0)\n") << false;
        QTest::newRow("hex-escaped @") << QByteArray("k=\\x40Variant(\\0)\n") << false;
        QTest::newRow("octal-escaped @") << QByteArray("k=\\100Variant(\\0)\n") << false;
        QTest::newRow("escaped letter") << QByteArray("k=@\\x56\\x61riant(\\0)\n") << false;
        QTest::newRow("wide hex truncating to @") << QByteArray("k=\\x10040Variant(\\0)\n") << false;
        QTest::newRow("padded hex") << QByteArray("k=\\x000000040Variant(\\0)\n") << false;
        QTest::newRow("continued line") << QByteArray("k=@Vari\\\nant(\\0)\n") << false;
        QTest::newRow("blank inside") << QByteArray("k=@ Variant(\\0)\n") << false;
        QTest::newRow("byte array is plain text")
            << QByteArray("k=@ByteArray(abc)\nr=@Rect(1 2 3 4)\n") << true;
        QTest::newRow("no parenthesis") << QByteArray("k=@Variant\n") << true;
        QTest::newRow("array keys QSettings writes")
            << QByteArray("[playlist]\nitems\\40\\meta=a\nitems\\100\\title=b\nitems\\64\\x=c\n") << true;
        QTest::newRow("typed text in a key or section")
            << QByteArray("[@Variant(\\0)]\n@Variant(\\0)=1\nk\\@DateTime(\\0)=2\n") << true;
        QTest::newRow("typed text within a value") << QByteArray("k=x@Variant(\\0)\n") << true;
        QTest::newRow("comma inside quotes") << QByteArray("k=\"a,@Variant(\\0)\"\n") << true;
        QTest::newRow("after a closing quote") << QByteArray("k=\"@\" Variant(\\0)\n") << false;
        QTest::newRow("list element after a quoted one") << QByteArray("k=\"a\",@Variant(\\0)\n") << false;
        QTest::newRow("value after a comment line") << QByteArray(";c\"\nk=@Variant(\\0)\n") << false;
        QTest::newRow("dropped escape") << QByteArray("k=@\\zVariant(\\0)\n") << false;
        QTest::newRow("quoted line feed in the key") << QByteArray("\"a\nb\"=@Variant(\\0)\n") << false;
    }
    void typedValuesAreFoundHoweverSpelt()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, safe);
        QCOMPARE(app::stateTextIsSafe(text), safe);
    }

    void onlyRegularFilesAreOpened_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("usable");
        QTest::newRow("FIFO") << "fifo" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("link to /dev/zero") << "link to /dev/zero" << false;
        QTest::newRow("link to a FIFO") << "link to a fifo" << false;
        QTest::newRow("link to a folder") << "link to a folder" << false;
        QTest::newRow("larger than the bound") << "too large" << false;
        QTest::newRow("link to a regular file") << "link to a file" << true;
        QTest::newRow("dangling link") << "dangling link" << false;
    }
    void onlyRegularFilesAreOpened()
    {
        QFETCH(QString, what);
        QFETCH(bool, usable);
        const QString dir = tvxtest::scratchPath(QStringLiteral("kinds"));
        clearFolder(dir);
        const bool setAside = !usable && what != QLatin1String("dangling link");
        const QString checked = dir + QStringLiteral("/login_dialog.ini");
        const QString read = dir + QStringLiteral("/account_info.json");
        const QString settingsFile = dir + QStringLiteral("/video_to_text.ini");
        for (const QString &path : {checked, read, settingsFile})
            plant(path, what);
        QVERIFY(!QTest::currentTestFailed());

        // None of these may wait on a FIFO or read a device: a hang here is the fault.
        QCOMPARE(app::stateFileUsable(checked, app::kSettingsStateFileMaxBytes), usable);
        QByteArray bytes;
        QCOMPARE(app::readStateFile(read, app::kSettingsStateFileMaxBytes, &bytes), usable);
        QCOMPARE(bytes.isEmpty(), !usable);
        const QSettings settings(app::checkedStateFile(settingsFile, app::kSettingsStateFileMaxBytes),
                                 QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("k/v")).toInt(), usable ? 1 : 0);

        for (const QString &path : {checked, read, settingsFile}) {
            QCOMPARE(present(path), !setAside);
            QCOMPARE(asideCopies(path).size(), setAside ? 1 : 0);
        }
    }

    // The stored account is read at every start on the GUI thread.
    void accountFileIsReadWithinBounds_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to /dev/zero") << "link to /dev/zero";
        QTest::newRow("larger than the bound") << "too large";
    }
    void accountFileIsReadWithinBounds()
    {
        QFETCH(QString, what);
        const QString path = user_pay::AccountLocalStore::storageFilePath();
        clearFolder(QFileInfo(path).absolutePath());
        plant(path, what);
        user_pay::AccountInfo account;
        QVERIFY(!user_pay::AccountLocalStore().load(&account));
        QVERIFY(!present(path));
        QCOMPARE(asideCopies(path).size(), 1);

        // The next sign-in is stored and read back as before.
        account.accountId = QStringLiteral("a1");
        account.token = QStringLiteral("t1");
        QVERIFY(user_pay::AccountLocalStore().save(account));
        user_pay::AccountInfo loaded;
        QVERIFY(user_pay::AccountLocalStore().load(&loaded));
        QCOMPARE(loaded.token, QStringLiteral("t1"));
    }

    void damagedFileIsMovedAsideAndReadableLinesKept()
    {
        const QString dir = tvxtest::scratchPath(QStringLiteral("damaged"));
        clearFolder(dir);
        const QString path = dir + QStringLiteral("/player.ini");
        tvxtest::writeFile(path, "[player]\nvolume=37\n" + kBomb +
                                     "[PlayerListPanel]\nwidth=300\n[video]\nhue=\"@Var\"iant(\\0)\n");
        QCOMPARE(app::checkedStateFile(path, app::kSettingsStateFileMaxBytes), path);

        const QStringList aside = asideCopies(path);
        QCOMPARE(aside.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^player\\.ini\\.damaged-\\d{8}-\\d{6}$"))
                    .match(aside.first())
                    .hasMatch());
        QFile kept(dir + QLatin1Char('/') + aside.first());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().contains("@Variant(")); // the original, untouched

        const QSettings settings(path, QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("player/volume")).toInt(), 37);
        QCOMPARE(settings.value(QStringLiteral("PlayerListPanel/width")).toInt(), 300);
        QVERIFY(!settings.contains(QStringLiteral("video/hue")));
        QVERIFY(!settings.contains(QStringLiteral("player/x")));

        // A second check finds nothing more to do.
        app::checkedStateFile(path, app::kSettingsStateFileMaxBytes);
        QCOMPARE(asideCopies(path).size(), 1);
    }

    void oversizedFileIsMovedAside()
    {
        const QString dir = tvxtest::scratchPath(QStringLiteral("oversized"));
        clearFolder(dir);
        const QString path = dir + QStringLiteral("/sensors_state.ini");
        QByteArray junk = "[startup]\nactivity_tracked=true\n[junk]\n";
        while (junk.size() <= app::kSettingsStateFileMaxBytes)
            junk += "k" + QByteArray::number(junk.size()) + "=0123456789abcdef\n";
        tvxtest::writeFile(path, junk);
        app::checkedStateFile(path, app::kSettingsStateFileMaxBytes);
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(asideCopies(path).size(), 1);
        QCOMPARE(QFileInfo(dir + QLatin1Char('/') + asideCopies(path).first()).size(), qint64(junk.size()));

        // Missing and clean files are left alone.
        app::checkedStateFile(path, app::kSettingsStateFileMaxBytes);
        tvxtest::writeFile(path, "[startup]\nactivity_tracked=true\n");
        app::checkedStateFile(path, app::kSettingsStateFileMaxBytes);
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(asideCopies(path).size(), 1);
    }

    void playlistReadsEveryEntryWhateverItsSize_data()
    {
        QTest::addColumn<QByteArray>("items");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("keptAside");
        QTest::newRow("whole") << QByteArray("items\\size=3\n" + playlistEntries(3)) << 3 << false;
        QTest::newRow("empty list") << QByteArray("items\\size=0\n") << 0 << false;
        QTest::newRow("size missing") << playlistEntries(3) << 3 << true;
        QTest::newRow("size negative") << QByteArray("items\\size=-1\n" + playlistEntries(3)) << 3 << true;
        QTest::newRow("size not a number")
            << QByteArray("items\\size=many\n" + playlistEntries(3)) << 3 << true;
        QTest::newRow("size too small") << QByteArray("items\\size=1\n" + playlistEntries(3)) << 3 << true;
        QTest::newRow("size huge") << QByteArray("items\\size=2000000000\n" + playlistEntries(3)) << 3
                                   << true;
        QTest::newRow("numbers with a gap, out of order")
            << QByteArray("items\\size=3\n" + playlistEntries(1, 7) + playlistEntries(2)) << 3 << true;
        QTest::newRow("cut short") << QByteArray("items\\size=3\n" + playlistEntries(2) +
                                                 "items\\3\\title=Clip 3\n")
                                   << 2 << true;
    }
    void playlistReadsEveryEntryWhateverItsSize()
    {
        QFETCH(QByteArray, items);
        QFETCH(int, expected);
        QFETCH(bool, keptAside);
        const QString path = app::appDataFilePath(QStringLiteral("playlist.ini"));
        clearFolder(QFileInfo(path).absolutePath());
        tvxtest::writeFile(path, "[playlist]\nplayback_mode=2\nplayback_mode_explicit=true\n" + items +
                                     "junk=1\n[other]\nkeep=1\n");

        {
            PlaylistModel model;
            QCOMPARE(model.count(), expected);
            QCOMPARE(model.playbackMode(), 2);
            for (int row = 1; row < model.count(); ++row)
                QVERIFY(model.sourcePaths().at(row - 1) < model.sourcePaths().at(row));
            QCOMPARE(asideCopies(path).size(), 0); // nothing is written while only loading
            model.setCurrentIndex(0);              // what the start page does a few seconds in
        }
        QCOMPARE(asideCopies(path).size(), keptAside ? 1 : 0);
        if (keptAside) {
            QFile original(QFileInfo(path).absolutePath() + QLatin1Char('/') + asideCopies(path).first());
            QVERIFY(original.open(QIODevice::ReadOnly));
            QCOMPARE(original.readAll(),
                     QByteArray("[playlist]\nplayback_mode=2\nplayback_mode_explicit=true\n" + items +
                                "junk=1\n[other]\nkeep=1\n"));
        }
        const QSettings saved(path, QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("playlist/items/size")).toInt(), expected);
        QVERIFY(!saved.contains(QStringLiteral("playlist/junk"))); // unknown keys leave the list's group
        QCOMPARE(saved.value(QStringLiteral("other/keep")).toInt(), 1);

        // The rewritten list loads whole: no further copy.
        {
            PlaylistModel again;
            QCOMPARE(again.count(), expected);
            again.setCurrentIndex(0);
        }
        QCOMPARE(asideCopies(path).size(), keptAside ? 1 : 0);
    }

    // A lock left by a save that never ended holds no later save: the play list (kept open for
    // the model's life), the player's settings, a tool's folder and the start-up state.
    void leftLockHoldsNoSave_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("play list") << "playlist.ini";
        QTest::newRow("player settings") << "player.ini";
        QTest::newRow("tool") << "format_convert.ini";
        QTest::newRow("start-up state") << "sensors_state.ini";
    }
    void leftLockHoldsNoSave()
    {
        QFETCH(QString, fileName);
        const QString path = app::appDataFilePath(fileName);
        clearFolder(QFileInfo(path).absolutePath());
        const QString clip = tvxtest::scratchPath(QStringLiteral("left lock/clip.mp4"));
        std::unique_ptr<PlaylistModel> model;
        if (fileName == QLatin1String("playlist.ini"))
            model = std::make_unique<PlaylistModel>(); // opened before the lock is left

        LeftLock lock(path);
        QVERIFY(lock.planted());
        if (model) {
            QCOMPARE(model->addFile(QUrl::fromLocalFile(clip)), 0);
        } else if (fileName == QLatin1String("player.ini")) {
            PlayerSettings settings;
            settings.volume = 37;
            settings.save();
        } else if (fileName == QLatin1String("format_convert.ini")) {
            tools::ToolBatch::saveRememberedDirectory(path, QStringLiteral("format_convert/output_directory"),
                                                      QStringLiteral("/srv/out"));
        } else {
            app::markActivityTrackedOnStartup();
        }
        QVERIFY2(lock.stop(), "the save waited on the left lock");
        QVERIFY(!QFileInfo::exists(lock.path()));
        const QSettings saved(path, QSettings::IniFormat);
        QCOMPARE(saved.allKeys().isEmpty(), false);
        if (model)
            QCOMPARE(saved.value(QStringLiteral("playlist/items/1/source_path")).toString(), clip);

        // A lock a live holder keeps is left alone.
        QLockFile held(path + QStringLiteral(".lock"));
        QVERIFY(held.tryLock(0));
        QVERIFY(!app::clearStaleStateLock(path));
        QVERIFY(QFileInfo::exists(path + QStringLiteral(".lock")));
    }

    // Whatever the list saves loads whole at the next start: a long list of long Chinese paths
    // (past the 32 MiB the reader once took), and a list the user fills up to its bound, where
    // the next file is refused with a reason instead.
    void longListLoadsWhole_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("titleLength");
        QTest::newRow("18,500 long Chinese paths") << 18500 << 0;
        QTest::newRow("filled up with long titles") << 0 << 4000000;
    }
    void longListLoadsWhole()
    {
        QFETCH(int, entries);
        QFETCH(int, titleLength);
        QVERIFY(entries > 0 || titleLength > 0);
        const QString path = app::appDataFilePath(QStringLiteral("playlist.ini"));
        clearFolder(QFileInfo(path).absolutePath());
        const QString folder = tvxtest::scratchPath(QStringLiteral("媒体/")) + QString(40, QChar(0x7535)) +
                               QLatin1Char('/') + QString(40, QChar(0x5f71)) + QLatin1Char('/');
        const auto urlOf = [&](int i) {
            return QUrl::fromLocalFile(folder + QString(76, QChar(0x89c6)) + QString::number(i) +
                                       QStringLiteral(".mp4"));
        };
        QStringList saved;
        int refusedAt = -1;
        {
            PlaylistModel model;
            if (titleLength == 0) {
                QVariantList urls;
                for (int i = 0; i < entries; ++i)
                    urls << urlOf(i);
                model.addFiles(urls);
            } else {
                // Each title as long as it still fits, then half as long: the list ends up full.
                QString title(titleLength, QLatin1Char('t'));
                int i = 0;
                while (!title.isEmpty()) {
                    tvxtest::writeFile(urlOf(i).toLocalFile(), QByteArray());
                    if (model.addFile(urlOf(i), title, false) == i)
                        ++i;
                    else
                        title.truncate(title.size() / 2);
                }
                QCOMPARE(model.refusalReason(urlOf(i)), QStringLiteral("full"));
                QCOMPARE(model.addFile(urlOf(i)), -1);
                refusedAt = model.count();
            }
            saved = model.sourcePaths();
        }
        QVERIFY(QFileInfo(path).size() > 32 * 1024 * 1024);
        QVERIFY(QFileInfo(path).size() <= app::kPlaylistStateFileMaxBytes);
        PlaylistModel again;
        QCOMPARE(again.count(), titleLength == 0 ? entries : refusedAt);
        QVERIFY(again.sourcePaths() == saved);
        QCOMPARE(asideCopies(path), QStringList());
    }

    void damagedPlaylistKeepsItsEntries()
    {
        const QString path = app::appDataFilePath(QStringLiteral("playlist.ini"));
        clearFolder(QFileInfo(path).absolutePath());
        tvxtest::writeFile(path, "[playlist]\nitems\\size=2\n" + playlistEntries(2) + "[junk]\n" + kBomb);
        PlaylistModel model;
        QCOMPARE(model.count(), 2);
        QCOMPARE(asideCopies(path).size(), 1);
    }
};

QTEST_GUILESS_MAIN(StateFilesTest)
#include "tst_statefiles.moc"
