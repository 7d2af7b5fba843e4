// The single-instance message lines a later start (or anything else of this user) sends.
#include "FuzzSupport.h"
#include "system/SingleInstanceService.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static SingleInstanceService service;
    for (const QByteArray &line : tvxfuzz::bytes(data, size).split('\n'))
        service.processMessage(line);
    return 0;
}
