// The decoded JPEG 2000 image into pixels. The colour decisions follow the reference
// decoder's command-line tool so that results compare with it:
// - sYCC when the colour space says so, or when an unspecified colour space has three
//   components of which the first is square (dx == dy) and the second sub-sampled in x
//   (a codestream with sub-sampled chroma); only 4:4:4, 4:2:2 and 4:2:0 layouts of one
//   precision are converted, anything else is shown as RGB, as the tool leaves it;
// - otherwise 1 component is grey, 2 grey + alpha, 3 RGB, 4 RGB + alpha, the alpha being
//   the component the codec marked from the channel definitions, else the last one.
// Glossary: p the precision of a component, m = 2^p - 1 its largest value; (dx, dy) its
// sub-sampling on the reference grid (T.800 B.2); (x0, y0) the image area's origin.
#include "picture/formats/jp2picture.h"

#include "base/buffers.h"

#include <algorithm>

namespace {

constexpr u32 kNoAlpha = ~u32(0);

struct sLayout
{
    u32 colours[3] = {0, 0, 0}; // component indices of R, G, B (grey: all the same)
    u32 alpha = kNoAlpha;
    bool sycc = false;
};

// One component as read for one output row.
struct sPlane
{
    sJp2Component component;
    _typebuf<u32> columns; // the sample index of every output column
    _typebuf<u16> scale;   // value -> output channel, for p <= 16
    u32 shift = 0;         // p > 16: the deep channel is value >> shift
};

bool IsConvertibleSycc(const sJp2Image& image)
{
    sJp2Component y, cb, cr;
    if (!image.GetComponent(0, y) || !image.GetComponent(1, cb) || !image.GetComponent(2, cr)) {
        return false;
    }
    // The conversion works at the first component's precision; mixed precisions stay RGB.
    const bool chromaAlike = cb.dx == cr.dx && cb.dy == cr.dy && y.precision == cb.precision &&
                             cb.precision == cr.precision;
    const bool known = (cb.dx == 1 && cb.dy == 1) || (cb.dx == 2 && cb.dy == 1) ||
                       (cb.dx == 2 && cb.dy == 2);
    return y.dx == 1 && y.dy == 1 && chromaAlike && known;
}

bool ChooseLayout(const sJp2Image& image, sLayout& layout)
{
    const u32 count = image.ComponentCount();
    const eJp2ColorSpace space = image.ColorSpace();
    if (count < 1 || count > 4 || space == eJp2ColorSpace::CMYK || space == eJp2ColorSpace::eYCC) {
        return false;
    }
    sJp2Component component;
    for (u32 i = 0; i < count; ++i) {
        if (image.GetComponent(i, component) && component.isAlpha && layout.alpha == kNoAlpha) {
            layout.alpha = i;
        }
    }
    if (layout.alpha == kNoAlpha && (count == 2 || count == 4)) {
        layout.alpha = count - 1;
    }
    u32 colours = 0;
    for (u32 i = 0; i < count; ++i) {
        if (i != layout.alpha) {
            layout.colours[colours++] = i;
        }
    }
    if (colours == 1) {
        layout.colours[1] = layout.colours[2] = layout.colours[0];
        return true;
    }
    if (colours != 3) {
        return false;
    }
    sJp2Component first, second;
    (void)image.GetComponent(0, first);
    (void)image.GetComponent(1, second);
    const bool chromaSubsampled = count == 3 && space == eJp2ColorSpace::Unspecified &&
                                  first.dx == first.dy && second.dx != 1;
    layout.sycc = (space == eJp2ColorSpace::sYCC || chromaSubsampled) && layout.alpha != 0 &&
                  IsConvertibleSycc(image);
    return true;
}

// floor((origin + i) / step) - ceil(origin / step), clamped to the component's samples.
bool BuildIndices(_typebuf<u32>& indices, u32 count, u32 origin, u32 step, u32 samples)
{
    if (!indices.Alloc(i32(count))) {
        return false;
    }
    const u64 first = (u64(origin) + step - 1) / step;
    u32* out = indices.GetData();
    for (u32 i = 0; i < count; ++i) {
        const u64 index = (u64(origin) + i) / step;
        out[i] = u32(std::min<u64>(index < first ? 0 : index - first, samples - 1));
    }
    return true;
}

bool PreparePlane(sPlane& plane, const sJp2Image& image, u32 width, bool deep)
{
    const sJp2Component& component = plane.component;
    if (component.width == 0 || component.height == 0 || component.data == nullptr ||
        !BuildIndices(plane.columns, width, image.x0, component.dx, component.width)) {
        return false;
    }
    const u32 p = component.precision;
    if (p > 16) {
        plane.shift = p - 16;
        return true;
    }
    const u64 maximum = (u64(1) << p) - 1;
    const u64 full = deep ? 65535 : 255;
    if (!plane.scale.Alloc(i32(maximum + 1))) {
        return false;
    }
    u16* scale = plane.scale.GetData();
    for (u64 v = 0; v <= maximum; ++v) {
        scale[v] = u16((v * full + maximum / 2) / maximum);
    }
    return true;
}

// The component's values for output row `row`, clamped to 0..m with a signed component
// moved up by 2^(p-1), into `out`. Full-resolution components (the common case) are read
// straight; sub-sampled ones through the column table.
void ReadRow(const sPlane& plane, u32 sampleRow, u32 width, i32* out)
{
    const sJp2Component& component = plane.component;
    const i32* samples = component.data + u64(sampleRow) * component.width;
    const u32* columns = plane.columns.GetData();
    const i64 offset = component.isSigned ? i64(1) << (component.precision - 1) : 0;
    const i64 maximum = (i64(1) << component.precision) - 1;
    if (component.precision < 31 && component.width == width && columns[width - 1] == width - 1) {
        const i32 shift = i32(offset);
        const i32 top = i32(maximum);
        for (u32 x = 0; x < width; ++x) {
            out[x] = std::clamp(samples[x] + shift, 0, top);
        }
        return;
    }
    for (u32 x = 0; x < width; ++x) {
        out[x] = i32(std::clamp<i64>(samples[columns[x]] + offset, 0, maximum));
    }
}

// sYCC to RGB with the reference tool's arithmetic (in double, truncated toward zero), on
// the raw values and with the first component's precision.
void SyccToRgb(i32* y, i32* cb, i32* cr, u32 width, u32 precision)
{
    const i32 offset = i32(1) << (precision - 1);
    const i32 maximum = i32((i64(1) << precision) - 1);
    for (u32 x = 0; x < width; ++x) {
        const f64 b = cb[x] - offset;
        const f64 r = cr[x] - offset;
        const i32 luma = y[x];
        y[x] = std::clamp(luma + i32(1.402 * r), 0, maximum);
        cb[x] = std::clamp(luma - i32(0.344 * b + 0.714 * r), 0, maximum);
        cr[x] = std::clamp(luma + i32(1.772 * b), 0, maximum);
    }
}

u32 Scale(const sPlane& plane, i32 value)
{
    return plane.scale.GetData() != nullptr ? plane.scale.GetData()[value] : u32(value) >> plane.shift;
}

struct sRenderer
{
    explicit sRenderer(const sJp2Image& source) : image(source) {}

