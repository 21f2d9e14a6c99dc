#include "picture/formats/rawdevelop.h"

#include "picture/core/streamguard.h"
#include "picture/formats/rawoutput.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// LibRaw's view of a cFileIOTarget: reads go through a buffer, because LibRaw reads many
// files a few bytes at a time.
class cRawDataStream : public LibRaw_abstract_datastream
{
  public:
    explicit cRawDataStream(cFileIOTarget* stream) : m_stream(stream), m_size(stream->GetSize()) {}

    int valid() override { return m_stream->IsOpen() ? 1 : 0; }

    // Whole items read, the last partial one counted (as LibRaw's buffer stream does).
    int read(void* buffer, size_t size, size_t count) override
    {
        // LibRaw's own streams end a parse by throwing its exception; LibRaw catches it
        // and fails the call.
        if (m_readsLeft == 0) {
            throw LIBRAW_EXCEPTION_IO_CORRUPT;
        }
        --m_readsLeft;
        if (size == 0 || count == 0 || count > (u64(1) << 40) / size) {
            return 0;
        }
        const u64 wanted = u64(size) * count;
        u64 done = 0;
        while (done < wanted) {
            if (!Fill()) {
                break;
            }
            const u64 inBuffer = m_bufferStart + m_bufferLength - m_position;
            const u64 chunk = std::min(wanted - done, inBuffer);
            std::memcpy(static_cast<u8*>(buffer) + done, m_buffer + (m_position - m_bufferStart),
                        chunk);
            done += chunk;
            m_position += chunk;
        }
        return int(std::min<u64>((done + size - 1) / size, 0x7FFFFFFF));
    }

    int seek(INT64 offset, int whence) override
    {
        i64 base = 0;
        if (whence == SEEK_CUR) {
            base = i64(m_position);
        } else if (whence == SEEK_END) {
            base = i64(m_size);
        }
        const i64 target = offset > 0 && base > INT64_MAX - offset ? INT64_MAX : base + offset;
        m_position = u64(std::clamp<i64>(target, 0, i64(m_size)));
        return 0;
    }

    INT64 tell() override { return INT64(m_position); }
    INT64 size() override { return INT64(m_size); }

    int get_char() override
    {
        u8 byte = 0;
        return read(&byte, 1, 1) == 1 ? byte : -1;
    }

    // fgets: up to length - 1 bytes, through the first newline; null when none was read.
    char* gets(char* text, int length) override
    {
        if (text == nullptr || length <= 0) {
            return nullptr;
        }
        int used = 0;
        while (used < length - 1) {
            const int c = get_char();
            if (c < 0) {
                break;
            }
            text[used++] = char(c);
            if (c == '\n') {
                break;
            }
        }
        text[used] = 0;
        return used == 0 ? nullptr : text;
    }

    // LibRaw asks only for "%d" and "%f".
    int scanf_one(const char* format, void* value) override
    {
        int c = get_char();
        while (c >= 0 && std::isspace(c)) {
            c = get_char();
        }
        if (c < 0) {
            return -1;
        }
        char text[64];
        int used = 0;
        while (c >= 0 && used < 63 && (std::isdigit(c) || std::strchr("+-.eE", c) != nullptr)) {
            text[used++] = char(c);
            c = get_char();
        }
        text[used] = 0;
        if (c >= 0) {
            m_position -= 1; // the byte that ended the number is not consumed
        }
        char* end = nullptr;
        if (std::strcmp(format, "%d") == 0) {
            *static_cast<int*>(value) = int(std::strtol(text, &end, 10));
        } else if (std::strcmp(format, "%f") == 0) {
            *static_cast<float*>(value) = std::strtof(text, &end);
        } else {
            return 0;
        }
        return end != text ? 1 : 0;
    }

    int eof() override { return m_position >= m_size ? 1 : 0; }

    // Bounds the reads LibRaw may make from here on: some of its header parsers loop over
    // a crafted file forever (a 132-byte CR3 keeps raw-identify busy without end), reading
    // as they go.
    void LimitReads(u64 reads) { m_readsLeft = reads; }
    void UnlimitReads() { m_readsLeft = UINT64_MAX; }
    void* make_jas_stream() override { return nullptr; }
    // No JPEG source: lossy-JPEG DNGs fail development and fall back to their preview.
    int jpeg_src(void*) override { return -1; }

  private:
    static constexpr u32 kBufferSize = 64 << 10;

