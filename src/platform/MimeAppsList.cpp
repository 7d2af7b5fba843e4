#include "platform/MimeAppsList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace platform {
namespace {

const QString kDefaultGroup = QStringLiteral("[Default Applications]");

bool isGroupLine(const QString &line)
{
    return line.trimmed().startsWith(QLatin1Char('['));
}

} // namespace

QString MimeAppsList::userFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("mimeapps.list"));
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
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    for (const QString &line : qAsConst(m_lines))
        bytes += line.toUtf8() + '\n';
    return file.write(bytes) == bytes.size() && file.commit();
}

int MimeAppsList::groupStart(const QString &group) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines.at(i).trimmed() == group)
            return i;
    }
    return -1;
}

int MimeAppsList::entryLine(const QString &mimeType) const
{
    const int start = groupStart(kDefaultGroup);
    if (start < 0)
        return -1;
    for (int i = start + 1; i < m_lines.size() && !isGroupLine(m_lines.at(i)); ++i) {
        const QString &line = m_lines.at(i);
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.leftRef(eq).trimmed() == mimeType)
            return i;
    }
    return -1;
}

QString MimeAppsList::defaultEntry(const QString &mimeType) const
{
    const int at = entryLine(mimeType);
    if (at < 0)
        return QString();
    const QString &line = m_lines.at(at);
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

QString MimeAppsList::defaultApplication(const QString &mimeType) const
{
    return defaultEntry(mimeType).section(QLatin1Char(';'), 0, 0).trimmed();
}

void MimeAppsList::setDefaultEntry(const QString &mimeType, const QString &value)
{
    const int at = entryLine(mimeType);
    if (value.isNull()) {
        if (at >= 0)
            m_lines.removeAt(at);
        return;
    }
    const QString line = mimeType + QLatin1Char('=') + value;
    if (at >= 0) {
        m_lines[at] = line;
        return;
    }
    int start = groupStart(kDefaultGroup);
    if (start < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines << QString();
        m_lines << kDefaultGroup;
        start = m_lines.size() - 1;
    }
    // After the group's last entry, before the blank lines that separate it from the next group.
    int insertAt = start + 1;
    for (int i = start + 1; i < m_lines.size() && !isGroupLine(m_lines.at(i)); ++i) {
        if (!m_lines.at(i).trimmed().isEmpty())
            insertAt = i + 1;
    }
    m_lines.insert(insertAt, line);
}

} // namespace platform
