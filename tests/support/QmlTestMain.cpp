// Entry of every Qt Quick Test runner; the set-up object comes from the runner's own file.
// The guard-warning handler is kept in front of the test log's own handler, which the log
// installs only when the first test case starts.
#include "GuardWarnings.h"
#include "QmlTestSetup.h"
#include "TestSupport.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

class GuardedQmlTestSetup : public QObject
{
    Q_OBJECT
public slots:
    void applicationAvailable() { m_setup.applicationAvailable(); }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        m_setup.qmlEngineAvailable(engine);
        // The documents stretch the waits that only catch hangs by it (see tvxtest::timeScale()).
        engine->rootContext()->setContextProperty(QStringLiteral("tvxTestTimeScale"), tvxtest::timeScale());
        tvxtest::failOnGuardWarnings();
    }
    void cleanupTestCase() { m_setup.cleanupTestCase(); }

private:
    QmlTestSetup m_setup;
};

QUICK_TEST_MAIN_WITH_SETUP(tavrixo_qml, GuardedQmlTestSetup)

#include "QmlTestMain.moc"
