// Set-up of the play list QML test: the model as `playlistStore`, the coordinator type, media files.
#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "app/QmlContextObjects.h"
#include "player/PlaybackCoordinator.h"
#include "player/PlaylistModel.h"

#include <QDir>
#include <QFileInfo>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQml>

#include <memory>

namespace {
std::unique_ptr<PlaylistModel> g_playlist;
}

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;

void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
    qmlRegisterType<PlaybackCoordinator>("Tavrixo", 1, 0, "PlaybackCoordinator");
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine *engine)
{
    const QString dir = QFileInfo(tvxtest::scratchPath(QStringLiteral("media/.keep"))).absolutePath();
    for (const char *name : {"a.mp4", "b.mp3", "c d.mkv"})
        tvxtest::writeFile(dir + QLatin1Char('/') + QLatin1String(name), "x");
    if (!g_playlist)
        g_playlist = std::make_unique<PlaylistModel>();
    app::QmlContextObjects objects;
    objects.playlistStore = g_playlist.get();
    app::publishToQml(engine->rootContext(), objects);
    engine->rootContext()->setContextProperty(QStringLiteral("mediaDir"), dir);
}

void QmlTestSetup::cleanupTestCase()
{
    g_playlist.reset();
}
