// Host probe of the web client: the candidate hosts are tried side by side, and the first in
// order whose "/health" answer names the expected machine becomes the host of every request.
#include "webapi/curlhttp.h"

#include "core/BuildConfig.h"
#include "webapi/curlhttpInternal.h"

#include <algorithm>
#include <chrono>
#include <vector>

using namespace curlhttp_internal;

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
