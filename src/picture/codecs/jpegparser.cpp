// The JPEG marker loop and its segments (ITU-T T.81 Annex B).
#include "picture/codecs/jpegcontext.h"

#include "base/byteorder.h"

#include <cstring>
#include <new>

const u8 kJpegNaturalOrder[64 + 16] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33,
    40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36,
    29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54,
    47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63,
};

namespace {

enum : u8
{
    kSof0 = 0xC0,
    kSof1 = 0xC1,
    kSof2 = 0xC2,
    kSof3 = 0xC3,
    kDht = 0xC4,
    kRst0 = 0xD0,
    kRst7 = 0xD7,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDqt = 0xDB,
    kDnl = 0xDC,
    kDri = 0xDD,
    kDhp = 0xDE,
    kExp = 0xDF,
    kApp0 = 0xE0,
    kApp1 = 0xE1,
    kApp14 = 0xEE,
    kSof55 = 0xF7,
    kTem = 0x01,
};

bool IsUnsupportedFrame(u8 marker)
{
    // Hierarchical (SOF5-7), arithmetic (SOF9-11, SOF13-15), their DHP/EXP, and JPEG-LS.
    return (marker >= 0xC5 && marker <= 0xC7) || (marker >= 0xC9 && marker <= 0xCB) ||
           (marker >= 0xCD && marker <= 0xCF) || marker == kDhp || marker == kExp ||
           marker == kSof55;
}

} // namespace

// ---------------------------------------------------------------------------------------
// cJPEGParser

cJPEGParser::cJPEGParser() : m_context(new (std::nothrow) sJpegContext(*this)) {}

cJPEGParser::~cJPEGParser() = default;

bool cJPEGParser::ParseMarkers(cFileIOTarget* stream)
{
    if (!m_context) {
        return false;
    }
    bool ok = m_context->Parse(stream);
    m_context->m_input.End();
    return ok;
}

int cJPEGParser::GetPrecision() const { return m_context ? m_context->m_precision : 0; }
int cJPEGParser::GetFrameWidth() const { return m_context ? m_context->m_width : 0; }
int cJPEGParser::GetFrameHeight() const { return m_context ? m_context->m_height : 0; }
int cJPEGParser::GetMaxHorizontalSampling() const { return m_context ? m_context->m_hMax : 1; }
int cJPEGParser::GetMaxVerticalSampling() const { return m_context ? m_context->m_vMax : 1; }

bool cJPEGParser::DecodeRegion(int mcuColumn, int mcuRow, void* const* rowPointers, int width,
                               int rows)
{
    return m_context && m_context->DecodeRegion(mcuColumn, mcuRow, rowPointers, width, rows);
}

void cJPEGParser::ConvertRow8(const u8* const* samples, u32* destination, int count, int step) const
{
    ConvertJpegRow8(m_context->m_colorSpace, m_context->m_colorTables, samples, destination, count,
                    step);
}

void cJPEGParser::ConvertRow16(const u16* const* samples, u64* destination, int count) const
{
    ConvertJpegRow16(m_context->m_colorSpace, m_context->m_precision, samples, destination, count);
}

// ---------------------------------------------------------------------------------------
// The marker loop

void sJpegContext::Reset()
{
    std::memset(m_quantDefined, 0, sizeof m_quantDefined);
    for (int i = 0; i < 4; ++i) {
        m_dcTables[i].m_defined = false;
        m_acTables[i].m_defined = false;
        m_components[i] = sJpegComponent();
    }
    m_restartInterval = 0;
    m_sawJfif = false;
    m_sawAdobe = false;
    m_adobeTransform = 0;
    m_exifHandedOver = false;
    m_frameSeen = false;
    m_kind = eJpegFrameKind::Sequential;
    m_precision = 0;
    m_width = 0;
    m_height = 0;
    m_componentCount = 0;
    m_hMax = 1;
    m_vMax = 1;
    m_mcusAcross = 0;
    m_mcusDown = 0;
    m_colorSpace = eJpegColorSpace::Grey;
    m_scanCount = 0;
    m_store = eJpegCoefficientStore::None;
    m_imageComplete = false;
    m_bandRow = -1;
}

bool sJpegContext::Fail(const char* what)
{
    m_owner.OnError(what);
    return false;
}

