// The account picture as it arrives from the avatar address: judged by its header before any
// pixel is decoded, since a compressed file of a couple of megabytes can spell gigabytes.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace user_pay {

// The largest side of an avatar that is decoded at all (64 MiB of pixels at most); the picture
// is shown at a few dozen pixels.
constexpr int kMaxAvatarSide = 4096;

// The picture, when its header names a size within kMaxAvatarSide both ways and it decodes;
// otherwise a null image, with the reason in *reason. A picture whose size cannot be read
// without decoding it is refused too.
QImage decodeAvatarImage(const QByteArray &data, QString *reason = nullptr);

} // namespace user_pay
