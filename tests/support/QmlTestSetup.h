// Set-up object of the Qt Quick Test runners; each runner links one implementation of it.
#pragma once

#include <QObject>

class QQmlEngine;

class QmlTestSetup : public QObject
{
    Q_OBJECT
public:
    QmlTestSetup();
    ~QmlTestSetup() override;

public slots:
    void applicationAvailable();
    void qmlEngineAvailable(QQmlEngine *engine);
    void cleanupTestCase();
};
