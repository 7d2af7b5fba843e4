// "playlist.ini" as the play list loads it at start, then saves it.
#include "FuzzSupport.h"
#include "core/AppPaths.h"
#include "player/PlaylistModel.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = app::ensureAppDataRootPath();
    QDir(dir).removeRecursively(); // copies kept aside by the last run
    QDir().mkpath(dir);
    QFile file(app::appDataFilePath(QStringLiteral("playlist.ini")));
    if (!file.open(QIODevice::WriteOnly) || file.write(tvxfuzz::bytes(data, size)) != qint64(size))
        return 0;
    file.close();
    PlaylistModel model;
    model.sourcePaths();
    model.setCurrentIndex(0);
    return 0;
}
