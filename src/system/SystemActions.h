// The one object through which QML and the tool view models reach the desktop.
#pragma once

#include "platform/ShutdownLauncher.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace platform {
class RegistryStore;
class ShellLink;
} // namespace platform

// The build's entry scope applied to an identifier: base unchanged for the main scope,
// "base_scope" (scope sanitised) otherwise.
QString scopedIdentifier(const QString &base);
// The same for an explicit scope (trimmed and lower-cased first).
QString scopedIdentifier(const QString &base, const QString &scope);

class SystemActions : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString applicationName READ applicationName CONSTANT)
    Q_PROPERTY(QString companyName READ companyName CONSTANT)
    Q_PROPERTY(QString applicationVersion READ applicationVersion CONSTANT)
    Q_PROPERTY(QString serviceUrl READ serviceUrl CONSTANT)

public:
    using ShellLinkFactory = std::function<std::unique_ptr<platform::ShellLink>()>;

    explicit SystemActions(QObject *parent = nullptr);
    ~SystemActions() override;

    QString applicationName() const;
    QString companyName() const;
    QString applicationVersion() const;
    QString serviceUrl() const;

    Q_INVOKABLE QString openCustomerService(const QString &uid = QString());
    Q_INVOKABLE bool copyTextToClipboard(const QString &text);
    Q_INVOKABLE QString shutdownComputer();
    Q_INVOKABLE QString createDesktopShortcut();
    Q_INVOKABLE QString setAsDefaultPlayer();
    Q_INVOKABLE QString clearDefaultPlayer();

    bool registerDefaultPlayerForCurrentUser(QString *error) const;

    // Platform seams. The registry store is not owned (null: the user's own store in the
    // application-data folder); the factory makes the shell-link objects of one shortcut.
    void setRegistryStore(platform::RegistryStore *store);
    void setShellLinkFactory(ShellLinkFactory factory);
    void setShutdownLauncher(const platform::ShutdownLauncher &launcher);

    // Path of the user's registry store ("registry.ini" in the application-data folder).
    static QString defaultRegistryFilePath();

private:
    QString createDesktopShortcutInternal(const QString &shortcutPath);
    platform::RegistryStore &registry() const;

    platform::RegistryStore *m_registry = nullptr;
    mutable std::unique_ptr<platform::RegistryStore> m_ownRegistry;
    ShellLinkFactory m_shellLinkFactory;
    platform::ShutdownLauncher m_shutdownLauncher;
};
