// Desktop shortcut objects: the shell-link step ladder, written out as a freedesktop Desktop Entry.
#pragma once

#include <QString>

namespace platform {

// The shortcut is built in the same steps as a Windows shell link (component initialisation,
// link object, four setters, save component, save, release), so every step that can fail on
// Windows can be failed here too; the Linux implementation below writes a Desktop Entry.
class ShellLink
{
public:
    enum class InitResult {
        Initialized, // this call initialised the components: uninitialise them afterwards
        ChangedMode, // already initialised in another mode: usable, but not ours to uninitialise
        Failed,
    };

    virtual ~ShellLink() = default;
    virtual InitResult initializeComponents() = 0;
    virtual bool createLinkObject() = 0;
    virtual void setTargetPath(const QString &path) = 0;
    virtual void setWorkingDirectory(const QString &path) = 0;
    virtual void setDescription(const QString &text) = 0;
    virtual void setIconLocation(const QString &path, int index) = 0;
    virtual bool querySaveComponent() = 0;
    virtual bool save(const QString &shortcutPath, bool remember) = 0;
    virtual void releaseSaveComponent() = 0;
    virtual void releaseLinkObject() = 0;
    virtual void uninitializeComponents() = 0;
};

// Writes "[Desktop Entry]" files that desktop environments show as launchers.
class DesktopEntryLink : public ShellLink
{
public:
    InitResult initializeComponents() override { return InitResult::Initialized; }
    bool createLinkObject() override { return true; }
    void setTargetPath(const QString &path) override { m_target = path; }
    void setWorkingDirectory(const QString &path) override { m_workingDirectory = path; }
    void setDescription(const QString &text) override { m_description = text; }
    void setIconLocation(const QString &path, int index) override;
    bool querySaveComponent() override { return true; }
    // Replaces the file atomically and makes it executable, which launchers require.
    bool save(const QString &shortcutPath, bool remember) override;
    void releaseSaveComponent() override {}
    void releaseLinkObject() override {}
    void uninitializeComponents() override {}

    // The entry's text: Name from the file's base name, Exec running the target.
    QString entryText(const QString &shortcutPath) const;

    // One argument as an Exec key holds it (before the entry's own string escaping): quoted
    // only when it holds a character the key reserves.
    static QString quoteExecArgument(const QString &arg);
    // A value escaped as a Desktop Entry string (backslash, line breaks, tabs).
    static QString escapeEntryValue(const QString &value);

private:
    QString m_target;
    QString m_workingDirectory;
    QString m_description;
    QString m_icon;
};

} // namespace platform
