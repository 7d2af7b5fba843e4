// Request channel of the web client: worker loop, signed POST, server-time GET. The host probe
// is in curlhttpProbe.cpp.
#include "webapi/curlhttp.h"

#include "webapi/curlhttpInternal.h"

#include "core/BuildConfig.h"
#include "webapi/CallTypes.h"
#include "webapi/DebugOutput.h"
#include "webapi/Md5.h"
#include "webapi/RequestText.h"
#include "webapi/WideText.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>

namespace {

const char kNoAnswer[] = "{\"code\":-1}";
const char kNoAnswerWide[] = "{\"code\":0}";
const char kFormType[] = "Content-Type:application/x-www-form-urlencoded;charset:utf-8";

std::mutex g_headerMutex;
curlhttp::HeaderValues g_headers{"0", "0", "0", "0", "windows"};

} // namespace

namespace curlhttp_internal {

void debugLine(const char *operation, const std::string &message)
{
    webapi::debugOutput(std::string("[WEBINTERFACE][") + operation + "] " + message + "\n");
}

curl_slist *headerList(const char *contentType, const std::string *domain)
{
    curlhttp::HeaderValues h = curlhttp::headerValues();
    if (domain)
        h.domain = *domain;
    curl_slist *list = nullptr;
    if (contentType)
        list = curl_slist_append(list, contentType);
    // The values come from configuration and the probed host: a line break in one must not
    // start a header of its own.
    using webapi::withoutLineBreaks;
    const std::string lines[] = {
        "X-Product:" + withoutLineBreaks(h.productId), "X-Domain:" + withoutLineBreaks(h.domain),
        "X-Version:" + withoutLineBreaks(h.softVersion), "X-Credits:" + withoutLineBreaks(h.credits),
        "X-Channel:" + withoutLineBreaks(h.channel)};
    for (const std::string &line : lines) {
        if (curl_slist *grown = curl_slist_append(list, line.c_str()))
            list = grown;
    }
    return list;
}

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

void updateHeaderValues(const std::string &host, const std::string &productId, const std::string &version,
                        const std::string &credits, const std::string &channel)
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

} // namespace curlhttp_internal

using namespace curlhttp_internal;

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

constexpr char curlhttp::kStatsSignPrefix[];

curlhttp::curlhttp(void *userData_, int callType, WebInterfaceCallback callback_, int objectID_)
    : objectID(objectID_), callbackType(callType), callback(callback_), userData(userData_)
{
    start(&curlhttp::httpthread);
}

curlhttp::curlhttp(void *userData_, int callType, WebInterfaceCallbackW callback_, int objectID_)
    : objectID(objectID_), callbackType(callType), wideCallback(callback_), userData(userData_)
{
    start(&curlhttp::httpthreadw);
}

void curlhttp::start(void (*entry)(curlhttp *))
{
    webapiGlobalInit();
    multi = curl_multi_init();
    easy = curl_easy_init();
    if (multi)
        curl_multi_setopt(multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
    try {
        m_thread = std::thread(entry, this);
        m_threadStarted = true;
    } catch (const std::system_error &e) {
        debugLine("curlhttp", std::string("worker thread could not start: ") + e.what());
    }
}

curlhttp::~curlhttp()
{
    stop.store(true);
    wake();
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

void curlhttp::prepare(const Request &r, curl_slist *headers)
{
    m_response.clear();
    curl_slist_free_all(m_headers);
    m_headers = headers;
    m_finished = r.finished;
    m_writeTarget = r.writeTarget;
    body = r.postBody;
    if (!multi || !easy)
        return;
    curl_easy_reset(easy);
    applyCommon(easy);
    applyTls(easy);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers);
    if (r.write) {
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, r.write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, r.writeTarget);
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 131072L);
    } else {
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &curlhttp::response);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &m_response);
    }
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, r.timeoutMs);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, r.timeoutMs);
    curl_easy_setopt(easy, CURLOPT_URL, r.url);
    if (r.followRedirects) {
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    }
    if (body) {
        // libcurl reads the body in place: it stays where the caller keeps it until the
        // transfer has ended.
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        if (r.postLength >= 0)
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(r.postLength));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body);
        curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
    }
    curl_multi_add_handle(multi, easy);
}

