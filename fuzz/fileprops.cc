// The file property readers on arbitrary bytes: CreateFileProps, then the manager's reads
// (box 16, reset, box 48) and one with the box -1 x -1.
// Links: qel_picture_props qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw qel_package qel_base
#include "base/memio.h"
#include "picture/props/fileprops.h"
#include "picture/props/propsfactory.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    std::unique_ptr<cFileObjectProps> reader(CreateFileProps(&stream));
    for (i32 box : {16, 48, -1}) {
        if (reader == nullptr) {
            break;
        }
        reader->ResetProps();
        reader->m_boxWidth = box;
        reader->m_boxHeight = box;
        (void)reader->ReadProps(&stream, nullptr, true);
    }
    return 0;
}
