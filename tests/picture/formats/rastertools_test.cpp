// The TGA, PPM, PCX and XPM readers on files made by ImageMagick, netpbm and Pillow from
// one plasma picture: every sample against an independent decoder (Pillow for TGA,
// pamtopam for PPM, pcxtoppm for PCX, xpmtoppm for XPM), the factory's format id against
// `file` and `identify`.
#include "picture/formats/pcxreader.h"
#include "picture/formats/ppmreader.h"
#include "picture/formats/tgareader.h"
#include "picture/formats/xpmreader.h"
#include "picture/rasterformats.h"

#include <map>

namespace {

struct sFormat
{
    i32 id;
    const char* reference; // prints the reference decode of the file $F as a PNM or PAM
    const char* mime;      // the start of what `file --mime-type` says
    const char* identify;  // the start of what `identify -format %m` says
};

const char* const kPillowToPam =
    "/usr/bin/python3 -c 'import sys; from PIL import Image; Image.open(sys.argv[1])"
    ".convert(\"RGBA\").save(sys.stdout.buffer, \"PNG\")' $F | pngtopam -alphapam";
const char* const kXpmToPam =
    "xpmtoppm --alphaout=a.pbm $F > a.ppm && pnmtopng -alpha=a.pbm a.ppm | pngtopam -alphapam";

// By file name extension; the others are netpbm files.
const sFormat kNetpbm = {kPictFormatPPM, "pamtopam < $F", "image/x-portable-", "P"};
const std::map<std::string, sFormat> kFormats = {
    {"tga", {kPictFormatTGA, kPillowToPam, "image/x-tga", "TGA"}},
    {"pcx", {kPictFormatPCX, "pcxtoppm $F", "image/x-pcx", "PCX"}},
    {"xpm", {kPictFormatXPM, kXpmToPam, "image/x-xpixmap", "XPM"}},
};

// "name command": the command runs in the folder with the name appended; $IM is
// ImageMagick on the 67 x 45 plasma src.ppm, pil runs Pillow code with the name as
// sys.argv[1]. A name starting with '!' is a file no reader may take.
const char* const kMade[] = {
    "t2.tga $IM -type TrueColor -compress None",
    "t10.tga $IM -type TrueColor -compress RLE",
    "t11.tga $IM -type Grayscale -compress RLE",
    "t3.tga $IM -type Grayscale -compress None",
    "t1.tga $IM -colors 12 -type Palette",
    "t9.tga $IM -colors 12 -type Palette -compress RLE",
    "t32.tga $IM -alpha set -channel A -evaluate set 50%",
    "ncmap.tga pnmquant 12 src.ppm | pamtotga -norle -cmap >",
    "nmono.tga ppmtopgm s1x9.ppm | pamtotga -norle -mono >",
    "tl.tga pil \"Image.open('src.ppm').save(sys.argv[1], rle=True, orientation=1)\"",
    "a.tga pil \"Image.open('src.ppm').convert('RGBA').save(sys.argv[1])\"",
    "ramp.pgm pgmramp -lr 256 16 >",
    "gingham.ppm ppmpat -gingham2 64 64 >",
    "grey10x3.pbm pbmmake -g 10 3 >",
    "deep.ppm pamdepth 65535 < src.ppm >",
    "ramp16.pgm pgmramp -lr -maxval 65535 300 4 >",
    "max15.ppm pamdepth 15 < src.ppm >",
    "s1x1.ppm true",
    "!plain.ppm pnmtoplainpnm src.ppm >",
    "!plain.pbm ppmtopgm src.ppm | pgmtopbm | pnmtoplainpnm >",
    "!p7.ppm pamtopam < src.ppm >",
    "n8.pcx pnmquant 200 src.ppm | ppmtopcx -8bit >",
    "n24.pcx ppmtopcx -24bit s13x7.ppm >",
    "n9x1.pcx ppmtopcx -24bit s9x1.ppm >",
    "rgb.pcx $IM",
    "palette.pcx $IM -colors 200 -type Palette",
    "1x9.pcx /usr/bin/convert s1x9.ppm",
    // Few colours make plain ppmtopcx write 4 planes of 1 bit.
    "!planar.pcx pnmquant 12 src.ppm | ppmtopcx >",
    "cpp1.xpm pnmquant 12 src.ppm | ppmtoxpm -hexonly >",
    "cpp2.xpm ppmtoxpm -hexonly src.ppm >",
    "none.xpm pbmmake -g 67 45 > m.pbm && ppmtoxpm -hexonly -alphamask=m.pbm src.ppm >",
    "cpp3.xpm /usr/bin/convert -seed 5 -size 200x150 xc: +noise Random -depth 8 ppm:- | ppmtoxpm "
    "-hexonly >",
    // ImageMagick writes colour names; xpmtoppm wants the declaration without const (and
    // its colour dictionary departs from X11's for some names, such as navy and gold).
    "names.xpm /usr/bin/convert -size 4x4 xc:black xc:white xc:gray75 xc:DarkOrange +append xpm:- | "
    "sed 's/static const/static/' >",
};

// The pixels from the top as 16-bit lanes A, R, G, B: the samples of deep pictures, else
// the 8-bit channels.
std::vector<u64> Lanes(cPictBase& picture)
{
    if (picture.IsDeep()) {
        return picttest::TopDown(picture.Pixels64().GetData(), picture.GetWidth(),
                                 picture.GetHeight());
    }
    std::vector<u64> lanes;
    for (u64 p : picttest::TopDown32(picture)) {
        lanes.push_back((p & 0xFF000000) << 24 | (p & 0xFF0000) << 16 | (p & 0xFF00) << 8 |
                        (p & 0xFF));
    }
    return lanes;
}

// The reference's samples as stored (no scaling by maxval), except that bitmaps (maxval 1,
// 1 is white) give 0 and 255; without an alpha channel the pixel must be `opaque`.
std::vector<u64> ReferenceLanes(const picttest::sPnm& pnm, u32 opaque)
{
    std::vector<u64> lanes;
    for (size_t i = 0; i < pnm.samples.size() / pnm.depth; ++i) {
        u32 v[4];
        picttest::PnmRgba(pnm, i, v);
        const u64 scale = pnm.maxval == 1 ? 255 : 1;
        const u64 alpha = pnm.depth % 2 == 1 ? opaque : v[3] * scale;
        lanes.push_back(alpha << 48 | (v[0] * scale) << 32 | (v[1] * scale) << 16 | v[2] * scale);
    }
    return lanes;
}

// The shell prefix that runs in `folder` with $IM and pil() defined (see kMade), after the
// plasma sources are made there; empty when the tools are missing.
std::string MakeSources(const qeltest::cScratchFolder& folder)
{
    const std::string shell =
        "cd '" + folder.Path() + "' && IM='/usr/bin/convert src.ppm' && pil() { " +
        "/usr/bin/python3 -c \"import sys; from PIL import Image; $1\" \"$2\"; } && ";
    const bool made =
        qeltest::HaveTool("xpmtoppm") &&
        picttest::RunsOk(shell + "for s in 67x45 1x1 1x9 9x1 13x7; do /usr/bin/convert -seed 5 "
                                 "-size $s plasma:fractal -depth 8 s$s.ppm; done && "
                                 "mv s67x45.ppm src.ppm");
    return made ? shell : std::string();
}

TEST(RasterTools, ToolFilesMatchReferencesAndTheFactory)
{
    const qeltest::cScratchFolder folder;
    const std::string shell = MakeSources(folder);
    QEL_REQUIRE(!shell.empty(), "netpbm, /usr/bin/convert");
    for (std::string made : kMade) {
        const bool good = made[0] != '!';
        const std::string name = made.substr(good ? 0 : 1, made.find(' ') - (good ? 0 : 1));
        SCOPED_TRACE(name);
        const auto found = kFormats.find(name.substr(name.find('.') + 1));
        const sFormat& format = found == kFormats.end() ? kNetpbm : found->second;
        const std::string path = folder.PathOf(name);
        ASSERT_TRUE(picttest::RunsOk(shell + "{ " + made.substr(made.find(' ')) + " " + name +
                                     "; } 2>/dev/null"));
        const std::vector<u8> bytes = picttest::ReadFileBytes(path);
        picttest::tPicture picture = picttest::CreatePicture(bytes, nullptr);
        ASSERT_EQ(picture != nullptr, good);
        if (!good) {
            continue;
        }
        EXPECT_EQ(picture->GetFormatId(), format.id);
        picttest::sPnm pnm;
        ASSERT_TRUE(picttest::ParsePnm(picttest::RunCommand(shell + "F='" + path + "' && { " +
                                                            format.reference + "; } | pamtopam"),
                                       pnm));
        EXPECT_EQ(Lanes(*picture), ReferenceLanes(pnm, picture->IsDeep() ? 65535 : 255));
        // An unloaded reader of the format, from the factory.
        sPictInfo info;
        const auto make = [&] { return picttest::CreatePicture(bytes, &info).release(); };
        rastertest::CheckStreamingAndCuts(make, bytes, format.id != kPictFormatXPM);
        // TGA has no magic number: its probe must refuse every other format's file.
        cBufWrapperIO stream(bytes.data(), bytes.size());
        EXPECT_EQ(ProbeTGA(&stream, nullptr), format.id == kPictFormatTGA);
        const std::string kinds = qeltest::RunCommand(
            "file -b --mime-type '" + path + "' && /usr/bin/identify -format %m '" + path + "'");
        EXPECT_EQ(kinds.rfind(format.mime, 0), 0u) << kinds;
        EXPECT_NE(kinds.find(std::string("\n") + format.identify), std::string::npos) << kinds;
    }
}

// Files that other decoders read and a reader once refused or drew wrongly, each against
// Pillow: PCX with palette interpretation 0 (most DOS-era files), TGA stored right to left
// and a top-left TGA whose y-origin is its height, BMP rows with non-zero padding. `$N` is
// the file's name; `patch OFFSET BYTE...` overwrites bytes of it.
TEST(RasterTools, FilesOtherDecodersReadMatchPillow)
{
    const qeltest::cScratchFolder folder;
    const std::string shell = MakeSources(folder);
    QEL_REQUIRE(!shell.empty(), "netpbm, /usr/bin/convert");
    const std::string patch =
        "patch() { /usr/bin/python3 -c \"import sys; d = bytearray(open(sys.argv[1], 'rb')"
        ".read()); at = int(sys.argv[2]); v = bytes(int(b) for b in sys.argv[3:]); d[at:at + "
        "len(v)] = v; open(sys.argv[1], 'wb').write(d)\" $N \"$@\"; } && ";
    // A 24-bit BMP of 13 x 7 (rows of 39 bytes and 1 padding byte) with its padding 0xA5.
    const std::string padRows = "for r in 0 1 2 3 4 5 6; do patch $((54 + r * 40 + 39)) 165; done";
    const std::pair<const char*, std::string> kFiles[] = {
        {"i0rgb.pcx", "$IM PCX:$N && patch 68 0 0"},
        {"i0palette.pcx", "$IM -colors 200 -type Palette PCX:$N && patch 68 0 0"},
        {"toprightrle.tga", "$IM -orient TopRight -compress RLE $N"},
        {"bottomright.tga", "$IM -orient BottomRight $N"},
        {"bottomright32.tga", "$IM -alpha set -channel A -fx i/w -orient BottomRight $N"},
        {"yorigin.tga", "pil \"Image.open('src.ppm').save(sys.argv[1], orientation=1)\" $N && "
                        "patch 10 45 0"},
        {"pad24.bmp", "ppmtobmp -windows -bpp 24 s13x7.ppm > $N && " + padRows},
    };
    for (const auto& [name, recipe] : kFiles) {
        SCOPED_TRACE(name);
        const std::string path = folder.PathOf(name);
        ASSERT_TRUE(picttest::RunsOk(shell + "N=" + name + " && " + patch + "{ " + recipe +
                                     "; } 2>/dev/null"));
        const std::vector<u8> bytes = picttest::ReadFileBytes(path);
        picttest::tPicture picture = picttest::CreatePicture(bytes, nullptr);
        ASSERT_NE(picture, nullptr);
        picttest::sPnm pnm;
        ASSERT_TRUE(picttest::ParsePnm(
            picttest::RunCommand("F='" + path + "' && { " + kPillowToPam + "; } | pamtopam"), pnm));
        EXPECT_EQ(Lanes(*picture), ReferenceLanes(pnm, 255));
        sPictInfo info;
        const auto make = [&] { return picttest::CreatePicture(bytes, &info).release(); };
        rastertest::CheckStreamingAndCuts(make, bytes, true);
    }
}

} // namespace
