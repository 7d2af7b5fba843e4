// The user's "mimeapps.list" (freedesktop MIME applications associations): the default
// application of each MIME type, as `xdg-mime default` writes it.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Lines the program does not change (other groups, comments, other types) are kept as read.
// Not thread-safe: one owner on one thread.
class MimeAppsList
{
public:
    // "mimeapps.list" in the user's configuration folder (XDG_CONFIG_HOME).
    static QString userFilePath();

    explicit MimeAppsList(const QString &filePath = userFilePath());

    QString filePath() const { return m_filePath; }
    // False when the file exists but cannot be read; a missing file reads as empty.
    bool load();
    // Replaces the file atomically (its folder is created); false on a failure.
    bool save();

    // The whole value of the type's "Default Applications" entry ("a.desktop;b.desktop;"), or
    // a null string when it has none.
    QString defaultEntry(const QString &mimeType) const;
    // The first desktop file id of that entry, or an empty string.
    QString defaultApplication(const QString &mimeType) const;
    // Sets the entry's whole value; a null value removes the entry.
    void setDefaultEntry(const QString &mimeType, const QString &value);

private:
    int groupStart(const QString &group) const; // index of the "[group]" line, or -1
    int entryLine(const QString &mimeType) const;

    QString m_filePath;
    QStringList m_lines;
};

} // namespace platform
