// Usage events for the statistics host: the device description and one call per event.
#include "webapi/WebInterface.h"

#include "webapi/CallTypes.h"
#include "webapi/DebugOutput.h"
#include "webapi/Md5.h"
#include "webapi/QxUrlList.h"
#include "webapi/RequestText.h"

#include <array>

namespace calltype = webapi::calltype;

namespace {
constexpr size_t kHeaderLineLimit = 255;
} // namespace

void WebInterface::V1APPHttpHead(std::string deviceos, std::string osversion, std::string screenheight,
                                 std::string screenwidth, std::string installfilename)
{
    deviceOs = std::move(deviceos);
    osVersion = std::move(osversion);
    screenHeight = std::move(screenheight);
    screenWidth = std::move(screenwidth);
    installFilename = std::move(installfilename);
}

std::string WebInterface::V1APPGetServerTime(int)
{
    return std::string();
}

void WebInterface::statisticsEvent(int callType, const char *path, const Fields &segments, int objectID)
{
    const std::string timeText = V1APPGetServerTime(0);
    curlhttp *channel = channelFor(callType, objectID, Binding::Statistics);
    if (!channel->tryClaim())
        return; // the previous event of this type is still on its way
    auto refuse = [&](const std::string &why) {
        channel->release();
        webapi::debugOutput("[WEBINTERFACE][DEBUG] event refused: call type " + std::to_string(callType) +
                            ": " + why + "\n");
    };

    char digest[33] = {};
    const std::string signInput = std::string(curlhttp::kStatsSignPrefix) + timeText;
    webapi::md5Hex(signInput.data(), signInput.size(), digest);
    const std::string sign = std::string("sign:") + digest + timeText;
    // Device text ends up in header lines: a line break in it must not start a header of its own.
    auto line = [](const char *name, const std::string &value) {
        return name + webapi::withoutLineBreaks(value);
    };
    const std::array<std::string, 10> headers = {
        line("distinct_id:", deviceId),       line("os:", deviceOs),
        line("os_version:", osVersion),       line("device_id:", deviceId),
        line("screen_height:", screenHeight), line("screen_width:", screenWidth),
        line("mac_address:", deviceId),       line("install_filename:", installFilename),
        line("software_name:", softName),     line("software_version:", softVersion)};
    for (const std::string &h : headers) {
        if (h.size() > kHeaderLineLimit)
            return refuse("a header line is longer than 255 characters");
    }

    std::string url = getEditionURL("https://" + statshostTable().primary() + path);
    for (const auto &segment : segments)
        url += segment.first + webapi::percentEncoded(segment.second);
    if (url.size() >= size_t(kBufferSize))
        return refuse("the URL is longer than 1023 characters");

    channel->setObjectID(objectID);
    channel->setServerTimeUrl(getEditionURL("https://" + statshostTable().primary() + "/ver1/getUnixTime"));
    channel->get(url.c_str(), sign.c_str(), headers[0].c_str(), headers[1].c_str(), headers[2].c_str(),
                 headers[3].c_str(), headers[4].c_str(), headers[5].c_str(), headers[6].c_str(),
                 headers[7].c_str(), headers[8].c_str(), headers[9].c_str(), true);
}

void WebInterface::V1APPInstall(int objectID)
{
    statisticsEvent(calltype::V1APPInstall, "/ver1/AppInstall", {}, objectID);
}

void WebInterface::V1APPStart(int objectID)
{
    statisticsEvent(calltype::V1APPStart, "/ver1/AppStart/isLogin/0", {}, objectID);
}

void WebInterface::V1APPLogin(std::string loginMethod, std::string isSuccess, std::string failReason,
                              int objectID)
{
    statisticsEvent(
        calltype::V1APPLogin, "/ver1/AppLogin",
        {{"/loginMethod/", loginMethod}, {"/isSuccess/", isSuccess}, {"/failReason/", failReason}}, objectID);
}

void WebInterface::V1APPOpenFile(std::string isLogin, int objectID)
{
    statisticsEvent(calltype::V1APPOpenFile, "/ver1/AppOpenFile", {{"/isLogin/", isLogin}}, objectID);
}

void WebInterface::V1APPFileConvert(std::string ConverterType, std::string FileCount, std::string isLogin,
                                    int objectID)
{
    statisticsEvent(calltype::V1APPFileConvert, "/ver1/AppConverterFile",
                    {{"/ConverterType/", ConverterType}, {"/FileCount/", FileCount}, {"/isLogin/", isLogin}},
                    objectID);
}

void WebInterface::V1APPScanFile(std::string ScanType, std::string FileCount, std::string isLogin,
                                 int objectID)
{
    statisticsEvent(calltype::V1APPScanFile, "/ver1/AppScanFile",
                    {{"/ScanType/", ScanType}, {"/FileCount/", FileCount}, {"/isLogin/", isLogin}}, objectID);
}

void WebInterface::V1APPRecoverFile(std::string RecoveryType, std::string FileCount, std::string isLogin,
                                    int objectID)
{
    statisticsEvent(calltype::V1APPRecoverFile, "/ver1/AppRecoveryFile",
                    {{"/RecoveryType/", RecoveryType}, {"/FileCount/", FileCount}, {"/isLogin/", isLogin}},
                    objectID);
}
