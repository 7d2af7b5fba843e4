// Usage analytics: the tracker of the analytics library, created at start and destroyed at quit.
#pragma once

#include <QString>

class QxSensorsService
{
public:
    static QxSensorsService *instance();

    void initialize();
    void trackLaunchEvent();
    bool trackActivityEvent(); // true only when the library accepted the event
    void trackClickEvent(const QString &first, const QString &second, const QString &third, int number);
    void shutdown();

    bool isInitialized() const { return initialized; }

private:
    QxSensorsService() = default;

    bool initialized = false;
};
