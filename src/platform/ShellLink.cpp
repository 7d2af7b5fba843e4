// Desktop Entry writer behind the shell-link steps.
#include "platform/ShellLink.h"

#include "core/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace platform {

void DesktopEntryLink::setIconLocation(const QString &path, int index)
{
    // A Desktop Entry has no icon index; the path alone is kept.
    Q_UNUSED(index)
    m_icon = path;
}

QString DesktopEntryLink::quoteExecArgument(const QString &arg)
{
    // Quotes only an argument that holds one of the Exec key's reserved characters: tools that
    // read the program from the Exec line without unquoting it (xdg-utils takes its first word
    // as is) then still find the program at a plain path.
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    const bool needsQuotes =
        arg.isEmpty() || std::any_of(arg.cbegin(), arg.cend(), [](QChar c) { return reserved.contains(c); });
    QString out;
    if (needsQuotes) {
        // Inside double quotes the Exec key reserves the same four characters as a POSIX shell.
        out += QLatin1Char('"');
        for (const QChar c : arg) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                out += QLatin1Char('\\');
            out += c;
        }
        out += QLatin1Char('"');
    } else {
        out = arg;
    }
    // A literal percent sign would be taken for a field code, quoted or not.
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return out;
}

QString DesktopEntryLink::escapeEntryValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    return out;
}

QString DesktopEntryLink::entryText(const QString &shortcutPath) const
{
    const QString name = QFileInfo(shortcutPath).completeBaseName();
    QString text = QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Version=1.0\n");
    text += QStringLiteral("Name=") + escapeEntryValue(name) + QLatin1Char('\n');
    if (!m_description.isEmpty())
        text += QStringLiteral("Comment=") + escapeEntryValue(m_description) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + escapeEntryValue(quoteExecArgument(m_target) + QStringLiteral(" %f")) +
            QLatin1Char('\n');
    if (!m_workingDirectory.isEmpty())
        text += QStringLiteral("Path=") + escapeEntryValue(m_workingDirectory) + QLatin1Char('\n');
    if (!m_icon.isEmpty())
        text += QStringLiteral("Icon=") + escapeEntryValue(m_icon) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    return text;
}

bool DesktopEntryLink::save(const QString &shortcutPath, bool remember)
{
    Q_UNUSED(remember)
    if (m_target.isEmpty() || shortcutPath.isEmpty())
        return false;
    // The finished launcher never appears without its executable bit.
    return app::writeFileAtomically(shortcutPath, entryText(shortcutPath).toUtf8(),
                                    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                        QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                        QFileDevice::ReadOther | QFileDevice::ExeOther);
}

} // namespace platform
