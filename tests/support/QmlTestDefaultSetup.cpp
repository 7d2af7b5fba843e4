// Set-up for QML tests that need no services: only the process preparation.
#include "QmlTestSetup.h"
#include "TestSupport.h"

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;
void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
}
void QmlTestSetup::qmlEngineAvailable(QQmlEngine *) {}
void QmlTestSetup::cleanupTestCase() {}
