// Cloud conversion client: file slices, the service object with its device id and clock, and
// the request signature.
#include "cloud/FileProcessService.h"

#include "cloud/FileProcessServiceInternal.h"
#include "user_pay/UUIDProvider.h"
#include "webapi/WebInterface.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <new>

namespace user_pay {

using detail::failure;
using detail::ok;
using detail::setIfNotBlank;

namespace {

const QRegularExpression kDeviceIdRegex(QStringLiteral("^[a-z0-9]{32}$"));

const char kDeviceType[] = "pc";
const char kProductInfo[] =
    "5D2A9C7E1B4F8036A2C5E9D17B3F6A084C1E7D2B9A5F3C60E8B4D1A7C2F95E3B6D0A8C4E1F7B2D95";

QString machineUuid()
{
    return UUIDProvider::getUuid();
}
std::atomic<FileProcessService::UuidSource> g_uuidSource{&machineUuid};

QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
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
        *result = failure(UserPayResult::Failed, QStringLiteral("Invalid device id."));
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

} // namespace user_pay
