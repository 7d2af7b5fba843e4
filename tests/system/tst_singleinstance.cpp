// Single instance: naming, the lock, the listening server and the JSON-line protocol.
#include "TestSupport.h"
#include "platform/LocalSocketEndpoint.h"
#include "system/SingleInstanceService.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include <algorithm>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every signal of one service, in order, as "activate" and "open:<url>".
class EventLog : public QObject
{
public:
    explicit EventLog(SingleInstanceService *service)
    {
        connect(service, &SingleInstanceService::activationRequested, this,
                [this]() { events << QStringLiteral("activate"); });
        connect(service, &SingleInstanceService::mediaOpenRequested, this,
                [this](const QString &url) { events << QStringLiteral("open:") + url; });
    }
    QStringList events;
};

QString runtimeDir()
{
    return QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
}

// Deep runtime folders (a deep build tree) put the endpoint in the abstract namespace.
bool usesAbstractEndpoint(const SingleInstanceService &service)
{
    return !platform::localSocketPathFits(runtimeDir() + QLatin1Char('/') + service.serverName());
}

// The abstract name a listening primary published in its private folder.
QByteArray abstractEndpointName(const SingleInstanceService &service)
{
    const QString address = service.endpointAddress();
    return address.startsWith(QLatin1Char('@')) ? address.mid(1).toUtf8() : QByteArray();
}

bool connectRawClient(const SingleInstanceService &service, QLocalSocket &client)
{
    if (usesAbstractEndpoint(service)) {
        const qintptr fd = platform::connectAbstractLocalSocket(abstractEndpointName(service));
        return fd >= 0 && client.setSocketDescriptor(fd);
    }
    client.connectToServer(service.endpointAddress());
    return client.waitForConnected(2000);
}

// Points XDG_RUNTIME_DIR at a fresh private folder until the returned guard goes.
auto useRuntimeDir(const QString &dir)
{
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
    return qScopeGuard([saved]() { qputenv("XDG_RUNTIME_DIR", saved); });
}

