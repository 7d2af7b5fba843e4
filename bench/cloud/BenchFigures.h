// What the cloud benchmarks share: the median of runs and the process's peak memory.
#pragma once

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <vector>

namespace cloudbench {

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// Peak resident memory of this process in KiB.
inline long peakKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace cloudbench
