// Download into a temporary name, renamed after a complete transfer.
#include "webapi/DownloadFile.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace webapi {

namespace {
// Created for the user only; an existing ".part" of an earlier attempt is replaced.
std::FILE *openPart(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    std::FILE *file = ::fdopen(fd, "wb");
    if (!file)
        ::close(fd);
    return file;
}
} // namespace

DownloadFile::DownloadFile(std::string path) : m_path(std::move(path)) {}

DownloadFile::~DownloadFile()
{
    if (m_state.load() == kRunning)
        discard();
}

void DownloadFile::discard()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    std::remove(partPath().c_str());
}

size_t DownloadFile::write(char *data, size_t size, size_t count, void *target)
{
    auto *self = static_cast<DownloadFile *>(target);
    const size_t total = size * count;
    if (!self->m_file && !self->m_writeFailed) {
        self->m_file = openPart(self->partPath());
        self->m_writeFailed = !self->m_file;
    }
    if (!self->m_file || std::fwrite(data, 1, total, self->m_file) != total) {
        self->m_writeFailed = true;
        return 0; // stops the transfer
    }
    return total;
}

void DownloadFile::finished(void *target, bool complete)
{
    auto *self = static_cast<DownloadFile *>(target);
    bool ok = complete && !self->m_writeFailed;
    if (ok && !self->m_file) {
        // An empty body still makes an (empty) file.
        self->m_file = openPart(self->partPath());
        ok = self->m_file != nullptr;
    }
    if (ok) {
        ok = std::fflush(self->m_file) == 0 && ::fsync(::fileno(self->m_file)) == 0;
        ok = (std::fclose(self->m_file) == 0) && ok;
        self->m_file = nullptr;
        ok = ok && std::rename(self->partPath().c_str(), self->m_path.c_str()) == 0;
    }
    if (!ok)
        self->discard();
    self->m_state.store(ok ? kSucceeded : kFailed);
}

} // namespace webapi
