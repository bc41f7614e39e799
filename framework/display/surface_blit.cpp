// One-to-one blits onto locked surface memory: opaque and keyed copies, alpha
// and coloured runs, volatile sources and additive runs, plain and mirrored.
#include <immintrin.h>
#include <algorithm>
#include <cstring>
#include "framework/display/surface_kernels.h"
#include "framework/display/surface_rows.h"
#include "framework/graphics/blend_rows.h"
#include "platform/simd_target.h"

namespace Zephra::surface {

namespace {

using rows::At;
using rows::Fast;
using rows::Scalar;

// Where a clipped blit lands: n source columns from sx, rows from sy, onto the
// destination from column dx (its left end, mirrored or not), row dy.
struct Placement {
    int sx = 0, sy = 0, dx = 0, dy = 0, n = 0, rows = 0;
};

// Clips against the source and the destination; a mirrored row takes its
// left end from the source's right end.
bool Place(const SurfaceView& view, int srcW, int srcH, int x, int y, const Rect& r, bool mirror, Placement& p) {
    int64_t sx0 = r.mX, sx1 = int64_t(r.mX) + r.mWidth, sy0 = r.mY, sy1 = int64_t(r.mY) + r.mHeight;
    int64_t dx = x, dy = y;
    auto cut = [&](int64_t left, int64_t right) {   // columns cut at the destination's left, right
        if (mirror) {
            sx1 -= left;
            sx0 += right;
        } else {
            sx0 += left;
            sx1 -= right;
        }
        dx += left;
    };
    // Source bounds, expressed as destination cuts.
    int64_t srcLeft = std::max<int64_t>(0, -sx0), srcRight = std::max<int64_t>(0, sx1 - srcW);
    if (mirror)
        cut(srcRight, srcLeft);
    else
        cut(srcLeft, srcRight);
    int64_t n = sx1 - sx0;
    cut(std::max<int64_t>(0, -dx), std::max<int64_t>(0, dx + n - view.width));
    int64_t top = std::max<int64_t>({0, -sy0, -dy});
    sy0 += top;
    dy += top;
    sy1 = std::min<int64_t>({sy1, srcH, sy0 + (view.height - dy)});
    if (sx1 - sx0 <= 0 || sy1 - sy0 <= 0) return false;
    p = {int(sx0), int(sy0), int(dx), int(dy), int(sx1 - sx0), int(sy1 - sy0)};
    return true;
}

// Calls run(d, s, len) for each run of a row, d at the destination pixel of
// the run's first source pixel (mirrored rows go leftwards from it). A
// palettized source is expanded run by run.
template <typename T, bool Mirror, typename Run>
void WalkRuns(const SurfaceView& view, const NativeSource& src, const Placement& p, Run run) {
    uint32_t tmp[256];
    for (int row = 0; row < p.rows; ++row) {
        T* d = view.Row<T>(p.dy + row) + p.dx + (Mirror ? p.n - 1 : 0);
        const size_t off = size_t(p.sy + row) * size_t(src.width) + size_t(p.sx);
        for (int i = 0; i < p.n;) {
            const int len = std::min<int>(std::max<int>(src.runs[off + size_t(i)], 1), p.n - i);
            const uint32_t* s = src.native + off + size_t(i);
            if (src.indices) {
                for (int j = 0; j < len; ++j) tmp[j] = src.native[src.indices[off + size_t(i + j)]];
                s = tmp;
            }
            run(Mirror ? d - i : d + i, s, len);
            i += len;
        }
    }
}

// ---- the blits: placement, run walk, and the loop for format and colour ----

// Copies source pixels i .. i + len - 1 of a row of n (at source index at)
// onto the row whose leftmost destination pixel is d.
template <typename T, bool M>
void CopyRun(T* d, const NativeSource& src, size_t at, int i, int len, int n) {
    T* to = M ? d + (n - i - len) : d + i;
    if constexpr (sizeof(T) == 4) {
        if (M)
            std::reverse_copy(src.native + at, src.native + at + len, to);
        else
            raster::CopyRun(to, src.native + at, size_t(len) * 4);
    } else if (src.native16) {
        if (M)
            std::reverse_copy(src.native16 + at, src.native16 + at + len, to);
        else
            raster::CopyRun(to, src.native16 + at, size_t(len) * 2);
    } else {
        Fast::Copy16<M>(M ? to + len - 1 : to, src.native + at, len, false);
    }
}

// Whole rows, or, keyed, the stretches of shown pixels: no transparent pixel
// is read. Whole rows go to memcpy in one call each; wide packed stretches
// take the pack's AVX2 copy. Taken by value: the copies call through a pointer the compiler cannot see
// through, and fields behind references would be read again after each.
template <typename T, bool M>
void OpaqueRuns(const SurfaceView view, const NativeSource src, const Placement p, bool keyed, bool wide) {
    if (keyed && !M && src.shownPack && src.shownPack->PixelBytes() == int(sizeof(T))) {
        src.shownPack->Copy<T>(view.Row<T>(p.dy) + p.dx, view.pitch, p.sx, p.sy, p.n, p.rows, wide);
        return;
    }
    for (int row = 0; row < p.rows; ++row) {
        T* d = view.Row<T>(p.dy + row) + p.dx;
        const size_t off = size_t(p.sy + row) * size_t(src.width) + size_t(p.sx);
        if (!keyed && !M && (sizeof(T) == 4 || src.native16)) {
            const void* from = sizeof(T) == 4 ? static_cast<const void*>(src.native + off) : src.native16 + off;
            std::memcpy(d, from, size_t(p.n) * sizeof(T));
            continue;
        }
        if (!keyed) {
            CopyRun<T, M>(d, src, off, 0, p.n, p.n);
            continue;
        }
        // The stretches of shown pixels that overlap the placed columns.
        const int32_t* run = src.shownRuns + 2 * size_t(src.shownRowStart[p.sy + row]);
        const int32_t* end = src.shownRuns + 2 * size_t(src.shownRowStart[p.sy + row + 1]);
        for (; run != end; run += 2) {
            const int first = std::max(run[0] - p.sx, 0), last = std::min(run[0] + run[1] - p.sx, p.n);
            if (first < last) CopyRun<T, M>(d, src, off + size_t(first), first, last - first, p.n);
        }
    }
}

template <typename T, bool M>
void Opaque(const SurfaceView& view, const NativeSource& src, const Placement& p, bool keyed, Kernels k) {
    if (k != Kernels::Scalar && !src.indices && (!keyed || src.shownRuns)) {
        OpaqueRuns<T, M>(view, src, p, keyed, k == Kernels::Fast);
        return;
    }
    uint32_t tmp[256];
    for (int row = 0; row < p.rows; ++row) {
        T* d = view.Row<T>(p.dy + row) + p.dx + (M ? p.n - 1 : 0);
        const size_t off = size_t(p.sy + row) * size_t(src.width) + size_t(p.sx);
        for (int i = 0; i < p.n; i += 256) {
            const int len = std::min(256, p.n - i);
            const uint32_t* s = src.native + off + size_t(i);
            if (src.indices) {
                for (int j = 0; j < len; ++j) tmp[j] = src.native[src.indices[off + size_t(i + j)]];
                s = tmp;
            }
            T* dd = M ? d - i : d + i;
            if (k == Kernels::Scalar) {
                Scalar::Copy<M>(dd, s, len, keyed);
            } else if constexpr (sizeof(T) == 4) {
                Fast::Copy32<M>(dd, s, len, keyed);
            } else {
                Fast::Copy16<M>(dd, s, len, keyed);
            }
        }
    }
}

template <bool M>
void AlphaWhite(const SurfaceView& view, const PixelFormat& f, const NativeSource& src, const Placement& p,
                Kernels k) {
    const bool fast = k != Kernels::Scalar;
    if (f.bitCount == 32) {
        const bool packed = f.ByteChannels();
        WalkRuns<uint32_t, M>(view, src, p, [&](uint32_t* d, const uint32_t* s, int len) {
            const uint32_t a = s[0] >> 24;
            if (a == 0) return;
            if (a == 255) {
                if (fast)
                    Fast::Copy32<M>(d, s, len, false);
                else
                    Scalar::Copy<M>(d, s, len, false);
            } else if (!packed) {
                for (int j = 0; j < len; ++j) At<M>(d, j) = rule::AlphaGeneric(At<M>(d, j), s[j], f);
            } else {
                if (fast)
                    Fast::Alpha32<M>(d, s, len);
                else
                    Scalar::Alpha32<M>(d, s, len);
            }
        });
        return;
    }
    const uint32_t key = f.Is565() ? rule::kPacked565 : f.Is555() ? rule::kPacked555 : 0;
    WalkRuns<uint16_t, M>(view, src, p, [&](uint16_t* d, const uint32_t* s, int len) {
        const uint32_t a = s[0] >> 24;
        if (a == 0) return;
        if (a == 255) {
            if (fast)
                Fast::Copy16<M>(d, s, len, false);
            else
                Scalar::Copy<M>(d, s, len, false);
        } else if (key == 0) {
            if (fast)
                Fast::AlphaChannels16<M>(d, s, len, f, false);
            else
                for (int j = 0; j < len; ++j) At<M>(d, j) = uint16_t(rule::AlphaGeneric(At<M>(d, j), s[j], f));
        } else {
            if (fast)
                Fast::AlphaPacked16<M>(d, s, len, key);
            else
                Scalar::AlphaPacked16<M>(d, s, len, key);
        }
    });
}

template <bool M>
void AlphaTinted(const SurfaceView& view, const PixelFormat& f, const NativeSource& src, const Placement& p,
                 const Color& color, Kernels k) {
    const uint32_t ca = Clamp8(color.mAlpha);
    const uint32_t kc[3] = {Div255(Clamp8(color.mRed) * ca), Div255(Clamp8(color.mGreen) * ca),
                            Div255(Clamp8(color.mBlue) * ca)};
    const bool fast = k != Kernels::Scalar;
    if (f.bitCount == 32) {
        const bool bytes = fast && f.ByteChannels();
        WalkRuns<uint32_t, M>(view, src, p, [&](uint32_t* d, const uint32_t* s, int len) {
            const uint32_t a = s[0] >> 24;
            if (a == 0) return;
            const bool opaque = a == 255 && ca == 255;
            if (bytes)
                Fast::Tint32<M>(d, s, len, f, kc, ca, opaque);
            else
                Scalar::Tint<M>(d, s, len, f, kc, ca, opaque);
        });
        return;
    }
    const uint32_t key = f.Is565() ? rule::kPacked565 : f.Is555() ? rule::kPacked555 : 0;
    const bool grey = key != 0 && kc[0] == kc[1] && kc[1] == kc[2];
    const uint32_t g5 = kc[0] >> 3;
    WalkRuns<uint16_t, M>(view, src, p, [&](uint16_t* d, const uint32_t* s, int len) {
        const uint32_t a = s[0] >> 24;
        if (a == 0) return;
        const bool opaque = a == 255 && ca == 255;
        if (fast && !grey) {
            Fast::Tint16<M>(d, s, len, f, kc, ca, opaque);
        } else if (fast) {
            Fast::Grey16<M>(d, s, len, key, g5, ca, opaque);
        } else if (!grey) {
            Scalar::Tint<M, uint16_t>(d, s, len, f, kc, ca, opaque);
        } else if (opaque) {
            for (int j = 0; j < len; ++j) At<M>(d, j) = rule::GreyOpaque16(s[j], key, g5);
        } else {
            for (int j = 0; j < len; ++j) At<M>(d, j) = rule::GreyBlend16(At<M>(d, j), s[j], key, g5, ca);
        }
    });
}

// The white additive rule on byte channels eight words at a time: each colour
// byte added with saturation, the top byte 0. Returns the words done.
PEMBERLY_AVX2_BEGIN
template <bool M>
int Add32WhiteAvx2(uint32_t* d, const uint32_t* s, int n) {
    const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF), reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        __m256i* dp = reinterpret_cast<__m256i*>(M ? d - j - 7 : d + j);
        __m256i sv = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + j)), rgb);
        if (M) sv = _mm256_permutevar8x32_epi32(sv, reverse);
        _mm256_storeu_si256(dp, _mm256_adds_epu8(_mm256_and_si256(_mm256_loadu_si256(dp), rgb), sv));
    }
    return j;
}
PEMBERLY_AVX2_END

