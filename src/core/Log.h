// The one log-line form of the program: "[hh:mm:ss.zzz] FUNC: <function> <marker> <message>".
#pragma once

#include <QDebug>
#include <QMessageLogger>
#include <QString>

// Current local time of day as "hh:mm:ss.zzz", the head of every log line.
QString getCurrectTime();

namespace app {
QString logHead(const char *functionName);
}

// The message context deliberately carries no file, line or function: the function name is
// part of the text instead, and the category stays "default".
#define TVX_LOG_LINE(level, marker) \
    QMessageLogger(nullptr, 0, nullptr, "default").level().noquote() << app::logHead(__func__) << marker

#define TVX_LOG_INFO TVX_LOG_LINE(info, ":")
#define TVX_LOG_WARN TVX_LOG_LINE(warning, ": [WARN]")
#define TVX_LOG_ERROR TVX_LOG_LINE(critical, ": [ERROR]")
