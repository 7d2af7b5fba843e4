// Turns the QML guard's warning ("tvx-guard: <target> has no member <member>") into a test
// failure: a present object without the member a document asks for is a wiring mistake.
#pragma once

#include <QObject>

namespace tvxtest {

// Installs the message handler in front of the current one and keeps it there: QtTest puts
// its own handler in when it starts logging, so the handler is put back in front whenever an
// event finds it displaced. Every process that links the test support does this as its
// application object is made; calling it again is harmless.
void failOnGuardWarnings();
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
