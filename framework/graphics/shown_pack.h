#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>
#include "framework/graphics/blend_rows.h"

namespace Zephra {

// The shown pixels of a keyed image packed in one stream, so that a copy reads
// nothing but them, in order: per row, each stretch as a word of its first
// column, a word of its length and its pixels (2 or 4 bytes each, padded to a
// whole word). Row y's stretches lie between words RowStart(y) and RowStart(y + 1).
class ShownPack {
public:
    bool Empty() const { return mRowStart.empty(); }
    void Clear() {
        mRowStart.clear();
        mWords.clear();
    }
    int PixelBytes() const { return mPixelBytes; }

    // From the (first column, length) pairs of MemoryImage's shown runs;
    // pixel(i) gives image pixel i (row y, column x at y * width + x).
    template <typename T, typename Pixel>
    void Make(const std::vector<uint32_t>& rowStart, const std::vector<int32_t>& runs, int width, Pixel pixel) {
        Clear();
        mPixelBytes = int(sizeof(T));
        if (rowStart.empty()) return;
        mRowStart.reserve(rowStart.size());
        for (size_t y = 0; y + 1 < rowStart.size(); ++y) {
            mRowStart.push_back(uint32_t(mWords.size()));
            for (size_t k = rowStart[y]; k < rowStart[y + 1]; ++k) {
                const int32_t first = runs[2 * k], len = runs[2 * k + 1];
                const size_t at = mWords.size() + 2;
                mWords.resize(at + Words<T>(len));
                mWords[at - 2] = uint32_t(first);
                mWords[at - 1] = uint32_t(len);
                auto* px = reinterpret_cast<unsigned char*>(mWords.data() + at);
                for (int32_t i = 0; i < len; ++i) {
                    const T v = T(pixel(y * size_t(width) + size_t(first + i)));
                    std::memcpy(px + size_t(i) * sizeof(T), &v, sizeof(T));
                }
            }
        }
        mRowStart.push_back(uint32_t(mWords.size()));
    }

    // Copies source columns sx .. sx + n - 1 of rows sy .. sy + rows - 1 that
    // show onto rows of T whose first is dest, `pitch` bytes apart, column sx
    // at the row's start. Wide takes the AVX2 loop where the processor has it.
    template <typename T>
    void Copy(void* dest, ptrdiff_t pitch, int sx, int sy, int n, int rows, bool wide) const {
        if (!(wide && CopyWide<T>(dest, pitch, sx, sy, n, rows))) CopyPlain<T>(dest, pitch, sx, sy, n, rows);
    }

    // The reference: each stretch through the library's memcpy.
    template <typename T>
    void CopyPlain(void* dest, ptrdiff_t pitch, int sx, int sy, int n, int rows) const {
        Walk<T>(dest, pitch, sx, sy, n, rows, raster::CopyRun);
    }

    // The same copy with AVX2 moves in line (shown_pack.cpp); false, copying
    // nothing, where the processor lacks AVX2.
    template <typename T>
    bool CopyWide(void* dest, ptrdiff_t pitch, int sx, int sy, int n, int rows) const;

    // Copy's walk: move(to, from, bytes) for the shown part of each stretch.
    // Always in line, so that a caller built for AVX2 takes its move in line.
    template <typename T, typename Move>
    [[gnu::always_inline]] inline void Walk(void* dest, ptrdiff_t pitch, int sx, int sy, int n, int rows,
                                            Move move) const {
        // Locals: a move may call through a pointer the compiler cannot see
        // through, after which fields would be read again.
        const uint32_t* words = mWords.data();
        const uint32_t* rowStart = mRowStart.data() + sy;
        auto* d = static_cast<unsigned char*>(dest);
        for (int r = 0; r < rows; ++r, d += pitch) {
            const uint32_t* w = words + rowStart[r];
            const uint32_t* end = words + rowStart[r + 1];
            while (w != end) {
                const int first = int(w[0]), len = int(w[1]);
                const auto* px = reinterpret_cast<const unsigned char*>(w + 2);
                w += 2 + Words<T>(len);
                const int a = std::max(first - sx, 0), b = std::min(first + len - sx, n);
                if (a < b)
                    move(d + size_t(a) * sizeof(T), px + size_t(a + sx - first) * sizeof(T), size_t(b - a) * sizeof(T));
            }
        }
    }

    // The words the pixels of a stretch of len take.
    template <typename T>
    static size_t Words(int32_t len) {
        return (size_t(len) * sizeof(T) + 3) / 4;
    }

private:
    std::vector<uint32_t> mRowStart;
    std::vector<uint32_t> mWords;
    int mPixelBytes = 0;
};

} // namespace Zephra
