#pragma once
// Private to the JPEG decoder: the parse context shared by its source files.
//
// Glossary (ITU-T T.81): Nf/Ns = components in the frame/scan, Hi/Vi = sampling factors,
// Hmax/Vmax = their largest values, Tq = quantisation table, Td/Ta = DC/AC Huffman
// tables, Ss/Se = spectral selection, Ah/Al = successive approximation bit positions,
// Pt = point transform, Ri = restart interval, EOBRUN = end-of-band run.
#include "picture/codecs/jpegcolor.h"
#include "picture/codecs/jpeghuffman.h"
#include "picture/codecs/jpegidct.h"
#include "picture/codecs/jpeginput.h"
#include "picture/codecs/jpegparser.h"
#include "base/buffers.h"

#include <memory>

enum class eJpegFrameKind
{
    Sequential,  // SOF0, SOF1
    Progressive, // SOF2
    Lossless,    // SOF3
};

// Where decoded coefficients are kept.
enum class eJpegCoefficientStore
{
    None,
    Band,  // one MCU row: a single scan that holds every component, decoded row by row
    Image, // the whole image: progressive or multi-scan files, emitted after the last scan
};

struct sJpegComponent
{
    u8 m_id = 0;
    int m_h = 1; // Hi
    int m_v = 1; // Vi
    int m_quantIndex = 0;
    int m_dcTable = 0;
    int m_acTable = 0;
    i32 m_dcPrediction = 0;
    bool m_quantLatched = false;
    // Scans already applied to this component: a sequential frame takes each component in
    // one scan; a progressive one keeps, per coefficient, 1 + the Al of the last scan that
    // coded it (0 before the first).
    bool m_scanned = false;
    u8 m_codedAl[64] = {};
    u16 m_quant[64] = {}; // natural order, latched at the component's first scan

    int m_widthInBlocks = 0;  // ceil(component width / 8)
    int m_heightInBlocks = 0; // ceil(component height / 8)
    int m_blocksAcross = 0;   // MCUs across x Hi: the stored row of blocks
    int m_blockRowsStored = 0;
    // Read as zeros until written: a progressive file's blocks become resident only as
    // its scans reach them.
    _typebuf<i16> m_coefficients;

    // One band of samples for DecodeRegion: blocksAcross*8 wide, Vi*8 high.
    std::unique_ptr<u8[]> m_plane8;
    std::unique_ptr<u16[]> m_plane16;
    std::unique_ptr<u8[]> m_upsampled8;
    std::unique_ptr<u16[]> m_upsampled16;

    i16* Block(int blockX, int blockRow)
    {
        return m_coefficients.GetData() + (i64(blockRow) * m_blocksAcross + blockX) * 64;
    }
};

struct sJpegContext
{
    explicit sJpegContext(cJPEGParser& owner) : m_owner(owner) {}

    cJPEGParser& m_owner;
    cJpegInput m_input;
    cJpegBitReader m_bits;

    // Tables, reset for every parse.
    u16 m_quantTables[4][64] = {}; // natural order
    bool m_quantDefined[4] = {};
    sJpegHuffmanTable m_dcTables[4];
    sJpegHuffmanTable m_acTables[4];
    int m_restartInterval = 0;

    // Markers that decide the colour space.
    bool m_sawJfif = false;
    bool m_sawAdobe = false;
    int m_adobeTransform = 0;
    bool m_exifHandedOver = false;

    // Frame.
    bool m_frameSeen = false;
    eJpegFrameKind m_kind = eJpegFrameKind::Sequential;
    int m_precision = 0;
    int m_width = 0;
    int m_height = 0;
    int m_componentCount = 0;
    sJpegComponent m_components[4];
    int m_hMax = 1;
    int m_vMax = 1;
    int m_mcusAcross = 0;
    int m_mcusDown = 0;
    eJpegColorSpace m_colorSpace = eJpegColorSpace::Grey;
    sJpegColorTables8 m_colorTables;
    sJpegRangeLimit m_rangeLimit;
    tJpegIdct8 m_idct8 = IdctIslow8; // the IDCT of 8-bit samples this run uses
    tJpegIdct8Pair m_idct8Pair = nullptr; // and for two blocks side by side, if it has one
    tJpegYccRow8 m_yccRow8 = nullptr; // YCbCr rows with their chroma doubling, in one pass

    // Scans.
    int m_scanCount = 0;
    eJpegCoefficientStore m_store = eJpegCoefficientStore::None;
    bool m_imageComplete = false; // the Band store decoded its one scan
    int m_bandRow = -1;            // MCU row held by the Band store

    // Current scan.
    int m_scanComponents[4] = {};
    int m_scanComponentCount = 0;
    int m_ss = 0;
    int m_se = 63;
    int m_ah = 0;
    int m_al = 0;
    u32 m_eobRun = 0;
    int m_nextRestart = 0;

    void Reset();
    bool Fail(const char* what);

    // Marker segments (jpegparser.cpp).
    bool Parse(cFileIOTarget* stream);
    bool NextMarker(u8& marker);
    bool ReadSegmentLength(u32& payload);
    bool ProcessDqt();
    bool ProcessDht();
    bool ProcessDri();
    bool ProcessFrame(u8 marker);
    bool ProcessApp(u8 marker);
    bool ProcessScanHeader();
    void ChooseColorSpace();

    // Scans (jpegscan.cpp).
    bool PrepareStore();
    bool ScanAdvancesProgression();
    bool DecodeScan();
    bool DecodeSequentialBlock(sJpegComponent& component, i16* block);
    bool DecodeDcFirst(sJpegComponent& component, i16* block);
    bool DecodeDcRefine(i16* block);
    // Progressive AC scans over `count` blocks stored one after another.
    bool DecodeAcBlocks(sJpegComponent& component, i16* blocks, int count);
    bool DecodeBlock(sJpegComponent& component, i16* block);
    bool ProcessRestart();
    bool EmitImage();

    // Lossless scans (jpeglossless.cpp).
    bool DecodeLosslessScan();

    // Bands (jpegregion.cpp).
    bool AllocatePlanes();
    bool DecodeRegion(int mcuColumn, int mcuRow, void* const* rowPointers, int width, int rows);
    int FusedChromaFactor() const;
    void ConvertFusedRow(int row, u32* out, int width, int factor);
};

// Zig-zag position k to natural (row-major) position; entries past 63 absorb the index
// overruns of corrupt data.
extern const u8 kJpegNaturalOrder[64 + 16];
