// The stored account: what loads from a file, the exact bytes a save writes, and that the file
// stays private and whole whatever happens to a save.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "user_pay/AccountLocalStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <atomic>
#include <thread>

#include <sys/stat.h>

using user_pay::AccountInfo;
using user_pay::AccountLocalStore;

namespace {

AccountInfo makeAccount(const QString &id, const QString &token,
                        const QString &nickname = QStringLiteral("nick"))
{
    AccountInfo a;
    a.accountId = id;
    a.uid = QStringLiteral("42");
    a.nickname = nickname;
    a.avatarUrl = QStringLiteral("https://img.example/a.png");
    a.token = token;
    a.accountType = 5;
    a.isVirtualAccount = true;
    return a;
}

// JSON written with single quotes, which stand for double quotes.
QByteArray j(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

QByteArray fileBytes()
{
    QFile f(AccountLocalStore::storageFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeStoreFile(const QByteArray &bytes)
{
    tvxtest::writeFile(AccountLocalStore::storageFilePath(), bytes);
}

unsigned fileMode(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777u) : 0u;
}

bool sameAccount(const AccountInfo &a, const AccountInfo &b)
{
    return a.accountId == b.accountId && a.uid == b.uid && a.nickname == b.nickname &&
           a.avatarUrl == b.avatarUrl && a.token == b.token && a.accountType == b.accountType &&
           a.isVirtualAccount == b.isVirtualAccount;
}

} // namespace

class AccountStoreTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }
    void init() { QFile::remove(AccountLocalStore::storageFilePath()); }

    void pathIsInTheApplicationDataFolder()
    {
        QCOMPARE(AccountLocalStore::storageFilePath(),
                 app::appDataRootPath() + QStringLiteral("/account_info.json"));
    }

    void loadTable_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("fields"); // accountId, token, uid, nickname, avatarUrl
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("isVirtual");

