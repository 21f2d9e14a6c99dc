// The JPEG 2000 pictures on arbitrary bytes: both probes, Load of each, and Load streamed
// into a 37 x 23 target.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/jp2picture.h"

namespace {

template <class tPicture>
void LoadWholeAndStreamed(cFileIOTarget* stream, sPictTarget* target)
{
    tPicture whole;
    tPicture streamed;
    (void)whole.Load(stream);
    (void)(streamed.SetTarget(target) && streamed.Load(stream));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    sPictInfo info;
    const bool known = ProbeJP2(&stream, &info) || ProbeJ2K(&stream, &info);
    // Valid headers of huge images decode slowly, not wrongly: the pixel cap guards them.
    cPictDummy canvas;
    if ((!known || i64(info.width) * info.height <= 1 << 22) && canvas.AllocClear32(37, 23)) {
        sPictTarget target = PictTargetFromPicture(&canvas);
        LoadWholeAndStreamed<cPictJP2>(&stream, &target);
        LoadWholeAndStreamed<cPictJ2K>(&stream, &target);
    }
    return 0;
}
