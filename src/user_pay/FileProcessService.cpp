// Cloud conversion client: signing, blocking libcurl transports, validation and the task
// operations built on them.
#include "user_pay/FileProcessService.h"

#include "core/BuildConfig.h"
#include "core/Log.h"
#include "user_pay/UUIDProvider.h"
#include "webapi/Md5.h"
#include "webapi/WebInterface.h"
#include "webapi/curlhttp.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFutureInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QRunnable>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>

#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <new>

namespace user_pay {

namespace {

const QRegularExpression kDeviceIdRegex(QStringLiteral("^[a-z0-9]{32}$"));

const char kDeviceType[] = "pc";
const char kProductInfo[] =
    "5D2A9C7E1B4F8036A2C5E9D17B3F6A084C1E7D2B9A5F3C60E8B4D1A7C2F95E3B6D0A8C4E1F7B2D95";
const char kVersionHeader[] = "1.0.0.0";
const int kSuccessCode = 10000;
// A conversion server answers with a few hundred bytes; a larger answer is not one of its.
const int kMaxAnswerBytes = 4 * 1024 * 1024;

const char kUploadPointPath[] = "/api/v4/uploadpointpar";
const char kUploadChunkPath[] = "/api/v4/uploadpointfile";
const char kUploadMergePath[] = "/api/v4/uploadpointmerge";
const char kTaskStatePath[] = "/api/v4/taskstate";
const char kTaskDownPath[] = "/api/v4/taskdown";
const char kDeleteTaskPath[] = "/api/v4/deltask";

QString machineUuid()
{
    return UUIDProvider::getUuid();
}
std::atomic<FileProcessService::UuidSource> g_uuidSource{&machineUuid};

UserPayResult ok()
{
    return UserPayResult{0, QString(), kSuccessCode};
}

UserPayResult failure(int code, const QString &message, int serviceCode = 0)
{
    return UserPayResult{code, message, serviceCode};
}

QString md5Hex(const QByteArray &bytes)
{
    md5_state_t state;
    md5_init(&state);
    // md5_append takes an int count; feed the text in pieces that always fit.
    const int piece = 1 << 30;
    for (qint64 at = 0; at < bytes.size(); at += piece) {
        const int count = int(std::min<qint64>(piece, bytes.size() - at));
        md5_append(&state, reinterpret_cast<const uint8_t *>(bytes.constData() + at), count);
    }
    uint8_t digest[16];
    md5_finish(&state, digest);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), 16).toHex());
}

void setIfNotBlank(QJsonObject *object, const char *key, const QString &value)
{
    const QString trimmed = value.trimmed();
    if (!trimmed.isEmpty())
        object->insert(QLatin1String(key), trimmed);
}

bool isCancelled(const CreateConvertTaskRequest &request)
{
    return request.cancelFlag && request.cancelFlag->load();
}

UserPayResult cancelled()
{
    return failure(4, QStringLiteral("Create convert task cancelled."));
}

size_t collectAnswer(char *data, size_t size, size_t count, void *target)
{
    const size_t total = size * count;
    auto *answer = static_cast<QByteArray *>(target);
    if (qint64(answer->size()) + qint64(total) > kMaxAnswerBytes)
        return 0; // aborts the transfer: reported as a network failure, never half an answer
    answer->append(data, int(total));
    return total;
}

// Starts fn on Qt's global thread pool and hands back its future.
template <typename T> QFuture<T> startOnPool(std::function<T()> fn)
{
    class Job : public QRunnable
    {
    public:
        explicit Job(std::function<T()> f) : m_fn(std::move(f)) { m_interface.reportStarted(); }
        QFuture<T> future() { return m_interface.future(); }
        void run() override
        {
            const T value = m_fn();
            m_interface.reportResult(value);
            m_interface.reportFinished();
        }

    private:
        std::function<T()> m_fn;
        QFutureInterface<T> m_interface;
    };
    auto *job = new Job(std::move(fn));
    QFuture<T> future = job->future();
    QThreadPool::globalInstance()->start(job);
    return future;
}

} // namespace

// ---- slices ----

FileSliceReader::FileSliceReader(const QString &path, qint64 fileSize, qint64 sliceSizeBytes)
    : m_file(path), m_fileSize(fileSize), m_sliceSize(sliceSizeBytes)
{
}

