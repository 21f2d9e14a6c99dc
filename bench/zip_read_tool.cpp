// zip_read: the ZIP reader from the shell, for timing against unzip and 7z.
//
//   zip_read ARCHIVE          opens the archive and prints the number of files and folders
//   zip_read ARCHIVE NAME     writes the member NAME to standard output
//
// Exit code 0 on success, 1 when the archive does not open or the member cannot be read.
// Links: qel_base qel_package
#include "base/fileio.h"
#include "package/zipreader.h"

#include <cstdio>
#include <memory>

namespace {

constexpr u32 kChunk = 1 << 16;

int WriteMember(cZIPFileContainer& container, const cSiArchTarget& target, const char* name)
{
    const cArchiveFile::sFile* entry = target.FindFile(name);
    cFileIOTarget* member =
        entry != nullptr ? cArchiveFile::OpenFileStream(entry, 0, &container) : nullptr;
    if (member == nullptr) {
        std::fprintf(stderr, "zip_read: cannot open %s\n", name);
        return 1;
    }
    std::unique_ptr<u8[]> buffer(new u8[kChunk]);
    u64 written = 0;
    while (written < member->GetSize()) {
        const u32 got = member->Read(buffer.get(), kChunk);
        if (got == 0 || std::fwrite(buffer.get(), 1, got, stdout) != got) {
            break;
        }
        written += got;
    }
    const bool complete = written == member->GetSize();
    member->Delete();
    if (!complete) {
        std::fprintf(stderr, "zip_read: %s ends early or fails its CRC\n", name);
    }
    return complete ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: zip_read ARCHIVE [NAME]\n");
        return 2;
    }
    cFileIO file;
    cSiArchTarget target;
    cZIPFileContainer container;
    if (!file.Create(argv[1], FileMode::Read)) {
        std::fprintf(stderr, "zip_read: cannot open %s\n", argv[1]);
        return 1;
    }
    const i32 result = container.Open(&file, &target, 0, nullptr);
    if (result != kZipOk) {
        std::fprintf(stderr, "zip_read: %s is no readable archive (code %d)\n", argv[1], result);
        return 1;
    }
    if (argc == 3) {
        return WriteMember(container, target, argv[2]);
    }
    std::printf("%d files, %d folders\n", target.GetFileCount(), target.GetFolderCount());
    return 0;
}
