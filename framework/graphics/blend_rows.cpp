#include "framework/graphics/blend_rows.h"

#include <emmintrin.h>
#include <immintrin.h>
#include <algorithm>
#include <atomic>
#include "framework/graphics/blend_group_avx2.h"
#include "framework/graphics/image.h"
#include "framework/graphics/raster_util.h"
#include "platform/simd_target.h"

namespace Zephra::raster {

namespace {

inline uint32_t NormalPixel(uint32_t dst, uint32_t p) {
    const uint32_t a = p >> 24;
    if (a == 255) return p;
    if (a == 0) return dst;
    return (dst >> 24) == 255 ? OverOpaque(dst, SpreadRGB(p) * a, a) : blend::Normal(dst, p);
}

template <typename Pixel>
void RowReference(uint32_t* d, const uint32_t* s, int n, bool mirror, Pixel pixel) {
    for (int i = 0; i < n; ++i) {
        uint32_t& dst = d[mirror ? n - 1 - i : i];
        dst = pixel(dst, s[i]);
    }
}

inline __m128i Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Each pixel's alpha repeated over its four 16-bit lanes: pixels 0, 1 and 2, 3.
inline void AlphaLanes(__m128i s, __m128i& lo, __m128i& hi) {
    const __m128i a = _mm_srli_epi32(s, 24);
    const __m128i x = _mm_or_si128(a, _mm_slli_epi32(a, 16));
    lo = _mm_unpacklo_epi32(x, x);
    hi = _mm_unpackhi_epi32(x, x);
}

// Exact floor(v / 255) in 16-bit lanes, for every 16-bit v: v * 0x8081 >> 23.
inline __m128i Div255(__m128i v) { return _mm_srli_epi16(_mm_mulhi_epu16(v, _mm_set1_epi16(short(0x8081))), 7); }

// Groups of four; a group whose destination is not all opaque goes through
// the per-pixel rule. Returns the pixels done.
int NormalGroups(uint32_t* d, const uint32_t* s, int n, bool mirror) {
    const __m128i zero = _mm_setzero_si128(), opaque = _mm_set1_epi32(int(0xFF000000u)), k255 = _mm_set1_epi16(255);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        uint32_t* dp = mirror ? d + n - 4 - i : d + i;
        __m128i sv = Load(s + i);
        const __m128i sa = _mm_srli_epi32(sv, 24);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, zero)) == 0xFFFF) continue;   // nothing to show
        if (mirror) sv = _mm_shuffle_epi32(sv, 0x1B);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, _mm_set1_epi32(255))) == 0xFFFF) {
            Store(dp, sv);   // opaque: copied over any destination
            continue;
        }
        const __m128i dv = Load(dp);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(dv, opaque), opaque)) != 0xFFFF) {
            for (int j = 0; j < 4; ++j) {
                uint32_t& dst = mirror ? d[n - 1 - (i + j)] : d[i + j];
                dst = NormalPixel(dst, s[i + j]);
            }
            continue;
        }
        // Over an opaque destination: Div255(s x a + d x (255 - a)) per channel;
        // alpha 0 and 255 come out as the destination and the source.
        __m128i alo, ahi;
        AlphaLanes(sv, alo, ahi);
        const __m128i lo = Div255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(sv, zero), alo),
                                                _mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), _mm_sub_epi16(k255, alo))));
        const __m128i hi = Div255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(sv, zero), ahi),
                                                _mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), _mm_sub_epi16(k255, ahi))));
        Store(dp, _mm_or_si128(_mm_packus_epi16(lo, hi), opaque));
    }
    return i;
}

// Colour scaled by alpha and added with byte saturation; alpha added likewise.
int AdditiveGroups(uint32_t* d, const uint32_t* s, int n, bool mirror) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alphaLane = _mm_setr_epi16(0, 0, 0, -1, 0, 0, 0, -1);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        uint32_t* dp = mirror ? d + n - 4 - i : d + i;
        __m128i sv = Load(s + i);
        if (mirror) sv = _mm_shuffle_epi32(sv, 0x1B);
        __m128i alo, ahi;
        AlphaLanes(sv, alo, ahi);
        // The alpha lane adds the alpha itself rather than alpha x alpha / 255.
        const __m128i lo = _mm_or_si128(_mm_andnot_si128(alphaLane, Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(sv, zero), alo))),
                                        _mm_and_si128(alphaLane, alo));
        const __m128i hi = _mm_or_si128(_mm_andnot_si128(alphaLane, Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(sv, zero), ahi))),
                                        _mm_and_si128(alphaLane, ahi));
        Store(dp, _mm_adds_epu8(Load(dp), _mm_packus_epi16(lo, hi)));
    }
    return i;
}

// The same groups eight at a time, where the processor has AVX2 (chosen at
// run time; the lanes are those of NormalGroups twice over).
PEMBERLY_AVX2_BEGIN
int NormalGroupsAvx2(uint32_t* d, const uint32_t* s, int n, bool mirror) {
    const __m256i zero = _mm256_setzero_si256(), all255 = _mm256_set1_epi32(255);
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const NormalOverLanes lanes = MakeNormalOverLanes();
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        uint32_t* dp = mirror ? d + n - 8 - i : d + i;
        __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        const __m256i sa = _mm256_srli_epi32(sv, 24);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, zero)) == -1) continue;
        if (mirror) sv = _mm256_permutevar8x32_epi32(sv, reverse);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, all255)) == -1)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), sv);
        else
            NormalOver8(dp, sv, lanes);
    }
    return i;
}
// Saturating byte adds eight words at a time; groups of zero words leave the
// destination unread.
int AddPremultipliedAvx2(uint32_t* d, const uint32_t* p, int n, bool mirror) {
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        if (_mm256_testz_si256(sv, sv)) continue;
        uint32_t* dp = mirror ? d + n - 8 - i : d + i;
        if (mirror) sv = _mm256_permutevar8x32_epi32(sv, reverse);
        __m256i* dv = reinterpret_cast<__m256i*>(dp);
        _mm256_storeu_si256(dv, _mm256_adds_epu8(_mm256_loadu_si256(dv), sv));
    }
    return i;
}
PEMBERLY_AVX2_END

