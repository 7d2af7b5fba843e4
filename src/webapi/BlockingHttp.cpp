// Blocking libcurl transfer with the limits every answer from outside needs.
#include "webapi/BlockingHttp.h"

#include "core/BuildConfig.h"
#include "webapi/curlhttp.h"

#include <curl/curl.h>
#include <openssl/crypto.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace webapi {

namespace {

struct Transfer
{
    const BlockingRequest *request = nullptr;
    CURL *easy = nullptr;
    uint64_t received = 0;
    bool tooLarge = false;
    bool writeFailed = false;
    // Framing of the last answer's head (a redirect's head is replaced by the next one's).
    bool chunked = false;
    // The server ended its TLS stream with the close alert, not by dropping the connection.
    bool closeNotify = false;
};

bool containsNoCase(const std::string &text, const char *word)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find(word) != std::string::npos;
}

size_t receiveHeader(char *data, size_t size, size_t count, void *target)
{
    auto *transfer = static_cast<Transfer *>(target);
    const size_t total = size * count;
    const std::string line(data, total);
    if (line.compare(0, 5, "HTTP/") == 0) {
        // A new answer: what a redirect or an interim answer said is over.
        transfer->chunked = false;
        transfer->closeNotify = false;
    } else if (line.size() > 18 && containsNoCase(line.substr(0, 18), "transfer-encoding:")) {
        transfer->chunked = transfer->chunked || containsNoCase(line.substr(18), "chunked");
    }
    return total;
}

// Which transfer an OpenSSL context belongs to, for the alert callback.
int transferIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

void watchAlerts(const SSL *ssl, int where, int value)
{
    if ((where & SSL_CB_READ_ALERT) != SSL_CB_READ_ALERT || (value & 0xff) != SSL_AD_CLOSE_NOTIFY)
        return;
    if (auto *transfer = static_cast<Transfer *>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), transferIndex())))
        transfer->closeNotify = true;
}

CURLcode prepareTls(CURL *, void *context, void *target)
{
    auto *ctx = static_cast<SSL_CTX *>(context);
    SSL_CTX_set_ex_data(ctx, transferIndex(), target);
    SSL_CTX_set_info_callback(ctx, &watchAlerts);
    return CURLE_OK;
}

// Whether the whole answer arrived. libcurl fails a body shorter than its Content-Length and a
// chunked body without its last chunk, but takes the connection's end as the end of any other
// answer, also when a TLS stream is dropped without its close alert: a body cut short there
// would pass as whole.
bool answerEndIsKnown(CURL *easy, const Transfer &transfer, long status)
{
    if (status < 200 || status == 204 || status == 304)
        return true; // answers without a body
    long version = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_VERSION, &version);
    if (version >= CURL_HTTP_VERSION_2_0)
        return true; // every stream ends with a frame saying so
    curl_off_t declared = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
    return declared >= 0 || transfer.chunked || transfer.closeNotify;
}