template <bool M>
void Additive(const SurfaceView& view, const PixelFormat& f, const NativeSource& src, const Placement& p,
              const Color& color, Kernels k) {
    const uint32_t ca = Clamp8(color.mAlpha);
    const uint32_t kc[3] = {Div255(Clamp8(color.mRed) * ca), Div255(Clamp8(color.mGreen) * ca),
                            Div255(Clamp8(color.mBlue) * ca)};
    const uint32_t* t = color == Color::White ? nullptr : kc;
    const uint32_t colours = f.ColourMask();
    const bool fast = k != Kernels::Scalar;
    if (f.bitCount == 32) {
        const bool bytes = fast && f.ByteChannels();
        const bool wide = bytes && !t && k == Kernels::Fast && simd::HasAvx2();
        WalkRuns<uint32_t, M>(view, src, p, [&](uint32_t* d, const uint32_t* s, int len) {
            if ((s[0] & colours) == 0) return;
            const int done = wide ? Add32WhiteAvx2<M>(d, s, len) : 0;
            if (bytes)
                Fast::Add32<M>(M ? d - done : d + done, s + done, len - done, f, t);
            else
                Scalar::Add<M>(d, s, len, f, t);
        });
    } else {
        WalkRuns<uint16_t, M>(view, src, p, [&](uint16_t* d, const uint32_t* s, int len) {
            if ((s[0] & colours) == 0) return;
            if (fast)
                Fast::Add16<M>(d, s, len, f, t);
            else
                Scalar::Add<M>(d, s, len, f, t);
        });
    }
}