int AddPremultipliedSse2(uint32_t* d, const uint32_t* p, int n, bool mirror) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i sv = Load(p + i);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(sv, _mm_setzero_si128())) == 0xFFFF) continue;
        uint32_t* dp = mirror ? d + n - 4 - i : d + i;
        if (mirror) sv = _mm_shuffle_epi32(sv, 0x1B);
        Store(dp, _mm_adds_epu8(Load(dp), sv));
    }
    return i;
}

std::atomic<Loops> gWidestLoops{Loops::Avx2};

// Four tinted pixels: each channel times the tint's, divided by 255.
inline __m128i TintGroup(__m128i p, __m128i tintLanes) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(p, zero), tintLanes));
    const __m128i hi = Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(p, zero), tintLanes));
    return _mm_packus_epi16(lo, hi);
}

} // namespace

void SetWidestLoops(Loops widest) { gWidestLoops.store(widest, std::memory_order_relaxed); }

Loops WidestLoops() {
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    const Loops set = gWidestLoops.load(std::memory_order_relaxed);
    return set == Loops::Avx2 && !avx2 ? Loops::Sse2 : set;
}

void NormalRowReference(uint32_t* d, const uint32_t* s, int n, bool mirror) {
    RowReference(d, s, n, mirror, NormalPixel);
}

void AdditiveRowReference(uint32_t* d, const uint32_t* s, int n, bool mirror) {
    RowReference(d, s, n, mirror, AdditiveFast);
}

void NormalRow(uint32_t* d, const uint32_t* s, int n, bool mirror) {
    const Loops loops = WidestLoops();
    if (loops == Loops::Reference) {
        NormalRowReference(d, s, n, mirror);
        return;
    }
    int done = loops == Loops::Avx2 ? NormalGroupsAvx2(d, s, n, mirror) : 0;
    // The groups of four after the groups of eight: mirrored, they sit at the row's left end.
    if (mirror)
        done += NormalGroups(d, s + done, n - done, true);
    else
        done += NormalGroups(d + done, s + done, n - done, false);
    // The rest: mirrored, the row's left end; else its right end.
    if (mirror)
        NormalRowReference(d, s + done, n - done, true);
    else
        NormalRowReference(d + done, s + done, n - done, false);
}

void AdditiveRow(uint32_t* d, const uint32_t* s, int n, bool mirror) {
    const int done = WidestLoops() == Loops::Reference ? 0 : AdditiveGroups(d, s, n, mirror);
    if (mirror)
        AdditiveRowReference(d, s + done, n - done, true);
    else
        AdditiveRowReference(d + done, s + done, n - done, false);
}

void AddPremultipliedRowReference(uint32_t* d, const uint32_t* p, int n, bool mirror) {
    RowReference(d, p, n, mirror, [](uint32_t dst, uint32_t src) {
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8)
            out |= std::min<uint32_t>(((dst >> shift) & 0xFF) + ((src >> shift) & 0xFF), 255) << shift;
        return out;
    });
}

void AddPremultipliedRow(uint32_t* d, const uint32_t* p, int n, bool mirror) {
    const Loops loops = WidestLoops();
    int done = 0;
    if (loops == Loops::Avx2) done = AddPremultipliedAvx2(d, p, n, mirror);
    if (loops != Loops::Reference)
        done += mirror ? AddPremultipliedSse2(d, p + done, n - done, true)
                       : AddPremultipliedSse2(d + done, p + done, n - done, false);
    if (mirror)
        AddPremultipliedRowReference(d, p + done, n - done, true);
    else
        AddPremultipliedRowReference(d + done, p + done, n - done, false);
}

void TintRowReference(uint32_t* s, int n, const Color& tint) {
    for (int i = 0; i < n; ++i) s[i] = blend::Colorize(s[i], tint);
}

void TintRow(uint32_t* s, int n, const Color& tint) {
    int i = 0;
    if (WidestLoops() != Loops::Reference) {
        const __m128i lanes = _mm_setr_epi16(short(tint.mBlue), short(tint.mGreen), short(tint.mRed),
                                             short(tint.mAlpha), short(tint.mBlue), short(tint.mGreen),
                                             short(tint.mRed), short(tint.mAlpha));
        for (; i + 4 <= n; i += 4) Store(s + i, TintGroup(Load(s + i), lanes));
    }
    TintRowReference(s + i, n - i, tint);
}

void BlendRow(uint32_t* d, uint32_t* s, int n, const Color& tint, int drawMode) {
    if (!(tint == Color::White)) TintRow(s, n, tint);
    if (drawMode == DRAWMODE_ADDITIVE)
        AdditiveRow(d, s, n, false);
    else
        NormalRow(d, s, n, false);
}

} // namespace Zephra::raster
