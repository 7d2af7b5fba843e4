// Bounded decoding of the account picture.
#include "user_pay/AvatarImage.h"

#include <QBuffer>
#include <QImageReader>

namespace user_pay {

namespace {

bool withinBound(const QSize &size)
{
    return size.width() <= kMaxAvatarSide && size.height() <= kMaxAvatarSide;
}

QImage refuse(QString *reason, const QString &why)
{
    if (reason)
        *reason = why;
    return QImage();
}

} // namespace

QImage decodeAvatarImage(const QByteArray &data, QString *reason)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return refuse(reason, QStringLiteral("unreadable"));
    QImageReader reader(&buffer);
    // Only the header is read here.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return refuse(reason, QStringLiteral("no size in its header"));
    if (!withinBound(size))
        return refuse(reason, QStringLiteral("%1x%2 pixels").arg(size.width()).arg(size.height()));
    QImage image;
    if (!reader.read(&image))
        return refuse(reason, QStringLiteral("does not decode: %1").arg(reader.errorString()));
    // A handler that decodes at another size than its header named is not believed either.
    if (!withinBound(image.size()))
        return refuse(reason,
                      QStringLiteral("decoded at %1x%2 pixels").arg(image.width()).arg(image.height()));
    return image;
}

} // namespace user_pay
