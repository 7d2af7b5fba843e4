// Opens libmpv on a thread of its own, so that the few hundred shared objects it brings load
// while the window is already on screen.
#pragma once

#include <QObject>

class QThread;

class MpvLibraryLoader : public QObject
{
    Q_OBJECT
    // True once libmpv has been opened or has failed to open: an engine bound from then on
    // initialises without waiting for the dynamic loader (or reports the failure as before).
    Q_PROPERTY(bool ready READ ready NOTIFY readyChanged)

public:
    explicit MpvLibraryLoader(QObject *parent = nullptr);
    ~MpvLibraryLoader() override;

    bool ready() const { return m_ready; }

    // Starts the opening; ready turns true on this object's thread when it has ended. When the
    // library was opened already (an engine's own call did it), ready turns true at once.
    Q_INVOKABLE void loadInBackground();

signals:
    void readyChanged();

private:
    void setReady();

    QThread *m_thread = nullptr;
    bool m_ready = false;
};
