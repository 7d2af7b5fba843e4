// Registry-like key/value store kept in an INI-style file, with injectable failures.
#pragma once

#include <QMap>
#include <QString>

#include <functional>

namespace platform {

// Keys are backslash-separated paths ("HKEY_CURRENT_USER\Software\Classes\.mp4"); each key
// holds string values by name, the empty name being the key's default value. As in the
// registry, key paths and value names compare case-insensitively and keep the case they were
// first written with. Changes stay in memory until flush(), which replaces the file atomically.
// Not thread-safe: one owner on one thread.
class RegistryStore
{
public:
    enum class Operation { OpenKey, Read, Write, RemoveValue, RemoveKey, Flush };
    // Returns true to make that operation fail (key and name are empty for Flush).
    using FailureRule = std::function<bool(Operation op, const QString &key, const QString &name)>;

    explicit RegistryStore(const QString &filePath);
    ~RegistryStore(); // flushes pending changes
    RegistryStore(const RegistryStore &) = delete;
    RegistryStore &operator=(const RegistryStore &) = delete;

    QString filePath() const { return m_filePath; }
    void setFailureRule(FailureRule rule) { m_failureRule = std::move(rule); }

    // False on a failure; *exists (optional) tells whether the key is present.
    bool keyExists(const QString &key, bool *exists);
    // False on a failure; an absent key or value reads as an empty text with *found false.
    bool read(const QString &key, const QString &name, QString *value, bool *found = nullptr);
    bool write(const QString &key, const QString &name, const QString &value); // creates the key
    bool removeValue(const QString &key, const QString &name);                 // true also when absent
    bool removeKey(const QString &key); // with all its subkeys; true also when absent
    bool flush();

    // Re-reads the file, dropping unflushed changes (another process may have written it).
    void reload();

private:
    struct Key
    {
        QString path;                  // as first written
        QMap<QString, QString> names;  // lower-cased name -> name as written
        QMap<QString, QString> values; // lower-cased name -> value
    };

    bool fails(Operation op, const QString &key = QString(), const QString &name = QString()) const;
    static QString normalizedKey(const QString &key);
    void load();

    QString m_filePath;
    QMap<QString, Key> m_keys; // lower-cased path -> key
    bool m_dirty = false;
    FailureRule m_failureRule;
};

} // namespace platform
