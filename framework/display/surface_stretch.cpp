// Nearest-pixel stretch, plain and mirrored, onto locked surface memory.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>
#include "framework/display/surface_kernels.h"
#include "framework/display/surface_rows.h"

namespace Zephra::surface {

namespace {

using rows::At;

struct Stepping {
    int64_t x16 = 0, y16 = 0, stepX = 0, stepY = 0;
};

// The plain rule of each mode and colour, one word at a time.
template <typename T, bool M>
void RowScalar(T* d, const uint32_t* na, int n, const PixelFormat& f, bool additive, const uint32_t* t,
               uint32_t ca) {
    for (int j = 0; j < n; ++j) {
        const uint32_t v = na[j];
        T& dst = At<M>(d, j);
        if (additive) {
            if (v != 0) dst = T(t ? rule::AddTinted(dst, v, f, t) : rule::StretchAdd(dst, v, f));
        } else if (!t) {
            if ((v >> 24) != 0) dst = T(rule::StretchWhite(dst, v, f));
        } else {
            const uint32_t a2 = ((v >> 24) * ca) / 255;
            if (a2 != 0) dst = T(rule::StretchTinted(dst, v, f, t, a2));
        }
    }
}

template <bool M>
void RowFast32(uint32_t* d, const uint32_t* na, int n, const PixelFormat& f, bool additive, const uint32_t* t,
               uint32_t ca) {
    if (additive)
        rows::Fast::Add32<M>(d, na, n, f, t, true);
    else if (!t)
        rows::Fast::Alpha32<M>(d, na, n, true);
    else
        rows::Fast::Tint32<M>(d, na, n, f, t, ca, false, true);
}

template <bool M>
void RowFast16(uint16_t* d, const uint32_t* na, int n, const PixelFormat& f, bool additive, const uint32_t* t,
               uint32_t ca) {
    if (additive)
        rows::Fast::Add16<M>(d, na, n, f, t, true);
    else if (!t)
        rows::Fast::AlphaChannels16<M>(d, na, n, f, true);
    else
        rows::Fast::Tint16<M>(d, na, n, f, t, ca, false, true);
}

template <typename T, bool M>
void Stretch(const SurfaceView& view, const PixelFormat& f, const NativeSource& src, const Rect& q,
             const Stepping& st, bool additive, const uint32_t* t, uint32_t ca, bool fast) {
    // Source columns once for all rows; held inside the source whatever the
    // caller's rectangles.
    std::vector<int> cols(size_t(q.mWidth));
    int64_t x16 = st.x16;
    for (int i = 0; i < q.mWidth; ++i, x16 += st.stepX)
        cols[size_t(i)] = int(std::clamp<int64_t>(x16 >> 16, 0, src.width - 1));
    std::vector<uint32_t> na(size_t(q.mWidth));
    const bool simd = fast && sizeof(T) == 4 && f.ByteChannels();
    int64_t y16 = st.y16;
    size_t gathered = SIZE_MAX;   // the source row na holds
    for (int row = 0; row < q.mHeight; ++row, y16 += st.stepY) {
        const size_t base = size_t(std::clamp<int64_t>(y16 >> 16, 0, src.height - 1)) * size_t(src.width);
        T* d = view.Row<T>(q.mY + row) + q.mX + (M ? q.mWidth - 1 : 0);
        if (base != gathered && src.indices)
            for (int i = 0; i < q.mWidth; ++i) na[size_t(i)] = src.native[src.indices[base + size_t(cols[size_t(i)])]];
        else if (base != gathered)
            for (int i = 0; i < q.mWidth; ++i) na[size_t(i)] = src.native[base + size_t(cols[size_t(i)])];
        gathered = base;
        if constexpr (sizeof(T) == 4) {
            if (simd) {
                RowFast32<M>(d, na.data(), q.mWidth, f, additive, t, ca);
                continue;
            }
        } else {
            RowFast16<M>(d, na.data(), q.mWidth, f, additive, t, ca);
            continue;
        }
        RowScalar<T, M>(d, na.data(), q.mWidth, f, additive, t, ca);
    }
}

// The scalar reference fetches every word where it is needed.
template <typename T, bool M>
void StretchReference(const SurfaceView& view, const PixelFormat& f, const NativeSource& src, const Rect& q,
                      const Stepping& st, bool additive, const uint32_t* t, uint32_t ca) {
    int64_t y16 = st.y16;
    for (int row = 0; row < q.mHeight; ++row, y16 += st.stepY) {
        const int64_t sy = std::clamp<int64_t>(y16 >> 16, 0, src.height - 1);
        T* d = view.Row<T>(q.mY + row) + q.mX + (M ? q.mWidth - 1 : 0);
        int64_t x16 = st.x16;
        for (int i = 0; i < q.mWidth; ++i, x16 += st.stepX) {
            const uint32_t v = src.At(size_t(sy) * size_t(src.width) + size_t(std::clamp<int64_t>(x16 >> 16, 0, src.width - 1)));
            RowScalar<T, M>(M ? d - i : d + i, &v, 1, f, additive, t, ca);
        }
    }
}

} // namespace

void StretchNearest(const SurfaceView& view, const PixelFormat& f, const NativeSource& src, const Rect& q,
                    const RectD& s, const Color& color, bool additive, bool mirror, Kernels k) {
    if (view.bits == nullptr || !f.Drawable() || src.native == nullptr || src.width <= 0 || src.height <= 0 ||
        q.IsEmpty() || !(q.Intersection(Rect(0, 0, view.width, view.height)) == q) || !(s.mWidth > 0) ||
        !(s.mHeight > 0) || !std::isfinite(s.mX) || !std::isfinite(s.mY) || std::fabs(s.mX) > 1e9 ||
        std::fabs(s.mY) > 1e9 || s.mWidth > 1e9 || s.mHeight > 1e9)
        return;
    Stepping st;
    st.y16 = int64_t(s.mY * 65536.0);
    st.stepX = int64_t(s.mWidth * 65536.0 / q.mWidth);
    st.stepY = int64_t(s.mHeight * 65536.0 / q.mHeight);
    st.x16 = int64_t(s.mX * 65536.0);
    const uint32_t ca = Clamp8(color.mAlpha);
    const uint32_t tc[3] = {Clamp8(color.mRed) * ca / 255, Clamp8(color.mGreen) * ca / 255,
                            Clamp8(color.mBlue) * ca / 255};
    const uint32_t* t = color == Color::White ? nullptr : tc;
    if (k == Kernels::Scalar) {
        if (f.bitCount == 32)
            mirror ? StretchReference<uint32_t, true>(view, f, src, q, st, additive, t, ca)
                   : StretchReference<uint32_t, false>(view, f, src, q, st, additive, t, ca);
        else
            mirror ? StretchReference<uint16_t, true>(view, f, src, q, st, additive, t, ca)
                   : StretchReference<uint16_t, false>(view, f, src, q, st, additive, t, ca);
        return;
    }
    if (f.bitCount == 32)
        mirror ? Stretch<uint32_t, true>(view, f, src, q, st, additive, t, ca, true)
               : Stretch<uint32_t, false>(view, f, src, q, st, additive, t, ca, true);
    else
        mirror ? Stretch<uint16_t, true>(view, f, src, q, st, additive, t, ca, true)
               : Stretch<uint16_t, false>(view, f, src, q, st, additive, t, ca, true);
}

} // namespace Zephra::surface
