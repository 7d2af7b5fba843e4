// Request channel of the web client: worker loop, signed POST, server-time GET, host probe.
#include "webapi/curlhttp.h"

#include "core/BuildConfig.h"
#include "webapi/DebugOutput.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>

namespace {

const char kNoAnswer[] = "{\"code\":-1}";

std::mutex g_headerMutex;
curlhttp::HeaderValues g_headers{"0", "0", "0", "0", "windows"};

void debugLine(const char *operation, const std::string &message)
{
    webapi::debugOutput(std::string("[WEBINTERFACE][") + operation + "] " + message + "\n");
}

curl_slist *headerList(const char *contentType)
{
    const curlhttp::HeaderValues h = curlhttp::headerValues();
    curl_slist *list = nullptr;
    if (contentType)
        list = curl_slist_append(list, contentType);
    const std::string lines[] = {"X-Product:" + h.productId, "X-Domain:" + h.domain,
                                 "X-Version:" + h.softVersion, "X-Credits:" + h.credits,
                                 "X-Channel:" + h.channel};
    for (const std::string &line : lines) {
        if (curl_slist *grown = curl_slist_append(list, line.c_str()))
            list = grown;
    }
    return list;
}

// Certificates are verified unless the override file turns that off for a test server.
void applyTls(CURL *easy)
{
    const bool insecure = platform::config::webApiInsecureTls();
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, insecure ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, insecure ? 0L : 2L);
    const std::string caFile = platform::config::webApiCaFile().toStdString();
    if (!caFile.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());
}

void applyCommon(CURL *easy)
{
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
}

} // namespace

void webapiGlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // A peer closing mid-write must not kill the process; libcurl is told not to use
        // signals itself (CURLOPT_NOSIGNAL) since channels run on their own threads.
        std::signal(SIGPIPE, SIG_IGN);
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

curlhttp::curlhttp(void *userData_, int callType, WebInterfaceCallback callback_, int objectID_)
    : objectID(objectID_), callbackType(callType), callback(callback_), userData(userData_)
{
    webapiGlobalInit();
    multi = curl_multi_init();
    easy = curl_easy_init();
    if (multi)
        curl_multi_setopt(multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
    try {
        m_thread = std::thread(&curlhttp::httpthread, this);
        m_threadStarted = true;
    } catch (const std::system_error &e) {
        debugLine("curlhttp", std::string("worker thread could not start: ") + e.what());
    }
}

curlhttp::~curlhttp()
{
    stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    if (multi && easy)
        curl_multi_remove_handle(multi, easy);
    if (easy)
        curl_easy_cleanup(easy);
    if (multi)
        curl_multi_cleanup(multi);
    curl_slist_free_all(m_headers);
}

void curlhttp::setObjectID(int id)
{
    objectID.store(id);
}

bool curlhttp::tryClaim()
{
    if (!m_threadStarted || stop.load())
        return false;
    int expected = kIdle;
    return m_state.compare_exchange_strong(expected, kClaimed);
}

void curlhttp::release()
{
    int expected = kClaimed;
    m_state.compare_exchange_strong(expected, kIdle);
}

bool curlhttp::claimForRequest(bool claimed)
{
    if (stop.load()) {
        if (claimed)
            release();
        return false;
    }
    return claimed ? m_state.load() == kClaimed : tryClaim();
}

bool curlhttp::issue(const char *operation, const char *url, const char *postBody, const char *contentType,
                     long timeoutMs, bool claimed)
{
    if (!claimForRequest(claimed))
        return false;
    if (webapi::g_detailedLog.load()) {
        debugLine(operation, "CallBack Type:" + std::to_string(callbackType) +
                                 " ObjectID:" + std::to_string(objectID.load()));
        debugLine(operation, std::string("pszUrl: ") + url);
        if (postBody)
            debugLine(operation, std::string("pszData: ") + postBody);
    }
    body = postBody;
    m_response.clear();
    curl_slist_free_all(m_headers);
    m_headers = headerList(contentType);
    if (multi && easy) {
        curl_easy_reset(easy);
        applyCommon(easy);
        applyTls(easy);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &curlhttp::response);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &m_response);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeoutMs);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
        curl_easy_setopt(easy, CURLOPT_URL, url);
        if (body) {
            // libcurl reads the body in place: it stays in the call type's buffer until the
            // transfer has ended.
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body);
            curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
        }
        curl_multi_add_handle(multi, easy);
    }
    m_state.store(kPending);
    return true;
}

bool curlhttp::v4post(const char *url, const char *postBody, bool claimed)
{
    return issue("v4post", url, postBody ? postBody : "", "Content-Type:application/json",
                 platform::config::webApiRequestTimeoutMs(), claimed);
}

bool curlhttp::getservertime(const char *url, bool claimed)
{
    return issue("getservertime", url, nullptr,
                 "Content-Type:application/x-www-form-urlencoded;charset:utf-8",
                 platform::config::webApiServerTimeTimeoutMs(), claimed);
}

