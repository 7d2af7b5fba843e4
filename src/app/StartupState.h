// "sensors_state.ini": whether a start has already delivered the analytics activity event.
#pragma once

#include <QString>

namespace app {

// "sensors_state.ini" in the application-data folder (the folder is created).
QString sensorsStateFilePath();
// True until an activity event has been recorded as delivered.
bool shouldTrackActivityOnStartup();
// Records a delivered activity event; nothing ever resets it.
void markActivityTrackedOnStartup();

} // namespace app