// Four volatile pixels by the same rule as the scalar loop, products taken
// modulo 2^32 as unsigned words are.
inline __m128i VolatileFast4(__m128i d, __m128i p, const PixelFormat& f, bool packed) {
    using namespace simd;
    const __m128i pa = _mm_srli_epi32(p, 24);
    if (packed) {
        const __m128i mrb = _mm_set1_epi32(0xFF00FF), mg = _mm_set1_epi32(0xFF00);
        auto part = [&](__m128i m) {
            const __m128i dm = _mm_and_si128(d, m);
            const __m128i x = _mm_srli_epi32(MulLo32(_mm_sub_epi32(_mm_and_si128(p, m), dm), pa), 8);
            return _mm_and_si128(_mm_add_epi32(x, dm), m);
        };
        return _mm_or_si128(part(mrb), part(mg));
    }
    const __m128i inv = _mm_sub_epi32(_mm_set1_epi32(256), pa);
    __m128i out = _mm_setzero_si128();
    for (int c = 0; c < 3; ++c) {
        const __m128i m = _mm_set1_epi32(int(f.mask[c]));
        const __m128i comp = _mm_and_si128(_mm_srli_epi32(p, 16 - 8 * c), _mm_set1_epi32(0xFF));
        const __m128i q = _mm_srli_epi32(_mm_mullo_epi16(comp, pa), 8);
        __m128i x = _mm_add_epi32(MulLo32(_mm_and_si128(d, m), inv), MulLo32(q, m));
        x = _mm_add_epi32(x, _mm_set1_epi32(int(f.mask[c] >> 1)));
        out = _mm_add_epi32(out, _mm_and_si128(_mm_srli_epi32(x, 8), m));
    }
    return out;
}

