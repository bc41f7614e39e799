// The packed copy with AVX2 moves in line. One 32-byte store at a time on the
// destination's boundaries measured faster than the library's memcpy per
// stretch, and than unrolled, 64-byte or source-aligned forms; short stretches
// are spared the call.
#include "framework/graphics/shown_pack.h"
#include <immintrin.h>
#include "platform/simd_target.h"

namespace Zephra {

namespace {

PEMBERLY_AVX2_BEGIN
// n bytes (sizeof(U) to twice that) as two moves of U, overlapping when fewer.
template <typename U>
inline void MovePair(unsigned char* d, const unsigned char* s, size_t n) {
    U a, b;
    std::memcpy(&a, s, sizeof(U));
    std::memcpy(&b, s + n - sizeof(U), sizeof(U));
    std::memcpy(d, &a, sizeof(U));
    std::memcpy(d + n - sizeof(U), &b, sizeof(U));
}

// n bytes, a whole number of pixels of 2 or 4 bytes, from s to d, which do not
// overlap. Long moves store on the destination's 32-byte boundaries (a store
// split across cache lines costs more than a split load) between a first and a
// last unaligned 32 bytes; short ones are two overlapping moves.
inline void MoveAvx2(unsigned char* d, const unsigned char* s, size_t n) {
    if (n < 32) {
        if (n >= 16)
            MovePair<__m128i>(d, s, n);
        else if (n >= 8)
            MovePair<uint64_t>(d, s, n);
        else if (n >= 4)
            MovePair<uint32_t>(d, s, n);
        else
            MovePair<uint16_t>(d, s, n);
        return;
    }
    auto load = [s](size_t at) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at)); };
    const __m256i first = load(0), last = load(n - 32);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), first);
    for (size_t i = 32 - (reinterpret_cast<uintptr_t>(d) & 31); i + 32 <= n; i += 32)
        _mm256_store_si256(reinterpret_cast<__m256i*>(d + i), load(i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + n - 32), last);
}

template <typename T>
void CopyAvx2(const ShownPack& pack, void* dest, ptrdiff_t pitch, int sx, int sy, int n, int rows) {
    pack.Walk<T>(dest, pitch, sx, sy, n, rows, [](unsigned char* d, const unsigned char* s, size_t bytes) {
        MoveAvx2(d, s, bytes);
    });
}
PEMBERLY_AVX2_END

} // namespace

template <typename T>
bool ShownPack::CopyWide(void* dest, ptrdiff_t pitch, int sx, int sy, int n, int rows) const {
    if (!CpuHasAvx2()) return false;
    CopyAvx2<T>(*this, dest, pitch, sx, sy, n, rows);
    return true;
}

template bool ShownPack::CopyWide<uint16_t>(void*, ptrdiff_t, int, int, int, int) const;
template bool ShownPack::CopyWide<uint32_t>(void*, ptrdiff_t, int, int, int, int) const;

} // namespace Zephra
