// The player's QML types as main registers them, with mpv's audio sent nowhere: for the tests
// that load the real page over the real engine.
#pragma once

#include "app/QmlTypes.h"

namespace tvxtest {

inline void registerRealPlayerTypes()
{
    qputenv("TVX_MPV_AO", "null");
    app::registerQmlTypes();
}

} // namespace tvxtest
