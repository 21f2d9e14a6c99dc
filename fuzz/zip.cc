// The ZIP reader on arbitrary bytes: the directory is read and every file entry streamed.
// Links: qel_package qel_base
#include "base/memio.h"
#include "package/zipreader.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    (void)IsZipStream(&stream);
    cSiArchTarget target;
    cZIPFileContainer container;
    if (container.Open(&stream, &target, 0, nullptr) != kZipOk) {
        return 0;
    }
    target.VisitFiles([&](const cArchiveFile::sFile& entry) {
        cFileIOTarget* member = cArchiveFile::OpenFileStream(&entry, 0, &container);
        if (member == nullptr) {
            return;
        }
        u8 buffer[4096];
        // A hostile size may be huge: stop after a bounded amount.
        for (int i = 0; i < 256 && member->Read(buffer, sizeof buffer) == sizeof buffer; ++i) {
        }
        (void)member->Seek(0);
        member->Delete();
    });
    return 0;
}
