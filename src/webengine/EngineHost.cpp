// The one engine of the process.
#include "webengine/EngineHost.h"

#include "core/Log.h"
#include "webengine/OffscreenWebView.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QOpenGLContext>
#include <QThread>
#include <QWebEngineProfile>

#include <unistd.h>

namespace webengine {
namespace {

EngineHost *g_host = nullptr;
bool g_quitting = false;

constexpr char kChromiumFlagsVariable[] = "QTWEBENGINE_CHROMIUM_FLAGS";

// The first number in a file of the kernel's settings, or -1 when it cannot be read.
int readKernelNumber(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int value = file.readLine().trimmed().toInt(&ok);
    return ok ? value : -1;
}

} // namespace

QStringList EngineHost::chromiumSwitches(QStringList *reasons)
{
    QStringList switches;
    // Chromium's Linux sandbox refuses to run as root, and without unprivileged user
    // namespaces it cannot be set up at all; either way the renderers would never start.
    if (::geteuid() == 0) {
        switches << QStringLiteral("--no-sandbox");
        reasons->append(QStringLiteral("running as root"));
    } else if (readKernelNumber(QStringLiteral("/proc/sys/kernel/unprivileged_userns_clone")) == 0 ||
               readKernelNumber(QStringLiteral("/proc/sys/user/max_user_namespaces")) == 0) {
        switches << QStringLiteral("--no-sandbox");
        reasons->append(QStringLiteral("no user namespaces"));
    }
    // Every frame is read back into memory for the caller, so rasterising on a GPU gains
    // nothing and costs a GPU process; software compositing also runs where GL is emulated.
    switches << QStringLiteral("--disable-gpu") << QStringLiteral("--disable-gpu-compositing");
    reasons->append(QStringLiteral("frames are read back into memory"));
    return switches;
}

EngineHost *EngineHost::start()
{
    if (g_host)
        return g_host;
    if (g_quitting) {
        TVX_LOG_WARN << "[WebEngine] the application is quitting; no engine is started";
        return nullptr;
    }
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        TVX_LOG_WARN << "[WebEngine] the process has no QApplication; Qt WebEngine's views need one";
        return nullptr;
    }
    if (QThread::currentThread() != qApp->thread()) {
        TVX_LOG_WARN << "[WebEngine] started off the GUI thread; refused";
        return nullptr;
    }
    // Qt WebEngine hands its frames to the widget through a context shared with every other
    // one, which exists only when the attribute was set before the application object.
    if (!QOpenGLContext::globalShareContext()) {
        TVX_LOG_WARN << "[WebEngine] no shared OpenGL context: Qt::AA_ShareOpenGLContexts must be set "
                        "before the application object is made";
        return nullptr;
    }

    // Setting the variable also keeps the program's own command line away from Chromium.
    QStringList reasons;
    QStringList flags =
        QString::fromLocal8Bit(qgetenv(kChromiumFlagsVariable)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &flag : chromiumSwitches(&reasons)) {
        if (!flags.contains(flag))
            flags << flag;
    }
    qputenv(kChromiumFlagsVariable, flags.join(QLatin1Char(' ')).toLocal8Bit());
    TVX_LOG_INFO << "[WebEngine] Chromium switches:" << flags.join(QLatin1Char(' '))
                 << QStringLiteral("(%1)").arg(reasons.join(QStringLiteral("; ")));

    g_host = new EngineHost;
    return g_host;
}

EngineHost *EngineHost::instance()
{
    return g_host;
}

EngineHost::EngineHost()
{
    // Making the first profile starts Chromium's browser side, so a warm-up pays for it.
    m_transientProfile = new QWebEngineProfile(this);
    m_transientProfile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &EngineHost::shutdown);
}

EngineHost::~EngineHost()
{
    qDeleteAll(m_views);
    m_views.clear();
}

void EngineHost::shutdown()
{
    // Pages go before their profiles, and all of it before Qt WebEngine tears itself down
    // with the application object; the profiles write their cookies out as they go.
    g_quitting = true;
    g_host = nullptr;
    delete this;
}

OffscreenWebView *EngineHost::createView()
{
    // Callers never destroy their views (the interface has no call for it), so each sign-in
    // dialog would leave one behind for good: a view its last caller stopped serves the next.
    for (OffscreenWebView *view : qAsConst(m_views)) {
        if (view->isReleased()) {
            view->reset();
            return view;
        }
    }
    auto *view = new OffscreenWebView(this);
    m_views.insert(view);
    return view;
}

OffscreenWebView *EngineHost::view(void *handle) const
{
    auto *candidate = static_cast<OffscreenWebView *>(handle);
    return m_views.contains(candidate) ? candidate : nullptr;
}

QList<OffscreenWebView *> EngineHost::views() const
{
    return m_views.values();
}

QWebEngineProfile *EngineHost::profileFor(const QString &folder)
{
    if (folder.isEmpty())
        return m_transientProfile;
    const QString key = QDir::cleanPath(QDir(folder).absolutePath());
    if (QWebEngineProfile *profile = m_profiles.value(key))
        return profile;
    QDir().mkpath(key);
    // Profiles on disk need a name of their own; the folder decides which one a view gets.
    const QString name =
        QStringLiteral("tvx-") +
        QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Md5).toHex().left(16));
    auto *profile = new QWebEngineProfile(name, this);
    profile->setPersistentStoragePath(key);
    profile->setCachePath(key);
    // Sign-in pages gain nothing from a disk cache, and the folder stays cookies and storage.
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    m_profiles.insert(key, profile);
    TVX_LOG_INFO << "[WebEngine] storage folder" << key;
    return profile;
}

} // namespace webengine
