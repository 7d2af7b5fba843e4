// Analytics start-up state file.
#include "app/StartupState.h"

#include "core/AppPaths.h"
#include "core/StateFile.h"

#include <QSettings>

namespace app {
namespace {
const char kActivityTrackedKey[] = "startup/activity_tracked";
}

QString sensorsStateFilePath()
{
    return checkedStateFile(appDataFilePath(QStringLiteral("sensors_state.ini")), kSettingsStateFileMaxBytes);
}

bool shouldTrackActivityOnStartup()
{
    const QSettings settings(sensorsStateFilePath(), QSettings::IniFormat);
    return !settings.value(QString::fromLatin1(kActivityTrackedKey), false).toBool();
}

void markActivityTrackedOnStartup()
{
    // QSettings replaces the INI file atomically on sync.
    QSettings settings(sensorsStateFilePath(), QSettings::IniFormat);
    clearOwnedGroups(settings, {QStringLiteral("startup")});
    settings.setValue(QString::fromLatin1(kActivityTrackedKey), true);
    settings.sync();
}

} // namespace app
