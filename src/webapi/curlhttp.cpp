// Request channel of the web client: worker loop, signed POST, server-time GET, host probe.
#include "webapi/curlhttp.h"

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

void debugLine(const char *operation, const std::string &message)
{
    webapi::debugOutput(std::string("[WEBINTERFACE][") + operation + "] " + message + "\n");
}

// domain, when given, names the host in "X-Domain:" instead of the process-wide value.
curl_slist *headerList(const char *contentType, const std::string *domain = nullptr)
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

namespace {

// One candidate of a host probe: a HEAD of the bare host, then one of host + "/health" whose
// answer headers are kept.
struct DomainProbe
{
    std::string host, expectedId;
    int stage = 0; // 0: the bare host, 1: "/health"
    CURL *easy = nullptr;
    curl_slist *headers = nullptr;
    std::string capture;
    bool done = false;
    bool passed = false;
};

void endProbeTransfer(CURLM *multi, DomainProbe &p)
{
    if (p.easy) {
        curl_multi_remove_handle(multi, p.easy);
        curl_easy_cleanup(p.easy);
        p.easy = nullptr;
    }
    curl_slist_free_all(p.headers);
    p.headers = nullptr;
}

bool startProbeTransfer(CURLM *multi, DomainProbe &p, long timeoutMs)
{
    p.easy = curl_easy_init();
    if (!p.easy)
        return false;
    p.headers = headerList(nullptr, &p.host);
    applyCommon(p.easy);
    applyTls(p.easy);
    curl_easy_setopt(p.easy, CURLOPT_HTTPHEADER, p.headers);
    const std::string url = p.stage == 0 ? p.host : p.host + "/health";
    curl_easy_setopt(p.easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(p.easy, CURLOPT_CONNECTTIMEOUT_MS, 200000L);
    // A host that accepts and then stays silent must not hold start-up for long.
    curl_easy_setopt(p.easy, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(p.easy, CURLOPT_NOBODY, 1L);
    if (p.stage == 1) {
        curl_easy_setopt(p.easy, CURLOPT_HEADERFUNCTION, &curlhttp::writeDomainResponse);
        curl_easy_setopt(p.easy, CURLOPT_HEADERDATA, &p.capture);
    }
    if (curl_multi_add_handle(multi, p.easy) != CURLM_OK) {
        endProbeTransfer(multi, p);
        return false;
    }
    return true;
}

bool machineIdMatches(const std::string &capture, const std::string &expectedId)
{
    std::string machineId;
    const size_t at = capture.find("x-machineid:");
    if (at != std::string::npos && at != 0) {
        const size_t start = at + 13;
        if (start <= capture.size())
            machineId = capture.substr(start, expectedId.size());
    }
    return machineId == expectedId;
}

void finishProbe(DomainProbe &p, CURLcode result)
{
    p.done = true;
    p.passed = result == CURLE_OK && machineIdMatches(p.capture, p.expectedId);
}

// Moves a candidate on after its transfer of the current stage ended with result (CURLE_OK also
// when that transfer could not even be made).
void advanceProbe(CURLM *multi, DomainProbe &p, CURLcode result, bool ran, long timeoutMs)
{
    endProbeTransfer(multi, p);
    if (p.stage == 1) {
        finishProbe(p, ran ? result : CURLE_OK);
        return;
    }
    // A host that could not be reached at all would only make the second transfer wait out the
    // same time limit again.
    if (ran && (result == CURLE_OPERATION_TIMEDOUT || result == CURLE_COULDNT_CONNECT ||
                result == CURLE_COULDNT_RESOLVE_HOST)) {
        p.done = true;
        return;
    }
    p.stage = 1;
    if (!startProbeTransfer(multi, p, timeoutMs)) // the first transfer's result counts
        finishProbe(p, ran ? result : CURLE_OK);
}

// The decision so far: the index of the first candidate in order that passed once every one
// before it failed, -1 when all failed, -2 while a candidate that could still win is running.
int probeDecision(const std::vector<DomainProbe> &probes)
{
    for (size_t i = 0; i < probes.size(); ++i) {
        if (!probes[i].done)
            return -2;
        if (probes[i].passed)
            return int(i);
    }
    return -1;
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

} // namespace

bool curlhttp::checkAvailableDomain(const std::string &host, const std::string &expectedId,
                                    const std::string &productId, const std::string &version,
                                    const std::string &credits, const std::string &channel)
{
    return firstAvailableDomain({{host, expectedId}}, productId, version, credits, channel) == 0;
}

int curlhttp::firstAvailableDomain(const Candidates &candidates, const std::string &productId,
                                   const std::string &version, const std::string &credits,
                                   const std::string &channel)
{
    webapiGlobalInit();
    if (candidates.empty())
        return -1;
    for (const auto &candidate : candidates)
        updateHeaderValues(candidate.first, productId, version, credits, channel);

    // The candidates are probed side by side on this thread (at start-up, the GUI's): the wait
    // is one probe time-out in all, not one per candidate, and ends as soon as the first
    // candidate in order that can pass has passed.
    const long probeTimeoutMs = std::max(1L, long(platform::config::webApiProbeTimeoutMs()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(probeTimeoutMs);
    const auto remainingMs = [&deadline] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return std::max(1L, long(left.count()));
    };
    std::vector<DomainProbe> probes(candidates.size());
    CURLM *multi = curl_multi_init();
    for (size_t i = 0; i < candidates.size(); ++i) {
        probes[i].host = candidates[i].first;
        probes[i].expectedId = candidates[i].second;
        if (!multi)
            probes[i].done = true;
        else if (!startProbeTransfer(multi, probes[i], remainingMs()))
            advanceProbe(multi, probes[i], CURLE_OK, false, remainingMs());
    }

    int decision = probeDecision(probes);
    while (decision == -2) {
        int running = 0;
        const bool performed = curl_multi_perform(multi, &running) == CURLM_OK;
        int queued = 0;
        while (CURLMsg *msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            CURL *easy = msg->easy_handle;
            const CURLcode result = msg->data.result;
            for (DomainProbe &p : probes) {
                if (p.easy == easy) {
                    advanceProbe(multi, p, result, true, remainingMs());
                    break;
                }
            }
        }
        // Every transfer has its own time limit; past the deadline by a margin, or with the multi
        // handle broken, whatever still runs counts as failed.
        const bool overdue = std::chrono::steady_clock::now() > deadline + std::chrono::seconds(1);
        if (!performed || overdue) {
            for (DomainProbe &p : probes)
                p.done = true;
        }
        decision = probeDecision(probes);
        if (decision == -2)
            curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    for (DomainProbe &p : probes)
        endProbeTransfer(multi, p);
    if (multi)
        curl_multi_cleanup(multi);
    setDomainHeader(decision >= 0 ? candidates[size_t(decision)].first : candidates.back().first);
    return decision;
}
