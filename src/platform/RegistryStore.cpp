// The registry stand-in's file format is close to a .reg export: "[key path]" sections with
// @="default" and "name"="value" lines, quotes and backslashes escaped.
#include "platform/RegistryStore.h"

#include "core/AtomicFile.h"
#include "core/StateFile.h"

#include <QFile>
#include <QStringList>
#include <QTextStream>

namespace platform {
namespace {

QString quoted(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    out += QLatin1Char('"');
    return out;
}

// Reads one quoted text starting at pos (which must be a quote); pos ends after the closing
// quote. False when the text is not properly quoted.
bool unquote(const QString &line, int &pos, QString *out)
{
    if (pos >= line.size() || line.at(pos) != QLatin1Char('"'))
        return false;
    ++pos;
    out->clear();
    while (pos < line.size()) {
        const QChar c = line.at(pos++);
        if (c == QLatin1Char('"'))
            return true;
        if (c == QLatin1Char('\\') && pos < line.size()) {
            const QChar e = line.at(pos++);
            if (e == QLatin1Char('n'))
                *out += QLatin1Char('\n');
            else if (e == QLatin1Char('r'))
                *out += QLatin1Char('\r');
            else
                *out += e;
        } else {
            *out += c;
        }
    }
    return false;
}

} // namespace

RegistryStore::RegistryStore(const QString &filePath) : m_filePath(filePath)
{
    load();
}

RegistryStore::~RegistryStore()
{
    if (m_dirty)
        flush();
}

bool RegistryStore::fails(Operation op, const QString &key, const QString &name) const
{
    return m_failureRule && m_failureRule(op, key, name);
}

QString RegistryStore::normalizedKey(const QString &key)
{
    QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('\\'));
}

bool RegistryStore::keyExists(const QString &key, bool *exists)
{
    if (fails(Operation::OpenKey, key))
        return false;
    if (exists)
        *exists = m_keys.contains(normalizedKey(key).toLower());
    return true;
}

bool RegistryStore::read(const QString &key, const QString &name, QString *value, bool *found)
{
    if (value)
        value->clear();
    if (found)
        *found = false;
    if (fails(Operation::Read, key, name))
        return false;
    const auto it = m_keys.constFind(normalizedKey(key).toLower());
    if (it == m_keys.constEnd())
        return true;
    const auto v = it->values.constFind(name.toLower());
    if (v == it->values.constEnd())
        return true;
    if (value)
        *value = *v;
    if (found)
        *found = true;
    return true;
}

bool RegistryStore::write(const QString &key, const QString &name, const QString &value)
{
    const QString path = normalizedKey(key);
    if (path.isEmpty() || fails(Operation::Write, key, name))
        return false;
    Key &k = m_keys[path.toLower()];
    if (k.path.isEmpty())
        k.path = path;
    const QString lname = name.toLower();
    if (!k.names.contains(lname))
        k.names.insert(lname, name);
    k.values.insert(lname, value);
    m_dirty = true;
    return true;
}

bool RegistryStore::removeValue(const QString &key, const QString &name)
{
    if (fails(Operation::RemoveValue, key, name))
        return false;
    const auto it = m_keys.find(normalizedKey(key).toLower());
    if (it == m_keys.end())
        return true;
    const QString lname = name.toLower();
    if (it->values.remove(lname) > 0) {
        it->names.remove(lname);
        m_dirty = true;
    }
    return true;
}

bool RegistryStore::removeKey(const QString &key)
{
    const QString path = normalizedKey(key).toLower();
    if (path.isEmpty() || fails(Operation::RemoveKey, key))
        return false;
    const QString prefix = path + QLatin1Char('\\');
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (it.key() == path || it.key().startsWith(prefix)) {
            it = m_keys.erase(it);
            m_dirty = true;
        } else {
            ++it;
        }
    }
    return true;
}

bool RegistryStore::flush()
{
    if (fails(Operation::Flush))
        return false;
    if (!m_dirty)
        return true;
    QString text;
    QTextStream out(&text);
    for (const Key &k : qAsConst(m_keys)) {
        out << '[' << k.path << "]\n";
        for (auto v = k.values.constBegin(); v != k.values.constEnd(); ++v) {
            const QString &name = k.names.value(v.key());
            out << (name.isEmpty() ? QStringLiteral("@") : quoted(name)) << '=' << quoted(v.value()) << '\n';
        }
        out << '\n';
    }
    out.flush();
    if (!app::writeFileAtomically(m_filePath, text.toUtf8()))
        return false;
    m_dirty = false;
    return true;
}

void RegistryStore::reload()
{
    m_keys.clear();
    m_dirty = false;
    load();
}

void RegistryStore::load()
{
    QByteArray bytes;
    if (!app::readStateFile(m_filePath, app::kSettingsStateFileMaxBytes, &bytes))
        return;
    const QString text = QString::fromUtf8(bytes);
    Key *current = nullptr;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString path = normalizedKey(line.mid(1, line.size() - 2));
            current = nullptr;
            if (path.isEmpty())
                continue;
            current = &m_keys[path.toLower()];
            if (current->path.isEmpty())
                current->path = path;
            continue;
        }
        if (!current)
            continue;
        // A damaged line is skipped rather than failing the whole store.
        int pos = 0;
        QString name;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (!unquote(line, pos, &name)) {
            continue;
        }
        if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
            continue;
        ++pos;
        QString value;
        if (!unquote(line, pos, &value))
            continue;
        const QString lname = name.toLower();
        current->names.insert(lname, name);
        current->values.insert(lname, value);
    }
}

} // namespace platform
