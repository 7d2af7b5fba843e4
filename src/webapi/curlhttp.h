// One request channel of the account web client: a libcurl multi handle, one reused easy
// handle and a worker thread that polls the transfer every 20 ms and delivers the answer.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <string>
#include <thread>

// Result callback: runs on the channel's worker thread; response is the answer's body, or
// "{\"code\":-1}" when the transfer failed or nothing arrived.
typedef void (*WebInterfaceCallback)(void *userData, int callbackType, int objectID, std::string response);

class curlhttp
{
public:
    curlhttp(void *userData, int callType, WebInterfaceCallback callback, int objectID);
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

    // Both return false when the request was dropped (channel busy or stopping).
    bool v4post(const char *url, const char *body, bool claimed = false);
    bool getservertime(const char *url, bool claimed = false);

    // libcurl write callback: appends the chunk up to its first NUL byte.
    static size_t response(char *data, size_t size, size_t count, void *target);
    // libcurl header callback of the host probe: appends every header byte.
    static size_t writeDomainResponse(char *data, size_t size, size_t count, void *target);
    // Updates the process-wide header values and probes one host ("/health", HEAD).
    static bool checkAvailableDomain(const std::string &host, const std::string &expectedId,
                                     const std::string &productId, const std::string &version,
                                     const std::string &credits, const std::string &channel);

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

    static void httpthread(curlhttp *self);
    void run();
    bool claimForRequest(bool claimed);
    bool issue(const char *operation, const char *url, const char *postBody, const char *contentType,
               long timeoutMs, bool claimed);
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
    const WebInterfaceCallback callback;
    void *const userData;
    const char *body = nullptr;
    curl_slist *m_headers = nullptr;
    bool m_threadStarted = false;
    std::thread m_thread;
};

// Makes libcurl's global state and SIGPIPE handling ready once per process.
void webapiGlobalInit();
