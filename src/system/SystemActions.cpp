// Application identity, customer-service page, clipboard, shutdown and desktop shortcut.
#include "system/SystemActions.h"

#include "core/AppPaths.h"
#include "core/BuildConfig.h"
#include "i18n/I18n.h"
#include "platform/RegistryStore.h"
#include "platform/ShellLink.h"
#include "system/DesktopAssoc.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <QUrlQuery>

namespace {

const char kCompanyName[] = "Kestrane";
const char kCustomerServiceKey[] = "5c1e9a07d3b84f62a9e0c7b15d4f38e2";

bool isMainPackageScope(const QString &scope)
{
    return scope.isEmpty() || scope == QLatin1String("main");
}

QString sanitizedScope(const QString &scope)
{
    QString out;
    out.reserve(scope.size());
    for (const QChar c : scope) {
        const ushort u = c.unicode();
        const bool asciiAlnum = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
        if (u < 0x80)
            out += asciiAlnum ? c : QLatin1Char('_');
        else
            out += c.isLetterOrNumber() ? c : QLatin1Char('_');
    }
    return out.trimmed().toLower();
}

QString customerServiceAddress()
{
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(platform::config::customerServiceHost().trimmed());
    url.setPath(QStringLiteral("/client"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("k"), QString::fromLatin1(kCustomerServiceKey));
    query.addQueryItem(QStringLiteral("wp"), QStringLiteral("1"));
    query.addQueryItem(QStringLiteral("qtype"), platform::config::customerServiceQueueNumber().trimmed());
    query.addQueryItem(QStringLiteral("gid"), platform::config::customerServiceGroupNumber().trimmed());
    query.addQueryItem(QStringLiteral("robotShuntSwitch"), QStringLiteral("1"));
    url.setQuery(query);
    return url.toString();
}

} // namespace

QString scopedIdentifier(const QString &base)
{
    return scopedIdentifier(base, app::packageEntryScope());
}

QString scopedIdentifier(const QString &base, const QString &entryScope)
{
    const QString scope = entryScope.trimmed().toLower();
    if (isMainPackageScope(scope))
        return base;
    const QString sanitized = sanitizedScope(scope);
    if (sanitized.isEmpty())
        return base;
    return QStringLiteral("%1_%2").arg(base, sanitized);
}

SystemActions::SystemActions(QObject *parent)
    : QObject(parent),
      m_shellLinkFactory([] { return std::unique_ptr<platform::ShellLink>(new platform::DesktopEntryLink); }),
      m_shutdownLauncher(platform::ShutdownLauncher::systemDefault())
{
}

SystemActions::~SystemActions() = default;

QString SystemActions::applicationName() const
{
    return QCoreApplication::applicationName();
}

QString SystemActions::companyName() const
{
    return QString::fromLatin1(kCompanyName);
}

QString SystemActions::applicationVersion() const
{
    return QCoreApplication::applicationVersion();
}

QString SystemActions::serviceUrl() const
{
    return customerServiceAddress();
}

QString SystemActions::openCustomerService(const QString &uid)
{
    QUrl url(customerServiceAddress(), QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return i18n::t(QStringLiteral("system.error.customer_service_url_invalid"));
    const QString trimmedUid = uid.trimmed();
    if (!trimmedUid.isEmpty()) {
        QUrlQuery query(url);
        // The id is user data: encode the query's own delimiters so it stays one value.
        QString encoded = QString::fromUtf8(QUrl::toPercentEncoding(trimmedUid));
        query.addQueryItem(QStringLiteral("u"), encoded);
        url.setQuery(query);
    }
    if (QDesktopServices::openUrl(url))
        return i18n::t(QStringLiteral("system.status.customer_service_opened"));
    return i18n::t(QStringLiteral("system.error.customer_service_open_failed"));
}

bool SystemActions::copyTextToClipboard(const QString &text)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text, QClipboard::Clipboard);
    return true;
}

QString SystemActions::shutdownComputer()
{
    if (m_shutdownLauncher.start())
        return i18n::t(QStringLiteral("system.status.shutting_down"));
    return i18n::t(QStringLiteral("system.error.shutdown_start_failed"));
}

QString SystemActions::createDesktopShortcut()
{
    const QString desktop = app::desktopPath();
    // Linux desktops may have no desktop folder at all; that is "not found" too.
    if (desktop.isEmpty() || !QFileInfo(desktop).isDir())
        return i18n::t(QStringLiteral("system.error.desktop_dir_not_found"));
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("Tavrixo");
#ifdef Q_OS_WIN
    const QString suffix = QStringLiteral(".lnk");
#else
    // Linux desktops only launch entries named ".desktop".
    const QString suffix = QStringLiteral(".desktop");
#endif
    return createDesktopShortcutInternal(QDir(desktop).filePath(name + suffix));
}

QString SystemActions::createDesktopShortcutInternal(const QString &shortcutPath)
{
    const QString executable = app::applicationFilePath();
    if (executable.isEmpty() || !QFileInfo(executable).isFile())
        return i18n::t(QStringLiteral("system.error.executable_not_found_create_shortcut_failed"));

    std::unique_ptr<platform::ShellLink> link = m_shellLinkFactory ? m_shellLinkFactory() : nullptr;
    if (!link)
        return i18n::t(QStringLiteral("system.error.shortcut_component_create_failed"));

    using Init = platform::ShellLink::InitResult;
    const Init init = link->initializeComponents();
    if (init == Init::Failed)
        return i18n::t(QStringLiteral("system.error.com_init_failed_create_shortcut_failed"));
    const bool ownsInitialization = init == Init::Initialized;
    const auto finish = [&](const char *key) {
        if (ownsInitialization)
            link->uninitializeComponents();
        return i18n::t(QString::fromLatin1(key));
    };

    if (!link->createLinkObject())
        return finish("system.error.shortcut_component_create_failed");

    link->setTargetPath(executable);
    link->setWorkingDirectory(QFileInfo(executable).absolutePath());
    link->setDescription(QStringLiteral("%1 桌面快捷方式").arg(QCoreApplication::applicationName()));
    // A desktop entry names its icon in the icon theme; the executable holds none.
    desktop_assoc::installUserIcon();
    link->setIconLocation(desktop_assoc::iconName(), 0);

    if (!link->querySaveComponent()) {
        link->releaseLinkObject();
        return finish("system.error.shortcut_save_component_create_failed");
    }
    const bool saved = link->save(shortcutPath, true);
    link->releaseSaveComponent();
    link->releaseLinkObject();
    return finish(saved ? "system.status.desktop_shortcut_created"
                        : "system.error.create_desktop_shortcut_failed");
}

void SystemActions::setRegistryStore(platform::RegistryStore *store)
{
    m_registry = store;
}

void SystemActions::setShellLinkFactory(ShellLinkFactory factory)
{
    m_shellLinkFactory = std::move(factory);
}

void SystemActions::setShutdownLauncher(const platform::ShutdownLauncher &launcher)
{
    m_shutdownLauncher = launcher;
}

QString SystemActions::defaultRegistryFilePath()
{
    return app::appDataFilePath(QStringLiteral("registry.ini"));
}

platform::RegistryStore &SystemActions::registry() const
{
    if (m_registry)
        return *m_registry;
    if (!m_ownRegistry)
        m_ownRegistry = std::make_unique<platform::RegistryStore>(defaultRegistryFilePath());
    return *m_ownRegistry;
}
