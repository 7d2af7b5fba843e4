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
    // Bodies, addresses and answers carry tokens and phone numbers: masked here, so no line of
    // the client writes one whole. A line with nothing to mask keeps its bytes as they came.
    const QString text = QString::fromStdString(line);
    const QString masked = app::maskSecrets(text);
    const std::string shown = masked == text ? line : masked.toStdString();
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
