// Format-convert task factory.
#include "tools/format_convert/FormatConvertTaskFactory.h"

#include "tools/format_convert/FormatConvertTask.h"

#include <QUuid>

FormatConvertTaskFactory::FormatConvertTaskFactory(FFprobeService *prober) : m_ffprobeService(prober) {}

FormatConvertTask *FormatConvertTaskFactory::createTask(const FormatConvertParams &params) const
{
    return new FormatConvertTask(QUuid::createUuid().toString(QUuid::WithoutBraces), params,
                                 m_ffprobeService);
}
