// The services main publishes to every tool page, built as a page test needs them and published
// under main's names; a suite's own published objects derive from it.
#pragma once

#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/MediaPreviewService.h"
#include "i18n/I18nService.h"
#include "system/FileDialogService.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"

#include <QQmlContext>

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

    void publishServices(QQmlContext *context)
    {
        context->setContextProperty(QStringLiteral("mediaPreviewService"), &previews);
        context->setContextProperty(QStringLiteral("systemActions"), &actions);
        context->setContextProperty(QStringLiteral("fileDialogService"), &dialogs);
        context->setContextProperty(QStringLiteral("taskManager"), &tasks);
        context->setContextProperty(QStringLiteral("i18n"), &i18nService);
    }
};

} // namespace tvxtest
