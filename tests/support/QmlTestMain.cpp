// Entry of every Qt Quick Test runner; the set-up object comes from the runner's own file.
// The guard-warning handler is kept in front of the test log's own handler, which the log
// installs only when the first test case starts.
#include "GuardWarnings.h"
#include "QmlTestSetup.h"

#include <QtQuickTest>

class GuardedQmlTestSetup : public QObject
{
    Q_OBJECT
public slots:
    void applicationAvailable() { m_setup.applicationAvailable(); }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        m_setup.qmlEngineAvailable(engine);
        tvxtest::failOnGuardWarnings();
    }
    void cleanupTestCase() { m_setup.cleanupTestCase(); }

private:
    QmlTestSetup m_setup;
};

QUICK_TEST_MAIN_WITH_SETUP(tavrixo_qml, GuardedQmlTestSetup)

#include "QmlTestMain.moc"
