// The account picture from the network: judged by the size its header names before decoding,
// whatever the format, and refused when that size cannot be read.
#include "TestSupport.h"
#include "user_pay/AvatarImage.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// One bit a pixel: a picture far beyond the bound stays a few kilobytes to make and decode.
QByteArray plainPng(int width, int height)
{
    QImage image(width, height, QImage::Format_Mono);
    image.fill(0);
    return encoded(image, "PNG");
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(QByteArray &bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (24 - 8 * i));
}

// A small PNG whose header claims another size, its checksum made right: what a crafted
// avatar looks like to a reader of the header alone.
QByteArray pngClaiming(int width, int height)
{
    QByteArray bytes = plainPng(8, 8);
    // Signature (8), chunk length (4), "IHDR" (4), then width and height; the chunk's CRC
    // covers its type and its 13 data bytes.
    putBigEndian(bytes, 16, quint32(width));
    putBigEndian(bytes, 20, quint32(height));
    putBigEndian(bytes, 29, crc32(bytes.mid(12, 17)));
    return bytes;
}

} // namespace

class AvatarImageTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void pictureIsJudgedByItsHeader_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSize>("decoded"); // invalid: refused
        QImage photo(120, 90, QImage::Format_RGB32);
        photo.fill(QColor(20, 120, 200));
        QTest::newRow("small PNG") << encoded(photo, "PNG") << QSize(120, 90);
        QTest::newRow("small JPEG") << encoded(photo, "JPG") << QSize(120, 90);
        QTest::newRow("at the bound") << plainPng(4096, 4096) << QSize(4096, 4096);
        QTest::newRow("one column too wide") << plainPng(4097, 1) << QSize();
        QTest::newRow("one row too tall") << plainPng(1, 4097) << QSize();
        QTest::newRow("wide JPEG") << encoded(QImage(5000, 16, QImage::Format_RGB32), "JPG") << QSize();
        QTest::newRow("header claims 22000 square") << pngClaiming(22000, 22000) << QSize();
        QTest::newRow("header claims what it holds") << pngClaiming(8, 8) << QSize(8, 8);
        QTest::newRow("not a picture") << QByteArray("<html>not found</html>") << QSize();
        QTest::newRow("nothing") << QByteArray() << QSize();
        QTest::newRow("header only") << plainPng(64, 64).left(33) << QSize();
    }
    void pictureIsJudgedByItsHeader()
    {
        QFETCH(QByteArray, data);
        QFETCH(QSize, decoded);
        QString reason;
        const QImage image = user_pay::decodeAvatarImage(data, &reason);
        QCOMPARE(image.size(), decoded.isValid() ? decoded : QSize(0, 0));
        QCOMPARE(reason.isEmpty(), decoded.isValid());
    }
};

QTEST_GUILESS_MAIN(AvatarImageTest)
#include "tst_avatarimage.moc"