bool sJpegContext::Parse(cFileIOTarget* stream)
{
    Reset();
    if (!m_input.Begin(stream)) {
        return Fail("no memory for the input buffer");
    }
    m_bits.Begin(&m_input);
    u8 first = 0;
    u8 second = 0;
    if (!m_input.ReadByte(first) || !m_input.ReadByte(second) || first != 0xFF || second != kSoi) {
        return Fail("SOI is not the first marker");
    }
    for (;;) {
        u8 marker = 0;
        if (!NextMarker(marker)) {
            return Fail("the data ends before EOI");
        }
        if (marker == kEoi) {
            if (m_store == eJpegCoefficientStore::Image) {
                return EmitImage();
            }
            if (m_scanCount == 0) {
                return Fail("EOI before any scan");
            }
            return true;
        }
        if ((marker >= kRst0 && marker <= kRst7) || marker == kTem) {
            continue; // no payload; stray ones are harmless
        }
        if (marker == kSoi) {
            return Fail("a second SOI");
        }
        if (marker == kDnl) {
            return Fail("DNL (height defined after the scan) is not supported");
        }
        if (IsUnsupportedFrame(marker)) {
            return Fail("arithmetic, hierarchical or JPEG-LS frames are not supported");
        }
        bool ok = true;
        switch (marker) {
        case kSof0:
        case kSof1:
        case kSof2:
        case kSof3:
            if (!ProcessFrame(marker)) {
                return false;
            }
            if (!m_owner.OnFrame()) {
                return false;
            }
            break;
        case kDht:
            ok = ProcessDht();
            break;
        case kDqt:
            ok = ProcessDqt();
            break;
        case kDri:
            ok = ProcessDri();
            break;
        case kSos: {
            if (!m_frameSeen) {
                return Fail("SOS before the frame header");
            }
            if (!ProcessScanHeader()) {
                return false;
            }
            if (m_scanCount == 0) {
                ChooseColorSpace();
                if (!m_owner.WantsPixels()) {
                    return true;
                }
                if (!PrepareStore()) {
                    return false;
                }
            }
            ++m_scanCount;
            if (m_kind == eJpegFrameKind::Lossless) {
                ok = DecodeLosslessScan();
            } else {
                ok = DecodeScan();
            }
            break;
        }
        default:
            // APPn, COM, DAC (arithmetic conditioning, unused without an arithmetic
            // frame) and unknown segments.
            ok = ProcessApp(marker);
            break;
        }
        if (!ok) {
            return false;
        }
    }
}

bool sJpegContext::NextMarker(u8& marker)
{
    if (m_bits.GetMarker() != 0) {
        marker = m_bits.GetMarker();
        m_bits.ClearMarker();
        return true;
    }
    // Bytes other than 0xFF between segments are skipped, as common decoders do; any
    // number of 0xFF fill bytes may precede a marker (B.1.1.2).
    for (;;) {
        u8 byte = 0;
        if (!m_input.ReadByte(byte)) {
            return false;
        }
        if (byte != 0xFF) {
            continue;
        }
        do {
            if (!m_input.ReadByte(byte)) {
                return false;
            }
        } while (byte == 0xFF);
        if (byte != 0) {
            marker = byte;
            return true;
        }
    }
}

bool sJpegContext::ReadSegmentLength(u32& payload)
{
    u16 length = 0;
    if (!m_input.ReadU16(length)) {
        return Fail("truncated segment length");
    }
    if (length < 2) {
        return Fail("segment length below 2");
    }
    payload = length - 2u;
    return true;
}

// B.2.4.1: one or more tables, each Pq/Tq and 64 values in zig-zag order.
bool sJpegContext::ProcessDqt()
{
    u32 left = 0;
    if (!ReadSegmentLength(left)) {
        return false;
    }
    while (left > 0) {
        u8 pqTq = 0;
        if (!m_input.ReadByte(pqTq)) {
            return Fail("truncated DQT");
        }
        --left;
        const int pq = pqTq >> 4;
        const int tq = pqTq & 15;
        if (pq > 1 || tq > 3) {
            return Fail("DQT precision or table number out of range");
        }
        const u32 size = pq == 0 ? 64 : 128;
        if (left < size) {
            return Fail("DQT shorter than its table");
        }
        u8 raw[128];
        if (!m_input.ReadBytes(raw, size)) {
            return Fail("truncated DQT");
        }
        left -= size;
        for (int k = 0; k < 64; ++k) {
            u16 value = pq == 0 ? raw[k] : LoadBe16(raw + 2 * k);
            m_quantTables[tq][kJpegNaturalOrder[k]] = value;
        }
        m_quantDefined[tq] = true;
    }
    return true;
}

