// Set-up of the tool-window tests: the real player types, which the capture pages' preview
// players need to load.
#include "QmlTestSetup.h"
#include "RealPlayerTypes.h"
#include "TestSupport.h"

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;

void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
    tvxtest::registerRealPlayerTypes();
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine *) {}

void QmlTestSetup::cleanupTestCase() {}