template <bool M, typename T>
void Volatile(const SurfaceView& view, const PixelFormat& f, const ArgbSource& src, const Placement& p, bool fast) {
    const bool packed = sizeof(T) == 4 && f.rgbOrder && f.ByteChannels();
    for (int row = 0; row < p.rows; ++row) {
        T* d = view.Row<T>(p.dy + row) + p.dx + (M ? p.n - 1 : 0);
        const size_t off = size_t(p.sy + row) * size_t(src.width) + size_t(p.sx);
        auto pixel = [&](int j) { return src.bits ? src.bits[off + size_t(j)] : src.palette[src.indices[off + size_t(j)]]; };
        int j = 0;
        if (fast) {
            for (; j + 4 <= p.n; j += 4) {
                T* dp = M ? d - j - 3 : d + j;
                __m128i pv = _mm_setr_epi32(int(pixel(j)), int(pixel(j + 1)), int(pixel(j + 2)), int(pixel(j + 3)));
                if (M) pv = simd::Reverse32(pv);
                if constexpr (sizeof(T) == 4)
                    simd::Store(dp, VolatileFast4(simd::Load(dp), pv, f, packed));
                else
                    simd::Store4x16(dp, VolatileFast4(simd::Load4x16(dp), pv, f, packed));
            }
        }
        for (; j < p.n; ++j) {
            T& dst = At<M>(d, j);
            dst = T(packed ? rule::VolatilePacked32(dst, pixel(j)) : rule::VolatileChannels(dst, pixel(j), f));
        }
    }
}

