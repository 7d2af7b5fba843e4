// Whole-file replacement: a reader never meets a missing or half-written file, permissions and
// links survive, and a failed write leaves the old file and nothing else.
#include "TestSupport.h"
#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QFileDevice::Permissions kPrivate = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kLauncher =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
    QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

uint modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0u;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A fresh folder per test, so a temporary file left behind shows in its listing.
QString freshFolder(const QString &name)
{
    const QString folder = tvxtest::scratchPath(name);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    return folder;
}

} // namespace

class AtomicFileTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void readerNeverSeesMissingOrPartialFile_data()
    {
        QTest::addColumn<int>("permissionFlags");
        QTest::newRow("kept permissions") << 0;
        QTest::newRow("private") << int(kPrivate);
    }

    void readerNeverSeesMissingOrPartialFile()
    {
        QFETCH(int, permissionFlags);
        const QFileDevice::Permissions permissions(permissionFlags);
        const QString folder = freshFolder(QStringLiteral("replace"));
        const QString path = folder + QStringLiteral("/state.json");
        // Sizes that take several write calls, so a file seen mid-write is shorter than either.
        const QByteArray first(256 * 1024, 'a');
        const QByteArray second(384 * 1024, 'b');
        QVERIFY(app::writeFileAtomically(path, first, permissions));

        std::atomic<bool> done{false};
        std::atomic<int> writeFailures{0};
        std::thread writer([&] {
            for (int i = 0; i < 400; ++i) {
                if (!app::writeFileAtomically(path, i % 2 ? first : second, permissions))
                    ++writeFailures;
            }
            done = true;
        });
        int reads = 0;
        int missing = 0;
        int partial = 0;
        while (!done.load()) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                ++missing;
            } else {
                const QByteArray seen = file.readAll();
                if (seen != first && seen != second)
                    ++partial;
            }
            ++reads;
        }
        writer.join();
        QCOMPARE(writeFailures.load(), 0);
        QCOMPARE(missing, 0);
        QCOMPARE(partial, 0);
        QVERIFY(reads > 0);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("state.json")});
    }

    void permissions_data()
    {
        QTest::addColumn<int>("existingMode"); // -1: no file before the write
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("expectedMode"); // -1: what a newly created file gets under the umask
        QTest::newRow("new file, creation default") << -1 << 0 << -1;
        QTest::newRow("existing file keeps its mode") << 0640 << 0 << 0640;
        QTest::newRow("private narrows a readable file") << 0644 << int(kPrivate) << 0600;
        QTest::newRow("new private file") << -1 << int(kPrivate) << 0600;
        QTest::newRow("launcher is executable") << 0600 << int(kLauncher) << 0755;
    }

    void permissions()
    {
        QFETCH(int, existingMode);
        QFETCH(int, requested);
        QFETCH(int, expectedMode);
        const QString folder = freshFolder(QStringLiteral("modes"));
        const QString path = folder + QStringLiteral("/file");
        if (existingMode >= 0) {
            tvxtest::writeFile(path, "old");
            QVERIFY(::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(existingMode)) == 0);
        }
        if (expectedMode < 0) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            expectedMode = 0666 & ~static_cast<int>(mask);
        }
        QVERIFY(app::writeFileAtomically(path, "new", QFileDevice::Permissions(requested)));
        QCOMPARE(bytesOf(path), QByteArray("new"));
        QCOMPARE(modeOf(path), static_cast<uint>(expectedMode));
    }

    void aLinkKeepsPointingAtTheReplacedFile()
    {
        const QString folder = freshFolder(QStringLiteral("link"));
        const QString target = tvxtest::writeFile(folder + QStringLiteral("/real.list"), "old");
        const QString link = folder + QStringLiteral("/mimeapps.list");
        QVERIFY(QFile::link(target, link));
        QVERIFY(app::writeFileAtomically(link, "new"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(bytesOf(target), QByteArray("new"));
    }

    void failureLeavesWhatStoodThere_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << QStringLiteral("absent/file");
        QTest::newRow("parent is a regular file") << QStringLiteral("plain/file");
        QTest::newRow("target is a folder") << QStringLiteral("folder");
    }

    void failureLeavesWhatStoodThere()
    {
        QFETCH(QString, relative);
        const QString folder = freshFolder(QStringLiteral("fail"));
        tvxtest::writeFile(folder + QStringLiteral("/plain"), "plain");
        QDir(folder).mkpath(QStringLiteral("folder/inside"));
        const QStringList before =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        QVERIFY(!app::writeFileAtomically(folder + QLatin1Char('/') + relative, "new"));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        QCOMPARE(bytesOf(folder + QStringLiteral("/plain")), QByteArray("plain"));
        QVERIFY(QFileInfo(folder + QStringLiteral("/folder/inside")).isDir());
    }

    void aWriteCutShortLeavesTheOldFile()
    {
        const QString folder = freshFolder(QStringLiteral("short"));
        const QString path = folder + QStringLiteral("/file");
        QVERIFY(app::writeFileAtomically(path, "old"));

        bool written = true;
        QVERIFY(tvxtest::withFileSizeLimit(
            2048, [&] { written = app::writeFileAtomically(path, QByteArray(64 * 1024, 'x')); }));
        QVERIFY(!written);
        QCOMPARE(bytesOf(path), QByteArray("old"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("file")});
    }
};

QTEST_GUILESS_MAIN(AtomicFileTest)
#include "tst_atomicfile.moc"
