// Debug line sink of the web client.
#include "webapi/DebugOutput.h"

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
    // One mutex keeps lines of different channel threads from interleaving.
    std::lock_guard<std::mutex> lock(g_writeMutex);
    if (const DebugSink sink = g_sink.load()) {
        sink(line.c_str());
        return;
    }
    std::fputs(line.c_str(), stderr);
}

void setDebugSink(DebugSink sink)
{
    g_sink.store(sink);
}

} // namespace webapi
