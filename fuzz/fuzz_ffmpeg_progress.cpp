// ffmpeg's "-progress" output and its log lines, in chunks cut where the input says.
#include "FuzzSupport.h"
#include "ffmpeg/FFmpegLogParser.h"
#include "tools/common/FFmpegProgressParser.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks where the output is cut into two reads.
    const QByteArray input = tvxfuzz::bytes(data + 1, size - 1);
    const int cut = input.isEmpty() ? 0 : data[0] % (input.size() + 1);
    tools::FFmpegProgressParser parser;
    parser.feed(input.left(cut));
    parser.feed(input.mid(cut));
    parser.finish();
    tools::FFmpegProgressParser::progressFor(parser.lastOutTime(), static_cast<qint64>(data[0]) - 8);
    for (const QByteArray &line : input.split('\n'))
        FFmpegLogParser::parseProgressLine(QString::fromUtf8(line));
    return 0;
}
