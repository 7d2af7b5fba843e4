// Stand-ins for the video-to-text job's tests: a scripted cloud conversion service and a loopback
// HTTP server for the result download, plus helpers to run a job and look at what it left.
#pragma once

#include "cloud/FileProcessService.h"
#include "cloud/video_to_text/VideoToTextCloud.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QTcpServer>

#include <atomic>
#include <functional>

class BackgroundTask;

namespace v2ttest {

// A cloud conversion service scripted per test; thread-safe, as the job calls it from two threads.
class FakeCloud : public tools::VideoToTextCloud
{
public:
    explicit FakeCloud(const QString &uploadCopyFolder);

    void initialize() override;
    user_pay::CreateConvertTaskResult
    createConvertTask(const user_pay::CreateConvertTaskRequest &request) override;
    user_pay::QueryTaskStateResult queryTaskState(const user_pay::QueryTaskStateRequest &request) override;
    user_pay::QueryTaskDownResult queryTaskDown(const user_pay::QueryTaskDownRequest &request) override;

    // Script (set before the job runs).
    user_pay::CreateConvertTaskResult createResult;
    // Answers of the state query in turn; the last one repeats.
    QList<user_pay::QueryTaskStateResult> states;
    user_pay::QueryTaskDownResult downResult;
    // While set, the creation (or the address query) waits; it gives up after 20 s.
    std::atomic_bool holdCreation{false};
    std::atomic_bool holdDownQuery{false};

    // What the job sent.
    std::atomic_int initializeCount{0};
    std::atomic_int createCount{0};
    std::atomic_bool createFinished{false};
    std::atomic_int stateCount{0};
    std::atomic_int downCount{0};
    std::atomic_bool creationWaiting{false};
    std::atomic_bool downQueryWaiting{false};
    user_pay::CreateConvertTaskRequest lastCreate() const;
    user_pay::QueryTaskStateRequest lastState() const;
    user_pay::QueryTaskDownRequest lastDown() const;
    // The audio file as it was when the creation started (copied, as the job removes it).
    QString uploadedCopy() const;
    bool audioExistedAtCreate() const;

private:
    mutable QMutex m_mutex;
    QString m_copyFolder;
    user_pay::CreateConvertTaskRequest m_create;
    user_pay::QueryTaskStateRequest m_state;
    user_pay::QueryTaskDownRequest m_down;
    QString m_uploadedCopy;
    bool m_audioExisted = false;
};

user_pay::QueryTaskStateResult stateAnswer(int code, const QString &message);

// Serves GET requests on 127.0.0.1 from the thread that made it (its event loop must run), over
// plain HTTP or TLS.
class ResultServer : public QTcpServer
{
public:
    struct Route
    {
        int status = 200;
        QByteArray body;
        bool sendLength = true; // false: no Content-Length, the body ends with the connection
        bool hold = false;      // read the request, never answer
        QByteArray location;    // a redirect target
        bool chunked = false;   // without a length: sent in chunks, the last one ending it
    };

    ResultServer();
    // Serves HTTPS from then on, with this certificate and elliptic-curve key.
    bool useTls(const QString &certificatePath, const QString &keyPath);
    QString url(const QString &path) const;
    void setRoute(const QString &path, const Route &route);
    int hits(const QString &path) const;
    QByteArray lastUserAgent() const;

protected:
    void incomingConnection(qintptr handle) override;

private:
    QHash<QString, Route> m_routes;
    QHash<QString, int> m_hits;
    QByteArray m_userAgent;
    QByteArray m_certificate;
    QByteArray m_key;
};

} // namespace v2ttest
