#include "package/zipmember.h"

#include "base/byteorder.h"

#include <algorithm>
#include <bzlib.h>
#include <cstdlib>
#include <cstring>
#include <lzma.h>
#include <new>
#include <zlib.h>

namespace {

constexpr u32 kInputCapacity = 64 * 1024;
// APPNOTE 4.4.4 general-purpose flags.
constexpr u16 kFlagEncrypted = 1 << 0;
// LZMA: the stream carries an end-of-stream marker.
constexpr u64 kMaxLzmaDictionary = u64(64) << 20;

} // namespace

// The state of one decoder; only the member of the entry's method is in use.
struct sZipDecoder
{
    u16 m_method = 0;
    bool m_started = false;
    bool m_ended = false; // the compressed stream said it is complete
    z_stream m_zlib{};
    bz_stream m_bzip2{};
    lzma_stream m_lzma = LZMA_STREAM_INIT;
    // LZMA: the 9-byte header (version, properties size, properties) still to be read.
    bool m_lzmaHeaderRead = false;

    ~sZipDecoder() { End(); }

    void End()
    {
        if (!m_started) {
            return;
        }
        switch (m_method) {
        case kZipMethodDeflate:
            inflateEnd(&m_zlib);
            break;
        case kZipMethodBzip2:
            BZ2_bzDecompressEnd(&m_bzip2);
            break;
        case kZipMethodLzma:
            lzma_end(&m_lzma);
            break;
        default:
            break;
        }
        m_started = false;
    }
};

cDecompressIOTarget::cDecompressIOTarget(cFileIOTarget* archive, u64 dataStart, u64 compressedSize,
                                         u64 size, u32 crc, u16 method, u16 flags)
    : m_archive(archive), m_dataStart(dataStart), m_compressedSize(compressedSize), m_size(size),
      m_expectedCrc(crc), m_method(method), m_flags(flags)
{
}

cDecompressIOTarget::~cDecompressIOTarget() = default;

bool cDecompressIOTarget::Begin()
{
    if (m_archive == nullptr || (m_flags & kFlagEncrypted) != 0) {
        return false;
    }
    if (m_method != kZipMethodStored && m_method != kZipMethodDeflate &&
        m_method != kZipMethodBzip2 && m_method != kZipMethodLzma) {
        return false;
    }
    // A stored entry is its own data: the two sizes must agree.
    if (m_method == kZipMethodStored && m_compressedSize != m_size) {
        return false;
    }
    m_input.reset(new (std::nothrow) u8[kInputCapacity]);
    m_decoder.reset(new (std::nothrow) sZipDecoder());
    if (!m_input || !m_decoder) {
        return false;
    }
    return Restart();
}

bool cDecompressIOTarget::Restart()
{
    m_decoder->End();
    m_decoder->m_method = m_method;
    m_decoder->m_ended = false;
    m_decoder->m_lzmaHeaderRead = false;
    m_inputAvailable = 0;
    m_inputOffset = 0;
    m_compressedRead = 0;
    m_position = 0;
    m_crc = 0;
    m_failed = false;
    switch (m_method) {
    case kZipMethodDeflate:
        std::memset(&m_decoder->m_zlib, 0, sizeof m_decoder->m_zlib);
        // Raw deflate: ZIP entries carry no zlib header (APPNOTE 4.4.5).
        if (inflateInit2(&m_decoder->m_zlib, -15) != Z_OK) {
            return false;
        }
        m_decoder->m_started = true;
        break;
    case kZipMethodBzip2:
        std::memset(&m_decoder->m_bzip2, 0, sizeof m_decoder->m_bzip2);
        if (BZ2_bzDecompressInit(&m_decoder->m_bzip2, 0, 0) != BZ_OK) {
            return false;
        }
        m_decoder->m_started = true;
        break;
    default:
        // LZMA starts once its header has been read; stored needs no state.
        break;
    }
    return true;
}

bool cDecompressIOTarget::FillInput()
{
    if (m_inputOffset < m_inputAvailable) {
        return true;
    }
    const u64 left = m_compressedSize - m_compressedRead;
    if (left == 0) {
        return false;
    }
    const u32 want = u32(std::min<u64>(left, kInputCapacity));
    if (!m_archive->Seek(m_dataStart + m_compressedRead)) {
        return false;
    }
    const u32 got = m_archive->Read(m_input.get(), want);
    if (got == 0) {
        return false;
    }
    m_inputOffset = 0;
    m_inputAvailable = got;
    m_compressedRead += got;
    return true;
}

