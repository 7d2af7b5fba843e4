// Host probing and the process-wide host tables.
#include "webapi/QxUrlList.h"

#include "core/BuildConfig.h"
#include "webapi/DebugOutput.h"
#include "webapi/curlhttp.h"

namespace {

void domainLine(const char *operation, const std::string &message, const std::string &host)
{
    webapi::debugOutput(std::string("[WEBINTERFACE][") + operation + "] " + message + host + "\n");
}

std::string lockedHost(QX_URL_LIST &t)
{
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.resolved;
}

void lockedSet(QX_URL_LIST &t, const std::string &host)
{
    std::lock_guard<std::mutex> lock(t.mutex);
    t.resolved = host;
}

QX_URL_LIST *makeTable(const char *key, const QString &primary, const QString &backup, const char *backupId)
{
    auto *t = new QX_URL_LIST;
    t->key = key;
    t->domainList = {{primary.toStdString(), ""}, {backup.toStdString(), backupId}};
    return t;
}

} // namespace

QX_URL_LIST &apphostTable()
{
    static QX_URL_LIST *t = makeTable("apphost", platform::config::webApiAppHost(),
                                      platform::config::webApiAppHostBackup(), "20-201");
    return *t;
}

QX_URL_LIST &statshostTable()
{
    static QX_URL_LIST *t = makeTable("statshost", platform::config::webApiStatsHost(),
                                      platform::config::webApiStatsHostBackup(), "");
    return *t;
}

QX_URL_LIST &pagehostTable()
{
    static QX_URL_LIST *t = makeTable("pagehost", platform::config::webApiPageHost(),
                                      platform::config::webApiPageHostBackup(), "20-201");
    return *t;
}

std::string getApphost()
{
    return lockedHost(apphostTable());
}
std::string getStatshost()
{
    return lockedHost(statshostTable());
}
std::string getPagehost()
{
    return lockedHost(pagehostTable());
}
void setApphost(const std::string &host)
{
    lockedSet(apphostTable(), host);
}
void setStatshost(const std::string &host)
{
    lockedSet(statshostTable(), host);
}
void setPagehost(const std::string &host)
{
    lockedSet(pagehostTable(), host);
}

namespace {
// The first candidate in order that passes the probe, or the empty string.
std::string firstPassing(QX_URL_LIST &t, const char *operation, const std::string &productId,
                         const std::string &version, const std::string &credits, const std::string &channel)
{
    for (const auto &candidate : t.domainList)
        domainLine(operation, std::string(operation) + " [Domian Switch Function Debug] check url is: ",
                   candidate.first);
    const int chosen = curlhttp::firstAvailableDomain(t.domainList, productId, version, credits, channel);
    if (chosen < 0)
        return std::string();
    const std::string &host = t.domainList[size_t(chosen)].first;
    domainLine(operation, "[Domian Switch Function Debug] Final Domain is: ", host);
    return host;
}
} // namespace

std::string QX_URL_LIST::getAvailableDomain(QX_URL_LIST &t, const std::string &productId,
                                            const std::string &version, const std::string &credits,
                                            const std::string &channel)
{
    const std::string host = firstPassing(t, "getAvailableDomain", productId, version, credits, channel);
    if (!host.empty())
        return host;
    domainLine("getAvailableDomain", "[Domian Switch Function Debug2] Final Domain is : ", t.primary());
    curlhttp::setDomainHeader(t.primary());
    return t.primary();
}

std::string QX_URL_LIST::checkDomainEnable(QX_URL_LIST &t, const std::string &productId,
                                           const std::string &version, const std::string &credits,
                                           const std::string &channel)
{
    return firstPassing(t, "checkDomainEnable", productId, version, credits, channel);
}

bool hlmGetWinSystemVersion(unsigned int &major, unsigned int &minor, unsigned int &build)
{
    major = 10;
    minor = 0;
    build = 0;
    return true;
}

bool hlmIsOverWin7()
{
    unsigned int major = 0, minor = 0, build = 0;
    if (!hlmGetWinSystemVersion(major, minor, build))
        return false;
    return major > 6 || (major == 6 && minor >= 1);
}

void QxlStringReplace(std::string &text, const std::string &what, const std::string &with)
{
    if (what.empty())
        return;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}
