// Modal pickers with the remembered folder in "file_dialog.ini".
#include "system/FileDialogService.h"

#include "core/AppPaths.h"
#include "core/FileUrl.h"
#include "core/StateFile.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const char kLastDirectoryKey[] = "file_dialog/last_directory";

QString filterLabel(const QString &text)
{
    const int paren = text.indexOf(QLatin1Char('('));
    const QString label = (paren > 0 ? text.left(paren) : text).trimmed();
    return label.isEmpty() ? text : label;
}

QString catalogText(const char *key)
{
    return i18n::t(QString::fromLatin1(key));
}

} // namespace

FileDialogService::FileDialogService(QObject *parent) : QObject(parent)
{
    loadLastDirectory();
}

void FileDialogService::setUseNativeDialog(bool value)
{
    if (m_useNativeDialog == value)
        return;
    m_useNativeDialog = value;
    emit useNativeDialogChanged();
}

QString FileDialogService::settingsFilePath()
{
    return app::appDataFilePath(QStringLiteral("file_dialog.ini"));
}

QStringList FileDialogService::nameFilters(const QString &filterKey, const QString &pattern)
{
    const QString label = filterLabel(i18n::t(filterKey));
    // Qt's dialog reads the patterns from the parentheses; without " (*)" the all-files entry
    // would match nothing at all.
    return {QStringLiteral("%1 (%2)").arg(label, pattern),
            catalogText("ui.file_dialog.filter.all") + QStringLiteral(" (*)")};
}

QStringList FileDialogService::pickPlayableMediaFiles()
{
    return openFiles(
        catalogText("ui.file_dialog.title.pick_media_files"),
        nameFilters(QStringLiteral("ui.file_dialog.filter.media"), media::playableWildcardPattern()));
}

QStringList FileDialogService::pickMediaFiles()
{
    return pickPlayableMediaFiles();
}

QStringList FileDialogService::pickTranscodeMediaFiles()
{
    return openFiles(
        catalogText("ui.file_dialog.title.pick_media_files"),
        nameFilters(QStringLiteral("ui.file_dialog.filter.media"), media::transcodeInputWildcardPattern()));
}

QStringList FileDialogService::pickVideoToolMediaFiles()
{
    return openFiles(
        catalogText("ui.file_dialog.title.pick_media_files"),
        nameFilters(QStringLiteral("ui.file_dialog.filter.media"), media::videoToolInputWildcardPattern()));
}

QString FileDialogService::pickPlayableMediaFile()
{
    return openFile(
        catalogText("ui.file_dialog.title.pick_media_file"),
        nameFilters(QStringLiteral("ui.file_dialog.filter.media"), media::playableWildcardPattern()));
}

QString FileDialogService::pickMediaFile()
{
    return pickPlayableMediaFile();
}

QString FileDialogService::pickVideoToolMediaFile()
{
    return openFile(
        catalogText("ui.file_dialog.title.pick_media_file"),
        nameFilters(QStringLiteral("ui.file_dialog.filter.media"), media::videoToolInputWildcardPattern()));
}

QString FileDialogService::pickSubtitleFile(const QString &title)
{
    const QString shown =
        title.trimmed().isEmpty() ? catalogText("ui.file_dialog.title.pick_subtitle_file") : title;
    return openFile(shown, nameFilters(QStringLiteral("ui.file_dialog.filter.subtitle"),
                                       media::subtitleWildcardPattern()));
}

QString FileDialogService::pickFolder()
{
    return openFolder(catalogText("ui.file_dialog.title.pick_folder"));
}

QFileDialog::Options FileDialogService::buildDialogOptions() const
{
    return m_useNativeDialog ? QFileDialog::Options()
                             : QFileDialog::Options(QFileDialog::DontUseNativeDialog);
}

QString FileDialogService::initialDirectory() const
{
    if (!m_lastDirectory.isEmpty() && QFileInfo::exists(m_lastDirectory))
        return m_lastDirectory;
    const QString desktop = QDir::fromNativeSeparators(app::desktopPath());
    if (!desktop.isEmpty() && QFileInfo::exists(desktop))
        return desktop;
    return app::homePath();
}

QStringList FileDialogService::openFiles(const QString &title, const QStringList &filters)
{
    const QStringList selection =
        QFileDialog::getOpenFileNames(nullptr, title, initialDirectory(), filters.join(QStringLiteral(";;")),
                                      nullptr, buildDialogOptions());
    rememberDirectoryFromSelection(selection);
    return toFileUrls(selection);
}

QString FileDialogService::openFile(const QString &title, const QStringList &filters)
{
    const QString chosen =
        QFileDialog::getOpenFileName(nullptr, title, initialDirectory(), filters.join(QStringLiteral(";;")),
                                     nullptr, buildDialogOptions());
    rememberDirectoryFromSelection(chosen.isEmpty() ? QStringList() : QStringList{chosen});
    return toFileUrl(chosen);
}

QString FileDialogService::openFolder(const QString &title)
{
    QFileDialog dialog(nullptr, title, initialDirectory());
    QFileDialog::Options options = QFileDialog::ShowDirsOnly;
    if (!m_useNativeDialog)
        options |= QFileDialog::DontUseNativeDialog;
    dialog.setOptions(options);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QString chosen;
    if (dialog.exec() == QDialog::Accepted) {
        const QStringList files = dialog.selectedFiles();
        if (!files.isEmpty())
            chosen = files.first();
    }
    rememberDirectoryFromSelection(chosen.isEmpty() ? QStringList() : QStringList{chosen});
    return toFileUrl(chosen);
}

void FileDialogService::rememberDirectoryFromSelection(const QStringList &selection)
{
    if (selection.isEmpty())
        return;
    const QString first = selection.first().trimmed();
    if (first.isEmpty())
        return;
    const QFileInfo info(first);
    m_lastDirectory =
        QDir::fromNativeSeparators(info.isDir() ? info.absoluteFilePath() : info.absolutePath());
    saveLastDirectory();
}

void FileDialogService::loadLastDirectory()
{
    const QSettings settings(app::checkedStateFile(settingsFilePath(), app::kSettingsStateFileMaxBytes),
                             QSettings::IniFormat);
    const QString stored = QDir::fromNativeSeparators(
        settings.value(QString::fromLatin1(kLastDirectoryKey)).toString().trimmed());
    m_lastDirectory = (!stored.isEmpty() && QFileInfo::exists(stored)) ? stored : QString();
}

void FileDialogService::saveLastDirectory()
{
    QSettings settings(app::checkedStateFile(settingsFilePath(), app::kSettingsStateFileMaxBytes),
                       QSettings::IniFormat);
    if (m_lastDirectory.isEmpty())
        settings.remove(QString::fromLatin1(kLastDirectoryKey));
    else
        settings.setValue(QString::fromLatin1(kLastDirectoryKey), m_lastDirectory);
    settings.sync();
}

QString FileDialogService::toFileUrl(const QString &path)
{
    if (path.trimmed().isEmpty())
        return QString();
    return app::fileUrlFromLocalPath(path);
}

QStringList FileDialogService::toFileUrls(const QStringList &paths)
{
    QStringList urls;
    for (const QString &path : paths) {
        const QString url = toFileUrl(path);
        if (!url.isEmpty())
            urls << url;
    }
    return urls;
}
