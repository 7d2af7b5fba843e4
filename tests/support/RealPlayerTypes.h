// The player's QML types as main registers them, with mpv's audio sent nowhere: for the tests
// that load the real page over the real engine.
#pragma once

#include "player/MpvEngine.h"
#include "player/PlaybackCoordinator.h"
#include "player/mpv/MpvVideoItem.h"

#include <QtQml>

namespace tvxtest {

inline void registerRealPlayerTypes()
{
    qputenv("TVX_MPV_AO", "null");
    qmlRegisterType<MpvEngine>("Tavrixo", 1, 0, "MpvEngine");
    qmlRegisterType<MpvVideoItem>("Tavrixo", 1, 0, "MpvVideoItem");
    qmlRegisterType<PlaybackCoordinator>("Tavrixo", 1, 0, "PlaybackCoordinator");
}

} // namespace tvxtest
