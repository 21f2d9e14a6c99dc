// The JPEG 2000 decoder over OpenJPEG 2.5: the stream adapter, the codec set-up and the size
// checks made after the main header, before OpenJPEG allocates the component planes.
#include "picture/codecs/jp2decoder.h"

#include "base/byteorder.h"
#include "picture/codecs/jpctileparts.h"

#include "base/buffers.h"

#include <openjpeg.h>

#include <cstring>
#include <new>

namespace {

// OpenJPEG's own read-ahead; the picture side adds a 4096-byte cache below it.
constexpr OPJ_SIZE_T kStreamChunk = 65536;
// OpenJPEG keeps one int32 per sample of every component.
constexpr u64 kMaxSamples = u64(1) << 28;
constexpr u32 kMaxComponents = 4;

struct sStreamSource
{
    cFileIOTarget* stream;
    u64 size;
};

// 0 is not an end of stream for OpenJPEG: nothing read is (OPJ_SIZE_T)-1.
OPJ_SIZE_T ReadFromSource(void* buffer, OPJ_SIZE_T count, void* user)
{
    auto* source = static_cast<sStreamSource*>(user);
    const u32 wanted = count > 0x7FFFFFFF ? 0x7FFFFFFF : u32(count);
    const u32 read = source->stream->Read(buffer, wanted);
    return read == 0 ? OPJ_SIZE_T(-1) : read;
}

OPJ_BOOL SeekInSource(OPJ_OFF_T position, void* user)
{
    auto* source = static_cast<sStreamSource*>(user);
    return position >= 0 && u64(position) <= source->size &&
           source->stream->Seek(u64(position));
}

OPJ_OFF_T SkipInSource(OPJ_OFF_T count, void* user)
{
    auto* source = static_cast<sStreamSource*>(user);
    const u64 position = source->stream->GetPosition();
    if (count < 0 || u64(count) > source->size - position ||
        !source->stream->Seek(position + u64(count))) {
        return -1;
    }
    return count;
}

void DiscardMessage(const char*, void*) {}

// A component's sample count on the reference grid (T.800 B.2: ceil(x1/dx) - ceil(x0/dx)).
u64 ComponentSamples(const sJp2Image& area, u32 dx, u32 dy)
{
    const u64 width = (u64(area.x1) + dx - 1) / dx - (u64(area.x0) + dx - 1) / dx;
    const u64 height = (u64(area.y1) + dy - 1) / dy - (u64(area.y0) + dy - 1) / dy;
    return width * height;
}

// The checks made right after the main header: OpenJPEG accepts any SIZ and would allocate
// an int32 per sample of whatever area and component count it names.
bool HeaderIsDecodable(const sJp2Image& area)
{
    const opj_image_t* image = area.image;
    if (area.x1 <= area.x0 || area.y1 <= area.y0 || image->numcomps < 1 ||
        image->numcomps > kMaxComponents || image->comps == nullptr) {
        return false;
    }
    bool deep = false;
    u64 samples = 0;
    for (u32 i = 0; i < image->numcomps; ++i) {
        const opj_image_comp_t& component = image->comps[i];
        if (component.prec < 1 || component.prec > 31 || component.dx < 1 || component.dy < 1) {
            return false;
        }
        deep = deep || component.prec > 8;
        samples += ComponentSamples(area, component.dx, component.dy);
    }
    return samples <= kMaxSamples &&
           PixelBufferSizeOk(i64(area.x1 - area.x0), i64(area.y1 - area.y0), deep ? 8 : 4);
}

} // namespace

sJp2Image::~sJp2Image()
{
    FreeJpcTileComponents(*this);
}

void FreeJpcTileComponents(sJp2Image& image)
{
    if (image.image != nullptr) {
        opj_image_destroy(image.image);
        image.image = nullptr;
    }
}

u32 sJp2Image::ComponentCount() const
{
    return image == nullptr || image->comps == nullptr ? 0 : image->numcomps;
}

bool sJp2Image::GetComponent(u32 index, sJp2Component& component) const
{
    if (index >= ComponentCount()) {
        return false;
    }
    const opj_image_comp_t& source = image->comps[index];
    component.dx = source.dx;
    component.dy = source.dy;
    component.width = source.w;
    component.height = source.h;
    component.precision = source.prec;
    component.isSigned = source.sgnd != 0;
    component.isAlpha = source.alpha != 0;
    component.data = source.data;
    return true;
}

eJp2ColorSpace sJp2Image::ColorSpace() const
{
    switch (image == nullptr ? OPJ_CLRSPC_UNKNOWN : image->color_space) {
    case OPJ_CLRSPC_UNSPECIFIED:
        return eJp2ColorSpace::Unspecified;
    case OPJ_CLRSPC_SRGB:
        return eJp2ColorSpace::sRGB;
    case OPJ_CLRSPC_GRAY:
        return eJp2ColorSpace::Grey;
    case OPJ_CLRSPC_SYCC:
        return eJp2ColorSpace::sYCC;
    case OPJ_CLRSPC_EYCC:
        return eJp2ColorSpace::eYCC;
    case OPJ_CLRSPC_CMYK:
        return eJp2ColorSpace::CMYK;
    default:
        return eJp2ColorSpace::Unknown;
    }
}

