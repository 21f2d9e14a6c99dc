// cTextFileReader over arbitrary bytes; the first byte chooses the start offset. Every
// line must be well-formed UTF-16 and the reader must end.
// Links: qel_base
#include "base/memio.h"
#include "base/textfile.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    cBufWrapperIO stream(data + 1, size - 1);
    cTextFileReader reader(&stream, data[0] % 8, eTextEncoding::Utf8);
    _guardchar<char16_t> line;
    size_t lines = 0;
    while (reader.ReadLine(line)) {
        if (++lines > size) {
            __builtin_trap(); // more lines than bytes: the reader does not advance
        }
    }
    return 0;
}
