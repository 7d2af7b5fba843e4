// ffprobe's JSON answer and its packet time-stamp listing.
#include "FuzzSupport.h"
#include "ffmpeg/ProbeParsing.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = tvxfuzz::bytes(data, size);
    const ffmpeg::ProbeSummary summary = ffmpeg::parseProbeJson(input);
    ffmpeg::ceilSeconds(summary.largestDuration);

    ffmpeg::PacketPtsScanner scanner;
    const QString text = QString::fromUtf8(input);
    const int half = text.size() / 2;
    scanner.feed(text.left(half));
    scanner.feed(text.mid(half));
    scanner.finish();
    ffmpeg::ceilSeconds(scanner.maximum());
    return 0;
}
