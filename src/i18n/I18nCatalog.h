// Message catalog: parses the .properties resource and answers key lookups with arguments.
#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>

// A plain value class, not synchronised: the process-wide runtime guards its own copy and
// I18nService keeps one on the GUI thread.
class I18nCatalog
{
public:
    struct Entry
    {
        QString key;
        QString value;
    };

    // Replaces all entries with those of the file; true when it could be opened, even when it
    // holds no entry. On failure the entries stay as they were.
    bool loadFromResource(const QString &path);

    // The text of key with "%{name}" placeholders filled from args, or "[[key]]" (and a warning
    // line) when the key is absent.
    QString translate(const QString &key, const QVariantMap &args = QVariantMap()) const;

    // One raw line split into its decoded key and value; the key is empty when the line holds
    // no entry.
    static Entry parseEntry(const QString &line);
    static QString decodeEscapedText(const QString &raw);
    // Fills every "%{name}" whose name is in args; a substituted value is never scanned again.
    static QString applyArgs(const QString &text, const QVariantMap &args);

private:
    QHash<QString, QString> m_entries;
};
