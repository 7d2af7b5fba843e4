// The user's "mimeapps.list" (freedesktop MIME applications associations): the default
// application of each MIME type, as `xdg-mime default` writes it, and the associations the
// user added or removed.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Lines the program does not change (other groups, comments, other types) are kept as read.
// Not thread-safe: one owner on one thread.
class MimeAppsList
{
public:
    enum class Group {
        DefaultApplications, // "[Default Applications]"
        AddedAssociations,   // "[Added Associations]"
        RemovedAssociations, // "[Removed Associations]"
    };

    // "mimeapps.list" in the user's configuration folder (XDG_CONFIG_HOME).
    static QString userFilePath();
    // The desktop file ids of an entry's value ("a.desktop;b.desktop;"), in order.
    static QStringList desktopIds(const QString &value);

    explicit MimeAppsList(const QString &filePath = userFilePath());

    QString filePath() const { return m_filePath; }
    // False when the file exists but cannot be read; a missing file reads as empty.
    bool load();
    // Replaces the file atomically (its folder is created); false on a failure.
    bool save();

    // The whole value of the type's entry in the group ("a.desktop;b.desktop;"), or a null
    // string when it has none.
    QString entry(Group group, const QString &mimeType) const;
    // The first desktop file id of the type's "Default Applications" entry, or an empty string.
    QString defaultApplication(const QString &mimeType) const;
    // Sets the entry's whole value; a null value removes the entry, and with it a group that
    // this removal leaves without entries.
    void setEntry(Group group, const QString &mimeType, const QString &value);

private:
    int groupStart(Group group) const; // index of the group's header line, or -1
    int groupEnd(int start) const;     // index of the line after the group's last line
    int entryLine(Group group, const QString &mimeType) const;
    void removeEntryLine(int at);

    QString m_filePath;
    QStringList m_lines;
};

} // namespace platform
