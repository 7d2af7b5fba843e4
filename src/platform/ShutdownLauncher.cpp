// Power-off launcher.
#include "platform/ShutdownLauncher.h"

#include "core/BuildConfig.h"

#include <QProcess>

namespace platform {

ShutdownLauncher ShutdownLauncher::systemDefault()
{
#ifdef Q_OS_WIN
    const QString program = QStringLiteral("shutdown");
    const QStringList arguments{QStringLiteral("/s"), QStringLiteral("/t"), QStringLiteral("0")};
#else
    const QString program = QStringLiteral("systemctl");
    const QStringList arguments{QStringLiteral("poweroff")};
#endif
    const QString configuredProgram = config::value(QStringLiteral("shutdown/program"), QString()).trimmed();
    if (!configuredProgram.isEmpty()) {
        const QString args = config::value(QStringLiteral("shutdown/arguments"), QString());
        return ShutdownLauncher(configuredProgram, QProcess::splitCommand(args));
    }
    if (qEnvironmentVariableIsSet("TVX_TEST_SCRATCH"))
        return ShutdownLauncher();
    return ShutdownLauncher(program, arguments);
}

bool ShutdownLauncher::start() const
{
    if (m_program.isEmpty())
        return false;
    return QProcess::startDetached(m_program, m_arguments);
}

} // namespace platform
