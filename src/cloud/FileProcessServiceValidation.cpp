// Cloud conversion client: the checks of each request before anything is sent.
#include "cloud/FileProcessService.h"

#include "cloud/FileProcessServiceInternal.h"

#include <QFileInfo>

#include <initializer_list>

namespace user_pay {

using detail::blank;
using detail::failure;
using detail::ok;

namespace {
// Runs the checks in order; the first failing one decides.
UserPayResult firstFailure(bool initialized, std::initializer_list<QPair<bool, const char *>> checks,
                           QString *errorMessage)
{
    UserPayResult result = ok();
    if (!initialized) {
        result = failure(UserPayResult::Refused, QStringLiteral("File process service is not initialized."));
    } else {
        for (const auto &check : checks) {
            if (check.first) {
                result = failure(UserPayResult::InvalidInput, QString::fromLatin1(check.second));
                break;
            }
        }
    }
    if (errorMessage && result.code != UserPayResult::Ok)
        *errorMessage = result.message;
    return result;
}
} // namespace

UserPayResult FileProcessService::validateCreateRequest(const CreateConvertTaskRequest &r,
                                                        QString *errorMessage) const
{
    const QFileInfo file(r.filePath);
    return firstFailure(
        isInitialized(),
        {{blank(r.filePath), "filePath is empty."},
         {blank(r.taskType) || blank(r.outExt), "taskType or outExt is empty."},
         {r.limitSizeK < 1 || r.sliceSizeK < 1, "limitSizeK or sliceSizeK must be greater than 0."},
         {!file.exists() || !file.isFile(), "filePath does not exist or is not a file."},
         {r.chunkRetryCount < 0, "chunkRetryCount cannot be negative."},
         {r.requestTimeoutMs < 1, "requestTimeoutMs must be greater than 0."}},
        errorMessage);
}

UserPayResult FileProcessService::validateQueryTaskStateRequest(const QueryTaskStateRequest &r,
                                                                QString *errorMessage) const
{
    return firstFailure(isInitialized(),
                        {{blank(r.taskTag), "taskTag is empty."},
                         {r.ifShowTxt < 0 || r.ifShowTxt > 2, "ifShowTxt must be in range [0,2]."},
                         {r.isSchedule != 0 && r.isSchedule != 1, "isSchedule must be 0 or 1."},
                         {r.requestTimeoutMs < 1, "requestTimeoutMs must be greater than 0."}},
                        errorMessage);
}

UserPayResult FileProcessService::validateQueryTaskDownRequest(const QueryTaskDownRequest &r,
                                                               QString *errorMessage) const
{
    return firstFailure(isInitialized(),
                        {{blank(r.taskTag), "taskTag is empty."},
                         {r.downType != webapi::downtype::Other && r.downType != webapi::downtype::Default,
                          "downType must be 1 or 2."},
                         {r.multiUrl != 0 && r.multiUrl != 1, "multiUrl must be 0 or 1."},
                         {r.bandName.trimmed().size() > 30, "bandName length must be in range [1,30]."},
                         {r.requestTimeoutMs < 1, "requestTimeoutMs must be greater than 0."}},
                        errorMessage);
}

UserPayResult FileProcessService::validateDeleteTaskRequest(const DeleteTaskRequest &r,
                                                            QString *errorMessage) const
{
    return firstFailure(isInitialized(),
                        {{blank(r.account), "account is empty."},
                         {blank(r.userToken), "userToken is empty."},
                         {blank(r.taskTag), "taskTag is empty."},
                         {r.requestTimeoutMs < 1, "requestTimeoutMs must be greater than 0."}},
                        errorMessage);
}

} // namespace user_pay
