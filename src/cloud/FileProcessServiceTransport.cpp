// Cloud conversion client: the request addresses and headers and the blocking libcurl transports.
#include "cloud/FileProcessService.h"

#include "cloud/FileProcessServiceInternal.h"
#include "core/BuildConfig.h"
#include "core/Log.h"
#include "webapi/BlockingHttp.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QUrl>

namespace user_pay {

using detail::failure;
using detail::ok;

namespace {

const char kVersionHeader[] = "1.0.0.0";
// A conversion server answers with a few hundred bytes; a larger answer is not one of its.
const int kMaxAnswerBytes = 4 * 1024 * 1024;

} // namespace

// ---- addresses and headers ----

QString FileProcessService::buildRequestUrl(const QString &path) const
{
    const QString trimmed = path.trimmed();
    if (trimmed.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
        trimmed.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return trimmed;
    const QString base = QStringLiteral("https://") + platform::config::cloudHost().trimmed();
    if (trimmed.isEmpty())
        return base;
    return trimmed.startsWith(QLatin1Char('/')) ? base + trimmed : base + QLatin1Char('/') + trimmed;
}

QString FileProcessService::resolveDomainHeader(const QString &url) const
{
    const QUrl parsed(url, QUrl::TolerantMode);
    if (parsed.isValid() && !parsed.host().isEmpty()) {
        const int port = parsed.port();
        return port <= 0 ? parsed.host() : QStringLiteral("%1:%2").arg(parsed.host()).arg(port);
    }
    QString text = url.trimmed();
    if (text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        text = text.mid(8);
    else if (text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        text = text.mid(7);
    const int slash = text.indexOf(QLatin1Char('/'));
    return slash >= 0 ? text.left(slash) : text;
}

QList<QPair<QByteArray, QByteArray>> FileProcessService::commonHeaders(const QString &url) const
{
    return {{"X-Product", platform::config::webApiProductId().toUtf8()},
            {"X-Version", kVersionHeader},
            {"X-Credits", platform::config::webApiCredits().toUtf8()},
            {"X-Domain", resolveDomainHeader(url).toLocal8Bit()}};
}

// ---- transports ----

UserPayResult FileProcessService::postJson(const QString &url, const QJsonObject &body, int timeoutMs,
                                           QJsonObject *response) const
{
    if (!response)
        return failure(UserPayResult::InvalidInput, QStringLiteral("Output response object is null."));
    const QByteArray text = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return post("[FileService][POST JSON]", url, text, text, "Content-Type: application/json; charset=utf-8",
                timeoutMs, response);
}

UserPayResult FileProcessService::postBinary(const QString &url, const QByteArray &body, int timeoutMs,
                                             QJsonObject *response) const
{
    if (!response)
        return failure(UserPayResult::InvalidInput, QStringLiteral("Output response object is null."));
    return post("[FileService][POST BIN]", url, body, QByteArray(), "Content-Type: application/octet-stream",
                timeoutMs, response);
}

UserPayResult FileProcessService::post(const char *kind, const QString &url, const QByteArray &body,
                                       const QByteArray &logBody, const char *contentType, int timeoutMs,
                                       QJsonObject *response) const
{
    const bool binary = logBody.isNull();
    webapi::BlockingRequest request;
    for (const auto &header : commonHeaders(url))
        request.headers.push_back((header.first + ": " + header.second).toStdString());
    request.headers.push_back(contentType);
    // No "100 Continue" round trip before each slice: the server answers a POST in one go.
    request.headers.push_back("Expect:");

    // Built by concatenation: a URL's percent escapes must never be read as placeholders.
    const QString head = QLatin1String(kind);
    // The slice address carries the task's token, bodies and answers the user's token and account.
    // Each is cut to the log's bound before it is masked: an answer can be megabytes long.
    const QString logUrl = app::maskAddress(url);
    if (binary)
        TVX_LOG_INFO << head + QLatin1String(" url=") + logUrl + QLatin1String(" timeoutMs=") +
                            QString::number(timeoutMs) + QLatin1String(" bytes=") +
                            QString::number(body.size());
    else
        TVX_LOG_INFO << head + QLatin1String(" url=") + logUrl + QLatin1String(" timeoutMs=") +
                            QString::number(timeoutMs) + QLatin1String(" body=") + app::logExcerpt(logBody);

    QByteArray answer;
    request.url = url.toStdString();
    request.postData = body.constData();
    request.postLength = size_t(body.size());
    request.timeoutMs = timeoutMs;
    request.maxBodyBytes = kMaxAnswerBytes;
    request.sink = [&answer](const char *data, size_t size) {
        answer.append(data, int(size));
        return true;
    };
    const webapi::BlockingResult sent = webapi::blockingTransfer(request);

    if (sent.outcome == webapi::BlockingOutcome::TimedOut)
        return failure(UserPayResult::Failed, QStringLiteral("Request timeout: %1").arg(url));

    const QString answerText = app::logExcerpt(answer);
    if (!sent.ok()) {
        const QString errorText = QString::fromStdString(sent.error).trimmed();
        TVX_LOG_ERROR << head + QLatin1String(" network failed, url=") + logUrl + QLatin1String(" code=") +
                             QString::number(sent.curlCode) + QLatin1String(" error=") + errorText +
                             QLatin1String(" response=") + answerText;
        return failure(UserPayResult::Failed, QStringLiteral("Network error: %1").arg(errorText));
    }
    TVX_LOG_INFO << head + QLatin1String(" response, url=") + logUrl + QLatin1String(" body=") + answerText;

    return decodeAnswer(answer, response);
}

UserPayResult FileProcessService::decodeAnswer(const QByteArray &body, QJsonObject *response)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return failure(UserPayResult::Failed,
                       QStringLiteral("Invalid JSON response: %1").arg(parseError.errorString()));
    *response = document.object();
    return ok();
}

UserPayResult FileProcessService::parseCommonResponse(const QJsonObject &response, const QString &operation,
                                                      QJsonObject *data) const
{
    const int code = response.value(QStringLiteral("code")).toInt(0);
    if (code == webapi::servicecode::Success) {
        if (data)
            *data = response;
        return ok();
    }
    return failure(UserPayResult::Failed,
                   QStringLiteral("%1 failed: %2")
                       .arg(operation, response.value(QStringLiteral("message")).toVariant().toString()),
                   code);
}

UserPayResult FileProcessService::sendSigned(const QString &path, const QJsonObject &body,
                                             const QString &clientIp, const QString &platTag,
                                             qint64 timestamp, int timeoutMs, QJsonObject *response) const
{
    UserPayResult signedResult;
    const QJsonObject payload = buildSignedPayload(body, clientIp, platTag, timestamp, &signedResult);
    if (signedResult.code != UserPayResult::Ok)
        return signedResult;
    return postJson(buildRequestUrl(path), payload, timeoutMs, response);
}

QString buildUploadChunkUrl(const QString &uploadUrl, const FileProcessService::UploadPointContext &context,
                            int chunkIndex)
{
    // Every value percent-encoded but the unreserved characters: a token's "+" or "&" reaches
    // the server as itself.
    const QPair<const char *, QString> items[] = {{"tasktag", context.taskTag},
                                                  {"timestamp", QString::number(context.timestamp)},
                                                  {"tasktoken", context.taskToken},
                                                  {"fileindex", QStringLiteral("0")},
                                                  {"chunk", QString::number(chunkIndex)}};
    QByteArray query;
    for (const auto &item : items) {
        if (!query.isEmpty())
            query += '&';
        query += QByteArray(item.first) + '=' + QUrl::toPercentEncoding(item.second);
    }
    return uploadUrl + QLatin1Char('?') + QString::fromLatin1(query);
}

} // namespace user_pay
