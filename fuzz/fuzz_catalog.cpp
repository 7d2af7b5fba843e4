// Message catalog lines: key/value split, escapes, and "%{name}" arguments.
#include "FuzzSupport.h"
#include "i18n/I18nCatalog.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(tvxfuzz::bytes(data, size));
    QVariantMap args;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const I18nCatalog::Entry entry = I18nCatalog::parseEntry(line);
        if (entry.key.isEmpty())
            continue;
        I18nCatalog::applyArgs(entry.value, args);
        args.insert(entry.key, entry.value);
    }
    return 0;
}
