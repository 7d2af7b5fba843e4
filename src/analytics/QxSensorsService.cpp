// Analytics service over the analytics library's plain-function interface.
#include "analytics/QxSensorsService.h"

#include "analytics/telvane/Telvane.h"
#include "core/AppPaths.h"
#include "core/BuildConfig.h"
#include "core/Log.h"

#include "tvx_build_config.h"

#include <QSettings>
#include <QTextCodec>

#include <string>

namespace {

std::string toStdString(const QString &text)
{
    return text.toUtf8().toStdString();
}

// The library never receives a null string: an empty text becomes this thread's zero byte.
char *mutableCString(std::string &text)
{
    thread_local char kEmptyBuffer[1] = {0};
    if (text.empty()) {
        kEmptyBuffer[0] = 0;
        return kEmptyBuffer;
    }
    return &text[0];
}

QString GetAppStoreName()
{
    QString store;
    {
        QSettings settings(app::applicationDirFilePath(QStringLiteral("set.ini")), QSettings::IniFormat);
        if (QTextCodec *gbk = QTextCodec::codecForName("GBK"))
            settings.setIniCodec(gbk);
        store = settings.value(QStringLiteral("Install") + QLatin1Char('/') + QStringLiteral("APPStore"))
                    .toString();
    }
    return store.isEmpty() ? QStringLiteral("Default Store") : store;
}

void logExceptionIfNeeded(const QxExceptionInfo &info, const char *operation)
{
    if (info.code == 0)
        return;
    QString message;
    if (info.message && info.messageLength > 0) {
        const QByteArray copy(info.message, info.messageLength);
        message = QString::fromUtf8(copy.constData()); // up to the first zero byte
    }
    TVX_LOG_ERROR << "[QxSensors] " << operation << " failed, code=" << static_cast<qint64>(info.code)
                  << ", message=" << message;
}

} // namespace

QxSensorsService *QxSensorsService::instance()
{
    static QxSensorsService service;
    return &service;
}

void QxSensorsService::initialize()
{
    if (initialized)
        return;
    TVX_LOG_INFO << "[QxSensors] start initialized.";

    std::string applicationName = toStdString(QStringLiteral("Tavrixo"));
    std::string productNumber = toStdString(platform::config::analyticsProductNumber());
    std::string version = toStdString(QStringLiteral(TVX_VERSION));
    std::string applicationKey = toStdString(platform::config::analyticsAppKey());
    std::string storeName = toStdString(GetAppStoreName());
    std::string language = toStdString(QStringLiteral("zh-cn"));

    DCreateInstance(mutableCString(applicationName), mutableCString(productNumber), mutableCString(version),
                    mutableCString(applicationKey), mutableCString(storeName), 0, mutableCString(language),
                    nullptr, 0, nullptr, nullptr);
    if (DGetInstance(nullptr)) {
        initialized = true;
        return;
    }
    TVX_LOG_ERROR << "[QxSensors] tracker instance is null.";
}

void QxSensorsService::trackLaunchEvent()
{
    if (!initialized) {
        TVX_LOG_WARN << "[QxSensors] Sensors service not initialized.";
        return;
    }
    QxExceptionInfo getInfo{0, nullptr, 0};
    void *handle = DGetInstance(&getInfo);
    logExceptionIfNeeded(getInfo, "get instance for launch");
    if (!handle) {
        TVX_LOG_ERROR << "[QxSensors] track launch skipped: tracker instance is null.";
        return;
    }
    TVX_LOG_INFO << "[QxSensors][Track]Event=Launch";
    QxExceptionInfo info{0, nullptr, 0};
    DTrackLaunch(handle, &info);
    logExceptionIfNeeded(info, "track launch");
}

bool QxSensorsService::trackActivityEvent()
{
    if (!initialized) {
        TVX_LOG_WARN << "[QxSensors] Sensors service not initialized.";
        return false;
    }
    QxExceptionInfo getInfo{0, nullptr, 0};
    void *handle = DGetInstance(&getInfo);
    logExceptionIfNeeded(getInfo, "get instance for activity");
    if (!handle || getInfo.code != 0) {
        TVX_LOG_ERROR << "[QxSensors] track activity skipped: tracker instance is null.";
        return false;
    }
    TVX_LOG_INFO << "[QxSensors][Track]Event=Activity";
    QxExceptionInfo info{0, nullptr, 0};
    DTrackActivity(handle, &info);
    logExceptionIfNeeded(info, "track activity");
    return info.code == 0;
}

void QxSensorsService::trackClickEvent(const QString &first, const QString &second, const QString &third,
                                       int number)
{
    if (!initialized) {
        TVX_LOG_WARN << "[QxSensors] Sensors service not initialized.";
        return;
    }
    QxExceptionInfo getInfo{0, nullptr, 0};
    void *handle = DGetInstance(&getInfo);
    logExceptionIfNeeded(getInfo, "get instance for click");
    if (!handle) {
        TVX_LOG_ERROR << "[QxSensors] track click skipped: tracker instance is null.";
        return;
    }
    std::string firstText = toStdString(first);
    std::string secondText = toStdString(second);
    std::string thirdText = toStdString(third);
    TVX_LOG_INFO << "[QxSensors][Track]Event=Click:" << first << second << third;
    QxExceptionInfo info{0, nullptr, 0};
    DTrackClick(handle, mutableCString(firstText), number, mutableCString(secondText),
                mutableCString(thirdText), nullptr, &info);
    logExceptionIfNeeded(info, "track click");
}

void QxSensorsService::shutdown()
{
    if (!initialized)
        return;
    QxExceptionInfo info{0, nullptr, 0};
    DDestroyInstance(&info);
    logExceptionIfNeeded(info, "shutdown");
    initialized = false;
    TVX_LOG_INFO << "[QxSensors] shutdown.";
}
