// Fills, lines, polygons, coverage spans and one-to-one blits on the 32-bit
// bits of a memory image.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>
#include "framework/graphics/blend_rows.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/pixel_blend.h"
#include "framework/graphics/raster_util.h"

namespace Zephra {

namespace {

inline uint32_t* RowPtr(uint32_t* bits, int width, int y) { return bits + size_t(y) * size_t(width); }

// blend::Apply through the lane forms.
inline uint32_t Apply(uint32_t dst, uint32_t src, int drawMode) {
    return drawMode == DRAWMODE_ADDITIVE ? raster::AdditiveFast(dst, src) : raster::NormalFast(dst, src);
}

// Fills an already clipped, non-empty rectangle with one source colour.
void FillArea(uint32_t* bits, int stride, const Rect& r, uint32_t src, int drawMode) {
    uint32_t a = src >> 24;
    if (a == 0) return;   // neither blend changes anything with alpha 0
    for (int y = r.mY; y < r.mY + r.mHeight; ++y) {
        uint32_t* d = RowPtr(bits, stride, y) + r.mX;
        if (drawMode == DRAWMODE_ADDITIVE) {
            for (int i = 0; i < r.mWidth; ++i) d[i] = raster::AdditiveFast(d[i], src);
        } else if (a == 255) {
            std::fill_n(d, r.mWidth, src);
        } else {
            const uint64_t weighted = raster::SpreadRGB(src) * a;   // the same for every pixel
            for (int i = 0; i < r.mWidth; ++i) {
                uint32_t dv = d[i];
                d[i] = (dv >> 24) == 255 ? raster::OverOpaque(dv, weighted, a) : blend::Normal(dv, src);
            }
        }
    }
}

// Rows of a blit through the row blends; tinted or palettized sources are
// expanded a row at a time first. The tint is clamped; tinted says to apply it.
void BlitRows(uint32_t* dst, int dstStride, int x, int y, const raster::SourcePixels& src, const Rect& s,
              const Color& tint, bool tinted, int drawMode, bool mirror) {
    std::vector<uint32_t> row;
    if (tinted || !src.bits) row.resize(size_t(s.mWidth));
    for (int r = 0; r < s.mHeight; ++r) {
        uint32_t* d = RowPtr(dst, dstStride, y + r) + x;
        size_t off = size_t(s.mY + r) * size_t(src.width) + size_t(s.mX);
        const uint32_t* p = src.bits ? src.bits + off : nullptr;
        if (!row.empty()) {
            for (int i = 0; i < s.mWidth; ++i)
                row[size_t(i)] = src.bits ? src.bits[off + size_t(i)] : src.palette[src.indices[off + size_t(i)]];
            if (tinted) raster::TintRow(row.data(), s.mWidth, tint);
            p = row.data();
        }
        if (drawMode == DRAWMODE_ADDITIVE)
            raster::AdditiveRow(d, p, s.mWidth, mirror);
        else
            raster::NormalRow(d, p, s.mWidth, mirror);
    }
}

// A source worth keeping run lengths and a premultiplied copy for: one that is
// not redrawn all the time. The plain loops keep to the per-pixel rules.
bool KeepsDerived(const MemoryImage& src) {
    return !src.mIsVolatile && raster::WidestLoops() != raster::Loops::Reference;
}

// The normal blit walked by the source's alpha-class runs: transparent runs
// are passed over, opaque ones copied, the rest blended.
void NormalRuns(uint32_t* dst, int dstStride, int x, int y, const uint32_t* bits, const uint8_t* runs, int width,
                const Rect& s, bool mirror) {
    const int n = s.mWidth;
    for (int r = 0; r < s.mHeight; ++r) {
        uint32_t* d = RowPtr(dst, dstStride, y + r) + x;
        const size_t off = size_t(s.mY + r) * size_t(width) + size_t(s.mX);
        const uint32_t* p = bits + off;
        const uint8_t* run = runs + off;
        for (int i = 0; i < n;) {
            const int len = std::min<int>(std::max<int>(run[i], 1), n - i);
            const uint32_t a = p[i] >> 24;
            uint32_t* at = mirror ? d + (n - i - len) : d + i;
            if (a == 255 && !mirror)
                raster::CopyRun(at, p + i, size_t(len) * sizeof(uint32_t));
            else if (a == 255)
                std::reverse_copy(p + i, p + i + len, at);
            else if (a != 0)
                raster::NormalRow(at, p + i, len, mirror);
            i += len;
        }
    }
}

// A source whose every pixel is wholly opaque or wholly transparent, by its
// own (unforced) analysis, drawn by copying its stretches of shown pixels.
void KeyedRuns(uint32_t* dst, int dstStride, int x, int y, const uint32_t* bits, MemoryImage& src, const Rect& s,
               bool mirror) {
    // Locals, not fields: each copy calls through a pointer the compiler
    // cannot see through, after which fields would be read again.
    const int n = s.mWidth, width = src.mWidth, sx = s.mX;
    const int32_t* runs = src.mShownRuns.data();
    const uint32_t* rowStart = src.mShownRowStart.data() + s.mY;
    for (int r = 0; r < s.mHeight; ++r) {
        uint32_t* d = RowPtr(dst, dstStride, y + r) + x;
        const uint32_t* p = bits + size_t(s.mY + r) * size_t(width) + size_t(sx);
        const int32_t* run = runs + 2 * size_t(rowStart[r]);
        const int32_t* end = runs + 2 * size_t(rowStart[r + 1]);
        for (; run != end; run += 2) {
            const int first = std::max(run[0] - sx, 0), last = std::min(run[0] + run[1] - sx, n);
            if (first >= last) continue;
            if (mirror)
                std::reverse_copy(p + first, p + last, d + (n - last));
            else
                raster::CopyRun(d + first, p + first, size_t(last - first) * sizeof(uint32_t));
        }
    }
}

bool KnownKeyed(MemoryImage& src) {
    if (src.mForcedMode) return false;
    src.AnalyzeAlpha();
    return !src.mHasAlpha && !src.IsPalettized() && src.MakeShownRuns();
}

// True when every pixel of the source is opaque, by its own (unforced) analysis.
bool KnownOpaque(Image* src) {
    auto* mem = static_cast<MemoryImage*>(src);
    if (mem->mForcedMode) return false;
    mem->AnalyzeAlpha();
    return !mem->mHasTrans && !mem->mHasAlpha;
}

} // namespace

void MemoryImage::FillRect(const Rect& rect, const Color& color, int drawMode) {
    uint32_t* bits = GetBits();
    if (bits == nullptr) return;
    Rect r = rect.Intersection(raster::Bounds(*this));
    if (!r.IsEmpty()) FillArea(bits, mWidth, r, raster::PackClamped(color), drawMode);
    BitsChanged();
}

void MemoryImage::ClearRect(const Rect& rect) {
    uint32_t* bits = GetBits();
    if (bits == nullptr) return;
    Rect r = rect.Intersection(raster::Bounds(*this));
    if (!r.IsEmpty())
        for (int y = r.mY; y < r.mY + r.mHeight; ++y) std::fill_n(RowPtr(bits, mWidth, y) + r.mX, r.mWidth, 0u);
    BitsChanged();
}

void MemoryImage::DrawLine(double x1, double y1, double x2, double y2, const Color& color, int drawMode) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
    uint32_t* bits = GetBits();
    if (bits == nullptr) return;
    const uint32_t src = raster::PackClamped(color);
    const int w = mWidth, h = mHeight;
    // Far endpoints are brought near the image first so the pixel walk stays
    // short; lines that cross the image keep their course.
    constexpr double kFar = 1 << 20;
    bool far = std::max({std::fabs(x1), std::fabs(y1), std::fabs(x2), std::fabs(y2)}) > kFar;
    if (w > 0 && h > 0 && (src >> 24) != 0 &&
        (!far || raster::ClipSegment(x1, y1, x2, y2, -2.0, -2.0, w + 1.0, h + 1.0))) {
        int64_t x = int64_t(x1), y = int64_t(y1);
        const int64_t ex = int64_t(x2), ey = int64_t(y2);
        const int64_t dx = ex > x ? ex - x : x - ex;
        const int64_t dy = -(ey > y ? ey - y : y - ey);
        const int sx = x < ex ? 1 : -1, sy = y < ey ? 1 : -1;
        int64_t err = dx + dy;
        for (;;) {
            if (x >= 0 && x < w && y >= 0 && y < h) {
                uint32_t& d = RowPtr(bits, w, int(y))[x];
                d = Apply(d, src, drawMode);
            }
            if (x == ex && y == ey) break;
            int64_t e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }
    BitsChanged();
}

void MemoryImage::DrawLineAA(double x1, double y1, double x2, double y2, const Color& color, int drawMode) {
    DrawLine(x1, y1, x2, y2, color, drawMode);
}

bool MemoryImage::FillPolygon(const Point* vertices, int count, const Rect& clip, const Color& color,
                              int drawMode) {
    if (vertices == nullptr || count < 3) return false;
    uint32_t* bits = GetBits();
    if (bits == nullptr) return false;
    const uint32_t src = raster::PackClamped(color);
    Rect c = clip.Intersection(raster::Bounds(*this));
    int64_t minY = vertices[0].mY, maxY = vertices[0].mY;
    for (int i = 1; i < count; ++i) {
        minY = std::min<int64_t>(minY, vertices[i].mY);
        maxY = std::max<int64_t>(maxY, vertices[i].mY);
    }
    // Pixel centres decide: a row is inside when y + 0.5 is, a pixel when
    // x + 0.5 lies in [left crossing, right crossing) - top and left edges
    // fill, bottom and right edges do not.
    int64_t yStart = std::max<int64_t>(c.mY, minY);
    int64_t yEnd = std::min<int64_t>(int64_t(c.mY) + c.mHeight, maxY);
    if (!c.IsEmpty() && (src >> 24) != 0) {
        struct Crossing {
            double x;
            int dir;
        };
        std::vector<Crossing> xs;
        xs.reserve(size_t(count));
        const int64_t cx1 = c.mX, cx2 = int64_t(c.mX) + c.mWidth;
        for (int64_t y = yStart; y < yEnd; ++y) {
            const double yc = double(y) + 0.5;
            xs.clear();
            for (int i = 0; i < count; ++i) {
                const Point& a = vertices[i];
                const Point& b = vertices[(i + 1) % count];
                if (a.mY == b.mY) continue;
                int dir;
                if (a.mY <= yc && yc < b.mY)
                    dir = 1;
                else if (b.mY <= yc && yc < a.mY)
                    dir = -1;
                else
                    continue;
                double x = a.mX + (yc - a.mY) * double(int64_t(b.mX) - a.mX) / double(int64_t(b.mY) - a.mY);
                xs.push_back({x, dir});
            }
            std::sort(xs.begin(), xs.end(), [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
            uint32_t* row = RowPtr(bits, mWidth, int(y));
            int winding = 0;
            double start = 0;
            for (const Crossing& k : xs) {
                int before = winding;
                winding += k.dir;
                if (before == 0 && winding != 0) {
                    start = k.x;
                } else if (before != 0 && winding == 0) {
                    int64_t px1 = std::max<int64_t>(cx1, int64_t(std::ceil(start - 0.5)));
                    int64_t px2 = std::min<int64_t>(cx2, int64_t(std::ceil(k.x - 0.5)));
                    if (px1 >= px2) continue;
                    if (drawMode != DRAWMODE_ADDITIVE && (src >> 24) == 255) {
                        std::fill(row + px1, row + px2, src);
                    } else {
                        for (int64_t px = px1; px < px2; ++px) row[px] = Apply(row[px], src, drawMode);
                    }
                }
            }
        }
    }
    BitsChanged();
    return true;
}

void MemoryImage::FillSpansCoverage(const Span* spans, int count, const Color& color, int drawMode,
                                    const uint8_t* coverage, int coverX, int coverY, int coverWidth,
                                    int coverHeight) {
    if (spans == nullptr || count <= 0) return;
    uint32_t* bits = GetBits();
    if (bits == nullptr) return;
    const uint32_t rgb = raster::PackClamped(color) & 0x00FFFFFF;
    const uint32_t alpha = uint32_t(std::clamp(color.mAlpha, 0, 255));
    if (coverage != nullptr && alpha != 0 && coverWidth > 0 && coverHeight > 0) {
        for (int i = 0; i < count; ++i) {
            const Span& sp = spans[i];
            if (sp.mY < 0 || sp.mY >= mHeight || sp.mWidth <= 0) continue;
            const int64_t cy = int64_t(sp.mY) - coverY;
            if (cy < 0 || cy >= coverHeight) continue;   // the whole span is uncovered
            // Pixels outside both the image and the coverage array are skipped.
            int64_t x1 = std::max<int64_t>({int64_t(sp.mX), 0, int64_t(coverX)});
            int64_t x2 = std::min<int64_t>({int64_t(sp.mX) + sp.mWidth, int64_t(mWidth),
                                            int64_t(coverX) + coverWidth});
            const uint8_t* cov = coverage + size_t(cy) * size_t(coverWidth);
            uint32_t* row = RowPtr(bits, mWidth, sp.mY);
            // The span as source pixels of the colour weighed by coverage, then
            // the blend's row loops (a pixel of alpha 0 leaves its destination).
            uint32_t src[256];
            for (int64_t x = x1; x < x2; x += 256) {
                const int n = int(std::min<int64_t>(256, x2 - x));
                for (int i = 0; i < n; ++i) src[i] = ((uint32_t(cov[x - coverX + i]) + 1) * alpha >> 8) << 24 | rgb;
                if (drawMode == DRAWMODE_ADDITIVE)
                    raster::AdditiveRow(row + x, src, n, false);
                else
                    raster::NormalRow(row + x, src, n, false);
            }
        }
    }
    BitsChanged();
}

namespace {

// The blit shared by Blt, BltF and BltMirror: clip, then the row kernels.
void BlitInto(MemoryImage& dst, Image* src, int x, int y, const Rect& srcRect, const Rect& clip,
              const Color& color, int drawMode, bool mirror) {
    if (src == nullptr) return;
    src->mDrawn = 1;
    raster::SourcePixels sp;
    if (!raster::GetSourcePixels(src, sp)) return;   // not a memory image: nothing to draw
    uint32_t* bits = dst.GetBits();
    if (bits == nullptr) return;
    Rect s = srcRect;
    const Color c = raster::ClampColor(color);
    const bool tinted = !(color == Color::White);
    if (raster::ClipBlt(clip.Intersection(raster::Bounds(dst)), sp.width, sp.height, mirror, x, y, s) &&
        !(tinted && c.mAlpha == 0)) {
        std::vector<uint32_t> copy;
        if (src == &dst) {
            // Drawing an image onto itself: read from a copy so overlapping rows
            // are not read after they were written.
            copy.resize(size_t(s.mWidth) * size_t(s.mHeight));
            for (int row = 0; row < s.mHeight; ++row)
                for (int i = 0; i < s.mWidth; ++i) copy[size_t(row) * size_t(s.mWidth) + i] = sp.At(s.mX + i, s.mY + row);
            sp = raster::SourcePixels{copy.data(), nullptr, nullptr, s.mWidth, s.mHeight};
            s.mX = 0;
            s.mY = 0;
        }
        auto* mem = static_cast<MemoryImage*>(src);
        const bool plain = !tinted && sp.bits && src != &dst;
        if (plain && !mirror && drawMode != DRAWMODE_ADDITIVE && KnownOpaque(src)) {
            for (int row = 0; row < s.mHeight; ++row)
                std::memcpy(RowPtr(bits, dst.mWidth, y + row) + x,
                            sp.bits + size_t(s.mY + row) * size_t(sp.width) + size_t(s.mX),
                            size_t(s.mWidth) * sizeof(uint32_t));
        } else if (plain && KeepsDerived(*mem) && drawMode == DRAWMODE_ADDITIVE && mem->GetPremultipliedData()) {
            const uint32_t* pre = mem->GetPremultipliedData();
            for (int row = 0; row < s.mHeight; ++row)
                raster::AddPremultipliedRow(RowPtr(bits, dst.mWidth, y + row) + x,
                                            pre + size_t(s.mY + row) * size_t(sp.width) + size_t(s.mX), s.mWidth, mirror);
        } else if (plain && KeepsDerived(*mem) && drawMode != DRAWMODE_ADDITIVE && KnownKeyed(*mem)) {
            const ShownPack* pack = mirror ? nullptr : mem->GetShownPack();
            if (pack)
                pack->Copy<uint32_t>(RowPtr(bits, dst.mWidth, y) + x, ptrdiff_t(dst.mWidth) * 4, s.mX, s.mY,
                                     s.mWidth, s.mHeight, raster::WidestLoops() == raster::Loops::Avx2);
            else
                KeyedRuns(bits, dst.mWidth, x, y, sp.bits, *mem, s, mirror);
        } else if (plain && KeepsDerived(*mem) && drawMode != DRAWMODE_ADDITIVE && mem->GetRLAlphaData()) {
            NormalRuns(bits, dst.mWidth, x, y, sp.bits, mem->GetRLAlphaData(), sp.width, s, mirror);
        } else {
            BlitRows(bits, dst.mWidth, x, y, sp, s, c, tinted, drawMode, mirror);
        }
    }
    dst.BitsChanged();
}

} // namespace

void MemoryImage::Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
    BlitInto(*this, src, x, y, srcRect, raster::Bounds(*this), color, drawMode, false);
}

void MemoryImage::BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
    BlitInto(*this, src, x, y, srcRect, raster::Bounds(*this), color, drawMode, true);
}

void MemoryImage::BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clip, const Color& color,
                       int drawMode) {
    if (src == nullptr) return;
    src->mDrawn = 1;
    // Nearest whole pixel; positions beyond any image draw nothing.
    constexpr float kLimit = 1e9f;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kLimit || std::fabs(y) > kLimit) return;
    int ix = int(std::floor(x + 0.5f));
    int iy = int(std::floor(y + 0.5f));
    BlitInto(*this, src, ix, iy, srcRect, clip, color, drawMode, false);
}

} // namespace Zephra
