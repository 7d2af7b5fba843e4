// The state-file check against QSettings itself, both ways. Whatever QSettings writes, for any
// keys and values, passes the check whole (the file is neither moved aside nor rewritten); and
// INI text the check passes never has a value read through QDataStream.
#include "FuzzSupport.h"
#include "core/AppPaths.h"
#include "core/StateFile.h"

#include <QFile>
#include <QRect>
#include <QSettings>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &text)
{
    std::fprintf(stderr, "fuzz_state_settings: %s\n----\n%s\n----\n", what, text.constData());
    std::abort();
}

// Text that reaches the check's corners: the characters QSettings escapes or splits on and the
// words of a typed value, besides any UTF-16 unit.
QString fuzzText(FuzzedDataProvider &in)
{
    static const char *const words[] = {
        "@Variant(",       "@DateTime(", "@@",     "@ByteArray(", "\\x40", "\\100",
        "items\\40\\meta", "%40",        "%U0040", ", ",          "\"",    "\\"};
    static const char16_t specials[] =
        u"@\"\\,;=#%[]() \t\r\n\0x0123456789abcdefABCDEFVariantDateTime\u00e9\u4e2d";
    QString text;
    const int parts = in.ConsumeIntegralInRange<int>(0, 24);
    for (int i = 0; i < parts && in.remaining_bytes() > 0; ++i) {
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            text += QString::fromLatin1(words[in.ConsumeIntegralInRange<size_t>(0, std::size(words) - 1)]);
            break;
        case 1:
            text += QChar(specials[in.ConsumeIntegralInRange<size_t>(0, std::size(specials) - 2)]);
            break;
        case 2:
            text += QChar(in.ConsumeIntegral<char16_t>());
            break;
        default:
            text += QString::fromUtf8(QByteArray::fromStdString(in.ConsumeRandomLengthString(16)));
            break;
        }
    }
    return text;
}

QVariant fuzzValue(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0: {
        QStringList list;
        const int n = in.ConsumeIntegralInRange<int>(0, 4);
        for (int i = 0; i < n; ++i)
            list << fuzzText(in);
        return list;
    }
    case 1:
        return in.ConsumeIntegral<int>();
    case 2:
        return in.ConsumeFloatingPoint<double>();
    case 3:
        return in.ConsumeBool();
    default:
        return fuzzText(in);
    }
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool plainType(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::UnknownType:
    case QMetaType::QString:
    case QMetaType::QStringList:
    case QMetaType::QByteArray:
    case QMetaType::QRect:
    case QMetaType::QSize:
    case QMetaType::QPoint:
        return true;
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        for (const QVariant &element : list) {
            if (!plainType(element))
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

int serial = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QString dir = app::ensureAppDataRootPath();
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    // A fresh name each time: QSettings keeps what it parsed of a file it has met before.
    const QString path = dir + QStringLiteral("/state-%1.ini").arg(++serial);

    if (data[0] & 1) {
        // Text the check passes is read by QSettings; no value may come out of QDataStream.
        const QByteArray text = tvxfuzz::bytes(data + 1, size - 1);
        if (!app::stateTextIsSafe(text))
            return 0;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return 0;
        file.close();
        const QSettings settings(path, QSettings::IniFormat);
        for (const QString &key : settings.allKeys()) {
            if (!plainType(settings.value(key)))
                fail("a value the check passed was read through QDataStream", text);
        }
        return 0;
    }

    FuzzedDataProvider in(data + 1, size - 1);
    {
        QSettings settings(path, QSettings::IniFormat);
        const int keys = in.ConsumeIntegralInRange<int>(1, 8);
        for (int i = 0; i < keys && in.remaining_bytes() > 0; ++i) {
            const QString key = fuzzText(in);
            if (!key.isEmpty())
                settings.setValue(key, fuzzValue(in));
        }
        settings.sync();
    }
    const QByteArray written = readAll(path);
    if (!app::stateTextIsSafe(written))
        fail("QSettings' own file was judged unsafe", written);
    app::checkedStateFile(path, app::kSettingsStateFileMaxBytes);
    if (readAll(path) != written)
        fail("QSettings' own file did not pass the check whole", written);
    if (QDir(dir).entryList({QStringLiteral("*.damaged-*")}, QDir::AllEntries | QDir::System).size() != 0)
        fail("QSettings' own file was set aside", written);
    QFile::remove(path);
    return 0;
}
