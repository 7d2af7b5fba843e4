// Stand-in analytics library: keeps one tracker, journals every call as a JSON line and fails
// the exports named in TVX_ANALYTICS_FAIL.
//
// TVX_ANALYTICS_JOURNAL names the journal file (default: "analytics_journal.jsonl" in the
// application-data folder). TVX_ANALYTICS_FAIL is a comma-separated list of
// "Export[=code[:message]]"; a failing export reports the code (default 1) and message in its
// error record. The message "@null" leaves the record's message null, "@nolength" gives it a
// length of 0, and "\0" in a message stands for a zero byte. A failing DCreateInstance creates
// no tracker; a failing DGetInstance still returns the tracker.
//
// The journal is the stand-in's delivery: an event whose line could not be written fails with
// code 5 ("journal write failed"). When a line would take the journal past
// TVX_ANALYTICS_JOURNAL_MAX_BYTES (default 1 MiB), the journal first becomes "<journal>.1",
// replacing the previous one, so two files at most are kept.
#include "analytics/telvane/Telvane.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <mutex>
#include <string>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

struct Tracker
{
    QJsonObject identity;
};

std::mutex g_mutex;
Tracker *g_tracker = nullptr;
thread_local std::string t_message;

struct Failure
{
    bool active = false;
    qint64 code = 0;
    QByteArray message;
};

Failure failureFor(const char *exportName)
{
    Failure f;
    const QByteArray spec = qgetenv("TVX_ANALYTICS_FAIL");
    for (const QByteArray &rawItem : spec.split(',')) {
        const QByteArray item = rawItem.trimmed();
        const int eq = item.indexOf('=');
        if (item.left(eq < 0 ? item.size() : eq) != exportName)
            continue;
        f.active = true;
        f.code = 1;
        f.message = QByteArray("stand-in failure of ") + exportName;
        if (eq >= 0) {
            const QByteArray rest = item.mid(eq + 1);
            const int colon = rest.indexOf(':');
            bool ok = false;
            const qint64 code = rest.left(colon < 0 ? rest.size() : colon).toLongLong(&ok);
            if (ok && code != 0)
                f.code = code;
            if (colon >= 0) {
                f.message = rest.mid(colon + 1);
                f.message.replace("\\0", QByteArray(1, '\0'));
            }
        }
        break;
    }
    return f;
}

void report(QxExceptionInfo *info, const Failure &f)
{
    if (!info || !f.active)
        return;
    info->code = f.code;
    if (f.message == "@null") {
        info->message = nullptr;
        info->messageLength = 0;
        return;
    }
    t_message.assign(f.message.constData(), static_cast<size_t>(f.message.size()));
    info->message = t_message.c_str();
    info->messageLength = f.message == "@nolength" ? 0 : static_cast<int32_t>(t_message.size());
}

QJsonValue text(const char *s)
{
    return s ? QJsonValue(QString::fromUtf8(s)) : QJsonValue(QJsonValue::Null);
}

QString journalPath()
{
    const QString configured = qEnvironmentVariable("TVX_ANALYTICS_JOURNAL").trimmed();
    if (!configured.isEmpty())
        return configured;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("analytics_journal.jsonl"));
}

const qint64 kDefaultJournalMaxBytes = 1024 * 1024;

qint64 journalMaxBytes()
{
    bool ok = false;
    const qint64 configured = qEnvironmentVariable("TVX_ANALYTICS_JOURNAL_MAX_BYTES").toLongLong(&ok);
    return ok && configured > 0 ? configured : kDefaultJournalMaxBytes;
}

