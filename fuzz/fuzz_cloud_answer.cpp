// The cloud conversion server's answers: the body decoded as JSON, the common code check, the
// upload point's task, the three queries' results, and the masked form the log writes.
#include "FuzzSupport.h"
#include "cloud/FileProcessService.h"
#include "core/Log.h"

#include <QJsonObject>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using user_pay::FileProcessService;
    const QByteArray input = tvxfuzz::bytes(data, size);
    app::maskSecrets(QString::fromUtf8(input));

    QJsonObject answer;
    if (FileProcessService::decodeAnswer(input, &answer).code != 0)
        return 0;
    static FileProcessService service;
    QJsonObject checked;
    service.parseCommonResponse(answer, QStringLiteral("fuzz"), &checked);
    FileProcessService::UploadPointContext context;
    FileProcessService::readUploadPointAnswer(answer, &context);
    FileProcessService::readTaskStateAnswer(answer);
    FileProcessService::readTaskDownAnswer(answer);
    FileProcessService::readDeleteTaskAnswer(answer);
    return 0;
}
