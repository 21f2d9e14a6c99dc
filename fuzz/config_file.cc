// The "QELC" reader on arbitrary bytes. Odd first bytes feed the rest as a whole file;
// even ones feed it as a body behind a valid header, so that the node parser is reached
// past the CRC. Whatever parses must serialise back to the very same bytes: the layout
// has one image per tree, so a parser that accepted anything else would be lax.
// Links: qel_base
#include "base/configfile.h"
#include "base/crc32.h"

#include <cstdlib>
#include <cstring>

namespace {

// The root's own name, which the reader insists on as the key.
std::string RootName(const u8* body, size_t size)
{
    if (size < 2) {
        return "k";
    }
    size_t length = size_t(body[0] | body[1] << 8);
    return length <= size - 2 ? std::string(reinterpret_cast<const char*>(body + 2), length) : "k";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size == 0 || size > (17u << 20)) {
        return 0;
    }
    std::vector<u8> image;
    if (data[0] & 1) {
        image.assign(data + 1, data + size);
    } else {
        size_t body = size - 1;
        u32 crc = Crc32(data + 1, body);
        u8 header[16] = {'Q', 'E', 'L', 'C', 1, 0, 0, 0};
        for (int index = 0; index < 4; ++index) {
            header[8 + index] = u8(u32(body) >> (8 * index));
            header[12 + index] = u8(crc >> (8 * index));
        }
        image.assign(header, header + 16);
        image.insert(image.end(), data + 1, data + size);
    }
    std::string key = image.size() > 16 ? RootName(image.data() + 16, image.size() - 16) : "k";
    sConfigNode root;
    if (ParseConfigFile(image.data(), image.size(), key, root)) {
        std::vector<u8> again;
        if (!SerializeConfigFile(root, again) || again != image) {
            std::abort();
        }
    }
    return 0;
}