size_t curlhttp::response(char *data, size_t size, size_t count, void *target)
{
    const size_t total = size * count;
    auto *text = static_cast<std::string *>(target);
    const void *nul = std::memchr(data, '\0', total);
    const size_t keep = nul ? size_t(static_cast<const char *>(nul) - data) : total;
    if (text->size() + keep > kMaxAnswerBytes)
        return 0; // aborts the transfer; the caller sees a failure, not a truncated answer
    text->append(data, keep);
    return total;
}

size_t curlhttp::writeDomainResponse(char *data, size_t size, size_t count, void *target)
{
    const size_t total = size * count;
    auto *text = static_cast<std::string *>(target);
    if (text->size() + total > 64 * 1024)
        return 0; // a probe answer's headers are a few hundred bytes
    text->append(data, total);
    return total;
}

void curlhttp::httpthread(curlhttp *self)
{
    self->run();
}

void curlhttp::run()
{
    active.store(true);
    running = 0;
    while (!stop.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (stop.load())
            break;
        if (m_state.load() != kPending)
            continue;
        bool failed = !multi || !easy;
        if (!failed) {
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                failed = true;
            } else if (running > 0) {
                continue;
            } else {
                int queued = 0;
                while (CURLMsg *msg = curl_multi_info_read(multi, &queued)) {
                    if (msg->msg == CURLMSG_DONE && msg->data.result != CURLE_OK)
                        failed = true;
                }
            }
        }
        // A broken transfer never passes on a partial body.
        if (failed || m_response.empty())
            m_response = kNoAnswer;
        if (callback && !stop.load()) {
            if (webapi::g_detailedLog.load()) {
                debugLine("run", "CallBack Type:" + std::to_string(callbackType) +
                                     " ObjectID:" + std::to_string(objectID.load()));
                debugLine("run", "CallBack Data:" + m_response);
            }
            callback(userData, callbackType, objectID.load(), m_response);
        }
        finishTransfer();
    }
    active.store(false);
}

void curlhttp::finishTransfer()
{
    if (multi && easy)
        curl_multi_remove_handle(multi, easy);
    curl_slist_free_all(m_headers);
    m_headers = nullptr;
    body = nullptr;
    m_state.store(kIdle);
}

curlhttp::HeaderValues curlhttp::headerValues()
{
    std::lock_guard<std::mutex> lock(g_headerMutex);
    return g_headers;
}

void curlhttp::setDomainHeader(const std::string &host)
{
    std::lock_guard<std::mutex> lock(g_headerMutex);
    g_headers.domain = host;
}

bool curlhttp::checkAvailableDomain(const std::string &host, const std::string &expectedId,
                                    const std::string &productId, const std::string &version,
                                    const std::string &credits, const std::string &channel)
{
    webapiGlobalInit();
    {
        std::lock_guard<std::mutex> lock(g_headerMutex);
        const bool log = webapi::g_detailedLog.load();
        auto update = [log](std::string &slot, const char *label, const std::string &v) {
            slot = v;
            if (log)
                debugLine("checkAvailableDomain", std::string(label) + v);
        };
        if (std::atoi(productId.c_str()) > 0)
            update(g_headers.productId, "Updata ProductID:", productId);
        update(g_headers.domain, "Updata Domain:", host);
        if (std::atoi(version.c_str()) > 0)
            update(g_headers.softVersion, "Updata SoftVersion:", version);
        if (credits != "0")
            update(g_headers.credits, "Updata Credits:", credits);
        if (channel != "0")
            update(g_headers.channel, "Updata Channel:", channel);
    }

    const long probeTimeoutMs = platform::config::webApiProbeTimeoutMs();
    auto transfer = [&](const std::string &url, std::string *capture, CURLcode *result) {
        CURL *handle = curl_easy_init();
        if (!handle)
            return false;
        curl_slist *headers = headerList(nullptr);
        applyCommon(handle);
        applyTls(handle);
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, 200000L);
        // A host that accepts and then stays silent must not hold start-up for long.
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, probeTimeoutMs);
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
        if (capture) {
            curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &curlhttp::writeDomainResponse);
            curl_easy_setopt(handle, CURLOPT_HEADERDATA, capture);
        }
        *result = curl_easy_perform(handle);
        curl_easy_cleanup(handle);
        curl_slist_free_all(headers);
        return true;
    };

    CURLcode first = CURLE_OK;
    CURLcode second = CURLE_OK;
    std::string capture;
    const bool firstRan = transfer(host, nullptr, &first);
    const bool secondRan = transfer(host + "/health", &capture, &second);
    const CURLcode result = secondRan ? second : (firstRan ? first : CURLE_OK);

    std::string machineId;
    const size_t at = capture.find("x-machineid:");
    if (at != std::string::npos && at != 0) {
        const size_t start = at + 13;
        if (start <= capture.size())
            machineId = capture.substr(start, expectedId.size());
    }
    return result == CURLE_OK && machineId == expectedId;
}