size_t receive(char *data, size_t size, size_t count, void *target)
{
    auto *transfer = static_cast<Transfer *>(target);
    const BlockingRequest &request = *transfer->request;
    const size_t total = size * count;
    if (transfer->received + total > request.maxBodyBytes) {
        transfer->tooLarge = true;
        return 0; // ends the transfer; never a truncated answer taken as whole
    }
    if (request.sink && !request.sink(data, total)) {
        transfer->writeFailed = true;
        return 0;
    }
    transfer->received += total;
    if (request.progress) {
        curl_off_t declared = -1;
        curl_easy_getinfo(transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
        request.progress(transfer->received, declared > 0 ? uint64_t(declared) : 0);
    }
    return total;
}

bool startsWithNoCase(const std::string &text, const char *prefix)
{
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

BlockingResult finished(BlockingOutcome outcome, const std::string &error)
{
    BlockingResult result;
    result.outcome = outcome;
    result.error = error;
    return result;
}

} // namespace

bool isWebAddress(const std::string &url)
{
    return startsWithNoCase(url, "https://") || startsWithNoCase(url, "http://");
}

namespace {
BlockingResult transferOnce(const BlockingRequest &request)
{
    // libcurl refuses other protocols too; checked here as well so that no other scheme ever
    // reaches a transfer, whatever libcurl was built with.
    if (!isWebAddress(request.url))
        return finished(BlockingOutcome::Refused, "unsupported address: only http and https are fetched");
    webapiGlobalInit();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), &curl_easy_cleanup);
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), &curl_multi_cleanup);
    if (!easy || !multi)
        return finished(BlockingOutcome::Failed, "libcurl could not make a transfer");

    curl_slist *headers = nullptr;
    for (const std::string &line : request.headers) {
        if (curl_slist *grown = curl_slist_append(headers, line.c_str()))
            headers = grown;
    }
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(headers, &curl_slist_free_all);

    Transfer transfer;
    transfer.request = &request;
    transfer.easy = easy.get();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const long limitMs = std::max(1L, request.timeoutMs);
    CURL *e = easy.get();
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    const bool secure = startsWithNoCase(request.url, "https://");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    const std::string caFile = platform::config::webApiCaFile().toStdString();
    if (!caFile.empty())
        curl_easy_setopt(e, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    if (request.postData) {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.postLength));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.postData);
    }
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(request.maxBodyBytes));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &receive);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &receiveHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &prepareTls);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, &transfer);
    // Every coding libcurl can decode is asked for and decoded, so the sink and the cap see the
    // body itself; an answer in a coding it cannot decode fails rather than pass as the body.
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, limitMs);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, limitMs);

    // Driven through a multi handle so that the cancel check runs at its own pace, not only
    // when libcurl next reports progress.
    curl_multi_add_handle(multi.get(), e);
    const int waitMs = int(std::max(1L, request.checkMs));
    bool cancelled = false;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK || running == 0)
            break;
        if (request.cancelled && request.cancelled()) {
            cancelled = true;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, waitMs, nullptr);
    }
    CURLcode code = CURLE_OK;
    bool done = false;
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == e) {
            code = message->data.result;
            done = true;
        }
    }
    BlockingResult result;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &result.status);
    const char *contentType = nullptr;
    if (curl_easy_getinfo(e, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
        result.contentType = contentType;
    curl_multi_remove_handle(multi.get(), e);
    result.bodyBytes = transfer.received;

    if (cancelled) {
        result.outcome = BlockingOutcome::Cancelled;
        result.error = "cancelled";
        return result;
    }
    if (!done) {
        result.error = "the transfer could not be run";
        return result;
    }
    if (code == CURLE_OPERATION_TIMEDOUT) {
        result.outcome = BlockingOutcome::TimedOut;
        result.curlCode = long(code);
        result.error = "timed out";
        return result;
    }
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.outcome = BlockingOutcome::TooLarge;
        result.curlCode = long(code);
        result.error = "answer larger than " + std::to_string(request.maxBodyBytes) + " bytes";
        return result;
    }
    if (transfer.writeFailed) {
        result.outcome = BlockingOutcome::WriteFailed;
        result.curlCode = long(code);
        result.error = "the answer could not be stored";
        return result;
    }
    if (code == CURLE_UNSUPPORTED_PROTOCOL) {
        result.outcome = BlockingOutcome::Refused;
        result.curlCode = long(code);
        result.error = errorBuffer[0] ? std::string(errorBuffer) : std::string(curl_easy_strerror(code));
        return result;
    }
    if (code != CURLE_OK) {
        result.outcome = BlockingOutcome::Failed;
        result.curlCode = long(code);
        result.error = errorBuffer[0] ? std::string(errorBuffer) : std::string(curl_easy_strerror(code));
        return result;
    }
    if (result.status >= 400) {
        result.outcome = BlockingOutcome::HttpError;
        result.curlCode = result.status;
        result.error = "server replied with HTTP status " + std::to_string(result.status);
        return result;
    }
    if (!answerEndIsKnown(e, transfer, result.status)) {
        result.outcome = BlockingOutcome::Failed;
        result.curlCode = long(CURLE_PARTIAL_FILE);
        result.error = "transfer closed without a known end of the answer";
        return result;
    }
    result.outcome = BlockingOutcome::Ok;
    return result;
}

} // namespace

BlockingResult blockingTransfer(const BlockingRequest &request)
{
    BlockingResult result = transferOnce(request);
    // The transfers run on pool threads, which may still be alive when the process exits: OpenSSL
    // frees a thread's own state (its random generators above all) only as the thread ends, and
    // its clean-up at exit forgets the threads still running. The transfer's handles are gone by
    // now, so the state goes here; OpenSSL makes it afresh for the thread's next transfer.
    OPENSSL_thread_stop();
    return result;
}

} // namespace webapi
