// Finds, loads and starts the one web engine of the process. The only place that knows the
// engine library's file name and where it is looked for; GUI thread only.
#pragma once

#include "webview/WkeApi.h"

#include <QString>
#include <QStringList>

namespace webview {

// The engine library's file name on this platform.
QString miniblinkLibraryFileName();
// Where the engine is looked for, in search order: the application folder, then the private
// library folder of an installed program ("../lib/tavrixo" from the application folder).
QStringList miniblinkCandidatePaths();

// Loads and starts the engine once per process; a failed start is tried again by the next call.
bool ensureMiniBlinkInitialized();
// The engine's operations once started, else null.
const WkeFunctions *miniblinkFunctions();
// Why the last start failed; empty after a successful one.
QString miniblinkInitError();

} // namespace webview
