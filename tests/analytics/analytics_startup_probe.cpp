// Runs the analytics part of the program's start-up and quit exactly as main does, then quits.
#include "analytics/QxSensorsService.h"
#include "core/Log.h"
#include "app/StartupState.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    QCoreApplication app(argc, argv);

    // Start-up: analytics start.
    const bool shouldTrackActivity = app::shouldTrackActivityOnStartup();
    QxSensorsService *sensors = QxSensorsService::instance();
    sensors->initialize();
    sensors->trackLaunchEvent();
    if (shouldTrackActivity) {
        const bool activityTracked = sensors->trackActivityEvent();
        TVX_LOG_INFO << "[QxSensors] startup activity tracked =" << activityTracked;
        if (activityTracked)
            app::markActivityTrackedOnStartup();
    }

    // Quit handler: analytics shutdown.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [] { QxSensorsService::instance()->shutdown(); });

    std::printf("startupShouldTrackActivity=%s\n", shouldTrackActivity ? "true" : "false");
    std::fflush(stdout);
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