bool Usable(const SurfaceView& view, const PixelFormat& f, int srcW, int srcH) {
    return view.bits != nullptr && f.Drawable() && srcW > 0 && srcH > 0;
}

} // namespace

void BltOpaque(const SurfaceView& view, const PixelFormat& f, int x, int y, const NativeSource& src,
               const Rect& srcRect, bool keyed, bool mirror, Kernels k) {
    Placement p;
    if (!Usable(view, f, src.width, src.height) || !Place(view, src.width, src.height, x, y, srcRect, mirror, p))
        return;
    // A palettized source never shows its alpha-0 entries.
    keyed = keyed || src.indices != nullptr;
    if (f.bitCount == 32)
        mirror ? Opaque<uint32_t, true>(view, src, p, keyed, k) : Opaque<uint32_t, false>(view, src, p, keyed, k);
    else
        mirror ? Opaque<uint16_t, true>(view, src, p, keyed, k) : Opaque<uint16_t, false>(view, src, p, keyed, k);
}

void BltAlpha(const SurfaceView& view, const PixelFormat& f, int x, int y, const NativeSource& src,
              const Rect& srcRect, const Color& color, bool mirror, Kernels k) {
    Placement p;
    if (!Usable(view, f, src.width, src.height) || src.runs == nullptr ||
        !Place(view, src.width, src.height, x, y, srcRect, mirror, p))
        return;
    if (color == Color::White)
        mirror ? AlphaWhite<true>(view, f, src, p, k) : AlphaWhite<false>(view, f, src, p, k);
    else
        mirror ? AlphaTinted<true>(view, f, src, p, color, k) : AlphaTinted<false>(view, f, src, p, color, k);
}

void BltVolatile(const SurfaceView& view, const PixelFormat& f, int x, int y, const ArgbSource& src,
                 const Rect& srcRect, bool mirror, Kernels k) {
    Placement p;
    if (!Usable(view, f, src.width, src.height) || (!src.bits && !(src.indices && src.palette)) ||
        !Place(view, src.width, src.height, x, y, srcRect, mirror, p))
        return;
    const bool fast = k != Kernels::Scalar;
    if (f.bitCount == 32)
        mirror ? Volatile<true, uint32_t>(view, f, src, p, fast) : Volatile<false, uint32_t>(view, f, src, p, fast);
    else
        mirror ? Volatile<true, uint16_t>(view, f, src, p, fast) : Volatile<false, uint16_t>(view, f, src, p, fast);
}

void BltAdditive(const SurfaceView& view, const PixelFormat& f, int x, int y, const NativeSource& src,
                 const Rect& srcRect, const Color& color, bool mirror, Kernels k) {
    Placement p;
    if (!Usable(view, f, src.width, src.height) || src.runs == nullptr ||
        !Place(view, src.width, src.height, x, y, srcRect, mirror, p))
        return;
    mirror ? Additive<true>(view, f, src, p, color, k) : Additive<false>(view, f, src, p, color, k);
}

} // namespace Zephra::surface