QLocalSocket *acceptedSocketOf(const SingleInstanceService &service)
{
    const auto sockets = service.findChildren<QLocalSocket *>();
    return sockets.isEmpty() ? nullptr : sockets.first();
}

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void serverNameIsIdentityHashAndUser()
    {
        SingleInstanceService service(QStringLiteral("  MAIN "));
        const QByteArray digest =
            QCryptographicHash::hash("Kestrane|Tavrixo|main", QCryptographicHash::Sha1).toHex();
        const QString expected = QStringLiteral("Tavrixo.single_instance.%1.%2")
                                     .arg(QString::fromLatin1(digest.left(16)))
                                     .arg(::getuid());
        QCOMPARE(service.serverName(), expected);
        QCOMPARE(SingleInstanceService(QString()).serverName(), expected);
        QVERIFY(SingleInstanceService(QStringLiteral("beta")).serverName() != expected);
        QCOMPARE(service.lockFilePath(), QDir(runtimeDir()).filePath(expected + QStringLiteral(".lock")));

        // Computed at every use: another application name is another instance.
        QCoreApplication::setApplicationName(QStringLiteral("Other"));
        QVERIFY(service.serverName() != expected);
        QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
    }

    void secondServiceHandsOverToFirst()
    {
        SingleInstanceService first;
        QVERIFY(!first.notifyPrimary(QStringLiteral("file:///nobody/listens.mp4"), 200));
        QVERIFY(first.startPrimary());
        QVERIFY(first.startPrimary()); // already primary
        QVERIFY(QFileInfo::exists(first.lockFilePath()));

        EventLog log(&first);
        SingleInstanceService second;
        QVERIFY(!second.startPrimary());
        QVERIFY(second.notifyPrimary(QStringLiteral("  file:///home/u/a%20b.mp4 "), 1200));
        QVERIFY(second.notifyPrimary(QStringLiteral("   "), 1200));
        QVERIFY(tvxtest::waitUntil([&]() { return log.events.size() == 3; }));
        QCOMPARE(log.events,
                 (QStringList{QStringLiteral("activate"), QStringLiteral("open:file:///home/u/a%20b.mp4"),
                              QStringLiteral("activate")}));
    }

    void endpointIsPrivateToTheUser()
    {
        SingleInstanceService service;
        if (usesAbstractEndpoint(service))
            QSKIP("no socket file in a temporary folder this deep (otherUsersAreRefused covers it)");
        QVERIFY(service.startPrimary());
        const QLocalServer *server = service.findChild<QLocalServer *>();
        QVERIFY(server);
        const QFileInfo socketFile(server->fullServerName());
        QVERIFY(socketFile.exists());
        QCOMPARE(socketFile.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                             QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
                 QFile::Permissions());
    }

    void exitReleasesLockAndNextStartIsPrimary()
    {
        QString lockPath;
        {
            SingleInstanceService service;
            QVERIFY(service.startPrimary());
            lockPath = service.lockFilePath();
            QVERIFY(QFileInfo::exists(lockPath));
        }
        QVERIFY(!QFileInfo::exists(lockPath));
        SingleInstanceService next;
        QVERIFY(next.startPrimary());
    }

    void leftoversOfDeadInstanceAreTakenOver()
    {
        SingleInstanceService service;
        // A lock written by a process that has exited, and a socket file nobody listens on.
        QProcess gone;
        gone.start(QStringLiteral("true"), QStringList());
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());
        tvxtest::writeFile(service.lockFilePath(), QByteArray::number(deadPid) + "\ntavrixo\n" +
                                                       QSysInfo::machineHostName().toUtf8() + "\n");
        tvxtest::writeFile(QDir(runtimeDir()).filePath(service.serverName()), "stale");

        QVERIFY(service.startPrimary());
        SingleInstanceService second;
        EventLog log(&service);
        QVERIFY(second.notifyPrimary(QString(), 1200));
        QVERIFY(tvxtest::waitUntil([&]() { return log.events.size() == 1; }));
    }

    void listenFailureReleasesLockUntilRetried()
    {
        SingleInstanceService service(QStringLiteral("blocked"));
        // A folder that is not a removable socket file sits where the endpoint (or, for an
        // abstract endpoint, its published name) must go.
        const QString blocked =
            QDir(runtimeDir())
                .filePath(service.serverName() +
                          (usesAbstractEndpoint(service) ? QStringLiteral(".endpoint") : QString()));
        tvxtest::writeFile(blocked + QStringLiteral("/keep"), "x");

        QVERIFY(!service.startPrimary());
        QVERIFY(!QFileInfo::exists(service.lockFilePath()));
        SingleInstanceService other(QStringLiteral("blocked"));
        QVERIFY(!other.notifyPrimary(QString(), 200));

        QDir(blocked).removeRecursively();
        QVERIFY(service.startPrimary());
        QVERIFY(other.notifyPrimary(QString(), 1200));
    }

    void deepRuntimeFolderStillHandsOver()
    {
        // Too deep for a socket file: the endpoint must still work, and the lock stays there.
        const QString deep = tvxtest::scratchPath(QStringLiteral("deep/") + QString(90, QLatin1Char('d')));
        auto restore = useRuntimeDir(deep);

        SingleInstanceService first(QStringLiteral("deep"));
        QVERIFY(first.startPrimary());
        QVERIFY(first.lockFilePath().startsWith(deep));
        QVERIFY(QFileInfo::exists(first.lockFilePath()));
        EventLog log(&first);

        SingleInstanceService second(QStringLiteral("deep"));
        QVERIFY(!second.startPrimary());
        QVERIFY(second.notifyPrimary(QStringLiteral("file:///deep.mp4"), 1200));
        QVERIFY(tvxtest::waitUntil([&]() { return log.events.size() == 2; }));
        QCOMPARE(log.events, (QStringList{"activate", "open:file:///deep.mp4"}));
        // Only the lock and the published random name, both in the private folder.
        QCOMPARE(QDir(deep).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{first.serverName() + ".endpoint", QFileInfo(first.lockFilePath()).fileName()}));
        const QByteArray name = abstractEndpointName(first);
        QVERIFY(name.size() >= first.serverName().size() + 33);
        QVERIFY(name != abstractEndpointName(SingleInstanceService(QStringLiteral("other"))));
    }

    void otherUsersAreRefused()
    {
        if (::getuid() != 0)
            QSKIP("needs root to act as another user");
        const QString deep = tvxtest::scratchPath(QStringLiteral("deep2/") + QString(90, QLatin1Char('e')));
        auto restore = useRuntimeDir(deep);

        SingleInstanceService service(QStringLiteral("users"));
        QVERIFY(service.startPrimary());
        EventLog log(&service);
        QVERIFY(usesAbstractEndpoint(service));
        const QByteArray endpoint = abstractEndpointName(service);
        const QByteArray message = "{\"action\":\"activate\",\"mediaFileUrl\":\"file:///intruder.mp4\"}\n";

        const pid_t child = ::fork();
        if (child == 0) {
            // Only system calls from here on: this is a copy of a threaded process.
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            const qintptr fd = platform::connectAbstractLocalSocket(endpoint);
            if (fd < 0)
                ::_exit(3);
            const bool sent =
                ::write(static_cast<int>(fd), message.constData(), size_t(message.size())) == message.size();
            ::_exit(sent ? 0 : 4);
        }
        QVERIFY(child > 0);
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);

        SingleInstanceService own(QStringLiteral("users"));
        QVERIFY(own.notifyPrimary(QStringLiteral("file:///own.mp4"), 1200));
        QVERIFY(tvxtest::waitUntil(
            [&]() { return log.events.contains(QStringLiteral("open:file:///own.mp4")); }));
        QCOMPARE(log.events, (QStringList{"activate", "open:file:///own.mp4"}));
    }

    void listenerOfAnotherUserIsNotTrusted()
    {
        if (::getuid() != 0)
            QSKIP("needs root to act as another user");
        const QString deep = tvxtest::scratchPath(QStringLiteral("deep3/") + QString(90, QLatin1Char('f')));
        auto restore = useRuntimeDir(deep);

        // The published name cannot be read by another user; should it leak all the same, a
        // listener of another user at that name still hears nothing.
        SingleInstanceService client(QStringLiteral("impostor"));
        QVERIFY(usesAbstractEndpoint(client));
        const QByteArray endpoint = "tvx-impostor-" + QByteArray::number(::getpid());
        tvxtest::writeFile(QDir(deep).filePath(client.serverName() + ".endpoint"), endpoint + "\n");
        int ready[2];
        int release[2];
        QCOMPARE(::pipe(ready), 0);
        QCOMPARE(::pipe(release), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            // Another user squats the endpoint and would read whatever is sent to it.
            ::close(ready[0]);
            ::close(release[1]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            if (platform::listenAbstractLocalSocket(endpoint) < 0)
                ::_exit(3);
            const char byte = 1;
            if (::write(ready[1], &byte, 1) != 1)
                ::_exit(4);
            char sink;
            while (::read(release[0], &sink, 1) > 0) {
            }
            ::_exit(0);
        }
        QVERIFY(child > 0);
        ::close(ready[1]);
        ::close(release[0]);
        char byte = 0;
        const bool listening = ::read(ready[0], &byte, 1) == 1;
        const bool handedOver = listening && client.notifyPrimary(QStringLiteral("file:///secret.mp4"), 1200);
        ::close(release[1]);
        ::close(ready[0]);
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(listening);
        QVERIFY(!handedOver);
    }

    void plantedLockAndNameInSharedFolderDoNotStopStart()
    {
        // Another user can write the shared temporary folder and bind any abstract name; what
        // was planted where earlier builds looked (a lock of a living process, the name derived
        // from the folder) must not matter.
        SingleInstanceService service(QStringLiteral("planted"));
        const QString oldLock = QDir(QDir::tempPath()).filePath(service.serverName() + ".lock");
        tvxtest::writeFile(oldLock, QByteArray::number(QCoreApplication::applicationPid()) +
                                        "\ntst_singleinstance\n" + QSysInfo::machineHostName().toUtf8() +
                                        "\n");
        const QByteArray oldName =
            service.serverName().toUtf8() + '.' +
            QCryptographicHash::hash(QDir::tempPath().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        const qintptr squatter = platform::listenAbstractLocalSocket(oldName);
        QVERIFY(squatter >= 0);
        auto closeSquatter = qScopeGuard([squatter]() { platform::closeLocalSocket(squatter); });

        QVERIFY(service.startPrimary());
        QVERIFY(service.lockFilePath().startsWith(runtimeDir() + QLatin1Char('/')));
        EventLog log(&service);
        SingleInstanceService second(QStringLiteral("planted"));
        QVERIFY(second.notifyPrimary(QStringLiteral("file:///p.mp4"), 1200));
        QVERIFY(tvxtest::waitUntil([&]() { return log.events.size() == 2; }));
    }

    void runtimeFolderOfAnotherUserIsRefused()
    {
        if (::getuid() != 0)
            QSKIP("needs root to plant another user's folder");
        const QString planted = tvxtest::scratchPath(QStringLiteral("rt-planted"));
        auto restore = useRuntimeDir(planted);
        QCOMPARE(::chown(QFile::encodeName(planted).constData(), 65534, 65534), 0);
        SingleInstanceService service(QStringLiteral("refused"));
        QVERIFY(!service.lockFilePath().startsWith(planted));
        QVERIFY(service.startPrimary());
        QVERIFY(QFileInfo(service.lockFilePath()).dir().absolutePath() != planted);
    }

    void silentPeerIsDroppedAndStoppedServerListensAgain()
    {
        SingleInstanceService service(QStringLiteral("watch"));
        service.setPeerTimeoutMs(150);
        service.setListenCheckIntervalMs(50);
        QVERIFY(service.startPrimary());
        EventLog log(&service);

        QLocalSocket silent;
        QVERIFY(connectRawClient(service, silent));
        silent.write("{\"action\":");
        QVERIFY(silent.waitForBytesWritten(1000));
        QVERIFY(tvxtest::waitUntil([&]() { return silent.state() == QLocalSocket::UnconnectedState; }, 3000));

        // Qt's server closes for good when an accept fails; the service listens again.
        service.findChild<QLocalServer *>()->close();
        QVERIFY(!service.isListening());
        QVERIFY(tvxtest::waitUntil([&]() { return service.isListening(); }, 3000));
        SingleInstanceService sender(QStringLiteral("watch"));
        QVERIFY(sender.notifyPrimary(QStringLiteral("file:///back.mp4"), 1200));
        QVERIFY(tvxtest::waitUntil([&]() { return log.events.size() == 2; }));
        QCOMPARE(log.events, (QStringList{"activate", "open:file:///back.mp4"}));
    }

    void thousandsOfIdlePeersDoNotStopTheEndpoint()
    {
        // The server side runs at a common descriptor limit; the peers are held by another
        // process that raises its own limit.
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit lowered = saved;
        lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 1024);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
        auto restoreLimit = qScopeGuard([saved]() { ::setrlimit(RLIMIT_NOFILE, &saved); });

        SingleInstanceService service(QStringLiteral("flood"));
        QVERIFY(service.startPrimary());
        EventLog log(&service);

        const char *script = R"PY(
import resource, socket, sys
address, count = sys.argv[1], int(sys.argv[2])
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
want = count + 64
if soft < want:
    try:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, max(hard, want)))
    except (ValueError, OSError):
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
target = '\0' + address[1:] if address.startswith('@') else address
held, failed = [], 0
for _ in range(count):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        s.connect(target)
        held.append(s)
    except OSError:
        failed += 1
        s.close()
