#pragma once
#include <cstddef>
#include <cstdint>
#include "framework/display/surface_format.h"
#include "framework/graphics/color.h"
#include "framework/graphics/image.h"
#include "framework/graphics/raster_util.h"
#include "framework/graphics/rect.h"

// The software drawing loops of the surface image on locked surface memory:
// fills, lines, blits, the nearest-pixel stretch and the bilinear rotation.
// Each hot loop has a plain scalar form that follows the pixel rules word for
// word, and a fast form proven equal to it bit for bit; callers take the fast
// one, tests pin the scalar one.
namespace Zephra::surface {

// Scalar: the plain rules. Sse2: the x86-64 baseline. Fast: the widest the
// processor runs (AVX2 where a loop has such a form, found at run time).
enum class Kernels { Scalar, Sse2, Fast };

// Source prepared for the surface: premultiplied native words (or the 256-entry
// table of a palettized source, read through its indices) and run lengths.
struct NativeSource {
    const uint32_t* native = nullptr;
    const uint8_t* indices = nullptr;   // palettized source
    const uint8_t* runs = nullptr;      // RLAlpha for normal blits, RLAdditive for additive ones
    const uint16_t* native16 = nullptr; // the native words' low halves (16-bit display), for copies
    // Per row, the stretches of pixels that show (MemoryImage::mShownRuns).
    const uint32_t* shownRowStart = nullptr;
    const int32_t* shownRuns = nullptr;
    // Those stretches' pixels packed, in the display's word size; keyed sources only.
    const ShownPack* shownPack = nullptr;
    int width = 0;
    int height = 0;

    uint32_t At(size_t i) const { return indices ? native[indices[i]] : native[i]; }
};

// Source read as 32-bit ARGB (bits, or a palette through its indices).
using ArgbSource = raster::SourcePixels;

// The native form of a memory image for a display format, with its RLAlpha
// (normal) or RLAdditive (additive) runs.
NativeSource NativeOf(MemoryImage& src, NativeDisplay* display, bool additive);
// The normal form with the 16-bit words too, for the opaque and keyed copies.
NativeSource CopyNativeOf(MemoryImage& src, NativeDisplay* display);
// The ARGB form: the palette through the indices while no bits exist.
ArgbSource ArgbOf(MemoryImage& src);

// --- fills and lines (callers have clipped; the loops clip again to the view) ---

void FillRectNormal(const SurfaceView& view, const PixelFormat& f, const Rect& rect, const Color& color,
                    Kernels k = Kernels::Fast);
void FillRectAdditive(const SurfaceView& view, const PixelFormat& f, const Rect& rect, const Color& color,
                      Kernels k = Kernels::Fast);
// Coverage blend of the spans: weight ((c + 1) x A) >> 8 per pixel.
void FillSpansCoverage(const SurfaceView& view, const PixelFormat& f, const Span* spans, int count,
                       const Color& color, const uint8_t* coverage, int coverX, int coverY, int coverWidth,
                       int coverHeight, Kernels k = Kernels::Fast);
// Stepped line; both ends included. Additive uses the saturating tables.
void DrawLine(const SurfaceView& view, const PixelFormat& f, double x1, double y1, double x2, double y2,
              const Color& color, bool additive);
// Antialiased line in normal mode; pixels outside the view are not written.
void DrawLineAA(const SurfaceView& view, const PixelFormat& f, double x1, double y1, double x2, double y2,
                const Color& color);

// --- blits of a source rectangle with its top-left at (x, y) ---

// Opaque or keyed source, colour white: copies, skipping alpha-0 pixels when
// the source is keyed or palettized. The fast loops copy whole stretches of
// shown pixels and read 16-bit words where the source has them.
void BltOpaque(const SurfaceView& view, const PixelFormat& f, int x, int y, const NativeSource& src,
               const Rect& srcRect, bool keyed, bool mirror, Kernels k = Kernels::Fast);
// Source with alpha or a coloured blit, walked run by run (RLAlpha).
void BltAlpha(const SurfaceView& view, const PixelFormat& f, int x, int y, const NativeSource& src,
              const Rect& srcRect, const Color& color, bool mirror, Kernels k = Kernels::Fast);
// A volatile source straight from its ARGB pixels, colour white.
void BltVolatile(const SurfaceView& view, const PixelFormat& f, int x, int y, const ArgbSource& src,
                 const Rect& srcRect, bool mirror, Kernels k = Kernels::Fast);
// Additive blit walked by RLAdditive runs.
void BltAdditive(const SurfaceView& view, const PixelFormat& f, int x, int y, const NativeSource& src,
                 const Rect& srcRect, const Color& color, bool mirror, Kernels k = Kernels::Fast);

// --- nearest-pixel stretch of source area s into the clipped destination q ---

void StretchNearest(const SurfaceView& view, const PixelFormat& f, const NativeSource& src, const Rect& q,
                    const RectD& s, const Color& color, bool additive, bool mirror,
                    Kernels k = Kernels::Fast);

// --- bilinear rotation of srcRect by angle about (centerX, centerY) relative to
// the rectangle, placed at (x, y); area is the clipped destination box ---

struct Rotation {
    float x = 0;
    float y = 0;
    Rect srcRect;
    RectD area;
    double angle = 0;
    float centerX = 0;
    float centerY = 0;
};

void RotateBilinear(const SurfaceView& view, const PixelFormat& f, const ArgbSource& src, const Rotation& r,
                    const Color& color, bool additive, Kernels k = Kernels::Fast);

} // namespace Zephra::surface