    // Makes the buffer hold the position; false at the end or when the stream is closed.
    bool Fill()
    {
        if (m_position >= m_bufferStart && m_position < m_bufferStart + m_bufferLength) {
            return true;
        }
        if (m_position >= m_size || !m_stream->IsOpen() || !m_stream->Seek(m_position)) {
            return false;
        }
        m_bufferStart = m_position;
        m_bufferLength =
            m_stream->Read(m_buffer, u32(std::min<u64>(kBufferSize, m_size - m_position)));
        return m_bufferLength > 0;
    }

    cFileIOTarget* m_stream;
    u64 m_size;
    u64 m_position = 0;
    u64 m_bufferStart = 0;
    u32 m_bufferLength = 0;
    u64 m_readsLeft = UINT64_MAX;
    u8 m_buffer[kBufferSize];
};

int OnProgress(void* data, LibRaw_progress, int, int)
{
    return static_cast<cStreamGuardProgressTarget*>(data)->SetProgress(0.0) ? 0 : 1;
}

// LibRaw reports damaged data on stderr by default; a failed development is reported
// through the result instead.
void IgnoreDataError(void*, const char*, const int) {}

struct sLibRawDelete
{
    void operator()(LibRaw* raw) const
    {
        raw->recycle();
        delete raw;
    }
};

// LibRaw names the decoder of lossy DNG data so; it needs the JPEG source this stream does
// not give, so such a file is refused before anything is unpacked.
constexpr const char* kLossyDngDecoder = "lossy_dng_load_raw()";

constexpr u64 kHeaderReads = 4 << 20;

// Opens the file and makes the checks that come before unpacking: both sizes within the
// pixel cap, a decoder that can read the data.
bool OpenForDevelopment(LibRaw& raw, cRawDataStream& data)
{
    raw.imgdata.params.use_camera_wb = 1;
    raw.imgdata.params.output_bps = 16;
    raw.set_dataerror_handler(IgnoreDataError, nullptr);
    // Reading the headers takes a few thousand reads even with maker notes; a parser that
    // needs millions more than the file has bytes is looping.
    data.LimitReads(kHeaderReads + 2 * u64(data.size()));
    const bool opened = raw.open_datastream(&data) == LIBRAW_SUCCESS;
    data.UnlimitReads();
    if (!opened) {
        return false;
    }
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    libraw_decoder_info_t decoder{};
    return PixelBufferSizeOk(sizes.raw_width, sizes.raw_height, 8) &&
           PixelBufferSizeOk(sizes.width, sizes.height, 8) &&
           raw.get_decoder_info(&decoder) == LIBRAW_SUCCESS && decoder.decoder_name != nullptr &&
           std::strcmp(decoder.decoder_name, kLossyDngDecoder) != 0;
}

// Each of LibRaw's buffers is freed as soon as its data is copied: the raw data once
// processed, the image buffer page by page as the picture is filled.
bool Develop(cRawDeveloper& raw, cRawDataStream& data, cPictBase* picture)
{
    if (!OpenForDevelopment(raw, data) || raw.unpack() != LIBRAW_SUCCESS ||
        raw.dcraw_process() != LIBRAW_SUCCESS) {
        return false;
    }
    raw.ReleaseRawData();
    return raw.MoveImageInto(picture);
}

} // namespace

bool DevelopRaw(cFileIOTarget* stream, cPictBase* picture)
{
    if (stream == nullptr || picture == nullptr) {
        return false;
    }
    // LibRaw's object is large (hundreds of KB): on the heap, one per call.
    std::unique_ptr<cRawDeveloper, sLibRawDelete> raw(new (std::nothrow) cRawDeveloper);
    std::unique_ptr<cRawDataStream> data(new (std::nothrow) cRawDataStream(stream));
    if (!raw || !data) {
        return false;
    }
    cStreamGuardProgressTarget guard(stream);
    raw->set_progress_handler(OnProgress, &guard);
    if (!Develop(*raw, *data, picture)) {
        picture->ClearPixels();
        return false;
    }
    return true;
}

bool RawDevelopedSize(cFileIOTarget* stream, i32* width, i32* height)
{
    if (stream == nullptr) {
        return false;
    }
    std::unique_ptr<LibRaw, sLibRawDelete> raw(new (std::nothrow) LibRaw(LIBRAW_OPTIONS_NONE));
    std::unique_ptr<cRawDataStream> data(new (std::nothrow) cRawDataStream(stream));
    if (!raw || !data || !OpenForDevelopment(*raw, *data) ||
        raw->adjust_sizes_info_only() != LIBRAW_SUCCESS) {
        return false;
    }
    // The output size dcraw_process gives: the flip applied, the pixel aspect stretched.
    const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    if (!PixelBufferSizeOk(sizes.iwidth, sizes.iheight, 8)) {
        return false;
    }
    *width = sizes.iwidth;
    *height = sizes.iheight;
    return true;
}
