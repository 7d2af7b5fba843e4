#include "platform/MimeAppsList.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {
namespace {

QString groupHeader(MimeAppsList::Group group)
{
    switch (group) {
    case MimeAppsList::Group::DefaultApplications:
        return QStringLiteral("[Default Applications]");
    case MimeAppsList::Group::AddedAssociations:
        return QStringLiteral("[Added Associations]");
    case MimeAppsList::Group::RemovedAssociations:
        return QStringLiteral("[Removed Associations]");
    }
    return QString();
}

bool isGroupLine(const QString &line)
{
    return line.trimmed().startsWith(QLatin1Char('['));
}

bool isBlank(const QString &line)
{
    return line.trimmed().isEmpty();
}

} // namespace

QString MimeAppsList::userFilePath()
{
    return QDir(app::standardLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("mimeapps.list"));
}

QStringList MimeAppsList::desktopIds(const QString &value)
{
    QStringList out;
    for (const QString &id : value.split(QLatin1Char(';'))) {
        const QString trimmed = id.trimmed();
        if (!trimmed.isEmpty())
            out << trimmed;
    }
    return out;
}

MimeAppsList::MimeAppsList(const QString &filePath) : m_filePath(filePath) {}

bool MimeAppsList::load()
{
    m_lines.clear();
    QFile file(m_filePath);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(file.readAll());
    m_lines = text.split(QLatin1Char('\n'));
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
    return true;
}

bool MimeAppsList::save()
{
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QByteArray bytes;
    for (const QString &line : qAsConst(m_lines))
        bytes += line.toUtf8() + '\n';
    return app::writeFileAtomically(m_filePath, bytes);
}

int MimeAppsList::groupStart(Group group) const
{
    const QString header = groupHeader(group);
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines.at(i).trimmed() == header)
            return i;
    }
    return -1;
}

int MimeAppsList::groupEnd(int start) const
{
    int end = start + 1;
    while (end < m_lines.size() && !isGroupLine(m_lines.at(end)))
        ++end;
    return end;
}

int MimeAppsList::entryLine(Group group, const QString &mimeType) const
{
    const int start = groupStart(group);
    if (start < 0)
        return -1;
    const int end = groupEnd(start);
    for (int i = start + 1; i < end; ++i) {
        const QString &line = m_lines.at(i);
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.leftRef(eq).trimmed() == mimeType)
            return i;
    }
    return -1;
}

QString MimeAppsList::entry(Group group, const QString &mimeType) const
{
    const int at = entryLine(group, mimeType);
    if (at < 0)
        return QString();
    const QString &line = m_lines.at(at);
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

QString MimeAppsList::defaultApplication(const QString &mimeType) const
{
    return desktopIds(entry(Group::DefaultApplications, mimeType)).value(0);
}

void MimeAppsList::removeEntryLine(int at)
{
    int start = at;
    while (start > 0 && !isGroupLine(m_lines.at(start)))
        --start;
    m_lines.removeAt(at);
    if (!isGroupLine(m_lines.value(start)))
        return;
    // A group whose last entry this was goes too, so taking back an entry the program added
    // leaves the file as it found it.
    const int end = groupEnd(start);
    for (int i = start + 1; i < end; ++i) {
        if (!isBlank(m_lines.at(i)))
            return;
    }
    m_lines.erase(m_lines.begin() + start, m_lines.begin() + end);
    if (start == m_lines.size() && start > 0 && isBlank(m_lines.at(start - 1)))
        m_lines.removeLast();
}

void MimeAppsList::setEntry(Group group, const QString &mimeType, const QString &value)
{
    const int at = entryLine(group, mimeType);
    if (value.isNull()) {
        if (at >= 0)
            removeEntryLine(at);
        return;
    }
    const QString line = mimeType + QLatin1Char('=') + value;
    if (at >= 0) {
        m_lines[at] = line;
        return;
    }
    int start = groupStart(group);
    if (start < 0) {
        if (!m_lines.isEmpty() && !isBlank(m_lines.last()))
            m_lines << QString();
        m_lines << groupHeader(group);
        start = m_lines.size() - 1;
    }
    // After the group's last entry, before the blank lines that separate it from the next group.
    int insertAt = start + 1;
    const int end = groupEnd(start);
    for (int i = start + 1; i < end; ++i) {
        if (!isBlank(m_lines.at(i)))
            insertAt = i + 1;
    }
    m_lines.insert(insertAt, line);
}

} // namespace platform