    const sJp2Image& image;
    sLayout layout;
    sPlane planes[4];
    _typebuf<i32> rows[4]; // R, G, B, A values of the current row
    u32 width = 0;
    u32 height = 0;
    bool deep = false;

    bool Prepare();
    void ConvertRow(u32 row, u32* out32, u64* out64);
};

bool sRenderer::Prepare()
{
    if (!ChooseLayout(image, layout)) {
        return false;
    }
    width = image.x1 - image.x0;
    height = image.y1 - image.y0;
    const u32 used[4] = {layout.colours[0], layout.colours[1], layout.colours[2], layout.alpha};
    for (u32 channel = 0; channel < 4; ++channel) {
        if (used[channel] != kNoAlpha) {
            (void)image.GetComponent(used[channel], planes[channel].component);
            deep = deep || planes[channel].component.precision > 8;
        }
    }
    for (u32 channel = 0; channel < 4; ++channel) {
        if (used[channel] == kNoAlpha) {
            continue;
        }
        if (!PreparePlane(planes[channel], image, width, deep) || !rows[channel].Alloc(i32(width))) {
            return false;
        }
    }
    return PixelBufferSizeOk(width, height, deep ? 8 : 4);
}

void sRenderer::ConvertRow(u32 row, u32* out32, u64* out64)
{
    const bool hasAlpha = layout.alpha != kNoAlpha;
    for (u32 channel = 0; channel < (hasAlpha ? 4u : 3u); ++channel) {
        const sJp2Component& component = planes[channel].component;
        const u64 sampleRow = (u64(image.y0) + row) / component.dy;
        const u64 firstRow = (u64(image.y0) + component.dy - 1) / component.dy;
        const u32 clamped = u32(std::min<u64>(sampleRow < firstRow ? 0 : sampleRow - firstRow,
                                              component.height - 1));
        ReadRow(planes[channel], clamped, width, rows[channel].GetData());
    }
    if (layout.sycc) {
        SyccToRgb(rows[0].GetData(), rows[1].GetData(), rows[2].GetData(), width,
                  planes[0].component.precision);
    }
    const i32* r = rows[0].GetData();
    const i32* g = rows[1].GetData();
    const i32* b = rows[2].GetData();
    const i32* a = rows[3].GetData();
    for (u32 x = 0; x < width; ++x) {
        const u64 red = Scale(planes[0], r[x]);
        const u64 green = Scale(planes[1], g[x]);
        const u64 blue = Scale(planes[2], b[x]);
        if (deep) {
            const u64 alpha = hasAlpha ? Scale(planes[3], a[x]) : 0xFFFF;
            out64[x] = alpha << 48 | red << 32 | green << 16 | blue;
        } else {
            const u64 alpha = hasAlpha ? Scale(planes[3], a[x]) : 0xFF;
            out32[x] = u32(alpha << 24 | red << 16 | green << 8 | blue);
        }
    }
}

} // namespace