bool FileSliceReader::open()
{
    // Unbuffered: a slice goes straight from the file into its buffer, without a stale copy of
    // bytes read ahead for an earlier slice.
    return m_sliceSize > 0 && m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 FileSliceReader::sliceCountFor(qint64 fileSize, qint64 sliceSizeBytes)
{
    if (fileSize <= 0 || sliceSizeBytes <= 0)
        return 0;
    return fileSize / sliceSizeBytes + (fileSize % sliceSizeBytes ? 1 : 0);
}

bool FileSliceReader::read(qint64 index, QByteArray *bytes)
{
    bytes->clear();
    if (index < 0 || index >= sliceCountFor(m_fileSize, m_sliceSize) || !m_file.isOpen())
        return false;
    const qint64 offset = index * m_sliceSize;
    const qint64 length = std::min(m_sliceSize, m_fileSize - offset);
    if (!m_file.seek(offset))
        return false;
    try {
        bytes->resize(int(length));
    } catch (const std::bad_alloc &) {
        bytes->clear();
        return false;
    }
    qint64 filled = 0;
    while (filled < length) {
        const qint64 got = m_file.read(bytes->data() + filled, length - filled);
        if (got <= 0)
            break;
        filled += got;
    }
    // A file that shrank since it was measured would send a short slice in the middle of the
    // upload and the server would merge a corrupted file: such a slice is not read at all.
    if (filled < length) {
        bytes->clear();
        return false;
    }
    return true;
}

// ---- service object ----

FileProcessService &FileProcessService::instance()
{
    static FileProcessService service;
    return service;
}

void FileProcessService::initialize()
{
    m_initialized.store(true);
}

bool FileProcessService::isInitialized() const
{
    return m_initialized.load();
}

void FileProcessService::setTimestampProvider(std::function<qint64()> provider)
{
    QMutexLocker lock(&m_providerMutex);
    m_timestampProvider = std::move(provider);
}

void FileProcessService::setUuidSourceForTesting(UuidSource source)
{
    g_uuidSource.store(source ? source : &machineUuid);
}

QString FileProcessService::resolveDeviceId() const
{
    // Two creations may meet here on their first use: the id is made once, under the lock.
    QMutexLocker lock(&m_deviceIdMutex);
    if (!m_deviceId.isEmpty())
        return m_deviceId;
    const QString uuid = g_uuidSource.load()().trimmed().toLower();
    if (kDeviceIdRegex.match(uuid).hasMatch()) {
        m_deviceId = uuid;
    } else {
        const QString seed = uuid.isEmpty() ? QUuid::createUuid().toString() : uuid;
        m_deviceId = md5Hex(seed.toUtf8());
    }
    return m_deviceId;
}

qint64 FileProcessService::resolveTimestampSec() const
{
    std::function<qint64()> provider;
    {
        QMutexLocker lock(&m_providerMutex);
        provider = m_timestampProvider;
    }
    return provider ? provider() : QDateTime::currentSecsSinceEpoch();
}

// ---- signature ----

QString FileProcessService::jsonValueToSignString(const QJsonValue &value) const
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 15);
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return QString();
}

QString FileProcessService::normalizeValueForSign(const QString &text)
{
    return text.trimmed();
}

bool FileProcessService::shouldSkipSignKey(const QString &key)
{
    return key.compare(QLatin1String("datasign"), Qt::CaseInsensitive) == 0;
}

QString FileProcessService::signString(const QJsonObject &object) const
{
    QStringList keys = object.keys();
    std::sort(keys.begin(), keys.end()); // QString's order is that of UTF-16 code units
    QStringList pairs;
    for (const QString &key : qAsConst(keys)) {
        if (shouldSkipSignKey(key))
            continue;
        const QString value = normalizeValueForSign(jsonValueToSignString(object.value(key)));
        if (!value.isEmpty())
            pairs << QStringLiteral("%1=%2").arg(key, value);
    }
    return pairs.join(QLatin1Char('&')) + QLatin1String(WebInterface::kSalt);
}

QString FileProcessService::generateDataSign(const QJsonObject &object) const
{
    return md5Hex(signString(object).toUtf8());
}

