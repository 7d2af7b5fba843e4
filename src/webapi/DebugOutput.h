// The web client's diagnostic lines ("[WEBINTERFACE]..."): stderr, or a sink a test installs.
#pragma once

#include <atomic>
#include <string>

namespace webapi {

using DebugSink = void (*)(const char *line);

// Writes one line (the caller includes its line feed) whole, from any thread.
void debugOutput(const std::string &line);
// Replaces stderr as the destination; null restores it.
void setDebugSink(DebugSink sink);

// The process-wide switches of the web client.
extern std::atomic<bool> g_detailedLog;
extern std::atomic<bool> g_testSwitch1;
extern std::atomic<bool> g_testSwitch2;

} // namespace webapi
