// Turns the QML guard's warning ("tvx-guard: <target> has no member <member>") into a test
// failure: a present object without the member a document asks for is a wiring mistake.
#pragma once

#include <QObject>

namespace tvxtest {

// Installs the message handler in front of the current one (idempotent). QtTest replaces the
// handler when it starts logging: C++ tests call this from initTestCase (through
// initTestProcess); Qt Quick Test starts logging only when its first test case runs, so its
// runners call keepGuardHandlerInFront, which puts the handler back whenever it was replaced.
void failOnGuardWarnings();
void keepGuardHandlerInFront();
// How many guard warnings this process has logged.
int guardWarningCount();
// The next n guard warnings are expected (a test of the guard itself) and fail nothing.
void expectGuardWarnings(int n);

// The same for QML tests, published as a context property by the runners that test the guard.
class GuardWarningProbe : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void expect(int n) { expectGuardWarnings(n); }
    // Expected warnings that have not come yet.
    Q_INVOKABLE int pending() const;
};

} // namespace tvxtest
