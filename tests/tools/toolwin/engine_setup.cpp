// Set-up of the playback settings tests that drive a real player engine on a generated clip.
#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "player/MpvEngine.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QUrl>
#include <QtQml>

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;

void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
    // No sound card and no render context here: mpv decodes without any output.
    qputenv("TVX_MPV_AO", "null");
    qputenv("TVX_MPV_VO", "null");
    qmlRegisterType<MpvEngine>("Tavrixo", 1, 0, "MpvEngine");
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine *engine)
{
    engine->rootContext()->setContextProperty(QStringLiteral("testClipUrl"),
                                              QUrl::fromLocalFile(tvxtest::fixtures::smallMp4()).toString());
}

void QmlTestSetup::cleanupTestCase() {}
