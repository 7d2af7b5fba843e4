// The types the QML documents create, under the modules and names they import: main and every
// set-up that loads the documents register through here, so a module, version or name cannot
// drift between them.
#pragma once

#include "player/MpvEngine.h"
#include "player/PlaybackCoordinator.h"
#include "player/mpv/MpvVideoItem.h"
#include "webview/MiniBlinkWrapper.h"

#include <QtQml>

namespace app {

// The set-ups that stand fakes in for the engine, the video item or the web view name them here;
// the play list's coordinator is always the real one.
template <typename Engine = MpvEngine, typename VideoItem = MpvVideoItem, typename WebView = MiniBlinkWrapper>
void registerQmlTypes()
{
    qmlRegisterType<Engine>("Tavrixo", 1, 0, "MpvEngine");
    qmlRegisterType<VideoItem>("Tavrixo", 1, 0, "MpvVideoItem");
    qmlRegisterType<PlaybackCoordinator>("Tavrixo", 1, 0, "PlaybackCoordinator");
    qmlRegisterType<WebView>("com.myapp.miniblink", 1, 0, "MiniBlinkWrapper");
}

} // namespace app
