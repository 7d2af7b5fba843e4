// The one place that says which files the program accepts and which formats its tools write.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace media {

const QStringList &playableExtensions();
const QStringList &videoExtensions();
const QStringList &subtitleExtensions();
const QStringList &transcodeInputExtensions();
const QStringList &videoToolInputExtensions();
const QStringList &defaultAssociationExtensions();

// A MIME type the program claims on a desktop, with the file-name extensions that
// shared-mime-info gives it; every one of them is playable.
struct MimeTypeNames
{
    QString mimeType;
    QStringList extensions;
};
// The one table of claimed types: the desktop entry and "mimeapps.list" list these types.
const QVector<MimeTypeNames> &claimedMimeTypes();
// Its types alone, in table order.
const QStringList &claimedMimeTypeNames();

const QStringList &formatConvertOutputFormats();
const QStringList &videoCompressOutputFormats();
const QStringList &imageExportOutputFormats();
const QStringList &videoToTextOutputFormats();

// Decided by the lower-cased last suffix of the name; the file need not exist.
bool isSupportedPlayablePath(const QString &path);
bool isVideoPath(const QString &path);
bool isSupportedSubtitlePath(const QString &path);
bool isSupportedTranscodeInputPath(const QString &path);
bool isSupportedVideoToolInputPath(const QString &path);

// Every playable file of the folder and its subfolders, in the order the file system lists them,
// as file-URL strings; empty when the folder does not exist.
QStringList playableFileUrlsInFolder(const QString &folderPath);

// "*.ext *.ext ..." in list order, for file-dialog filters.
QString playableWildcardPattern();
QString subtitleWildcardPattern();
QString transcodeInputWildcardPattern();
QString videoToolInputWildcardPattern();

} // namespace media