QJsonObject FileProcessService::buildSignedPayload(const QJsonObject &body, const QString &clientIp,
                                                   const QString &platTag, qint64 timestamp,
                                                   UserPayResult *result) const
{
    if (!result)
        return QJsonObject();
    const QString deviceId = resolveDeviceId();
    if (!kDeviceIdRegex.match(deviceId).hasMatch()) {
        *result = failure(4, QStringLiteral("Invalid device id."));
        return QJsonObject();
    }
    QJsonObject payload = body;
    payload.insert(QStringLiteral("deviceid"), deviceId);
    payload.insert(QStringLiteral("timestamp"), double(timestamp > 0 ? timestamp : resolveTimestampSec()));
    payload.insert(QStringLiteral("devicetype"), QLatin1String(kDeviceType));
    payload.insert(QStringLiteral("productinfo"), QLatin1String(kProductInfo));
    setIfNotBlank(&payload, "clientip", clientIp);
    setIfNotBlank(&payload, "plattag", platTag);
    payload.insert(QStringLiteral("datasign"), generateDataSign(payload));
    *result = ok();
    return payload;
}

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
        return failure(1, QStringLiteral("Output response object is null."));
    const QByteArray text = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return post("[FileService][POST JSON]", url, text, text, "Content-Type: application/json; charset=utf-8",
                timeoutMs, response);
}

UserPayResult FileProcessService::postBinary(const QString &url, const QByteArray &body, int timeoutMs,
                                             QJsonObject *response) const
{
    if (!response)
        return failure(1, QStringLiteral("Output response object is null."));
    return post("[FileService][POST BIN]", url, body, QByteArray(), "Content-Type: application/octet-stream",
                timeoutMs, response);
}

UserPayResult FileProcessService::post(const char *kind, const QString &url, const QByteArray &body,
                                       const QByteArray &logBody, const char *contentType, int timeoutMs,
                                       QJsonObject *response) const
{
    const bool binary = logBody.isNull();
    webapiGlobalInit();
    CURL *easy = curl_easy_init();
    if (!easy)
        return failure(4, QStringLiteral("Failed to create network reply."));

    curl_slist *headers = nullptr;
    auto addHeader = [&headers](const QByteArray &line) {
        if (curl_slist *grown = curl_slist_append(headers, line.constData()))
            headers = grown;
    };
    for (const auto &header : commonHeaders(url))
        addHeader(header.first + ": " + header.second);
    addHeader(contentType);
    // No "100 Continue" round trip before each slice: the server answers a POST in one go.
    addHeader("Expect:");

    // Built by concatenation: a URL's percent escapes must never be read as placeholders.
    const QString head = QLatin1String(kind);
    if (binary)
        TVX_LOG_INFO << head + QLatin1String(" url=") + url + QLatin1String(" timeoutMs=") +
                            QString::number(timeoutMs) + QLatin1String(" bytes=") +
                            QString::number(body.size());
    else
        TVX_LOG_INFO << head + QLatin1String(" url=") + url + QLatin1String(" timeoutMs=") +
                            QString::number(timeoutMs) + QLatin1String(" body=") + QString::fromUtf8(logBody);

    const QByteArray urlBytes = url.toUtf8();
    QByteArray answer;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const long limitMs = std::max(1, timeoutMs);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray caFile = platform::config::webApiCaFile().toLocal8Bit();
    if (!caFile.isEmpty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(easy, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collectAnswer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, limitMs);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, limitMs);

    const CURLcode code = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);

    if (code == CURLE_OPERATION_TIMEDOUT)
        return failure(4, QStringLiteral("Request timeout: %1").arg(url));

    QString errorText;
    long errorCode = 0;
    if (code != CURLE_OK) {
        errorText = QString::fromLocal8Bit(errorBuffer).trimmed();
        if (errorText.isEmpty())
            errorText = QString::fromLatin1(curl_easy_strerror(code));
        errorCode = long(code);
    } else if (status >= 400) {
        errorText = QStringLiteral("server replied with HTTP status %1").arg(status);
        errorCode = status;
    }
    const QString answerText = QString::fromUtf8(answer);
    if (!errorText.isEmpty()) {
        TVX_LOG_ERROR << head + QLatin1String(" network failed, url=") + url + QLatin1String(" code=") +
                             QString::number(errorCode) + QLatin1String(" error=") + errorText +
                             QLatin1String(" response=") + answerText;
        return failure(4, QStringLiteral("Network error: %1").arg(errorText));
    }
    TVX_LOG_INFO << head + QLatin1String(" response, url=") + url + QLatin1String(" body=") + answerText;

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(answer, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return failure(4, QStringLiteral("Invalid JSON response: %1").arg(parseError.errorString()));
    *response = document.object();
    return ok();
}

