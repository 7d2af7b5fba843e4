// Registry stand-in: persistence, registry-like naming rules, and injected failures.
#include "TestSupport.h"
#include "platform/RegistryStore.h"

#include <QFile>
#include <QtTest>

using platform::RegistryStore;
using Op = RegistryStore::Operation;

class RegistryStoreTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void valuesSurviveReopeningWithAwkwardText()
    {
        const QString path = tvxtest::scratchPath(QStringLiteral("reg/roundtrip.ini"));
        const QString awkward = QStringLiteral("a \"quoted\" C:\\path\\x = y\nsecond line ; [not a section]");
        {
            RegistryStore store(path);
            QVERIFY(store.write(QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes\\.mp4"), QString(),
                                QStringLiteral("Tavrixo.mp4")));
            QVERIFY(store.write(QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes\\.mp4"),
                                QStringLiteral("Tavrixo.mp4"), QString()));
            QVERIFY(store.write(QStringLiteral("HKEY_CURRENT_USER\\Software\\X"), awkward, awkward));
            QVERIFY(store.write(QStringLiteral("HKEY_CURRENT_USER\\Software\\Empty\\Sub"),
                                QStringLiteral("v"), QString()));
            QVERIFY(store.removeValue(QStringLiteral("HKEY_CURRENT_USER\\Software\\Empty\\Sub"),
                                      QStringLiteral("v")));
            // No explicit flush: the destructor must not lose what was written.
        }
        RegistryStore reopened(path);
        QString value;
        bool found = false;
        QVERIFY(reopened.read(QStringLiteral("hkey_current_user\\software\\CLASSES\\.MP4"), QString(), &value,
                              &found));
        QVERIFY(found);
        QCOMPARE(value, QStringLiteral("Tavrixo.mp4"));
        QVERIFY(reopened.read(QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes\\.mp4"),
                              QStringLiteral("TAVRIXO.MP4"), &value, &found));
        QVERIFY(found);
        QCOMPARE(value, QString());
        QVERIFY(reopened.read(QStringLiteral("HKEY_CURRENT_USER\\Software\\X"), awkward, &value, &found));
        QVERIFY(found);
        QCOMPARE(value, awkward);
        bool exists = false;
        QVERIFY(reopened.keyExists(QStringLiteral("HKEY_CURRENT_USER\\Software\\Empty\\Sub"), &exists));
        QVERIFY2(exists, "a key stays after its last value is removed, as in the registry");
        QVERIFY(
            reopened.read(QStringLiteral("HKEY_CURRENT_USER\\Software\\Nope"), QString(), &value, &found));
        QVERIFY(!found);
        QVERIFY(value.isEmpty());
    }

    void removeKeyTakesSubkeysButNotSiblings()
    {
        RegistryStore store(tvxtest::scratchPath(QStringLiteral("reg/remove.ini")));
        const QString base = QStringLiteral("HKEY_CURRENT_USER\\Software\\FileExts\\.mp4");
        QVERIFY(store.write(base + QStringLiteral("\\UserChoice"), QStringLiteral("ProgId"),
                            QStringLiteral("Other.mp4")));
        QVERIFY(store.write(base + QStringLiteral("\\UserChoice\\Deeper"), QString(), QStringLiteral("x")));
        QVERIFY(store.write(base + QStringLiteral("\\UserChoiceTwin"), QString(), QStringLiteral("y")));
        QVERIFY(store.removeKey(base + QStringLiteral("\\userchoice")));
        bool exists = true;
        QVERIFY(store.keyExists(base + QStringLiteral("\\UserChoice\\Deeper"), &exists));
        QVERIFY(!exists);
        QVERIFY(store.keyExists(base + QStringLiteral("\\UserChoiceTwin"), &exists));
        QVERIFY(exists);
    }

    void injectedFailures_data()
    {
        QTest::addColumn<int>("op");
        QTest::newRow("open key") << int(Op::OpenKey);
        QTest::newRow("read") << int(Op::Read);
        QTest::newRow("write") << int(Op::Write);
        QTest::newRow("remove value") << int(Op::RemoveValue);
        QTest::newRow("remove key") << int(Op::RemoveKey);
        QTest::newRow("flush") << int(Op::Flush);
    }
    void injectedFailures()
    {
        QFETCH(int, op);
        const QString path = tvxtest::scratchPath(QStringLiteral("reg/fail%1.ini").arg(op));
        const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\K");
        RegistryStore store(path);
        QVERIFY(store.write(key, QStringLiteral("v"), QStringLiteral("before")));
        QVERIFY(store.flush());
        store.setFailureRule([op, key](Op o, const QString &k, const QString &) {
            return int(o) == op && (o == Op::Flush || k.startsWith(key));
        });
        bool exists = false;
        QString value;
        QCOMPARE(store.keyExists(key, &exists), op != int(Op::OpenKey));
        QCOMPARE(store.read(key, QStringLiteral("v"), &value), op != int(Op::Read));
        QCOMPARE(store.write(key, QStringLiteral("v"), QStringLiteral("after")), op != int(Op::Write));
        QCOMPARE(store.removeValue(key, QStringLiteral("other")), op != int(Op::RemoveValue));
        QCOMPARE(store.removeKey(key + QStringLiteral("\\Sub")), op != int(Op::RemoveKey));
        QCOMPARE(store.flush(), op != int(Op::Flush));
        // A failed flush leaves the file as it was: the earlier content is still there.
        RegistryStore other(path);
        QVERIFY(other.read(key, QStringLiteral("v"), &value));
        QCOMPARE(value, op == int(Op::Write) || op == int(Op::Flush) ? QStringLiteral("before")
                                                                     : QStringLiteral("after"));
    }

    void flushFailsWhenTheFolderCannotExist()
    {
        // A regular file where the parent folder should be fails even for root.
        const QString blocker = tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("reg/blocker")), "x");
        RegistryStore store(blocker + QStringLiteral("/registry.ini"));
        QVERIFY(store.write(QStringLiteral("HKEY_CURRENT_USER\\A"), QString(), QStringLiteral("1")));
        QVERIFY(!store.flush());
    }

    void damagedLinesAreSkipped()
    {
        const QString path = tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("reg/damaged.ini")),
                                                "value outside any key\n"
                                                "[HKEY_CURRENT_USER\\Good]\n"
                                                "@=\"default\"\n"
                                                "\"unterminated=\"x\n"
                                                "\"named\"=\"ok\"\n"
                                                "garbage line\n");
        RegistryStore store(path);
        QString value;
        QVERIFY(store.read(QStringLiteral("HKEY_CURRENT_USER\\Good"), QString(), &value));
        QCOMPARE(value, QStringLiteral("default"));
        QVERIFY(store.read(QStringLiteral("HKEY_CURRENT_USER\\Good"), QStringLiteral("named"), &value));
        QCOMPARE(value, QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(RegistryStoreTest)
#include "tst_registrystore.moc"
