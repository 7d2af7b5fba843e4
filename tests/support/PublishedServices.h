// The services main publishes to every tool page, built as a page test needs them and published
// under main's names; a suite's own published objects derive from it.
#pragma once

#include "app/QmlContextObjects.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/MediaPreviewService.h"
#include "i18n/I18nService.h"
#include "system/FileDialogService.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"

namespace tvxtest {

struct PublishedServices
{
    MediaPreviewService previews;
    SystemActions actions;
    FileDialogService dialogs;
    FFmpegEnvironment ffmpeg;
    FFprobeService prober{&ffmpeg};
    TaskManager tasks;
    I18nService i18nService;

    // These services in main's table, for a suite to add its own objects to before publishing.
    app::QmlContextObjects contextObjects()
    {
        app::QmlContextObjects objects;
        objects.mediaPreviewService = &previews;
        objects.systemActions = &actions;
        objects.fileDialogService = &dialogs;
        objects.taskManager = &tasks;
        objects.i18n = &i18nService;
        return objects;
    }
};

} // namespace tvxtest