UserPayResult FileProcessService::parseCommonResponse(const QJsonObject &response, const QString &operation,
                                                      QJsonObject *data) const
{
    const int code = response.value(QStringLiteral("code")).toInt(0);
    if (code == kSuccessCode) {
        if (data)
            *data = response;
        return ok();
    }
    return failure(4,
                   QStringLiteral("%1 failed: %2")
                       .arg(operation, response.value(QStringLiteral("message")).toVariant().toString()),
                   code);
}

// ---- validation ----

namespace {
// Runs the checks in order; the first failing one decides.
UserPayResult firstFailure(bool initialized, std::initializer_list<QPair<bool, const char *>> checks,
                           QString *errorMessage)
{
    UserPayResult result = ok();
    if (!initialized) {
        result = failure(2, QStringLiteral("File process service is not initialized."));
    } else {
        for (const auto &check : checks) {
            if (check.first) {
                result = failure(1, QString::fromLatin1(check.second));
                break;
            }
        }
    }
    if (errorMessage && result.code != 0)
        *errorMessage = result.message;
    return result;
}

bool blank(const QString &text)
{
    return text.trimmed().isEmpty();
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
                         {r.downType != 1 && r.downType != 2, "downType must be 1 or 2."},
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

// ---- creation ----

UserPayResult FileProcessService::requestUploadPoint(const CreateConvertTaskRequest &request,
                                                     UploadPointContext *context) const
{
    if (!context)
        return failure(1, QStringLiteral("Output context is null."));
    const QFileInfo file(request.filePath);
    const qint64 size = file.size();
    const qint64 sliceBytes = qint64(request.sliceSizeK) * 1024;
    // Slices are read whole into memory and counted in an int: sizes beyond that are refused
    // before anything is sent.
    if (sliceBytes > INT_MAX)
        return failure(1, QStringLiteral("sliceSizeK is too large."));
    const qint64 sliceCount = FileSliceReader::sliceCountFor(size, sliceBytes);
    if (sliceCount > INT_MAX)
        return failure(1, QStringLiteral("File has too many slices for sliceSizeK."));

    QJsonObject body;
    body.insert(QStringLiteral("tasktype"), request.taskType.trimmed());
    body.insert(QStringLiteral("limitsize"), request.limitSizeK);
    body.insert(QStringLiteral("slicesize"), request.sliceSizeK);
    body.insert(QStringLiteral("fileinfo"),
                QJsonArray{QJsonObject{{QStringLiteral("filename"), file.fileName()},
                                       {QStringLiteral("filesize"), double(size)},
                                       {QStringLiteral("slicecount"), double(sliceCount)}}});
    body.insert(QStringLiteral("outext"), request.outExt.trimmed());
    if (!request.convertParams.isEmpty())
        body.insert(QStringLiteral("convertparm"), request.convertParams);
    setIfNotBlank(&body, "account", request.account);
    setIfNotBlank(&body, "usertoken", request.userToken);

    QJsonObject answer;
    const UserPayResult sent = sendSigned(QLatin1String(kUploadPointPath), body, request.clientIp,
                                          request.platTag, 0, request.requestTimeoutMs, &answer);
    if (sent.code != 0)
        return sent;
    const UserPayResult checked = parseCommonResponse(answer, QStringLiteral("uploadpointpar"), nullptr);
    if (checked.code != 0)
        return checked;

    context->taskTag = answer.value(QStringLiteral("tasktag")).toString().trimmed();
    context->taskToken = answer.value(QStringLiteral("tasktoken")).toString().trimmed();
    const QJsonValue stamp = answer.value(QStringLiteral("timestamp"));
    if (stamp.isDouble()) {
        context->timestamp = qint64(stamp.toDouble());
    } else {
        bool converted = false;
        const qint64 value = stamp.toString().trimmed().toLongLong(&converted);
        context->timestamp = converted ? value : 0;
    }
    context->fileName = file.fileName();
    context->fileSize = size;
    context->sliceCount = int(sliceCount);
    context->sliceSizeBytes = int(sliceBytes);
    context->clientIp = request.clientIp;
    context->platTag = request.platTag;
    if (context->taskTag.isEmpty() || context->taskToken.isEmpty() || context->timestamp <= 0)
        return failure(4, QStringLiteral("uploadpointpar response missing tasktag/tasktoken/timestamp."));
    return ok();
}

UserPayResult FileProcessService::uploadFileChunks(const CreateConvertTaskRequest &request,
                                                   const UploadPointContext &context, int *uploaded) const
{
    if (!uploaded)
        return failure(1, QStringLiteral("Output chunk counter is null."));
    *uploaded = 0;
    FileSliceReader reader(request.filePath, context.fileSize, context.sliceSizeBytes);
    if (!reader.open())
        return failure(4, QStringLiteral("Failed to open file for upload: %1").arg(request.filePath));
    QByteArray slice;
    for (int i = 0; i < context.sliceCount; ++i) {
        if (isCancelled(request))
            return cancelled();
        if (!reader.read(i, &slice))
            return failure(4, QStringLiteral("Failed to read chunk %1 from file.").arg(i));
        UserPayResult attempt;
        for (int tries = 0; tries <= request.chunkRetryCount; ++tries) {
            attempt = uploadSingleChunk(context, i, slice, request.requestTimeoutMs);
            if (attempt.code == 0)
                break;
        }
        if (attempt.code != 0)
            return failure(
                4, QStringLiteral("Chunk upload failed. index=%1, reason=%2").arg(i).arg(attempt.message),
                attempt.serviceCode);
        ++*uploaded;
    }
    return ok();
}

UserPayResult FileProcessService::uploadSingleChunk(const UploadPointContext &context, int chunkIndex,
                                                    const QByteArray &bytes, int timeoutMs) const
{
    QJsonObject answer;
    const QString url =
        buildUploadChunkUrl(buildRequestUrl(QLatin1String(kUploadChunkPath)), context, chunkIndex);
    const UserPayResult sent = postBinary(url, bytes, timeoutMs, &answer);
    if (sent.code != 0)
        return sent;
    return parseCommonResponse(answer, QStringLiteral("uploadpointfile"), nullptr);
}

UserPayResult FileProcessService::requestUploadMerge(const UploadPointContext &context, int timeoutMs) const
{
    const QJsonObject body{{QStringLiteral("tasktag"), context.taskTag},
                           {QStringLiteral("tasktoken"), context.taskToken}};
    QJsonObject answer;
    // The merge carries the server's own time stamp from the upload point, not the local clock.
    const UserPayResult sent = sendSigned(QLatin1String(kUploadMergePath), body, context.clientIp,
                                          context.platTag, context.timestamp, timeoutMs, &answer);
    if (sent.code != 0)
        return sent;
    return parseCommonResponse(answer, QStringLiteral("uploadpointmerge"), nullptr);
}

CreateConvertTaskResult FileProcessService::createConvertTask(const CreateConvertTaskRequest &request) const
{
    CreateConvertTaskResult result;
    auto fail = [&result](const UserPayResult &step) {
        result.serviceCode = step.serviceCode;
        result.message = step.message;
        return result;
    };
    const UserPayResult valid = validateCreateRequest(request, nullptr);
    if (valid.code != 0)
        return fail(valid);

    UploadPointContext context;
    const UserPayResult point = requestUploadPoint(request, &context);
    if (point.code != 0)
        return fail(point);
    result.taskTag = context.taskTag;
    result.taskToken = context.taskToken;
    result.timestamp = context.timestamp;
    result.totalChunkCount = context.sliceCount;

    int uploaded = 0;
    const UserPayResult slices = uploadFileChunks(request, context, &uploaded);
    result.uploadedChunkCount = uploaded;
    if (slices.code != 0)
        return fail(slices);

    if (isCancelled(request))
        return fail(cancelled());
    const UserPayResult merged = requestUploadMerge(context, request.requestTimeoutMs);
    if (merged.code != 0)
        return fail(merged);

    result.success = true;
    result.serviceCode = kSuccessCode;
    result.message = QStringLiteral("Create convert task success.");
    return result;
}

QFuture<CreateConvertTaskResult>
FileProcessService::createConvertTaskAsync(const CreateConvertTaskRequest &request)
{
    const CreateConvertTaskRequest copy = request;
    return startOnPool<CreateConvertTaskResult>([this, copy] { return createConvertTask(copy); });
}

// ---- queries ----

UserPayResult FileProcessService::sendSigned(const QString &path, const QJsonObject &body,
                                             const QString &clientIp, const QString &platTag,
                                             qint64 timestamp, int timeoutMs, QJsonObject *response) const
{
    UserPayResult signedResult;
    const QJsonObject payload = buildSignedPayload(body, clientIp, platTag, timestamp, &signedResult);
    if (signedResult.code != 0)
        return signedResult;
    return postJson(buildRequestUrl(path), payload, timeoutMs, response);
}

QueryTaskStateResult FileProcessService::queryTaskState(const QueryTaskStateRequest &request) const
{
    QueryTaskStateResult result;
    const UserPayResult valid = validateQueryTaskStateRequest(request, nullptr);
    if (valid.code != 0) {
        result.code = valid.serviceCode;
        result.message = valid.message;
        return result;
    }
    QJsonObject body{{QStringLiteral("tasktag"), request.taskTag.trimmed()}};
    setIfNotBlank(&body, "account", request.account);
    setIfNotBlank(&body, "usertoken", request.userToken);
    if (request.ifShowTxt != 0)
        body.insert(QStringLiteral("ifshowtxt"), request.ifShowTxt);
    if (request.isSchedule != 0)
        body.insert(QStringLiteral("isschedule"), request.isSchedule);
    QJsonObject answer;
    const UserPayResult sent = sendSigned(QLatin1String(kTaskStatePath), body, request.clientIp,
                                          request.platTag, 0, request.requestTimeoutMs, &answer);
    if (sent.code != 0) {
        result.code = sent.serviceCode;
        result.message = sent.message;
        return result;
    }
    result.code = answer.value(QStringLiteral("code")).toInt(0);
    result.message = answer.value(QStringLiteral("message")).toVariant().toString();
    result.response = answer;
    switch (result.code) {
    case kSuccessCode:
        result.finished = true;
        break;
    case 20000:
        result.shouldPoll = true;
        break;
    case 18000:
    case 19000:
        break;
    default:
        if (blank(result.message))
            result.message = QStringLiteral("taskstate returned unknown code.");
    }
    return result;
}

QueryTaskDownResult FileProcessService::queryTaskDown(const QueryTaskDownRequest &request) const
{
    QueryTaskDownResult result;
    const UserPayResult valid = validateQueryTaskDownRequest(request, nullptr);
    if (valid.code != 0) {
        result.code = valid.serviceCode;
        result.message = valid.message;
        return result;
    }
    QJsonObject body{{QStringLiteral("tasktag"), request.taskTag.trimmed()}};
    setIfNotBlank(&body, "account", request.account);
    setIfNotBlank(&body, "usertoken", request.userToken);
    if (request.downType != 2)
        body.insert(QStringLiteral("downtype"), request.downType);
    if (request.multiUrl != 0)
        body.insert(QStringLiteral("multiurl"), request.multiUrl);
    setIfNotBlank(&body, "bandname", request.bandName);
    QJsonObject answer;
    const UserPayResult sent = sendSigned(QLatin1String(kTaskDownPath), body, request.clientIp,
                                          request.platTag, 0, request.requestTimeoutMs, &answer);
    if (sent.code != 0) {
        result.code = sent.serviceCode;
        result.message = sent.message;
        return result;
    }
    result.code = answer.value(QStringLiteral("code")).toInt(0);
    result.message = answer.value(QStringLiteral("message")).toVariant().toString();
    result.response = answer;
    if (result.code == kSuccessCode) {
        result.downUrl = answer.value(QStringLiteral("downurl")).toString().trimmed();
        result.success = !result.downUrl.isEmpty();
        if (!result.success)
            result.message = QStringLiteral("taskdown success response missing downurl.");
    } else if (blank(result.message)) {
        result.message = QStringLiteral("taskdown failed.");
    }
    return result;
}

DeleteTaskResult FileProcessService::deleteTask(const DeleteTaskRequest &request) const
{
    DeleteTaskResult result;
    const UserPayResult valid = validateDeleteTaskRequest(request, nullptr);
    if (valid.code != 0) {
        result.code = valid.serviceCode;
        result.message = valid.message;
        return result;
    }
    const QJsonObject body{{QStringLiteral("account"), request.account.trimmed()},
                           {QStringLiteral("usertoken"), request.userToken.trimmed()},
                           {QStringLiteral("tasktag"), request.taskTag.trimmed()}};
    QJsonObject answer;
    const UserPayResult sent = sendSigned(QLatin1String(kDeleteTaskPath), body, request.clientIp,
                                          request.platTag, 0, request.requestTimeoutMs, &answer);
    if (sent.code != 0) {
        result.code = sent.serviceCode;
        result.message = sent.message;
        return result;
    }
    result.code = answer.value(QStringLiteral("code")).toInt(0);
    result.message = answer.value(QStringLiteral("message")).toVariant().toString();
    result.response = answer;
    result.success = result.code == kSuccessCode;
    if (!result.success && blank(result.message))
        result.message = QStringLiteral("deltask failed.");
    return result;
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
