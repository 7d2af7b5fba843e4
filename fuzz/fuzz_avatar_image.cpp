// The account picture as downloaded: the header check and the bounded decode behind it.
#include "FuzzSupport.h"
#include "user_pay/AvatarImage.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString reason;
    const QImage image = user_pay::decodeAvatarImage(tvxfuzz::bytes(data, size), &reason);
    if (!image.isNull() &&
        (image.width() > user_pay::kMaxAvatarSide || image.height() > user_pay::kMaxAvatarSide))
        std::abort();
    return 0;
}
