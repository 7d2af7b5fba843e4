// A running player process whose stderr (where the log lines go) is collected as it arrives.
#pragma once

#include "TestSupport.h"

#include <QProcess>
#include <QRegularExpression>

#include <csignal>

namespace tvxtest {

class AppProcess
{
public:
    explicit AppProcess(const QString &exe = appExecutable()) : m_exe(exe)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
    }
    ~AppProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(scaledMs(5000));
        }
    }
    AppProcess(const AppProcess &) = delete;
    AppProcess &operator=(const AppProcess &) = delete;

    bool start(const QStringList &args = {},
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(env);
        m_process.start(m_exe, args);
        return m_process.waitForStarted(scaledMs(10000));
    }
    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        return m_log;
    }
    bool waitForLog(const QString &needle, int timeoutMs = 20000)
    {
        return waitUntil([&] { return log().contains(needle); }, timeoutMs);
    }
    // The text after "<prefix> " on the log line that holds it, or a null string.
    QString logValue(const QString &prefix)
    {
        const QRegularExpressionMatch m =
            QRegularExpression(QRegularExpression::escape(prefix) + QStringLiteral(" ([^\\n]*)"))
                .match(log());
        return m.hasMatch() ? m.captured(1) : QString();
    }
    bool signal(int signalNumber)
    {
        const qint64 pid = m_process.processId();
        return pid > 0 && ::kill(static_cast<pid_t>(pid), signalNumber) == 0;
    }
    // Both waits scale their limit with timeScale() (waitForLog through waitUntil).
    bool waitForExit(int timeoutMs = 20000)
    {
        const bool done =
            m_process.state() == QProcess::NotRunning || m_process.waitForFinished(scaledMs(timeoutMs));
        log();
        return done;
    }
    bool crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    int exitCode() const { return m_process.exitCode(); }

private:
    QString m_exe;
    QProcess m_process;
    QString m_log;
};

} // namespace tvxtest