bool curlhttp::issue(const Request &r, bool claimed)
{
    if (!claimForRequest(claimed))
        return false;
    if (webapi::g_detailedLog.load()) {
        debugLine(r.operation, "CallBack Type:" + std::to_string(callbackType) +
                                   " ObjectID:" + std::to_string(objectID.load()));
        debugLine(r.operation, std::string("pszUrl: ") + r.url);
        if (r.postBody && r.postLength >= 0)
            debugLine(r.operation, "nDataLen: " + std::to_string(r.postLength));
        else if (r.postBody && r.logBody)
            debugLine(r.operation, std::string("pszData: ") + r.postBody);
    }
    prepare(r, headerList(r.contentType));
    m_state.store(kPending);
    wake();
    return true;
}

bool curlhttp::v4post(const char *url, const char *postBody, bool claimed)
{
    return issue({"v4post", url, "Content-Type:application/json", platform::config::webApiRequestTimeoutMs(),
                  postBody ? postBody : ""},
                 claimed);
}

bool curlhttp::getservertime(const char *url, bool claimed)
{
    return issue({"getservertime", url, kFormType, platform::config::webApiServerTimeTimeoutMs()}, claimed);
}

bool curlhttp::post(const char *url, const char *postBody, bool claimed)
{
    return issue(
        {"post", url, kFormType, platform::config::webApiRequestTimeoutMs(), postBody ? postBody : ""},
        claimed);
}

bool curlhttp::posthttps(const char *url, const char *postBody, bool claimed)
{
    return issue(
        {"posthttps", url, kFormType, platform::config::webApiRequestTimeoutMs(), postBody ? postBody : ""},
        claimed);
}

bool curlhttp::postjson(const char *url, const char *postBody, bool claimed)
{
    return issue({"postjson", url, "Content-Type:application/json;charset:utf-8",
                  platform::config::webApiRequestTimeoutMs(), postBody ? postBody : ""},
                 claimed);
}

bool curlhttp::postV4GBK(const char *url, const char *postBody, bool claimed)
{
    return issue({"postV4GBK", url, "Content-Type:application/json;charset=GBK",
                  platform::config::webApiRequestTimeoutMs(), postBody ? postBody : ""},
                 claimed);
}

bool curlhttp::v4post_data(const char *url, const char *data, int length, bool claimed)
{
    Request r{"v4post_data", url, "Content-Type:application/octet-stream",
              platform::config::webApiDataTimeoutMs(), data ? data : ""};
    r.postLength = data ? std::max(length, 0) : 0;
    return issue(r, claimed);
}

bool curlhttp::download(const char *url, curl_write_callback write, void *target, DownloadFinished finished,
                        bool claimed)
{
    Request r{"download", url, kFormType, platform::config::webApiDownloadTimeoutMs()};
    r.write = write;
    r.writeTarget = target;
    r.finished = finished;
    r.followRedirects = true;
    return issue(r, claimed);
}

bool curlhttp::get(const char *url, const char *sign, const char *header1, const char *header2,
                   const char *header3, const char *header4, const char *header5, const char *header6,
                   const char *header7, const char *header8, const char *header9, const char *header10,
                   bool claimed)
{
    if (!claimForRequest(claimed))
        return false;
    if (webapi::g_detailedLog.load()) {
        debugLine("get", "CallBack Type:" + std::to_string(callbackType) +
                             " ObjectID:" + std::to_string(objectID.load()));
        debugLine("get", std::string("pszUrl: ") + (url ? url : ""));
    }
    auto text = [](const char *t) { return std::string(t ? t : ""); };
    statsUrl = text(url);
    statsSign = text(sign);
    statsHeaders = {text(header1), text(header2), text(header3), text(header4), text(header5),
                    text(header6), text(header7), text(header8), text(header9), text(header10)};
    secondStageDone = false;
    prepare(
        {"getservertime", serverTimeUrl.c_str(), kFormType, platform::config::webApiServerTimeTimeoutMs()},
        headerList(kFormType));
    m_state.store(kPending);
    wake();
    return true;
}

std::string curlhttp::statsTimeText(const std::string &answer)
{
    return answer.size() > 22 ? answer.substr(answer.size() - 12, 10) : std::string();
}

