// Thumbnails: every result code of the three roads (embedded preview, streaming decode,
// full decode and resample) on a test picture that counts what is asked of it, and a decode
// stopped by closing its file from another thread. (JPEG Exif previews: jpegpicture_test.cpp.)
#include "base/fileio.h"
#include "picture/core/streamguard.h"
#include "picture/factory/pictfactory.h"
#include "picture/factory/thumbnail.h"
#include "picture/picturesupport.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace picttest;

constexpr u32 kRed = 0xFFFF0000;
constexpr u32 kGreen = 0xFF00FF00;

// A picture of one colour whose roads are chosen by the test: an embedded preview of a
// given size (none when 0), streaming or whole decoding, and a decode that fails after
// writing half of the image.
class cTestPicture : public cPictBase
{
public:
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override
    {
        ++m_readInfos;
        *info = m_info;
        return true;
    }
    bool Load(cFileIOTarget* stream) override
    {
        ++m_loads;
        const i32 w = m_info.width;
        const i32 h = m_info.height;
        if (m_failBeforeStreaming) {
            return false;
        }
        if (HasTarget()) {
            SetImageSize(w, h, false);
            if (!BeginStreamRender()) {
                return false;
            }
            for (i32 y = 0; y < (m_failLoad ? h / 2 : h); ++y) {
                for (i32 x = 0; x < w; ++x) {
                    StreamPixel(x, y, kRed);
                }
            }
            EndStreamRender();
            return !m_failLoad;
        }
        if (m_failLoad || !AllocClear32(w, h)) {
            return false;
        }
        std::fill_n(Pixels32().GetData(), Pixels32().GetCount(), kRed);
        return true;
    }
    bool LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                             i32* height) override
    {
        if (m_previewWidth == 0 || !out->AllocClear32(m_previewWidth, m_previewHeight)) {
            return false;
        }
        std::fill_n(out->Pixels32().GetData(), out->Pixels32().GetCount(), kGreen);
        return true;
    }
    bool RendersWhileDecoding() override { return m_streams; }

    sPictInfo m_info{1000, 750, 0};
    i32 m_previewWidth = 0;
    i32 m_previewHeight = 0;
    bool m_streams = true;
    bool m_failLoad = false;
    bool m_failBeforeStreaming = false;
    i32 m_loads = 0;
    i32 m_readInfos = 0;
};

bool AllPixelsAre(cPictBase& picture, u32 value)
{
    const std::vector<u32> pixels = PixelsOf(picture);
    return !pixels.empty() &&
           std::all_of(pixels.begin(), pixels.end(), [&](u32 p) { return p == value; });
}

// One road through PictRenderThumbnail on the test picture, and what it must give.
struct sRoad
{
    const char* what;
    sPictInfo info;
    i32 previewWidth, previewHeight; // the embedded preview; none when 0
    bool streams, failLoad, failBeforeStreaming;
    i32 boxWidth, boxHeight;
    bool allowFullDecode;
    i32 code;
    i32 outWidth, outHeight;
    u32 colour; // of every pixel of the out picture when it has a size
    i32 loads;
};

constexpr sPictInfo k1000x750{1000, 750, 0};
constexpr sPictInfo kWithPreview{1000, 750, 1};
constexpr i32 kMax = 0x7FFFFFFF;

// A failed decode, half-way through a stream or before it began, leaves the out picture
// cleared; the picture never keeps the target, which lives only as long as the call.
const sRoad kRoads[] = {
    {"empty box", k1000x750, 0, 0, true, false, false, 0, 100, true, kThumbEmpty, 0, 0, 0, 0},
    {"thin picture", {1000, 3, 0}, 0, 0, true, false, false, 100, 100, true, kThumbEmpty, 0, 0, 0, 0},
    {"preview that fits, kept as it is", kWithPreview, 160, 120, true, false, false, 200, 200, true,
     kThumbOk, 160, 120, kGreen, 0},
    {"larger preview, fitted by its own size", {1000, 1000, 1}, 160, 120, true, false, false, 100,
     100, true, kThumbOk, 100, 75, kGreen, 0},
    {"failed preview, no full decode", kWithPreview, 0, 0, true, false, false, 100, 100, false,
     kThumbNoPreview, 0, 0, 0, 0},
    {"no preview, no full decode", k1000x750, 0, 0, true, false, false, 100, 100, false,
     kThumbNoPreview, 0, 0, 0, 0},
    {"failed preview, decoded", kWithPreview, 0, 0, true, false, false, 100, 100, true, kThumbOk, 100,
     75, kRed, 1},
    {"streamed", k1000x750, 0, 0, true, false, false, 64, 64, true, kThumbOk, 64, 48, kRed, 1},
    {"decoded whole", k1000x750, 0, 0, false, false, false, 64, 64, true, kThumbOk, 64, 48, kRed, 1},
    {"stream failing half-way", k1000x750, 0, 0, true, true, false, 64, 64, true,
     kThumbDecodeFailed, 64, 48, 0, 1},
    {"stream failing at once", k1000x750, 0, 0, true, true, true, 64, 64, true,
     kThumbDecodeFailed, 64, 48, 0, 1},
    {"whole decode failing", k1000x750, 0, 0, false, true, false, 64, 64, true,
     kThumbDecodeFailed, 64, 48, 0, 1},
    {"out picture above the pixel cap", {60000, 60000, 0}, 0, 0, true, false, false, kMax, kMax,
     true, kThumbNoMemory, 0, 0, 0, 0},
};

