// One blocking HTTP transfer over libcurl for callers that wait on a thread of their own (the
// cloud client's requests, the download of a converted result): http and https only, before and
// after every redirect, the configuration's certificates, a cap on the answer and a cancel check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace webapi {

struct BlockingRequest
{
    std::string url;
    std::vector<std::string> headers; // whole lines, "Name: value"
    const char *postData = nullptr;   // null: a GET
    size_t postLength = 0;
    long timeoutMs = 10000; // the whole transfer, connection included
    // Redirects are followed only when asked, and never from https down to http.
    bool followRedirects = false;
    // Bytes of body beyond this end the transfer as TooLarge; a declared length beyond it is
    // refused before the body arrives.
    uint64_t maxBodyBytes = 4u * 1024u * 1024u;
    // Takes each piece of the body as it arrives; false ends the transfer as WriteFailed.
    std::function<bool(const char *data, size_t size)> sink;
    // Looked at every checkMs while the transfer runs; true ends it as Cancelled.
    std::function<bool()> cancelled;
    long checkMs = 100;
    // Told of each new count of body bytes, with the declared total or 0 when there is none.
    std::function<void(uint64_t received, uint64_t total)> progress;
};

// Refused: the address, or one redirected to, is not http or https (or https stepping down).
enum class BlockingOutcome { Ok, HttpError, Refused, TooLarge, Cancelled, TimedOut, WriteFailed, Failed };

struct BlockingResult
{
    BlockingOutcome outcome = BlockingOutcome::Failed;
    long status = 0;         // the last HTTP status, 0 when none arrived
    long curlCode = 0;       // libcurl's code; the status for HttpError
    std::string error;       // empty for Ok; libcurl's text or "server replied with HTTP status N"
    std::string contentType; // the last answer's Content-Type as sent, empty when there was none
    uint64_t bodyBytes = 0;
    bool ok() const { return outcome == BlockingOutcome::Ok; }
};

// Runs the transfer on the calling thread and returns when it has ended.
BlockingResult blockingTransfer(const BlockingRequest &request);

// True when the address is an absolute http or https URL (any letter case).
bool isWebAddress(const std::string &url);

} // namespace webapi
