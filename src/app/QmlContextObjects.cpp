// The table of the names published to QML.
#include "app/QmlContextObjects.h"

#include <QQmlContext>

namespace app {

QVector<QmlContextEntry> qmlContextEntries(const QmlContextObjects &o)
{
    const auto object = [](QObject *value) { return value ? QVariant::fromValue(value) : QVariant(); };
    // The library loader and the screen's size are published but not logged: they joined after
    // the start-up log's list, which the process tests count.
    return {
        {QStringLiteral("playlistStore"), object(o.playlistStore), true},
        {QStringLiteral("playerSettingsFilePath"), o.playerSettingsFilePath, true},
        {QStringLiteral("appSettingsMenuSettingsFilePath"), o.appSettingsMenuSettingsFilePath, true},
        {QStringLiteral("loginDialogSettingsFilePath"), o.loginDialogSettingsFilePath, true},
        {QStringLiteral("mediaPreviewService"), object(o.mediaPreviewService), true},
        {QStringLiteral("systemActions"), object(o.systemActions), true},
        {QStringLiteral("fileDialogService"), object(o.fileDialogService), true},
        {QStringLiteral("taskManager"), object(o.taskManager), true},
        {QStringLiteral("mpvLibrary"), object(o.mpvLibrary), false},
        {QStringLiteral("i18n"), object(o.i18n), true},
        {QStringLiteral("formatConvertViewModel"), object(o.formatConvertViewModel), true},
        {QStringLiteral("videoCompressViewModel"), object(o.videoCompressViewModel), true},
        {QStringLiteral("videoToTextViewModel"), object(o.videoToTextViewModel), true},
        {QStringLiteral("videoCaptureViewModel"), object(o.videoCaptureViewModel), true},
        {QStringLiteral("videoToImageViewModel"), object(o.videoToImageViewModel), true},
        {QStringLiteral("accountManager"), object(o.accountManager), true},
        {QStringLiteral("startupMediaFileUrlFromCpp"), o.startupMediaFileUrlFromCpp, true},
        {QStringLiteral("startupShouldTrackActivityFromCpp"), o.startupShouldTrackActivityFromCpp, true},
        {QStringLiteral("singleInstanceService"), object(o.singleInstanceService), true},
        {QStringLiteral("screenAvailableSizeFromCpp"), o.screenAvailableSizeFromCpp, false},
    };
}

QStringList qmlContextNames()
{
    QStringList names;
    for (const QmlContextEntry &entry : qmlContextEntries(QmlContextObjects()))
        names << entry.name;
    return names;
}

void publishToQml(QQmlContext *context, const QmlContextObjects &objects)
{
    for (const QmlContextEntry &entry : qmlContextEntries(objects)) {
        if (entry.value.isValid())
            context->setContextProperty(entry.name, entry.value);
    }
}

} // namespace app