// One line per call, appended with a single write so concurrent writers never interleave.
// False when the line was not stored whole.
bool journal(const char *call, const Failure &f, QJsonObject fields)
{
    fields.insert(QStringLiteral("call"), QString::fromLatin1(call));
    fields.insert(QStringLiteral("ok"), !f.active);
    fields.insert(QStringLiteral("code"), f.active ? f.code : 0);
    fields.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    fields.insert(QStringLiteral("pid"), QCoreApplication::applicationPid());
    const QString path = journalPath();
    const QByteArray line = QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n';
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QFileInfo existing(path);
    if (existing.isFile() && existing.size() > 0 && existing.size() + line.size() > journalMaxBytes()) {
        const QString rotated = path + QStringLiteral(".1");
        QFile::remove(rotated);
        QFile::rename(path, rotated);
    }
    QFile file;
#ifndef Q_OS_WIN
    // Private to the user from its first byte; a FIFO in its place fails at once, not waits.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0 || !file.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                             QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
#else
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
#endif
    return file.write(line) == line.size();
}

int trackEvent(const char *call, void *handle, QxExceptionInfo *info, QJsonObject fields)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Failure f = failureFor(call);
    if (!f.active && (!handle || handle != g_tracker)) {
        f.active = true;
        f.code = 2;
        f.message = "unknown tracker handle";
    }
    fields.insert(QStringLiteral("handleValid"), handle && handle == g_tracker);
    if (!journal(call, f, fields) && !f.active) {
        f.active = true;
        f.code = 5;
        f.message = "journal write failed";
    }
    report(info, f);
    return f.active ? -1 : 0;
}

} // namespace

extern "C" {

int DCreateInstance(char *applicationName, char *productNumber, char *version, char *applicationKey,
                    char *storeName, int32_t reserved1, char *language, void *reserved2, int32_t reserved3,
                    void *reserved4, void *reserved5)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const Failure f = failureFor("DCreateInstance");
    QJsonObject identity{{QStringLiteral("applicationName"), text(applicationName)},
                         {QStringLiteral("productNumber"), text(productNumber)},
                         {QStringLiteral("version"), text(version)},
                         {QStringLiteral("applicationKey"), text(applicationKey)},
                         {QStringLiteral("storeName"), text(storeName)},
                         {QStringLiteral("language"), text(language)}};
    QJsonObject fields = identity;
    fields.insert(QStringLiteral("reservedZeroes"), reserved1 == 0 && reserved3 == 0);
    fields.insert(QStringLiteral("reservedNulls"), !reserved2 && !reserved4 && !reserved5);
    journal("DCreateInstance", f, fields);
    if (f.active)
        return -1;
    delete g_tracker;
    g_tracker = new Tracker{identity};
    return 0;
}

void *DGetInstance(QxExceptionInfo *info)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const Failure f = failureFor("DGetInstance");
    report(info, f);
    journal("DGetInstance", f,
            {{QStringLiteral("hasRecord"), info != nullptr},
             {QStringLiteral("hasTracker"), g_tracker != nullptr}});
    return g_tracker;
}

int DDestroyInstance(QxExceptionInfo *info)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const Failure f = failureFor("DDestroyInstance");
    report(info, f);
    journal("DDestroyInstance", f, {{QStringLiteral("hadTracker"), g_tracker != nullptr}});
    delete g_tracker;
    g_tracker = nullptr;
    return f.active ? -1 : 0;
}

int DTrackLaunch(void *handle, QxExceptionInfo *info)
{
    return trackEvent("DTrackLaunch", handle, info, {});
}

int DTrackActivity(void *handle, QxExceptionInfo *info)
{
    return trackEvent("DTrackActivity", handle, info, {});
}

int DTrackClick(void *handle, char *first, int32_t number, char *second, char *third, void *reserved,
                QxExceptionInfo *info)
{
    return trackEvent("DTrackClick", handle, info,
                      {{QStringLiteral("first"), text(first)},
                       {QStringLiteral("number"), number},
                       {QStringLiteral("second"), text(second)},
                       {QStringLiteral("third"), text(third)},
                       {QStringLiteral("reservedNull"), reserved == nullptr}});
}

} // extern "C"