// B.2.4.2: one or more tables, each Tc/Th, 16 counts and the symbols.
bool sJpegContext::ProcessDht()
{
    u32 left = 0;
    if (!ReadSegmentLength(left)) {
        return false;
    }
    while (left > 0) {
        u8 header[17];
        if (left < 17 || !m_input.ReadBytes(header, 17)) {
            return Fail("truncated DHT");
        }
        left -= 17;
        const int tc = header[0] >> 4;
        const int th = header[0] & 15;
        if (tc > 1 || th > 3) {
            return Fail("DHT class or table number out of range");
        }
        u32 total = 0;
        for (int i = 1; i <= 16; ++i) {
            total += header[i];
        }
        if (total > 256 || total > left) {
            return Fail("DHT counts exceed 256 or the segment");
        }
        u8 values[256];
        if (!m_input.ReadBytes(values, total)) {
            return Fail("truncated DHT");
        }
        left -= total;
        sJpegHuffmanTable& table = tc == 0 ? m_dcTables[th] : m_acTables[th];
        if (!BuildHuffmanTable(header + 1, values, table)) {
            table.m_defined = false;
            return Fail("over-subscribed Huffman table");
        }
    }
    return true;
}

bool sJpegContext::ProcessDri()
{
    u32 left = 0;
    u16 interval = 0;
    if (!ReadSegmentLength(left)) {
        return false;
    }
    if (left < 2 || !m_input.ReadU16(interval) || !m_input.Skip(left - 2)) {
        return Fail("truncated DRI");
    }
    m_restartInterval = interval;
    return true;
}

// B.2.2: P, Y, X, Nf and per component Ci, Hi/Vi, Tqi.
bool sJpegContext::ProcessFrame(u8 marker)
{
    if (m_frameSeen) {
        return Fail("a second frame header");
    }
    u32 left = 0;
    if (!ReadSegmentLength(left)) {
        return false;
    }
    u8 header[6];
    if (left < 6 || !m_input.ReadBytes(header, 6)) {
        return Fail("truncated frame header");
    }
    m_kind = marker == kSof2   ? eJpegFrameKind::Progressive
             : marker == kSof3 ? eJpegFrameKind::Lossless
                               : eJpegFrameKind::Sequential;
    m_precision = header[0];
    m_height = LoadBe16(header + 1);
    m_width = LoadBe16(header + 3);
    m_componentCount = header[5];

    if (m_kind == eJpegFrameKind::Lossless) {
        if (m_precision < 2 || m_precision > 16) {
            return Fail("lossless precision outside 2..16");
        }
    } else if (marker == kSof0 ? m_precision != 8 : (m_precision != 8 && m_precision != 12)) {
        return Fail("sample precision not supported");
    }
    if (m_height == 0) {
        return Fail("frame height 0 (DNL) is not supported");
    }
    if (m_width == 0) {
        return Fail("frame width 0");
    }
    if (m_componentCount != 1 && m_componentCount != 3 && m_componentCount != 4) {
        return Fail("component count other than 1, 3 or 4");
    }
    if (left < 6 + 3u * m_componentCount) {
        return Fail("frame header shorter than its components");
    }
    m_hMax = 1;
    m_vMax = 1;
    for (int i = 0; i < m_componentCount; ++i) {
        u8 fields[3];
        if (!m_input.ReadBytes(fields, 3)) {
            return Fail("truncated frame header");
        }
        sJpegComponent& component = m_components[i];
        component.m_id = fields[0];
        component.m_h = fields[1] >> 4;
        component.m_v = fields[1] & 15;
        component.m_quantIndex = fields[2];
        if (component.m_h < 1 || component.m_h > 4 || component.m_v < 1 || component.m_v > 4) {
            return Fail("sampling factor outside 1..4");
        }
        if (component.m_quantIndex > 3) {
            return Fail("quantisation table number above 3");
        }
        for (int j = 0; j < i; ++j) {
            if (m_components[j].m_id == component.m_id) {
                return Fail("two components with one id");
            }
        }
        if (m_kind == eJpegFrameKind::Lossless && (component.m_h != 1 || component.m_v != 1)) {
            return Fail("subsampled lossless frames are not supported");
        }
        if (component.m_h > m_hMax) {
            m_hMax = component.m_h;
        }
        if (component.m_v > m_vMax) {
            m_vMax = component.m_v;
        }
    }
    if (!m_input.Skip(left - 6 - 3u * m_componentCount)) {
        return Fail("truncated frame header");
    }
    // A single component is not subsampled whatever it declares: its scan is
    // non-interleaved, one block per MCU.
    if (m_componentCount == 1) {
        m_components[0].m_h = 1;
        m_components[0].m_v = 1;
        m_hMax = 1;
        m_vMax = 1;
    }
    for (int i = 0; i < m_componentCount; ++i) {
        sJpegComponent& component = m_components[i];
        if (m_hMax % component.m_h != 0 || m_vMax % component.m_v != 0) {
            return Fail("sampling factors with non-integral ratios");
        }
        const i64 componentWidth = (i64(m_width) * component.m_h + m_hMax - 1) / m_hMax;
        const i64 componentHeight = (i64(m_height) * component.m_v + m_vMax - 1) / m_vMax;
        component.m_widthInBlocks = int((componentWidth + 7) / 8);
        component.m_heightInBlocks = int((componentHeight + 7) / 8);
    }
    m_mcusAcross = (m_width + 8 * m_hMax - 1) / (8 * m_hMax);
    m_mcusDown = (m_height + 8 * m_vMax - 1) / (8 * m_vMax);
    m_frameSeen = true;
    return true;
}

