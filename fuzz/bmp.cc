// The BMP and DIB reader on arbitrary bytes: as a BMP file, as a bare DIB and as an icon
// bitmap with its table after the header, each decoded into its buffer and streamed into
// a 37 x 23 target.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/dib.h"

#include <vector>

namespace {

constexpr i64 kPixelLimit = 1 << 22;

template <class tPicture> void Decode(const u8* data, size_t size, eDibMode mode)
{
    cBufWrapperIO stream(data, size);
    sPictInfo info;
    const bool fileHeader = tPicture().GetFormatId() == kPictFormatBMP;
    if (!stream.Seek(fileHeader ? 14 : 0) || !ProbeDIBHeader(&stream, &info, mode) ||
        i64(info.width) * info.height > kPixelLimit) {
        return;
    }
    std::vector<u32> pixels(37 * 23);
    sPictTarget target{pixels.data(), 37, 23};
    for (bool streamed : {false, true}) {
        tPicture picture;
        picture.SetMode(mode);
        (void)(streamed && picture.SetTarget(&target));
        (void)picture.Load(&stream);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    Decode<cPictBMP>(data, size, eDibMode::Plain);
    Decode<cPictDIB>(data, size, eDibMode::Plain);
    Decode<cPictDIB>(data, size, eDibMode::IconWithTable);
    return 0;
}
