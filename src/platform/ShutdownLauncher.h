// Starts the system's power-off command as a detached process.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

class ShutdownLauncher
{
public:
    // The system's own command: "shutdown /s /t 0" on Windows, "systemctl poweroff" elsewhere,
    // or the run-time configuration's "shutdown/program" and "shutdown/arguments". Inside the
    // test runner (TVX_TEST_SCRATCH set) the system command is never chosen: tests run as root,
    // and a test that forgot to inject its recorder must fail instead of powering off the machine.
    static ShutdownLauncher systemDefault();

    ShutdownLauncher() = default;
    ShutdownLauncher(const QString &program, const QStringList &arguments)
        : m_program(program), m_arguments(arguments)
    {
    }

    QString program() const { return m_program; }
    QStringList arguments() const { return m_arguments; }

    // True when the program was started; the caller never waits for it.
    bool start() const;

private:
    QString m_program;
    QStringList m_arguments;
};

} // namespace platform