// What ctest and failure messages show of a road.
void PrintTo(const sRoad& road, std::ostream* out)
{
    *out << road.what;
}

class ThumbnailRoad : public ::testing::TestWithParam<sRoad>
{
};

TEST_P(ThumbnailRoad, GivesItsCodeSizeAndPixels)
{
    const sRoad& road = GetParam();
    cTestPicture picture;
    picture.m_info = road.info;
    picture.m_previewWidth = road.previewWidth;
    picture.m_previewHeight = road.previewHeight;
    picture.m_streams = road.streams;
    picture.m_failLoad = road.failLoad;
    picture.m_failBeforeStreaming = road.failBeforeStreaming;
    u8 byte = 0;
    cBufWrapperIO stream(&byte, 1);
    cPictDummy out;
    EXPECT_EQ(PictRenderThumbnail(road.info, &picture, &stream, &out, road.boxWidth,
                                  road.boxHeight, road.allowFullDecode, 0x00FFFFFF),
              road.code);
    EXPECT_EQ(std::pair(out.GetWidth(), out.GetHeight()), std::pair(road.outWidth, road.outHeight));
    if (road.outWidth > 0) {
        EXPECT_TRUE(AllPixelsAre(out, road.colour));
    }
    EXPECT_EQ(picture.m_loads, road.loads);
    // Only a whole decode leaves the image in the picture; a stream never holds it.
    EXPECT_EQ(picture.HasPixels(), road.code == kThumbOk && road.loads > 0 && !road.streams);
    EXPECT_FALSE(picture.HasTarget());
}

INSTANTIATE_TEST_SUITE_P(Roads, ThumbnailRoad, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<sRoad>& info) {
                             return CamelCaseName(info.param.what);
                         });

// ---- The stream guard ----

// A file that signals once reading has passed `trigger` bytes and waits until the other
// thread has closed it, so the close always lands in the middle of the image data.
class cCloseMidwayFile : public cFileIO
{
public:
    explicit cCloseMidwayFile(u64 trigger) : m_trigger(trigger) {}

    u32 Read(void* buffer, u32 length) override
    {
        if (!m_closeWanted && GetPosition() >= m_trigger) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_closeWanted = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_closed; });
        }
        return cFileIO::Read(buffer, length);
    }

    // The other thread's side: waits for the signal, closes the file.
    void CloseWhenAsked()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closeWanted; });
        Close();
        m_closed = true;
        m_changed.notify_all();
    }

private:
    u64 m_trigger;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_closeWanted = false;
    bool m_closed = false;
};

TEST(Thumbnail, ClosingTheFileStopsTheDecodeWithCodeFour)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/convert"), "convert (imagemagick)");
    const qeltest::cScratchFolder folder;
    const std::string path = folder.PathOf("big.png");
    ASSERT_TRUE(RunsOk("/usr/bin/convert -seed 9 -size 1500x1000 xc: +noise Random PNG24:" + path));
    const u64 size = ReadFileBytes(path).size();
    ASSERT_GT(size, 1000000u);
    cCloseMidwayFile stream(size / 2);
    ASSERT_TRUE(stream.Create(path.c_str(), FileMode::Read));
    cStreamGuardProgressTarget guard(&stream);
    EXPECT_TRUE(guard.SetProgress(0.0));
    std::thread closer([&] { stream.CloseWhenAsked(); });
    cPictDummy out;
    const i32 result = PictThumbnailFromStream(&stream, &out, 150, 150);
    closer.join();
    EXPECT_EQ(result, kThumbDecodeFailed);
    EXPECT_EQ(out.GetWidth(), 150);
    EXPECT_EQ(out.GetHeight(), 100);
    EXPECT_TRUE(AllPixelsAre(out, 0));
    EXPECT_TRUE(guard.IsCancelled());
    cStreamGuardProgressTarget none(nullptr);
    EXPECT_TRUE(none.IsCancelled());
}

} // namespace
