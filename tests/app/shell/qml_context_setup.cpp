// Set-up of the main-window tests with context objects: a catalog stand-in, the real
// single-instance service, a start-up file and a small screen.
#include "GuardWarnings.h"
#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "app/QmlContextObjects.h"
#include "system/SingleInstanceService.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QSize>
#include <QVariantMap>

namespace {

// Answers every key with a recognisable text, so tests can tell a translated text apart.
class FakeI18n : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE QString t(const QString &key) const { return QStringLiteral("<%1>").arg(key); }
    Q_INVOKABLE QString t(const QString &key, const QVariantMap &) const { return t(key); }
};

} // namespace

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;

void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine *engine)
{
    app::QmlContextObjects objects;
    objects.i18n = new FakeI18n(engine);
    objects.startupMediaFileUrlFromCpp = QStringLiteral("file:///tmp/start%20up.mp4");
    objects.singleInstanceService = new SingleInstanceService(QStringLiteral("qmltest"), engine);
    // A 1920x1080 screen at scale factor 2 with a 28-pixel panel.
    objects.screenAvailableSizeFromCpp = QSize(960, 526);
    QQmlContext *context = engine->rootContext();
    app::publishToQml(context, objects);
    context->setContextProperty(QStringLiteral("guardWarningProbe"), new tvxtest::GuardWarningProbe(engine));
}

void QmlTestSetup::cleanupTestCase() {}

#include "qml_context_setup.moc"
