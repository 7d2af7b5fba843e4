// Makes format-convert tasks with fresh ids and the shared prober.
#pragma once

#include "tools/format_convert/FormatConvertParams.h"

class FFprobeService;
class FormatConvertTask;

class FormatConvertTaskFactory
{
public:
    explicit FormatConvertTaskFactory(FFprobeService *prober);
    // A new task the caller keeps for the rest of the process.
    FormatConvertTask *createTask(const FormatConvertParams &params) const;

private:
    FFprobeService *m_ffprobeService = nullptr;
};
