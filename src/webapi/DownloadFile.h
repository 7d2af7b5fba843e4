// A download target for curlhttp::download / WebInterface::downfile that never leaves a partial
// file under the final name: bytes go to "<path>.part", renamed to path only once the whole
// body has arrived with a success status, and removed otherwise.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

namespace webapi {

class DownloadFile
{
public:
    explicit DownloadFile(std::string path);
    ~DownloadFile(); // a transfer that never finished leaves no ".part" behind
    DownloadFile(const DownloadFile &) = delete;
    DownloadFile &operator=(const DownloadFile &) = delete;

    // The write function and finish hook to hand to the channel, with this object as target.
    static size_t write(char *data, size_t size, size_t count, void *target);
    static void finished(void *target, bool complete);

    const std::string &path() const { return m_path; }
    std::string partPath() const { return m_path + ".part"; }
    bool done() const { return m_state.load() != kRunning; }
    bool succeeded() const { return m_state.load() == kSucceeded; }

private:
    enum State { kRunning, kSucceeded, kFailed };
    void discard();

    std::string m_path;
    std::FILE *m_file = nullptr;
    bool m_writeFailed = false;
    std::atomic<int> m_state{kRunning};
};

} // namespace webapi
