// Incremental reader of ffmpeg's "-progress pipe:1" output: only whole lines are read, each once.
#pragma once

#include <QByteArray>

namespace tools {

class FFmpegProgressParser
{
public:
    // Reads the complete lines of chunk (the unfinished last line waits for the next chunk).
    // Returns true when one of them carried an "out_time_ms=<digits>" value.
    bool feed(const QByteArray &chunk);
    // Reads the unfinished last line, for when the output has ended.
    bool finish();

    // Last value seen (ffmpeg writes microseconds under this key), -1 before the first.
    qint64 lastOutTime() const { return m_lastOutTime; }

    // Share of the job done: (outTime / 1000) / (durationSeconds * 1000), clamped to 0.15..0.99.
    static double progressFor(qint64 outTime, qint64 durationSeconds);

private:
    bool readLine(const char *begin, const char *end);

    QByteArray m_pending;
    qint64 m_lastOutTime = -1;
};

} // namespace tools
