// Host tables of the web client: the candidate hosts of each service, probed once per process.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct QX_URL_LIST
{
    std::string key;
    // (host, expected "x-machineid:" value), in probing order; the first is the primary host.
    std::vector<std::pair<std::string, std::string>> domainList;
    std::string resolved; // empty until the first request that needs it has probed
    std::mutex mutex;     // one thread probes, the others wait for its choice

    const std::string &primary() const { return domainList.front().first; }

    static std::string getAvailableDomain(QX_URL_LIST &table, const std::string &productId,
                                          const std::string &version, const std::string &credits,
                                          const std::string &channel);
    static std::string checkDomainEnable(QX_URL_LIST &table, const std::string &productId,
                                         const std::string &version, const std::string &credits,
                                         const std::string &channel);
};

// The three tables, built from the build configuration on first use.
QX_URL_LIST &apphostTable();
QX_URL_LIST &statshostTable();
QX_URL_LIST &pagehostTable();

std::string getApphost();
std::string getStatshost();
std::string getPagehost();
void setApphost(const std::string &host);
void setStatshost(const std::string &host);
void setPagehost(const std::string &host);

// This platform reports version 10.0 (there is no older-system path to take).
bool hlmGetWinSystemVersion(unsigned int &major, unsigned int &minor, unsigned int &build);
bool hlmIsOverWin7();

// Replaces every occurrence of what (non-empty) in text; inserted text is not scanned again.
void QxlStringReplace(std::string &text, const std::string &what, const std::string &with);
