// Line-wise progress reading: the cost per read is the size of the new output, not of the run.
#include "tools/common/FFmpegProgressParser.h"

#include <cstring>
#include <limits>

namespace tools {
namespace {

constexpr char kKey[] = "out_time_ms=";
constexpr int kKeyLength = sizeof(kKey) - 1;
// ffmpeg's progress lines are short; a longer unfinished line is noise and must not grow forever.
constexpr int kMaxPendingBytes = 64 * 1024;

} // namespace

bool FFmpegProgressParser::feed(const QByteArray &chunk)
{
    bool seen = false;
    const char *data = chunk.constData();
    const char *end = data + chunk.size();
    const char *lineStart = data;
    for (const char *p = data; p < end; ++p) {
        if (*p != '\n')
            continue;
        if (m_pending.isEmpty()) {
            seen = readLine(lineStart, p) || seen;
        } else {
            m_pending.append(lineStart, static_cast<int>(p - lineStart));
            seen = readLine(m_pending.constData(), m_pending.constData() + m_pending.size()) || seen;
            m_pending.clear();
        }
        lineStart = p + 1;
    }
    if (lineStart < end) {
        if (m_pending.size() + (end - lineStart) > kMaxPendingBytes)
            m_pending.clear();
        else
            m_pending.append(lineStart, static_cast<int>(end - lineStart));
    }
    return seen;
}

bool FFmpegProgressParser::finish()
{
    if (m_pending.isEmpty())
        return false;
    const bool seen = readLine(m_pending.constData(), m_pending.constData() + m_pending.size());
    m_pending.clear();
    return seen;
}

bool FFmpegProgressParser::readLine(const char *begin, const char *end)
{
    // The key may sit anywhere in the line; the value is the run of digits right after it.
    bool seen = false;
    const char *p = begin;
    while (end - p >= kKeyLength) {
        const void *hit = std::memchr(p, kKey[0], static_cast<size_t>(end - p - kKeyLength + 1));
        if (!hit)
            break;
        const char *key = static_cast<const char *>(hit);
        p = key + 1;
        if (std::memcmp(key, kKey, kKeyLength) != 0)
            continue;
        const char *digit = key + kKeyLength;
        if (digit >= end || *digit < '0' || *digit > '9')
            continue;
        qint64 value = 0;
        bool overflow = false;
        for (; digit < end && *digit >= '0' && *digit <= '9'; ++digit) {
            const int d = *digit - '0';
            if (value > (std::numeric_limits<qint64>::max() - d) / 10)
                overflow = true;
            else
                value = value * 10 + d;
        }
        p = digit;
        if (overflow)
            continue;
        m_lastOutTime = value;
        seen = true;
    }
    return seen;
}

double FFmpegProgressParser::progressFor(qint64 outTime, qint64 durationSeconds)
{
    double p = (static_cast<double>(outTime) / 1000.0) / (static_cast<double>(durationSeconds) * 1000.0);
    if (p > 0.99)
        p = 0.99;
    if (p < 0.15)
        p = 0.15;
    return p;
}

} // namespace tools