// APPn, COM, DAC and unknown segments. APP0 "JFIF", APP1 "Exif" and APP14 "Adobe" are
// looked at; everything else is skipped by its length.
bool sJpegContext::ProcessApp(u8 marker)
{
    u32 left = 0;
    if (!ReadSegmentLength(left)) {
        return false;
    }
    if (marker == kApp0 && left >= 5) {
        u8 signature[5];
        if (!m_input.ReadBytes(signature, 5)) {
            return Fail("truncated APP0");
        }
        left -= 5;
        if (std::memcmp(signature, "JFIF\0", 5) == 0) {
            m_sawJfif = true;
        }
    } else if (marker == kApp14 && left >= 12) {
        u8 payload[12];
        if (!m_input.ReadBytes(payload, 12)) {
            return Fail("truncated APP14");
        }
        left -= 12;
        if (std::memcmp(payload, "Adobe", 5) == 0) {
            m_sawAdobe = true;
            m_adobeTransform = payload[11];
        }
    } else if (marker == kApp1 && left >= 6 && !m_exifHandedOver) {
        std::unique_ptr<u8[]> payload(new (std::nothrow) u8[left]);
        if (!payload) {
            return Fail("no memory for APP1");
        }
        if (!m_input.ReadBytes(payload.get(), left)) {
            return Fail("truncated APP1");
        }
        if (std::memcmp(payload.get(), "Exif\0\0", 6) == 0) {
            m_exifHandedOver = true;
            return m_owner.OnExifData(payload.get() + 6, left - 6);
        }
        return true;
    }
    if (!m_input.Skip(left)) {
        return Fail("truncated segment");
    }
    return true;
}

