#pragma once
// Row loops shared by the blits and the stretch: a scalar form that applies
// the pixel rule word by word and an SSE2 form, each taking n source words and
// a destination that runs rightwards (or leftwards, mirrored) from d.
#include <cstring>
#include "framework/display/surface_pixel_rules.h"
#include "framework/display/surface_simd.h"

namespace Zephra::surface::rows {

template <bool Mirror, typename T>
inline T& At(T* d, int j) {
    return Mirror ? *(d - j) : d[j];
}

// ---- row loops: scalar forms ----

// Eight source words as 16-bit lanes: their low halves and their alphas, in
// destination order.
template <bool M>
inline void Source8(const uint32_t* s, __m128i& low, __m128i& alpha) {
    using namespace simd;
    const __m128i s0 = Load(s), s1 = Load(s + 4);
    low = Low16(s0, s1);
    alpha = Narrow(_mm_srli_epi32(s0, 24), _mm_srli_epi32(s1, 24));
    if (M) {
        low = Reverse16(low);
        alpha = Reverse16(alpha);
    }
}

struct Scalar {
    template <bool M>
    static void Alpha32(uint32_t* d, const uint32_t* s, int n) {
        for (int j = 0; j < n; ++j) At<M>(d, j) = rule::Alpha32(At<M>(d, j), s[j]);
    }
    template <bool M>
    static void AlphaPacked16(uint16_t* d, const uint32_t* s, int n, uint32_t k) {
        for (int j = 0; j < n; ++j) At<M>(d, j) = rule::AlphaPacked16(At<M>(d, j), s[j], k);
    }
    template <bool M, typename T>
    static void Tint(T* d, const uint32_t* s, int n, const PixelFormat& f, const uint32_t* k, uint32_t ca,
                     bool opaque) {
        for (int j = 0; j < n; ++j)
            At<M>(d, j) = T(opaque ? rule::TintOpaque(s[j], f, k) : rule::TintBlend(At<M>(d, j), s[j], f, k, ca));
    }
    template <bool M, typename T>
    static void Add(T* d, const uint32_t* s, int n, const PixelFormat& f, const uint32_t* t) {
        for (int j = 0; j < n; ++j)
            At<M>(d, j) = T(t ? rule::AddTinted(At<M>(d, j), s[j], f, t) : rule::Add(At<M>(d, j), s[j], f));
    }
    // Copies a run; keyed copies pass over alpha-0 words.
    template <bool M, typename T>
    static void Copy(T* d, const uint32_t* s, int n, bool keyed) {
        for (int j = 0; j < n; ++j)
            if (!keyed || (s[j] >> 24) != 0) At<M>(d, j) = T(s[j]);
    }
};

// ---- row loops: SSE2 forms, each falling back to the scalar rule for tails ----

struct Fast {
    // With skip, words of alpha 0 leave the destination as it was (stretch rule).
    template <bool M>
    static void Alpha32(uint32_t* d, const uint32_t* s, int n, bool skip = false) {
        using namespace simd;
        const __m128i zero = _mm_setzero_si128(), rgb = _mm_set1_epi32(0x00FFFFFF), k256 = _mm_set1_epi32(256);
        int j = 0;
        for (; j + 4 <= n; j += 4) {
            uint32_t* dp = M ? d - j - 3 : d + j;
            __m128i sv = Load(s + j);
            if (skip) {
                // Whole groups that keep the destination or take the source as it is.
                const int alphas = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_srli_epi32(sv, 24), zero));
                if (alphas == 0xFFFF) continue;
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_srli_epi32(sv, 24), _mm_set1_epi32(255))) == 0xFFFF) {
                    Store(dp, M ? Reverse32(sv) : sv);
                    continue;
                }
            }
            if (M) sv = Reverse32(sv);
            __m128i dv = _mm_and_si128(Load(dp), rgb);
            __m128i ilo, ihi;
            Broadcast4(_mm_sub_epi32(k256, _mm_srli_epi32(sv, 24)), ilo, ihi);
            __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), ilo), 8);
            __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), ihi), 8);
            __m128i out = _mm_add_epi32(_mm_packus_epi16(lo, hi), sv);
            if (skip) out = Keep(out, Load(dp), _mm_cmpeq_epi32(_mm_srli_epi32(sv, 24), zero));
            Store(dp, out);
        }
        if (skip) {
            for (; j < n; ++j)
                if ((s[j] >> 24) != 0) At<M>(d, j) = rule::Alpha32(At<M>(d, j), s[j]);
            return;
        }
        Scalar::Alpha32<M>(M ? d - j : d + j, s + j, n - j);
    }

    // 565 and 555: three fields each weighted by (256 - a) >> 3 and >> 5.
    template <bool M>
    static void AlphaPacked16(uint16_t* d, const uint32_t* s, int n, uint32_t k) {
        using namespace simd;
        const bool is565 = k == rule::kPacked565;
        const __m128i k256 = _mm_set1_epi16(256), m5 = _mm_set1_epi16(31), m6 = _mm_set1_epi16(63);
        const __m128i gmask = is565 ? m6 : m5;
        const int rshift = is565 ? 11 : 10;
        int j = 0;
        for (; j + 8 <= n; j += 8) {
            uint16_t* dp = M ? d - j - 7 : d + j;
            __m128i sl, a;
            Source8<M>(s + j, sl, a);
            __m128i m = _mm_srli_epi16(_mm_sub_epi16(k256, a), 3);
            __m128i dv = Load(dp);
            __m128i r = _mm_and_si128(_mm_srl_epi16(dv, _mm_cvtsi32_si128(rshift)), m5);
            __m128i g = _mm_and_si128(_mm_srli_epi16(dv, 5), gmask);
            __m128i b = _mm_and_si128(dv, m5);
            r = _mm_srli_epi16(_mm_mullo_epi16(r, m), 5);
            g = _mm_srli_epi16(_mm_mullo_epi16(g, m), 5);
            b = _mm_srli_epi16(_mm_mullo_epi16(b, m), 5);
            __m128i out = _mm_or_si128(_mm_or_si128(_mm_sll_epi16(r, _mm_cvtsi32_si128(rshift)), _mm_slli_epi16(g, 5)), b);
            Store(dp, _mm_add_epi16(out, sl));
        }
        Scalar::AlphaPacked16<M>(M ? d - j : d + j, s + j, n - j, k);
    }

    // Byte channels: every lane weighted at once; k and the destination's
    // alpha lane are zero so the top byte comes out 0.
    template <bool M>
    static void Tint32(uint32_t* d, const uint32_t* s, int n, const PixelFormat& f, const uint32_t* k,
                       uint32_t ca, bool opaque, bool skip = false) {
        using namespace simd;
        const __m128i zero = _mm_setzero_si128(), rgb = _mm_set1_epi32(0x00FFFFFF), k256 = _mm_set1_epi32(256);
        uint16_t kl[8] = {};
        for (int c = 0; c < 3; ++c) kl[f.shift[c] / 8] = kl[4 + f.shift[c] / 8] = uint16_t(k[c]);
        const __m128i kv = Load(kl), cav = _mm_set1_epi32(int(ca));
        int j = 0;
        for (; j + 4 <= n; j += 4) {
            uint32_t* dp = M ? d - j - 3 : d + j;
            __m128i sv = Load(s + j);
            if (M) sv = Reverse32(sv);
            __m128i sc = _mm_and_si128(sv, rgb), w = zero;
            __m128i slo = _mm_mullo_epi16(_mm_unpacklo_epi8(sc, zero), kv);
            __m128i shi = _mm_mullo_epi16(_mm_unpackhi_epi8(sc, zero), kv);
            if (!opaque) {
                // w = Div255(a x ca), in the 16-bit lanes of each pixel.
                __m128i wa = _mm_madd_epi16(_mm_srli_epi32(sv, 24), cav);
                w = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(wa, _mm_set1_epi32(1)), _mm_srli_epi32(wa, 8)), 8);
                __m128i ilo, ihi;
                Broadcast4(_mm_sub_epi32(k256, w), ilo, ihi);
                __m128i dv = _mm_and_si128(Load(dp), rgb);
                slo = _mm_add_epi16(slo, _mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), ilo));
                shi = _mm_add_epi16(shi, _mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), ihi));
            }
            __m128i out = _mm_packus_epi16(_mm_srli_epi16(slo, 8), _mm_srli_epi16(shi, 8));
            if (skip) out = Keep(out, Load(dp), _mm_cmpeq_epi32(w, zero));
            Store(dp, out);
        }
        if (skip) {
            for (; j < n; ++j)
                if (Div255((s[j] >> 24) * ca) != 0) At<M>(d, j) = rule::TintBlend(At<M>(d, j), s[j], f, k, ca);
            return;
        }
        Scalar::Tint<M>(M ? d - j : d + j, s + j, n - j, f, k, ca, opaque);
    }

    // Byte channels: saturation at 255 is the saturating byte add.
    template <bool M>
    static void Add32(uint32_t* d, const uint32_t* s, int n, const PixelFormat& f, const uint32_t* t,
                      bool skip = false) {
        using namespace simd;
        const __m128i zero = _mm_setzero_si128(), rgb = _mm_set1_epi32(0x00FFFFFF);
        uint16_t tl[8] = {};
        if (t)
            for (int c = 0; c < 3; ++c) tl[f.shift[c] / 8] = tl[4 + f.shift[c] / 8] = uint16_t(t[c]);
        const __m128i tv = Load(tl);
        int j = 0;
        for (; j + 4 <= n; j += 4) {
            uint32_t* dp = M ? d - j - 3 : d + j;
            __m128i sv = Load(s + j);
            if (M) sv = Reverse32(sv);
            const __m128i zeroWord = _mm_cmpeq_epi32(sv, zero);
            sv = _mm_and_si128(sv, rgb);
            if (t) {
                __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(sv, zero), tv), 8);
                __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(sv, zero), tv), 8);
                sv = _mm_packus_epi16(lo, hi);
            }
            const __m128i dv = Load(dp);
            __m128i out = _mm_adds_epu8(_mm_and_si128(dv, rgb), sv);
            if (skip) out = Keep(out, dv, zeroWord);
            Store(dp, out);
        }
        if (skip) {
            for (; j < n; ++j)
                if (s[j] != 0) At<M>(d, j) = t ? rule::AddTinted(At<M>(d, j), s[j], f, t) : rule::Add(At<M>(d, j), s[j], f);
            return;
        }
        Scalar::Add<M>(M ? d - j : d + j, s + j, n - j, f, t);
    }

    // 16-bit layouts: fields added and capped at their maximum.
    template <bool M>
    static void Add16(uint16_t* d, const uint32_t* s, int n, const PixelFormat& f, const uint32_t* t,
                      bool skip = false) {
        using namespace simd;
        const Fields16 fl(f);
        __m128i tv[3];
        for (int c = 0; c < 3; ++c) tv[c] = _mm_set1_epi16(short(t ? t[c] : 0));
        int j = 0;
        for (; j + 8 <= n; j += 8) {
            uint16_t* dp = M ? d - j - 7 : d + j;
            const __m128i s0 = Load(s + j), s1 = Load(s + j + 4);
            __m128i sv = Low16(s0, s1);
            __m128i zero = _mm_packs_epi32(_mm_cmpeq_epi32(s0, _mm_setzero_si128()), _mm_cmpeq_epi32(s1, _mm_setzero_si128()));
            if (M) {
                sv = Reverse16(sv);
                zero = Reverse16(zero);
            }
            __m128i dv = Load(dp), out = _mm_setzero_si128();
            for (int c = 0; c < 3; ++c) {
                __m128i sc = fl.Get(sv, c);
                if (t) sc = _mm_srli_epi16(_mm_mullo_epi16(sc, tv[c]), 8);
                out = _mm_or_si128(out, fl.Put(_mm_min_epi16(_mm_add_epi16(sc, fl.Get(dv, c)), fl.max[c]), c));
            }
            if (skip) out = Keep(out, dv, zero);
            Store(dp, out);
        }
        if (skip) {
            for (; j < n; ++j)
                if (s[j] != 0) At<M>(d, j) = uint16_t(t ? rule::AddTinted(At<M>(d, j), s[j], f, t) : rule::Add(At<M>(d, j), s[j], f));
            return;
        }
        Scalar::Add<M>(M ? d - j : d + j, s + j, n - j, f, t);
    }

    // 16-bit layouts, white, per channel: the source word plus each field of
    // the destination weighted by 256 - a. With skip, alpha-0 words are passed over.
    template <bool M>
    static void AlphaChannels16(uint16_t* d, const uint32_t* s, int n, const PixelFormat& f, bool skip) {
        using namespace simd;
        const Fields16 fl(f);
        const __m128i k256 = _mm_set1_epi16(256), zero = _mm_setzero_si128();
        int j = 0;
        for (; j + 8 <= n; j += 8) {
            uint16_t* dp = M ? d - j - 7 : d + j;
            __m128i sl, a;
            Source8<M>(s + j, sl, a);
            const __m128i inv = _mm_sub_epi16(k256, a), dv = Load(dp);
            __m128i out = sl;
            for (int c = 0; c < 3; ++c)
                out = _mm_add_epi16(out, fl.Put(_mm_and_si128(_mm_srli_epi16(_mm_mullo_epi16(fl.Get(dv, c), inv), 8), fl.max[c]), c));
            if (skip) out = Keep(out, dv, _mm_cmpeq_epi16(a, zero));
            Store(dp, out);
        }
        for (; j < n; ++j)
            if (!skip || (s[j] >> 24) != 0) At<M>(d, j) = uint16_t(rule::AlphaGeneric(At<M>(d, j), s[j], f));
    }

    // 16-bit layouts, coloured, per channel (k the colour's weights, ca its alpha).
    template <bool M>
    static void Tint16(uint16_t* d, const uint32_t* s, int n, const PixelFormat& f, const uint32_t* k, uint32_t ca,
                       bool opaque, bool skip = false) {
        using namespace simd;
        const Fields16 fl(f);
        const __m128i k256 = _mm_set1_epi16(256), cav = _mm_set1_epi16(short(ca)), zero = _mm_setzero_si128();
        __m128i kv[3];
        for (int c = 0; c < 3; ++c) kv[c] = _mm_set1_epi16(short(k[c]));
        int j = 0;
        for (; j + 8 <= n; j += 8) {
            uint16_t* dp = M ? d - j - 7 : d + j;
            __m128i sl, a;
            Source8<M>(s + j, sl, a);
            const __m128i w = simd::Div255(_mm_mullo_epi16(a, cav)), inv = _mm_sub_epi16(k256, w), dv = Load(dp);
            __m128i out = zero;
            for (int c = 0; c < 3; ++c) {
                __m128i x = _mm_mullo_epi16(fl.Get(sl, c), kv[c]);
                if (!opaque) x = _mm_add_epi16(x, _mm_mullo_epi16(fl.Get(dv, c), inv));
                out = _mm_add_epi16(out, fl.Put(_mm_and_si128(_mm_srli_epi16(x, 8), fl.max[c]), c));
            }
            if (skip) out = Keep(out, dv, _mm_cmpeq_epi16(w, zero));
            Store(dp, out);
        }
        for (; j < n; ++j) {
            if (skip && Div255((s[j] >> 24) * ca) == 0) continue;
            At<M>(d, j) = uint16_t(opaque ? rule::TintOpaque(s[j], f, k) : rule::TintBlend(At<M>(d, j), s[j], f, k, ca));
        }
    }

    // A grey colour on 565 and 555, the packed rule word for word (its 32-bit
    // products included), four pixels at a time.
    template <bool M>
    static void Grey16(uint16_t* d, const uint32_t* s, int n, uint32_t key, uint32_t g5, uint32_t ca, bool opaque) {
        using namespace simd;
        const __m128i kv = _mm_set1_epi32(int(key)), g5v = _mm_set1_epi32(int(g5)), cav = _mm_set1_epi32(int(ca));
        const __m128i low = _mm_set1_epi32(0xFFFF), k256 = _mm_set1_epi32(256), one = _mm_set1_epi32(1);
        auto spread = [&](__m128i v) { return _mm_and_si128(_mm_or_si128(v, _mm_slli_epi32(v, 16)), kv); };
        int j = 0;
        for (; j + 4 <= n; j += 4) {
            uint16_t* dp = M ? d - j - 3 : d + j;
            __m128i sv = Load(s + j);
            if (M) sv = Reverse32(sv);
            __m128i x = MulLo32(spread(_mm_and_si128(sv, low)), g5v);
            if (!opaque) {
                const __m128i wa = _mm_madd_epi16(_mm_srli_epi32(sv, 24), cav);
                const __m128i w = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(wa, one), _mm_srli_epi32(wa, 8)), 8);
                const __m128i wd = _mm_srli_epi32(_mm_sub_epi32(k256, w), 3);
                x = _mm_add_epi32(x, MulLo32(spread(Load4x16(dp)), wd));
            }
            x = _mm_and_si128(_mm_srli_epi32(x, 5), kv);
            Store4x16(dp, _mm_or_si128(_mm_srli_epi32(x, 16), _mm_and_si128(x, low)));
        }
        for (; j < n; ++j)
            At<M>(d, j) = opaque ? rule::GreyOpaque16(s[j], key, g5) : rule::GreyBlend16(At<M>(d, j), s[j], key, g5, ca);
    }

    template <bool M>
    static void Copy32(uint32_t* d, const uint32_t* s, int n, bool keyed) {
        using namespace simd;
        int j = 0;
        if (!M && !keyed) {
            // Not memcpy: for a run this short the compiler makes it a string
            // move, slow to start.
            for (; j + 4 <= n; j += 4) Store(d + j, Load(s + j));
            for (; j < n; ++j) d[j] = s[j];
            return;
        }
        for (; j + 4 <= n; j += 4) {
            uint32_t* dp = M ? d - j - 3 : d + j;
            __m128i sv = Load(s + j);
            if (M) sv = Reverse32(sv);
            if (keyed) {
                __m128i skip = _mm_cmpeq_epi32(_mm_srli_epi32(sv, 24), _mm_setzero_si128());
                sv = _mm_or_si128(_mm_and_si128(skip, Load(dp)), _mm_andnot_si128(skip, sv));
            }
            Store(dp, sv);
        }
        Scalar::Copy<M>(M ? d - j : d + j, s + j, n - j, keyed);
    }

    template <bool M>
    static void Copy16(uint16_t* d, const uint32_t* s, int n, bool keyed) {
        using namespace simd;
        int j = 0;
        for (; j + 8 <= n; j += 8) {
            uint16_t* dp = M ? d - j - 7 : d + j;
            __m128i s0 = Load(s + j), s1 = Load(s + j + 4);
            __m128i sv = Low16(s0, s1);
            if (M) sv = Reverse16(sv);
            if (keyed) {
                __m128i a = Narrow(_mm_srli_epi32(s0, 24), _mm_srli_epi32(s1, 24));
                if (M) a = Reverse16(a);
                __m128i skip = _mm_cmpeq_epi16(a, _mm_setzero_si128());
                sv = _mm_or_si128(_mm_and_si128(skip, Load(dp)), _mm_andnot_si128(skip, sv));
            }
            Store(dp, sv);
        }
        Scalar::Copy<M>(M ? d - j : d + j, s + j, n - j, keyed);
    }
};

} // namespace Zephra::surface::rows
