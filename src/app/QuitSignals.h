// SIGTERM, SIGINT and SIGHUP end the program through the event loop, so the quit handlers and
// the teardown run as they do when the window is closed.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace app {

class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override; // restores the default dispositions

    // False when the pipe or a handler could not be set up (the signals then act as before).
    bool installed() const { return m_installed; }
    // A signal has asked the program to quit. A quit asked before the main event loop runs
    // (inside a local loop during start-up) ends no loop that is still to come: the caller
    // quits once it starts.
    bool quitRequested() const { return m_quitRequested; }

signals:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
    bool m_installed = false;
    bool m_quitRequested = false;
};

} // namespace app
