// The TGA reader on arbitrary bytes (see raster_reader.h).
// Links: qel_base qel_package qel_picture_formats qel_picture_core
#include "picture/formats/tgareader.h"
#include "raster_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    return FuzzRasterReader<cPictTGA>(data, size);
}
