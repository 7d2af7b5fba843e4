// The one engine of the process: Chromium's switches, the profiles behind the storage folders
// the views are given, and the views themselves. Lives on the GUI thread from the first
// wkeInitializeEx until the application quits.
#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class QWebEngineProfile;

namespace webengine {

class OffscreenWebView;

class EngineHost : public QObject
{
    Q_OBJECT

public:
    // Starts the engine once; null (with the reason logged) when this process cannot host it.
    static EngineHost *start();
    // The started engine, or null before the start and after the application quit.
    static EngineHost *instance();

    // The switches added to Chromium's command line in this process, and why (for the log).
    static QStringList chromiumSwitches(QStringList *reasons);

    OffscreenWebView *createView();
    // Views are handed out as plain handles; a handle that is not a live view is refused.
    OffscreenWebView *view(void *handle) const;
    QList<OffscreenWebView *> views() const;

    // The profile that keeps cookies and local storage in folder; an empty folder keeps nothing.
    QWebEngineProfile *profileFor(const QString &folder);

private:
    EngineHost();
    ~EngineHost() override;
    void shutdown();

    QWebEngineProfile *m_transientProfile = nullptr;
    QHash<QString, QWebEngineProfile *> m_profiles;
    QSet<OffscreenWebView *> m_views;
};

} // namespace webengine