sJpcDecoder::sJpcDecoder(eJp2Codec codec) : m_kind(codec) {}

sJpcDecoder::~sJpcDecoder()
{
    if (m_stream != nullptr) {
        opj_stream_destroy(m_stream);
    }
    if (m_codec != nullptr) {
        opj_destroy_codec(m_codec);
    }
}

bool sJpcDecoder::Decode(cFileIOTarget* stream, sJp2Image& image)
{
    FreeJpcTileComponents(image);
    // Before the codec exists: OpenJPEG allocates the whole image once it has the header.
    if (stream == nullptr || m_codec != nullptr ||
        !CodestreamHoldsItsData(stream, m_kind == eJp2Codec::File) || !stream->Seek(0)) {
        return false;
    }
    const u64 size = stream->GetSize();
    if (size == kUnknownStreamSize) {
        return false;
    }
    m_codec = opj_create_decompress(m_kind == eJp2Codec::File ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    m_stream = opj_stream_create(kStreamChunk, OPJ_TRUE);
    auto* source = new (std::nothrow) sStreamSource{stream, size};
    if (m_codec == nullptr || m_stream == nullptr || source == nullptr) {
        delete source;
        return false;
    }
    opj_stream_set_user_data(m_stream, source, [](void* user) {
        delete static_cast<sStreamSource*>(user);
    });
    opj_stream_set_user_data_length(m_stream, size);
    opj_stream_set_read_function(m_stream, ReadFromSource);
    opj_stream_set_skip_function(m_stream, SkipInSource);
    opj_stream_set_seek_function(m_stream, SeekInSource);
    opj_set_info_handler(m_codec, DiscardMessage, nullptr);
    opj_set_warning_handler(m_codec, DiscardMessage, nullptr);
    opj_set_error_handler(m_codec, DiscardMessage, nullptr);

    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    // The picture library runs on its caller's thread; this also overrides OPJ_NUM_THREADS.
    if (!opj_setup_decoder(m_codec, &parameters) || !opj_codec_set_threads(m_codec, 1)) {
        return false;
    }
    opj_image_t* header = nullptr;
    if (!opj_read_header(m_stream, m_codec, &header)) {
        if (header != nullptr) {
            opj_image_destroy(header);
        }
        return false;
    }
    image.image = header;
    image.x0 = header->x0;
    image.y0 = header->y0;
    image.x1 = header->x1;
    image.y1 = header->y1;
    return HeaderIsDecodable(image);
}

bool sJpcDecoder::SetDecodeArea(const sJp2Image& area)
{
    return m_codec != nullptr && area.image != nullptr &&
           opj_set_decode_area(m_codec, area.image, OPJ_INT32(area.x0), OPJ_INT32(area.y0),
                               OPJ_INT32(area.x1), OPJ_INT32(area.y1));
}

bool sJpcDecoder::TakeImage(sJp2Image& image)
{
    if (m_codec == nullptr || image.image == nullptr ||
        !opj_decode(m_codec, m_stream, image.image) || !opj_end_decompress(m_codec, m_stream)) {
        return false;
    }
    for (u32 i = 0; i < image.ComponentCount(); ++i) {
        if (image.image->comps[i].data == nullptr) {
            return false;
        }
    }
    return image.ComponentCount() > 0;
}

bool sJp2Decoder::ReadFile(cFileIOTarget* stream, i32 pass)
{
    if (pass != 0) {
        return true;
    }
    // T.800 I.5.1: the signature box, then I.5.2: the file type box.
    static constexpr u8 kSignature[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    u8 header[20];
    if (stream == nullptr || !stream->ReadExact(header, 12) ||
        std::memcmp(header, kSignature, 12) != 0 || !stream->ReadExact(header, 16) ||
        std::memcmp(header + 4, "ftyp", 4) != 0) {
        return false;
    }
    const u32 length = LoadBe32(header);
    if (length < 16 || length % 4 != 0) {
        return false;
    }
    if (std::memcmp(header + 8, "jp2 ", 4) == 0) {
        return true;
    }
    for (u32 left = (length - 16) / 4; left > 0; --left) {
        if (!stream->ReadExact(header, 4)) {
            return false;
        }
        if (std::memcmp(header, "jp2 ", 4) == 0) {
            return true;
        }
    }
    return false;
}

bool HasCodestreamStart(cFileIOTarget* stream)
{
    static constexpr u8 kStart[4] = {0xFF, 0x4F, 0xFF, 0x51};
    u8 bytes[4];
    return stream != nullptr && stream->ReadExact(bytes, 4) && std::memcmp(bytes, kStart, 4) == 0;
}
