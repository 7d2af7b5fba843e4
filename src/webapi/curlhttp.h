// One request channel of the account web client: a libcurl multi handle, one reused easy
// handle and a worker thread that polls the transfer every 20 ms and delivers the answer.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Result callback: runs on the channel's worker thread; response is the answer's body, or
// "{\"code\":-1}" when the transfer failed or nothing arrived.
typedef void (*WebInterfaceCallback)(void *userData, int callbackType, int objectID, std::string response);
// Its wide twin: the answer converted from UTF-8, "{\"code\":0}" when nothing arrived.
typedef void (*WebInterfaceCallbackW)(void *userData, int callbackType, int objectID, std::wstring response);
// Told on the worker thread when a download has ended, before the result callback, which
// reports "no answer" either way: complete is true only for a whole body with a 2xx status.
typedef void (*DownloadFinished)(void *target, bool complete);

class curlhttp
{
public:
    curlhttp(void *userData, int callType, WebInterfaceCallback callback, int objectID);
    // A channel that delivers to the wide callback (and never to the narrow one).
    curlhttp(void *userData, int callType, WebInterfaceCallbackW callback, int objectID);
    ~curlhttp();
    curlhttp(const curlhttp &) = delete;
    curlhttp &operator=(const curlhttp &) = delete;

    void setObjectID(int objectID);

    // False when the worker thread could not start: such a channel refuses every request.
    bool usable() const { return m_threadStarted; }
    // Atomically reserves the idle channel for one request; the holder then issues it with
    // v4post/getservertime (claimed = true) or gives it back with release().
    bool tryClaim();
    void release();
    bool busy() const { return m_state.load() != kIdle; }

    // Each returns false when the request was dropped (channel busy or stopping). Bodies and
    // data are kept by pointer: the caller leaves them unchanged until the answer has come.
    bool v4post(const char *url, const char *body, bool claimed = false);
    bool getservertime(const char *url, bool claimed = false);
    bool post(const char *url, const char *body, bool claimed = false);
    bool posthttps(const char *url, const char *body, bool claimed = false);
    bool postjson(const char *url, const char *body, bool claimed = false);
    bool postV4GBK(const char *url, const char *body, bool claimed = false);
    bool v4post_data(const char *url, const char *data, int length, bool claimed = false);
    bool download(const char *url, curl_write_callback write, void *target,
                  DownloadFinished finished = nullptr, bool claimed = false);

    // Statistics GET in two stages: the server time from serverTimeUrl first, then the event's
    // URL signed with that time and followed by the ten header lines. The callback runs for both.
    bool get(const char *url, const char *sign, const char *header1, const char *header2, const char *header3,
             const char *header4, const char *header5, const char *header6, const char *header7,
             const char *header8, const char *header9, const char *header10, bool claimed = false);
    void setServerTimeUrl(const std::string &url) { serverTimeUrl = url; }
    // The ten characters that end two characters before the end of a time answer longer than
    // 22 characters; otherwise empty.
    static std::string statsTimeText(const std::string &answer);
    static constexpr char kStatsSignPrefix[] = "qavex_metrics_v1_##$$!";

    static void setProductID(const std::string &productId);
    void Md5(char *out, const char *text);
    std::wstring Utf8ToUnicode(std::string text);

    // libcurl write callback: appends the chunk up to its first NUL byte.
    static size_t response(char *data, size_t size, size_t count, void *target);
    // libcurl header callback of the host probe: appends every header byte.
    static size_t writeDomainResponse(char *data, size_t size, size_t count, void *target);
    // Updates the process-wide header values and probes one host ("/health", HEAD).
    static bool checkAvailableDomain(const std::string &host, const std::string &expectedId,
                                     const std::string &productId, const std::string &version,
                                     const std::string &credits, const std::string &channel);
    // (host, expected "x-machineid:" value) of each candidate, in order of preference.
    using Candidates = std::vector<std::pair<std::string, std::string>>;
    // Probes the candidates side by side, all within one probe time-out: the index of the first
    // candidate in order that passes, or -1. The header values are updated as by
    // checkAvailableDomain; each probe names its own host in "X-Domain:", and the value kept is
    // the chosen host (the last candidate when none passes).
    static int firstAvailableDomain(const Candidates &candidates, const std::string &productId,
                                    const std::string &version, const std::string &credits,
                                    const std::string &channel);

    // Process-wide "X-" header values, guarded: the probe writes them, every request reads them.
    struct HeaderValues
    {
        std::string productId, domain, softVersion, credits, channel;
    };
    static HeaderValues headerValues();
    // "X-Domain:" names the host the requests go to, also when every candidate failed.
    static void setDomainHeader(const std::string &host);

    // Answers larger than this abort the transfer (delivered as a failure).
    static constexpr size_t kMaxAnswerBytes = 64u * 1024u * 1024u;

private:
    enum State { kIdle = 0, kPending = 1, kClaimed = 2 };

    // What one transfer needs beyond the channel: the table of operations in one shape.
    struct Request
    {
        const char *operation;
        const char *url;
        const char *contentType;
        long timeoutMs;
        const char *postBody = nullptr; // null: a GET
        long postLength = -1;           // -1: up to the body's terminating zero
        curl_write_callback write = nullptr;
        void *writeTarget = nullptr;
        DownloadFinished finished = nullptr;
        bool followRedirects = false;
        bool logBody = true;
    };

    void start(void (*entry)(curlhttp *));
    static void httpthread(curlhttp *self);
    static void httpthreadw(curlhttp *self);
    void run();
    void runw();
    void loop();
    void deliver();
    template <typename F> void guarded(const char *operation, F &&call) const;
    bool claimForRequest(bool claimed);
    bool issue(const Request &request, bool claimed);
    void prepare(const Request &request, curl_slist *headers);
    void startSecondStage(const std::string &timeText);
    void finishTransfer();

    int running = 0;
    std::string m_response;
    CURLM *multi = nullptr;
    CURL *easy = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<int> m_state{kIdle};
    std::atomic<bool> active{false};
    std::atomic<int> objectID;
    const int callbackType;
    const WebInterfaceCallback callback = nullptr;
    const WebInterfaceCallbackW wideCallback = nullptr;
    DownloadFinished m_finished = nullptr;
    void *m_writeTarget = nullptr;
    std::string serverTimeUrl, statsUrl, statsSign;
    std::vector<std::string> statsHeaders;
    bool secondStageDone = true;
    void *const userData;
    const char *body = nullptr;
    curl_slist *m_headers = nullptr;
    bool m_threadStarted = false;
    // An idle worker sleeps here until a request or the stop arrives, instead of waking every 20 ms.
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    void wake();
    std::thread m_thread;
};

// Makes libcurl's global state and SIGPIPE handling ready once per process.
void webapiGlobalInit();
