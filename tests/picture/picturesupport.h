#pragma once
// Helpers of the picture tests: PNG reference decodes (pypng, libpng through pngtopam),
// pictures against them, ImageMagick on a picture's pixels.
#include "base/memio.h"
#include "base/streams.h"
#include "picture/core/picture.h"
#include "picture/countingstream.h"
#include "picture/factory/pictfactory.h"
#include "picture/factory/thumbnail.h"
#include "picture/formats/pngreader.h"
#include "picture/props/fileprops.h"
#include "picture/props/propsfactory.h"
#include "picture/referencetools.h"

#include <dirent.h>

#include <cstring>
#include <fstream>

#include <map>
#include <memory>

namespace picttest {

// The paths of the .png files in `folder` (ending in '/'), sorted.
inline std::vector<std::string> ListPngFiles(const std::string& folder)
{
    std::vector<std::string> paths;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) {
                paths.push_back(folder + name);
            }
        }
        ::closedir(dir);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

inline std::string BaseName(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

// The decode of a PNG by libpng through netpbm's pngtopam: colour expanded to RGBA, tRNS
// alpha of palettes and grey keys, no gamma. It leaves RGB key colours opaque.
inline bool PngToPamDecode(const std::string& path, sPnm& pam)
{
    return ParsePnm(RunCommand("pngtopam -alphapam " + qeltest::ShellQuote(path)), pam);
}

// The decode of each PNG by pypng (tools/testdata/png_to_pam.py), by base name; files it
// refuses are missing. Empty when python3 or pypng is missing.
inline std::map<std::string, sPnm> PypngDecode(const std::vector<std::string>& paths)
{
    std::map<std::string, sPnm> result;
    const qeltest::cScratchFolder folder;
    std::string command = std::string("/usr/bin/python3 '") + QEL_SOURCE_DIR +
                          "/tools/testdata/png_to_pam.py' " + folder.Path();
    for (const std::string& path : paths) {
        command += " " + qeltest::ShellQuote(path);
    }
    if (folder.Path().empty() || !RunsOk(command)) {
        return result;
    }
    for (const std::string& path : paths) {
        const std::string name = BaseName(path);
        sPnm pam;
        if (ParsePnm(ReadFileBytes(folder.PathOf(name.substr(0, name.size() - 4) + ".pam")), pam)) {
            result[name] = pam;
        }
    }
    return result;
}

// The picture's pixels top-down (pictures are stored bottom-up).
template <class T>
std::vector<T> TopDown(const T* pixels, i32 width, i32 height)
{
    std::vector<T> rows;
    for (i32 r = height - 1; r >= 0 && pixels != nullptr; --r) {
        rows.insert(rows.end(), pixels + i64(r) * width, pixels + i64(r + 1) * width);
    }
    return rows;
}

inline std::vector<u32> TopDown32(cPictBase& picture)
{
    return TopDown(picture.Pixels32().GetData(), picture.GetWidth(), picture.GetHeight());
}

// Entry `page` by winicontopam -andmasks, top-down: the AND mask applied below 32 bits;
// 32-bit entries carry it as a fifth plane, which is dropped.
inline std::vector<u32> WinIconToPam(const std::string& path, i32 page)
{
    sPnm pnm;
    (void)ParsePnm(RunCommand("winicontopam -andmasks -image=" + std::to_string(page) + " " + path),
                   pnm);
    for (size_t i = 0; pnm.depth == 5 && i < pnm.samples.size() / 5; ++i) {
        std::copy_n(pnm.samples.begin() + i64(i * 5), 4, pnm.samples.begin() + i64(i * 4));
    }
    pnm.depth = std::min(pnm.depth, 4);
    return PnmPixels32(pnm);
}

inline bool DecodeBytes(const std::vector<u8>& bytes, cPictBase& picture)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    return picture.Load(&stream);
}

// Size, depth and every pixel of a decoded picture against a reference decode; deep
// references (MAXVAL 65535) compare on the 16-bit values.
inline ::testing::AssertionResult MatchesReference(cPictBase& picture, const sPnm& reference)
{
    const i32 w = picture.GetWidth();
    const i32 h = picture.GetHeight();
    if (w != reference.width || h != reference.height) {
        return ::testing::AssertionFailure() << "size " << w << "x" << h << ", reference "
                                             << reference.width << "x" << reference.height;
    }
    if (picture.IsDeep() != (reference.maxval == 65535)) {
        return ::testing::AssertionFailure() << "deep flag differs";
    }
    return picture.IsDeep()
               ? SamePixels(TopDown(picture.Pixels64().GetData(), w, h), PnmPixels64(reference), w)
               : SamePixels(TopDown32(picture), PnmPixels32(reference), w);
}

// ImageMagick's `convert` with `options` run on the picture's 32-bit pixels; its result as
// top-down RGB bytes (alpha is not passed on).
inline std::vector<u8> ImageMagickRgb(cPictBase& picture, const std::string& options)
{
    const qeltest::cScratchFolder folder;
    std::string ppm = "P6\n" + std::to_string(picture.GetWidth()) + " " +
                      std::to_string(picture.GetHeight()) + "\n255\n";
    for (u32 p : TopDown32(picture)) {
        ppm += {char(p >> 16), char(p >> 8), char(p)};
    }
    WriteFileBytes(folder.PathOf("in.ppm"), ppm);
    return RunCommand("convert ppm:" + folder.PathOf("in.ppm") + " " + options + " -depth 8 rgb:-");
}

