// The sign-in pages' certificate check against the configured authority: only a chain whose
// signatures lead to it, for the host its server certificate names, passes; names that merely
// look right do not.
#include "TestSupport.h"
#include "webengine/ConfiguredAuthority.h"

#include <QSslCertificate>
#include <QtTest>

namespace {

bool openssl(const QStringList &args)
{
    const tvxtest::ProcessResult run = tvxtest::runProcess(QStringLiteral("openssl"), args, 30000);
    return run.started && !run.timedOut && !run.crashed && run.exitCode == 0;
}

bool makeCa(const QString &dir, const QString &file, const QString &name)
{
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", dir + "/" + file + ".key", "-out", dir + "/" + file + ".pem", "-days", "2",
                    "-subj", "/CN=" + name});
}

bool makeServer(const QString &dir, const QString &file, const QString &ca, const QString &altName)
{
    tvxtest::writeFile(dir + "/" + file + ".ext", "subjectAltName=" + altName.toUtf8() + "\n");
    return openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                    dir + "/" + file + ".key", "-out", dir + "/" + file + ".csr", "-subj", "/CN=server"}) &&
           openssl({"x509", "-req", "-in", dir + "/" + file + ".csr", "-CA", dir + "/" + ca + ".pem",
                    "-CAkey", dir + "/" + ca + ".key", "-CAcreateserial", "-out", dir + "/" + file + ".pem",
                    "-days", "2", "-extfile", dir + "/" + file + ".ext"});
}

} // namespace

class ConfiguredAuthorityTest : public QObject
{
    Q_OBJECT
    QString m_dir;

    QSslCertificate certificate(const QString &file) const
    {
        return QSslCertificate::fromPath(m_dir + "/" + file + ".pem").value(0);
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        m_dir = tvxtest::scratchPath(QStringLiteral("authorities"));
        QVERIFY(QDir().mkpath(m_dir));
        // "impostor" bears the configured authority's very name with a key of its own.
        QVERIFY(makeCa(m_dir, "ca", "Tavrixo Test CA") && makeCa(m_dir, "other", "Other CA") &&
                makeCa(m_dir, "impostor", "Tavrixo Test CA"));
        QVERIFY(makeServer(m_dir, "server", "ca", "IP:127.0.0.1,DNS:acct.example.test") &&
                makeServer(m_dir, "byother", "other", "IP:127.0.0.1") &&
                makeServer(m_dir, "byimpostor", "impostor", "IP:127.0.0.1"));
    }

    void onlyAChainThatVerifiesPasses_data()
    {
        QTest::addColumn<QStringList>("chain");
        QTest::addColumn<QStringList>("authorities");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("signed by it, address")
            << QStringList{"server"} << QStringList{"ca"} << "127.0.0.1" << true;
        QTest::newRow("signed by it, name")
            << QStringList{"server"} << QStringList{"ca"} << "acct.example.test" << true;
        QTest::newRow("with the authority sent along")
            << QStringList{"server", "ca"} << QStringList{"ca"} << "127.0.0.1" << true;
        QTest::newRow("one of several authorities")
            << QStringList{"server"} << QStringList{"other", "ca"} << "127.0.0.1" << true;
        QTest::newRow("another host") << QStringList{"server"} << QStringList{"ca"} << "127.0.0.2" << false;
        QTest::newRow("another name")
            << QStringList{"server"} << QStringList{"ca"} << "evil.example.test" << false;
        QTest::newRow("signed by another")
            << QStringList{"byother"} << QStringList{"ca"} << "127.0.0.1" << false;
        QTest::newRow("another's, with the authority sent along")
            << QStringList{"byother", "ca"} << QStringList{"ca"} << "127.0.0.1" << false;
        QTest::newRow("signed by a namesake")
            << QStringList{"byimpostor", "ca"} << QStringList{"ca"} << "127.0.0.1" << false;
        QTest::newRow("the namesake sent along")
            << QStringList{"byimpostor", "impostor"} << QStringList{"ca"} << "127.0.0.1" << false;
        QTest::newRow("the authority itself as the server")
            << QStringList{"ca"} << QStringList{"ca"} << "127.0.0.1" << false;
        QTest::newRow("no authority") << QStringList{"server"} << QStringList{} << "127.0.0.1" << false;
        QTest::newRow("no chain") << QStringList{} << QStringList{"ca"} << "127.0.0.1" << false;
    }
    void onlyAChainThatVerifiesPasses()
    {
        QFETCH(QStringList, chain);
        QFETCH(QStringList, authorities);
        QFETCH(QString, host);
        QFETCH(bool, trusted);
        QList<QSslCertificate> chainCertificates;
        for (const QString &file : chain)
            chainCertificates << certificate(file);
        QList<QSslCertificate> authorityCertificates;
        for (const QString &file : authorities)
            authorityCertificates << certificate(file);
        for (const QSslCertificate &c : chainCertificates + authorityCertificates)
            QVERIFY(!c.isNull());
        QCOMPARE(webengine::chainVerifiesTo(chainCertificates, authorityCertificates, host), trusted);
    }
};

QTEST_GUILESS_MAIN(ConfiguredAuthorityTest)
#include "tst_configuredauthority.moc"