print(len(held), failed, flush=True)
sys.stdin.read()
)PY";
        QProcess peers;
        peers.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peers.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(script),
                                                service.endpointAddress(), QStringLiteral("2000")});
        QVERIFY(peers.waitForStarted());
        auto stopPeers = qScopeGuard([&peers]() {
            peers.closeWriteChannel();
            if (!peers.waitForFinished(tvxtest::scaledMs(5000)))
                peers.kill();
        });
        QVERIFY(tvxtest::waitUntil([&]() { return peers.canReadLine(); }, 120000));
        const QByteArray report = peers.readLine().trimmed();
        qInfo() << "held and failed connections:" << report;
        QCOMPARE(report.split(' ').value(1), QByteArray("0"));

        // Still listening while the idle peers are held, and a real start gets through.
        QVERIFY(service.isListening());
        // Dropped peers are aborted at once but deleted later, so the cap is checked on the
        // connections still open; the accept queue can hold a few more until it drains.
        const auto openPeers = [&service]() {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const auto sockets = service.findChildren<QLocalSocket *>();
            return std::count_if(sockets.begin(), sockets.end(), [](const QLocalSocket *socket) {
                return socket->state() != QLocalSocket::UnconnectedState;
            });
        };
        QVERIFY(tvxtest::waitUntil([&]() { return openPeers() <= SingleInstanceService::kMaxPeers; }));
        SingleInstanceService sender(QStringLiteral("flood"));
        QVERIFY(sender.notifyPrimary(QStringLiteral("file:///through.mp4"), 1200));
        QVERIFY(tvxtest::waitUntil([&]() { return log.events.size() == 2; }));
        QCOMPARE(log.events, (QStringList{"activate", "open:file:///through.mp4"}));
    }

    void protocol_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("peerDropped");

        const QByteArray a = "{\"action\":\"activate\",\"mediaFileUrl\":\"file:///a.mp4\"}\n";
        const QByteArray b = "{\"action\":\"activate\"}\n";
        QTest::newRow("two messages in one write")
            << QList<QByteArray>{a + b} << QStringList{"activate", "open:file:///a.mp4", "activate"} << false;
        QTest::newRow("one message in two writes") << QList<QByteArray>{a.left(20), a.mid(20)}
                                                   << QStringList{"activate", "open:file:///a.mp4"} << false;
        QTest::newRow("bad JSON, then a good line")
            << QList<QByteArray>{"{\"action\":\"activ\n[1,2]\n\"activate\"\n" + b} << QStringList{"activate"}
            << false;
        QTest::newRow("unknown action")
            << QList<QByteArray>{"{\"action\":\"quit\",\"mediaFileUrl\":\"x\"}\n"} << QStringList{} << false;
        QTest::newRow("capital Activate")
            << QList<QByteArray>{"{\"action\":\"Activate\"}\n"} << QStringList{} << false;
        QTest::newRow("missing action")
            << QList<QByteArray>{"{\"mediaFileUrl\":\"file:///a.mp4\"}\n"} << QStringList{} << false;
        QTest::newRow("blank mediaFileUrl, blanks and CRLF around the line")
            << QList<QByteArray>{"  {\"action\":\"activate\",\"mediaFileUrl\":\"   \"}\r\n\n"}
            << QStringList{"activate"} << false;
        QTest::newRow("mediaFileUrl not a string")
            << QList<QByteArray>{"{\"action\":\"activate\",\"mediaFileUrl\":5}\n"} << QStringList{"activate"}
            << false;

        const QByteArray huge(SingleInstanceService::kMaxPayloadBytes + 10, 'x');
        QTest::newRow("over-long line with its line feed drops the peer")
            << QList<QByteArray>{b + huge + "\n" + a} << QStringList{"activate"} << true;
        QTest::newRow("over-long unterminated line drops the peer")
            << QList<QByteArray>{huge.left(40000), huge.mid(40000)} << QStringList{} << true;
    }

    void protocol()
    {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QStringList, expected);
        QFETCH(bool, peerDropped);

        SingleInstanceService service(QStringLiteral("protocol"));
        QVERIFY(service.startPrimary());
        EventLog log(&service);

        QLocalSocket client;
        QVERIFY(connectRawClient(service, client));
        QVERIFY(tvxtest::waitUntil([&]() { return acceptedSocketOf(service) != nullptr; }));

        QByteArray sent;
        for (const QByteArray &chunk : writes) {
            client.write(chunk);
            QVERIFY(client.waitForBytesWritten(2000));
            sent += chunk;
            // Let the server read this chunk on its own before the next one goes out.
            if (!peerDropped && &chunk != &writes.last()) {
                const QByteArray pending = sent.mid(sent.lastIndexOf('\n') + 1);
                QVERIFY(tvxtest::waitUntil([&]() {
                    QLocalSocket *accepted = acceptedSocketOf(service);
                    return accepted && accepted->property("ipcPayloadBuffer").toByteArray() == pending;
                }));
            }
        }

        if (peerDropped) {
            QVERIFY(tvxtest::waitUntil([&]() { return client.state() == QLocalSocket::UnconnectedState; }));
        } else {
            // A last message on the same connection marks the end of what the server has read.
            client.write("\n{\"action\":\"activate\",\"mediaFileUrl\":\"end\"}\n");
            QVERIFY(client.waitForBytesWritten(2000));
            QVERIFY(tvxtest::waitUntil([&]() { return log.events.endsWith(QStringLiteral("open:end")); }));
            log.events.removeLast();
            log.events.removeLast();
        }
        QCOMPARE(log.events, expected);

        // The service keeps answering new peers.
        SingleInstanceService sender(QStringLiteral("protocol"));
        QVERIFY(sender.notifyPrimary(QStringLiteral("file:///after.mp4"), 1200));
        QVERIFY(tvxtest::waitUntil(
            [&]() { return log.events.endsWith(QStringLiteral("open:file:///after.mp4")); }));
    }

    void processMessageWithoutServer()
    {
        SingleInstanceService service;
        EventLog log(&service);
        service.processMessage("{\"action\":\"activate\",\"mediaFileUrl\":\" file:///x.mp4 \",\"extra\":1}");
        service.processMessage("   ");
        QCOMPARE(log.events, (QStringList{"activate", "open:file:///x.mp4"}));
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
