// "player.ini" (and the other small state files) as they are checked and then read: every key
// of every group, the way QSettings would meet them on a save.
#include "FuzzSupport.h"
#include "core/AppPaths.h"
#include "core/StateFile.h"

#include <QFile>
#include <QSettings>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = app::ensureAppDataRootPath();
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    const QString path = app::appDataFilePath(QStringLiteral("player.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(tvxfuzz::bytes(data, size)) != qint64(size))
        return 0;
    file.close();

    QSettings settings(app::checkedStateFile(path, app::kSettingsStateFileMaxBytes), QSettings::IniFormat);
    for (const QString &key : settings.allKeys())
        settings.value(key).toString();
    settings.value(QStringLiteral("player/volume"), 100.0).toDouble();
    settings.value(QStringLiteral("video/rotation"), 0).toInt();
    return 0;
}