// B.2.3: Ns, per component Csj and Tdj/Taj, then Ss, Se, Ah/Al.
bool sJpegContext::ProcessScanHeader()
{
    u32 left = 0;
    if (!ReadSegmentLength(left)) {
        return false;
    }
    u8 count = 0;
    if (left < 1 || !m_input.ReadByte(count)) {
        return Fail("truncated scan header");
    }
    if (count < 1 || count > 4 || left < 4 + 2u * count) {
        return Fail("scan component count out of range");
    }
    m_scanComponentCount = count;
    for (int i = 0; i < count; ++i) {
        u8 fields[2];
        if (!m_input.ReadBytes(fields, 2)) {
            return Fail("truncated scan header");
        }
        int index = -1;
        for (int c = 0; c < m_componentCount; ++c) {
            if (m_components[c].m_id == fields[0]) {
                index = c;
            }
        }
        if (index < 0) {
            return Fail("scan names a component the frame does not have");
        }
        for (int j = 0; j < i; ++j) {
            if (m_scanComponents[j] == index) {
                return Fail("scan names a component twice");
            }
        }
        m_scanComponents[i] = index;
        m_components[index].m_dcTable = fields[1] >> 4;
        m_components[index].m_acTable = fields[1] & 15;
        if (m_components[index].m_dcTable > 3 || m_components[index].m_acTable > 3) {
            return Fail("Huffman table number above 3");
        }
    }
    u8 tail[3];
    if (!m_input.ReadBytes(tail, 3) || !m_input.Skip(left - 4 - 2u * count)) {
        return Fail("truncated scan header");
    }
    m_ss = tail[0];
    m_se = tail[1];
    m_ah = tail[2] >> 4;
    m_al = tail[2] & 15;

    // The tables a scan uses must exist and fit its kind.
    const bool usesDc = m_kind != eJpegFrameKind::Progressive || (m_ss == 0 && m_ah == 0);
    const bool usesAc = m_kind == eJpegFrameKind::Sequential ||
                        (m_kind == eJpegFrameKind::Progressive && m_ss != 0);
    const int largestDcSymbol = m_kind == eJpegFrameKind::Lossless ? 16 : 15;
    for (int i = 0; i < count; ++i) {
        const sJpegComponent& component = m_components[m_scanComponents[i]];
        if (usesDc) {
            const sJpegHuffmanTable& table = m_dcTables[component.m_dcTable];
            if (!table.m_defined) {
                return Fail("scan uses an undefined DC table");
            }
            if (table.m_largestSymbol > largestDcSymbol) {
                return Fail("DC table symbol out of range");
            }
        }
        if (usesAc && !m_acTables[component.m_acTable].m_defined) {
            return Fail("scan uses an undefined AC table");
        }
        if (m_kind != eJpegFrameKind::Lossless && !component.m_quantLatched) {
            if (!m_quantDefined[component.m_quantIndex]) {
                return Fail("scan uses an undefined quantisation table");
            }
        }
    }

    if (m_kind == eJpegFrameKind::Progressive) {
        // G.1.1.1.1: DC scans have Se 0; AC scans cover one component within 1..63.
        if (m_ss == 0 ? m_se != 0 : (m_se < m_ss || m_se > 63 || count != 1)) {
            return Fail("progressive spectral selection out of range");
        }
        if (m_al > 13 || (m_ah != 0 && m_ah != m_al + 1)) {
            return Fail("progressive successive approximation out of range");
        }
    } else if (m_kind == eJpegFrameKind::Lossless) {
        if (m_ss < 1 || m_ss > 7) {
            return Fail("lossless predictor outside 1..7");
        }
        if (m_al >= m_precision) {
            return Fail("point transform not below the precision");
        }
    }
    return true;
}

// The colour space rule of common decoders: JFIF means YCbCr; else an Adobe marker's
// transform decides; else the component ids (for lossless frames, only 1, 2, 3 mean YCbCr).
void sJpegContext::ChooseColorSpace()
{
    if (m_componentCount == 1) {
        m_colorSpace = eJpegColorSpace::Grey;
    } else if (m_componentCount == 3) {
        if (m_sawJfif) {
            m_colorSpace = eJpegColorSpace::YCbCr;
        } else if (m_sawAdobe) {
            m_colorSpace = m_adobeTransform == 0 ? eJpegColorSpace::RGB : eJpegColorSpace::YCbCr;
        } else if (m_components[0].m_id == 82 && m_components[1].m_id == 71 &&
                   m_components[2].m_id == 66) {
            m_colorSpace = eJpegColorSpace::RGB; // 'R', 'G', 'B'
        } else if (m_kind == eJpegFrameKind::Lossless &&
                   !(m_components[0].m_id == 1 && m_components[1].m_id == 2 &&
                     m_components[2].m_id == 3)) {
            // Lossless coding keeps the samples as they were given, and the tools that write
            // such frames (ids 0, 1, 2 in DICOM files) give RGB; only the JFIF ids say YCbCr.
            m_colorSpace = eJpegColorSpace::RGB;
        } else {
            m_colorSpace = eJpegColorSpace::YCbCr;
        }
    } else {
        m_colorSpace =
            (m_sawAdobe && m_adobeTransform != 0) ? eJpegColorSpace::YCCK : eJpegColorSpace::CMYK;
    }
    m_colorTables.Init();
    if (m_precision == 12) {
        m_rangeLimit.Init(m_precision);
    }
    m_idct8 = ChooseJpegIdct8();
    m_idct8Pair = ChooseJpegIdct8Pair();
    m_yccRow8 = ChooseJpegYccRow8();
}
