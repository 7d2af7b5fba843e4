// The objects and values C++ publishes to the QML documents, under the names the documents read
// through Guard: main and every test set-up publish through this one table, so a name can be
// neither misspelt nor forgotten in one of them.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QObject;
class QQmlContext;

namespace app {

// One member per published name; a set-up fills what it has. An object left null or a value
// left invalid is not published, and Guard then leaves the controls that use it inert.
struct QmlContextObjects
{
    QObject *playlistStore = nullptr;
    QVariant playerSettingsFilePath;
    QVariant appSettingsMenuSettingsFilePath;
    QVariant loginDialogSettingsFilePath;
    QObject *mediaPreviewService = nullptr;
    QObject *systemActions = nullptr;
    QObject *fileDialogService = nullptr;
    QObject *taskManager = nullptr;
    QObject *mpvLibrary = nullptr;
    QObject *i18n = nullptr;
    QObject *formatConvertViewModel = nullptr;
    QObject *videoCompressViewModel = nullptr;
    QObject *videoToTextViewModel = nullptr;
    QObject *videoCaptureViewModel = nullptr;
    QObject *videoToImageViewModel = nullptr;
    QObject *accountManager = nullptr;
    QVariant startupMediaFileUrlFromCpp;
    QVariant startupShouldTrackActivityFromCpp;
    QObject *singleInstanceService = nullptr;
    QVariant screenAvailableSizeFromCpp;
};

struct QmlContextEntry
{
    QString name;
    QVariant value;       // invalid when the set-up left it out
    bool loggedAtStartup; // main writes what the page is given, for the process tests
};

// Every entry of the table, set or not, in the order main publishes them.
QVector<QmlContextEntry> qmlContextEntries(const QmlContextObjects &objects);

// Every published name, in the order main publishes them.
QStringList qmlContextNames();

// Publishes every entry that is set.
void publishToQml(QQmlContext *context, const QmlContextObjects &objects);

} // namespace app