u32 cDecompressIOTarget::Decode(u8* out, u32 length)
{
    sZipDecoder& decoder = *m_decoder;
    u32 produced = 0;
    while (produced < length && !m_failed && !decoder.m_ended) {
        if (!FillInput()) {
            // No more compressed data: a stream without an end marker is complete only
            // at its declared size, which the caller stops at.
            break;
        }
        const u8* in = m_input.get() + m_inputOffset;
        const u32 inCount = m_inputAvailable - m_inputOffset;
        u32 consumed = 0;
        u32 made = 0;
        switch (m_method) {
        case kZipMethodStored: {
            made = std::min(inCount, length - produced);
            std::memcpy(out + produced, in, made);
            consumed = made;
            break;
        }
        case kZipMethodDeflate: {
            z_stream& s = decoder.m_zlib;
            s.next_in = const_cast<Bytef*>(in);
            s.avail_in = inCount;
            s.next_out = out + produced;
            s.avail_out = length - produced;
            const int answer = inflate(&s, Z_NO_FLUSH);
            consumed = inCount - s.avail_in;
            made = (length - produced) - s.avail_out;
            if (answer == Z_STREAM_END) {
                decoder.m_ended = true;
            } else if (answer != Z_OK && !(answer == Z_BUF_ERROR && (consumed != 0 || made != 0))) {
                m_failed = true;
            }
            break;
        }
        case kZipMethodBzip2: {
            bz_stream& s = decoder.m_bzip2;
            s.next_in = reinterpret_cast<char*>(const_cast<u8*>(in));
            s.avail_in = inCount;
            s.next_out = reinterpret_cast<char*>(out + produced);
            s.avail_out = length - produced;
            const int answer = BZ2_bzDecompress(&s);
            consumed = inCount - s.avail_in;
            made = (length - produced) - s.avail_out;
            if (answer == BZ_STREAM_END) {
                decoder.m_ended = true;
            } else if (answer != BZ_OK) {
                m_failed = true;
            }
            break;
        }
        case kZipMethodLzma: {
            if (!decoder.m_lzmaHeaderRead) {
                // APPNOTE 5.8.8: version (2 bytes), properties size (2, LE), properties.
                if (inCount < 9) {
                    // The header is split across reads only in a hostile archive.
                    m_failed = true;
                    break;
                }
                const u16 propertiesSize = LoadLe16(in + 2);
                if (propertiesSize != 5) {
                    m_failed = true;
                    break;
                }
                lzma_filter filters[2];
                filters[0].id = LZMA_FILTER_LZMA1;
                filters[0].options = nullptr;
                filters[1].id = LZMA_VLI_UNKNOWN;
                if (lzma_properties_decode(&filters[0], nullptr, in + 4, 5) != LZMA_OK) {
                    m_failed = true;
                    break;
                }
                // The dictionary need not be larger than the data, and a hostile header
                // (or a hostile declared size) may ask for 4 GiB. 64 MiB is the largest
                // dictionary common encoders use; an entry that needs more fails.
                auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
                const u64 enough = std::min<u64>(std::max<u64>(4096, m_size), kMaxLzmaDictionary);
                if (options->dict_size > enough) {
                    options->dict_size = u32(std::min<u64>(enough, UINT32_MAX));
                }
                const lzma_ret started = lzma_raw_decoder(&decoder.m_lzma, filters);
                std::free(filters[0].options);
                if (started != LZMA_OK) {
                    m_failed = true;
                    break;
                }
                decoder.m_started = true;
                decoder.m_lzmaHeaderRead = true;
                consumed = 9;
                break;
            }
            lzma_stream& s = decoder.m_lzma;
            s.next_in = in;
            s.avail_in = inCount;
            s.next_out = out + produced;
            s.avail_out = length - produced;
            const lzma_ret answer = lzma_code(&s, LZMA_RUN);
            consumed = inCount - u32(s.avail_in);
            made = (length - produced) - u32(s.avail_out);
            if (answer == LZMA_STREAM_END) {
                decoder.m_ended = true;
            } else if (answer != LZMA_OK && !(answer == LZMA_BUF_ERROR && made != 0)) {
                m_failed = true;
            }
            break;
        }
        default:
            m_failed = true;
            break;
        }
        m_inputOffset += consumed;
        produced += made;
        if (consumed == 0 && made == 0 && !decoder.m_ended) {
            // No progress with input and room: the data are broken.
            m_failed = true;
        }
    }
    return produced;
}

u32 cDecompressIOTarget::Read(void* buffer, u32 length)
{
    if (m_failed || !m_decoder || m_position >= m_size || length == 0) {
        return 0;
    }
    const u32 want = u32(std::min<u64>(length, m_size - m_position));
    u8* out = static_cast<u8*>(buffer);
    const u32 produced = Decode(out, want);
    m_crc = u32(crc32_z(m_crc, out, produced));
    m_position += produced;
    if (m_position == m_size && m_crc != m_expectedCrc) {
        // The last byte reveals a damaged entry: this read fails.
        m_failed = true;
        return 0;
    }
    if (produced < want) {
        m_failed = true;
    }
    return produced;
}

bool cDecompressIOTarget::Seek(u64 position)
{
    if (!m_decoder || position > m_size) {
        return false;
    }
    if (position == m_position && !m_failed) {
        return true;
    }
    if (position < m_position || m_failed) {
        if (!Restart()) {
            return false;
        }
    }
    u8 scratch[4096];
    while (m_position < position) {
        const u32 step = u32(std::min<u64>(sizeof scratch, position - m_position));
        if (Read(scratch, step) != step) {
            return false;
        }
    }
    return true;
}