// A target over a pixel buffer of its own, filled with `fill` so that untouched pixels
// show; the background is kTargetBackground.
constexpr u32 kTargetBackground = 0xFF102030;
struct sTargetBuffer
{
    std::vector<u32> pixels;
    sPictTarget target;

    sTargetBuffer(i32 width, i32 height, u32 fill = 0x5A5A5A5A)
        : pixels(size_t(width) * height, fill)
    {
        target.pixels = pixels.data();
        target.width = width;
        target.height = height;
        target.background = kTargetBackground;
    }
    u32 At(i32 x, i32 y) const { return pixels[size_t(y) * target.width + x]; }
    void Zoom(f64 zoom, i32 panX, i32 panY)
    {
        target.mode = kPictTargetZoom;
        target.zoom = zoom;
        target.panX = panX;
        target.panY = panY;
    }
};

inline std::string PreviewSample(const std::string& name)
{
    return qeltest::LocalDataPath("zippreview/" + name);
}

// Deletes a picture through its deleting destructor.
struct sPictDelete
{
    void operator()(cPictBase* picture) const { picture->Delete(); }
};
using tPicture = std::unique_ptr<cPictBase, sPictDelete>;

// The factory's picture for the bytes (unloaded with an info, loaded without one).
inline tPicture CreatePicture(const std::vector<u8>& bytes, sPictInfo* info)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    return tPicture(PictCreateFromStream(&stream, info));
}

// The 32-bit pixels of a picture (bottom-up, as stored).
inline std::vector<u32> PixelsOf(cPictBase& picture)
{
    const u32* data = picture.Pixels32().GetData();
    return data == nullptr ? std::vector<u32>()
                           : std::vector<u32>(data, data + picture.Pixels32().GetCount());
}

inline i64 StatusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, std::strlen(field), field) == 0) {
            return std::strtoll(line.c_str() + std::strlen(field) + 1, nullptr, 10);
        }
    }
    return -1;
}

// The growth of the peak resident size while `work` runs; writing 5 to clear_refs resets
// the peak to the current size (Linux 4.0 on).
template <class Work> i64 PeakResidentGrowth(Work work)
{
    std::ofstream("/proc/self/clear_refs") << "5";
    const i64 before = StatusKilobytes("VmRSS:");
    work();
    return (StatusKilobytes("VmHWM:") - before) * 1024;
}

// ThreadSanitizer's allocator commits the pages that calloc, or a large malloc never
// written, leaves to the kernel elsewhere: resident growth under it says nothing about the
// readers.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kResidentGrowthMeasured = false;
#else
inline constexpr bool kResidentGrowthMeasured = true;
#endif

// AddressSanitizer writes the shadow of a block, a byte per eight, when it hands it out and
// when it is freed, even where the block itself was never touched: a reader that reserves a
// large buffer and fails before filling it still grows by an eighth of that buffer under it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr i64 AsanShadowOf(i64 bytes) { return bytes / 8; }
#else
inline constexpr i64 AsanShadowOf(i64) { return 0; }
#endif

// A file's three roads to a picture - the factory's decode, a 256x256 thumbnail and the
// file properties' picture - with the peak resident growth over all three.
struct sEveryRoad
{
    bool decoded = true;
    bool thumbnail = true;
    bool propsPicture = true;
    i64 growth = 0;
};

inline sEveryRoad TryEveryRoad(const std::vector<u8>& bytes)
{
    sEveryRoad result;
    cBufWrapperIO stream(bytes.data(), bytes.size());
    result.growth = PeakResidentGrowth([&] {
        const tPicture picture = CreatePicture(bytes, nullptr);
        result.decoded = picture != nullptr && DecodeBytes(bytes, *picture);
        cPictDummy small;
        result.thumbnail =
            stream.Seek(0) && PictThumbnailFromStream(&stream, &small, 256, 256) == kThumbOk;
        std::unique_ptr<cFileObjectProps> props(stream.Seek(0) ? CreateFileProps(&stream) : nullptr);
        if (props != nullptr) {
            props->m_boxWidth = props->m_boxHeight = 256;
            (void)props->ReadProps(&stream, nullptr, true);
        }
        result.propsPicture = props != nullptr && FindThumbnail(props.get()) != nullptr;
    });
    return result;
}

// The factory's format id for the file, and `file`'s MIME type for it: two independent
// sniffers that must agree on the corpora.
inline ::testing::AssertionResult FactoryAgreesWithFile(const std::string& path, i32 id,
                                                        const std::string& mime)
{
    const tPicture picture = CreatePicture(ReadFileBytes(path), nullptr);
    const std::vector<u8> said = RunCommand("file -b --mime-type " + qeltest::ShellQuote(path));
    const std::string fileMime(said.begin(), said.end());
    if (picture == nullptr || picture->GetFormatId() != id || fileMime != mime + "\n") {
        return ::testing::AssertionFailure()
               << "format " << (picture ? picture->GetFormatId() : -1) << ", file says " << fileMime;
    }
    return ::testing::AssertionSuccess();
}

} // namespace picttest
