// What the benchmarks that start whole programs share: CPU read from /proc, medians, the load
// the figures were taken under, and a configuration that points every web host at a closed port.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QString>

#include <unistd.h>

#include <algorithm>
#include <vector>

namespace tvxbench {

inline double clockTicks()
{
    return double(sysconf(_SC_CLK_TCK));
}

// User plus system CPU seconds of a /proc stat file (a process or one of its threads), or -1.
inline double statCpuSeconds(const QString &statPath)
{
    QFile file(statPath);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = file.readAll();
    // The command name may hold blanks; the fields that matter follow its closing parenthesis.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / clockTicks();
}

// CPU seconds the process (all its threads, living and ended) has used.
inline double cpuSeconds(qint64 pid)
{
    return statCpuSeconds(QStringLiteral("/proc/%1/stat").arg(pid));
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

inline QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// Every web host the program knows points at a closed loopback port, but for the account
// hosts (both candidates) when accountHost is given: without it the account steps of start-up
// fail at once, so the figures are about the player and not about a remote server.
inline QString writeLoopbackConfig(const QString &dir, const QString &name = QStringLiteral("tvx_config.ini"),
                                   const QByteArray &accountHost = QByteArray(),
                                   const QString &caFile = QString())
{
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    const QByteArray host = "127.0.0.1:1";
    QByteArray text = "[webapi]\n";
    for (const char *key : {"app_host", "app_host_backup", "stats_host", "stats_host_backup", "page_host",
                            "page_host_backup", "update_host", "test_server"}) {
        const bool account = QByteArray(key).startsWith("app_host") && !accountHost.isEmpty();
        text += QByteArray(key) + '=' + (account ? accountHost : host) + '\n';
    }
    if (!caFile.isEmpty())
        text += "ca_file=" + caFile.toUtf8() + '\n';
    text += "[cloud]\nhost=" + host + "\n";
    file.write(text);
    return path;
}

// The environment of a program started by a benchmark: a private home and XDG folders, the
// loopback configuration, and the scene graph's logs that tell its first frame and its passes.
inline QProcessEnvironment privateEnvironment(const QString &home, const QString &config)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TVX_CONFIG"), config);
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("qt.scenegraph.time.renderloop=true;qt.scenegraph.general=true"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp"));
    QDir().mkpath(home + QStringLiteral("/tmp"));
    return env;
}

} // namespace tvxbench