        QTest::newRow("full")
            << j("{'accountId':'a1','accountType':3,'avatarUrl':'u','isVirtualAccount':false,"
                 "'nickname':'N','schemaVersion':1,'token':'t','uid':'9'}")
            << true << QStringList{"a1", "t", "9", "N", "u"} << 3 << false;
        QTest::newRow("trimmed id, token and uid; nickname and avatar as held")
            << j("{'accountId':' a1 ','token':'\\tt \\n','uid':' 9 ','nickname':' ','avatarUrl':' u '}")
            << true << QStringList{"a1", "t", "9", " ", " u "} << 0 << false;
        QTest::newRow("empty nickname becomes the account id")
            << j("{'accountId':' a1 ','token':'t','nickname':''}") << true
            << QStringList{"a1", "t", "", "a1", ""} << 0 << false;
        QTest::newRow("type 5 is virtual whatever the flag says")
            << j("{'accountId':'a','token':'t','accountType':5,'isVirtualAccount':false}") << true
            << QStringList{"a", "t", "", "a", ""} << 5 << true;
        QTest::newRow("type 3 is not virtual whatever the flag says")
            << j("{'accountId':'a','token':'t','accountType':3,'isVirtualAccount':true}") << true
            << QStringList{"a", "t", "", "a", ""} << 3 << false;
        QTest::newRow("another schema version and foreign keys load")
            << j("{'accountId':'a','token':'t','schemaVersion':7,'extra':[1,2]}") << true
            << QStringList{"a", "t", "", "a", ""} << 0 << false;
        QTest::newRow("type of the wrong kind reads 0")
            << j("{'accountId':'a','token':'t','accountType':'5'}") << true
            << QStringList{"a", "t", "", "a", ""} << 0 << false;
        QTest::newRow("members of the wrong kind read empty")
            << j("{'accountId':'a','token':'t','uid':9,'nickname':null,'avatarUrl':{}}") << true
            << QStringList{"a", "t", "", "a", ""} << 0 << false;
        QTest::newRow("blank token") << j("{'accountId':'a','token':'  '}") << false << QStringList() << 0
                                     << false;
        QTest::newRow("token not a string")
            << j("{'accountId':'a','token':7}") << false << QStringList() << 0 << false;
        QTest::newRow("no account id") << j("{'token':'t'}") << false << QStringList() << 0 << false;
        QTest::newRow("array") << j("[{'accountId':'a','token':'t'}]") << false << QStringList() << 0
                               << false;
        QTest::newRow("truncated") << j("{'accountId':'a','token':'t'") << false << QStringList() << 0
                                   << false;
        QTest::newRow("empty file") << QByteArray() << false << QStringList() << 0 << false;
        QTest::newRow("not JSON") << QByteArray("\x00\xff garbage", 10) << false << QStringList() << 0
                                  << false;
    }

    void loadTable()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        QFETCH(QStringList, fields);
        QFETCH(int, type);
        QFETCH(bool, isVirtual);

        writeStoreFile(bytes);
        AccountInfo out = makeAccount(QStringLiteral("untouched"), QStringLiteral("untouched"));
        const AccountInfo before = out;
        QCOMPARE(AccountLocalStore().load(&out), ok);
        if (!ok) {
            QVERIFY2(sameAccount(out, before), "a failed load leaves the caller's record alone");
            return;
        }
        QCOMPARE((QStringList{out.accountId, out.token, out.uid, out.nickname, out.avatarUrl}), fields);
        QCOMPARE(out.accountType, type);
        QCOMPARE(out.isVirtualAccount, isVirtual);
    }

    void loadWithoutFileOrTargetFails()
    {
        AccountInfo out;
        QVERIFY(!AccountLocalStore().load(&out));
        writeStoreFile(j("{'accountId':'a','token':'t'}"));
        QVERIFY(!AccountLocalStore().load(nullptr));
        QVERIFY(!AccountLocalStore::fromJsonObject(QJsonObject{{"accountId", "a"}, {"token", "t"}}, nullptr));
    }

    void saveWritesCompactSortedBytes()
    {
        AccountInfo a =
            makeAccount(QStringLiteral(" a1 "), QStringLiteral(" tok "), QStringLiteral("名字 \"q\""));
        QVERIFY(AccountLocalStore().save(a));
        QCOMPARE(fileBytes(), j("{'accountId':' a1 ','accountType':5,'avatarUrl':'https://img.example/a.png',"
                                "'isVirtualAccount':true,'nickname':'名字 \\'q\\'','schemaVersion':1,"
                                "'token':' tok ','uid':'42'}"));
        AccountInfo back;
        QVERIFY(AccountLocalStore().load(&back));
        QCOMPARE(back.accountId, QStringLiteral("a1"));
        QCOMPARE(back.token, QStringLiteral("tok"));
        QCOMPARE(back.nickname, a.nickname);
    }

    void unusableAccountIsRefusedAndOldFileKept_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("token");
        QTest::newRow("blank token") << QStringLiteral("a") << QStringLiteral(" \t ");
        QTest::newRow("empty token") << QStringLiteral("a") << QString();
        QTest::newRow("blank account id") << QStringLiteral("  ") << QStringLiteral("t");
    }

    void unusableAccountIsRefusedAndOldFileKept()
    {
        QFETCH(QString, id);
        QFETCH(QString, token);
        QVERIFY(AccountLocalStore().save(makeAccount(QStringLiteral("old"), QStringLiteral("t"))));
        const QByteArray old = fileBytes();
        QVERIFY(!AccountLocalStore().save(makeAccount(id, token)));
        QCOMPARE(fileBytes(), old);
    }

    // A write that the system refuses half-way (here: the file-size limit) must not leave a
    // truncated file in place of the good one, nor a temporary file beside it.
    void failedWriteKeepsOldFileWhole()
    {
        QVERIFY(AccountLocalStore().save(makeAccount(QStringLiteral("old"), QStringLiteral("t"))));
        const QByteArray old = fileBytes();
        const QString folder = QFileInfo(AccountLocalStore::storageFilePath()).absolutePath();
        const QStringList entriesBefore = QDir(folder).entryList(QDir::Files);

        bool saved2 = true;
        QVERIFY(tvxtest::withFileSizeLimit(2048, [&] {
            saved2 = AccountLocalStore().save(makeAccount(QStringLiteral("new"), QStringLiteral("t"),
                                                          QString(64 * 1024, QLatin1Char('x'))));
        }));
        QVERIFY(!saved2);
        QCOMPARE(fileBytes(), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files), entriesBefore);
    }

    void fileIsPrivateToTheUser()
    {
        QVERIFY(AccountLocalStore().save(makeAccount(QStringLiteral("a"), QStringLiteral("t"))));
        QCOMPARE(fileMode(AccountLocalStore::storageFilePath()), 0600u);
        // A file an older build left readable by others is narrowed by the next save.
        QVERIFY(::chmod(QFile::encodeName(AccountLocalStore::storageFilePath()).constData(), 0644) == 0);
        QVERIFY(AccountLocalStore().save(makeAccount(QStringLiteral("b"), QStringLiteral("t"))));
        QCOMPARE(fileMode(AccountLocalStore::storageFilePath()), 0600u);
    }

    void readerNeverSeesPartialFile()
    {
        const AccountInfo first =
            makeAccount(QStringLiteral("first"), QStringLiteral("t1"), QString(200 * 1024, QLatin1Char('a')));
        const AccountInfo second = makeAccount(QStringLiteral("second"), QStringLiteral("t2"),
                                               QString(300 * 1024, QLatin1Char('b')));
        QVERIFY(AccountLocalStore().save(first));

        std::atomic<bool> stop{false};
        std::atomic<int> saveFailures{0};
        std::thread writer([&] {
            for (int i = 0; i < 200 && !stop.load(); ++i) {
                if (!AccountLocalStore().save(i % 2 ? first : second)) {
                    ++saveFailures;
                }
            }
            stop = true;
        });
        int loads = 0;
        int bad = 0;
        while (!stop.load()) {
            AccountInfo out;
            if (!AccountLocalStore().load(&out) || !(sameAccount(out, first) || sameAccount(out, second))) {
                ++bad;
            }
            ++loads;
        }
        writer.join();
        QCOMPARE(saveFailures.load(), 0);
        QCOMPARE(bad, 0);
        QVERIFY(loads > 0);
    }

    void clearRemovesTheFileAndIsTrueWithoutOne()
    {
        QVERIFY(AccountLocalStore().clear());
        QVERIFY(AccountLocalStore().save(makeAccount(QStringLiteral("a"), QStringLiteral("t"))));
        QVERIFY(AccountLocalStore().clear());
        QVERIFY(!QFile::exists(AccountLocalStore::storageFilePath()));
        AccountInfo out;
        QVERIFY(!AccountLocalStore().load(&out));
    }
};

QTEST_GUILESS_MAIN(AccountStoreTest)
#include "tst_accountstore.moc"