bool RenderJp2Image(cPictJP2Base* picture, const sJp2Image& image)
{
    sRenderer renderer(image);
    if (!renderer.Prepare()) {
        picture->EndStreamRender();
        return false;
    }
    const i32 w = i32(renderer.width);
    const i32 h = i32(renderer.height);
    const bool deep = renderer.deep;
    picture->SetImageSize(w, h, deep);
    const bool streaming = picture->BeginStreamRender();
    _typebuf<u32> line32;
    _typebuf<u64> line64;
    bool ok = streaming ? (deep ? line64.Alloc(w) : line32.Alloc(w))
                        : (deep ? picture->AllocClear64(w, h) : picture->AllocPixels32(w, h));
    for (i32 r = 0; ok && r < h; ++r) {
        const i32 y = h - 1 - r;
        u32* out32 = line32.GetData();
        u64* out64 = line64.GetData();
        if (!streaming && deep) {
            out64 = picture->Pixels64().GetData() + i64(y) * w;
        } else if (!streaming) {
            out32 = picture->Pixels32().GetData() + i64(y) * w;
        }
        renderer.ConvertRow(u32(r), out32, out64);
        for (i32 x = 0; streaming && x < w; ++x) {
            (void)(deep ? picture->StreamPixel64(x, y, out64[x]) : picture->StreamPixel(x, y, out32[x]));
        }
    }
    picture->EndStreamRender();
    return ok;
}