void curlhttp::startSecondStage(const std::string &timeText)
{
    char digest[33] = {};
    Md5(digest, (std::string(kStatsSignPrefix) + timeText).c_str());
    const std::string signLine = std::string("sign:") + digest + timeText;
    curl_slist *headers = headerList(kFormType);
    if (curl_slist *grown = curl_slist_append(headers, signLine.c_str()))
        headers = grown;
    for (const std::string &line : statsHeaders) {
        if (curl_slist *grown = curl_slist_append(headers, line.c_str()))
            headers = grown;
    }
    prepare({"get", statsUrl.c_str(), kFormType, platform::config::webApiStatsTimeoutMs()}, headers);
}

void curlhttp::setProductID(const std::string &productId)
{
    std::lock_guard<std::mutex> lock(g_headerMutex);
    g_headers.productId = productId;
}

void curlhttp::Md5(char *out, const char *text)
{
    webapi::md5Hex(text, std::strlen(text), out);
}

std::wstring curlhttp::Utf8ToUnicode(std::string text)
{
    return webapi::utf8ToWide(text);
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

void curlhttp::httpthreadw(curlhttp *self)
{
    self->runw();
}

// The two loops differ only in the callback they deliver to, which the channel fixed at
// construction; deliver() makes that choice.
void curlhttp::run()
{
    loop();
}

void curlhttp::runw()
{
    loop();
}

template <typename F> void curlhttp::guarded(const char *operation, F &&call) const
{
    // A caller's exception must not end the worker thread (and with it the process): it is
    // logged here and the channel goes on with its next request.
    try {
        call();
    } catch (const std::exception &e) {
        debugLine(operation, "CallBack Type:" + std::to_string(callbackType) + " threw: " + e.what());
    } catch (...) {
        debugLine(operation, "CallBack Type:" + std::to_string(callbackType) + " threw");
    }
}

void curlhttp::deliver()
{
    if (stop.load())
        return;
    const char *tag = wideCallback ? "runw" : "run";
    if ((callback || wideCallback) && webapi::g_detailedLog.load()) {
        debugLine(tag, "CallBack Type:" + std::to_string(callbackType) +
                           " ObjectID:" + std::to_string(objectID.load()));
        debugLine(tag, "CallBack Data:" + m_response);
    }
    guarded(tag, [&] {
        if (wideCallback)
            wideCallback(userData, callbackType, objectID.load(), webapi::utf8ToWide(m_response));
        else if (callback)
            callback(userData, callbackType, objectID.load(), m_response);
    });
}

void curlhttp::loop()
{
    active.store(true);
    running = 0;
    while (!stop.load()) {
        {
            // Idle: nothing to poll until a request or the stop comes. The lock pairs with
            // wake(), so a request made between the test and the wait is not missed.
            std::unique_lock<std::mutex> lock(m_wakeMutex);
            m_wake.wait(lock, [this] { return stop.load() || m_state.load() == kPending; });
        }
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
        if (m_finished) {
            long status = 0;
            if (easy)
                curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            guarded("finished", [&] { m_finished(m_writeTarget, !failed && status >= 200 && status < 300); });
            m_finished = nullptr;
        }
        // A broken transfer never passes on a partial body.
        if (failed || m_response.empty())
            m_response = wideCallback ? kNoAnswerWide : kNoAnswer;
        deliver();
        if (multi && easy)
            curl_multi_remove_handle(multi, easy);
        // A statistics event goes on from its time answer to its own request without the
        // channel ever showing idle in between.
        if (!secondStageDone && webapi::calltype::isStatistics(callbackType) && !stop.load()) {
            const std::string timeText = statsTimeText(m_response);
            secondStageDone = true;
            startSecondStage(timeText);
            continue;
        }
        finishTransfer();
    }
    active.store(false);
}

void curlhttp::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
    }
    m_wake.notify_all();
}

void curlhttp::finishTransfer()
{
    if (multi && easy)
        curl_multi_remove_handle(multi, easy);
    curl_slist_free_all(m_headers);
    m_headers = nullptr;
    body = nullptr;
    m_writeTarget = nullptr;
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
