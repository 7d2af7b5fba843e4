// Debug line sink of the web client.
#include "webapi/DebugOutput.h"

#include "core/Log.h"

#include <QString>

#include <cstdio>
#include <mutex>

namespace webapi {

std::atomic<bool> g_detailedLog{false};
std::atomic<bool> g_testSwitch1{false};
std::atomic<bool> g_testSwitch2{false};

namespace {
std::atomic<DebugSink> g_sink{nullptr};
std::mutex g_writeMutex;
} // namespace

void debugOutput(const std::string &line)
{
    // Bodies, addresses and answers carry tokens and phone numbers, and an answer can be
    // megabytes long: a line is cut to the log's bound and masked in what is kept, so no line of
    // the client writes a secret whole. A line with nothing to cut or mask keeps its bytes.
    const bool feed = !line.empty() && line.back() == '\n';
    const QByteArray content = QByteArray::fromRawData(line.data(), int(line.size()) - (feed ? 1 : 0));
    std::string shown = line;
    if (content.size() > app::kLogExcerptBytes) {
        shown = app::logExcerpt(content).toStdString() + (feed ? "\n" : "");
    } else {
        const QString text = QString::fromUtf8(content);
        const QString masked = app::maskSecrets(text);
        if (masked != text)
            shown = masked.toStdString() + (feed ? "\n" : "");
    }
    // One mutex keeps lines of different channel threads from interleaving.
    std::lock_guard<std::mutex> lock(g_writeMutex);
    if (const DebugSink sink = g_sink.load()) {
        sink(shown.c_str());
        return;
    }
    std::fputs(shown.c_str(), stderr);
}

void setDebugSink(DebugSink sink)
{
    g_sink.store(sink);
}

} // namespace webapi
