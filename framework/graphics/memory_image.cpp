#include "framework/graphics/memory_image.h"
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include "framework/graphics/pixel_blend.h"

namespace Zephra {

MemoryImage* ImageHost::CreateImage() { return new MemoryImage(this); }

namespace {

// One 8-bit channel, premultiplied by alpha, narrowed to a display channel.
inline uint32_t NativeChannel(uint32_t c, uint32_t a1, int32_t bits, int32_t shift, uint32_t mask) {
    uint32_t v = (c * a1) >> 8;
    int drop = 8 - std::clamp(bits, 0, 8);
    if (drop >= 8) return 0;
    uint32_t sh = uint32_t(std::clamp(shift, 0, 31));
    return ((v >> drop) << sh) & mask;
}

bool SameFormat(const NativeDisplay& a, const NativeDisplay& b) {
    return a.mRGBBits == b.mRGBBits && a.mRedMask == b.mRedMask && a.mGreenMask == b.mGreenMask &&
           a.mBlueMask == b.mBlueMask;
}

inline uint32_t ToNative(uint32_t p, const NativeDisplay& d) {
    uint32_t a = p >> 24;
    uint32_t a1 = a + 1;
    return (a << 24) | NativeChannel((p >> 16) & 0xFF, a1, d.mRedBits, d.mRedShift, d.mRedMask) |
           NativeChannel((p >> 8) & 0xFF, a1, d.mGreenBits, d.mGreenShift, d.mGreenMask) |
           NativeChannel(p & 0xFF, a1, d.mBlueBits, d.mBlueShift, d.mBlueMask);
}

// Inverse of NativeChannel as far as the dropped bits allow.
inline uint32_t FromNativeChannel(uint32_t w, uint32_t a1, int32_t bits, int32_t shift, uint32_t mask) {
    int n = std::clamp(bits, 0, 8);
    if (n == 0) return 0;
    uint32_t sh = uint32_t(std::clamp(shift, 0, 31));
    uint32_t v = ((w & mask) >> sh) << (8 - n);
    uint32_t c = (v * 256 + a1 / 2) / a1;
    return std::min<uint32_t>(c, 255);
}

enum AlphaClass : uint8_t { kTransparent, kOpaque, kPartial };

inline uint8_t ClassOf(uint32_t p) {
    uint32_t a = p >> 24;
    return a == 0 ? kTransparent : a == 255 ? kOpaque : kPartial;
}

// Per row, from the right: each byte is the length of the run of equal keys
// starting there, capped at 255.
template <typename KeyAt>
void BuildRuns(uint8_t* out, int width, int height, KeyAt keyAt) {
    for (int y = 0; y < height; ++y) {
        uint8_t* row = out + size_t(y) * size_t(width);
        int run = 0;
        uint32_t nextKey = 0;
        for (int x = width - 1; x >= 0; --x) {
            uint32_t key = keyAt(size_t(y) * size_t(width) + size_t(x));
            run = (x == width - 1 || key != nextKey) ? 1 : run + 1;
            nextKey = key;
            row[x] = uint8_t(std::min(run, 255));
        }
    }
}

} // namespace

MemoryImage::MemoryImage(ImageHost* app) : mApp(app) {
    if (mApp) mApp->AddMemoryImage(this);
}

MemoryImage::~MemoryImage() {
    // Only this class's parts: a derived image has already run its own.
    MemoryImage::ReleaseTextures();
    if (mApp) mApp->RemoveMemoryImage(this);
}

void MemoryImage::FreeBits() { mBits.reset(); }

void MemoryImage::Create(int width, int height) {
    mWidth = std::max(width, 0);
    mHeight = std::max(height, 0);
    FreeBits();
    // Neither a palette nor a texture of the old picture fits the new one.
    mColorTable.reset();
    mColorIndices.reset();
    ReleaseTextures();
    mHasTrans = true;
    mHasAlpha = true;
    BitsChanged();
}

void MemoryImage::SetBits(const uint32_t* bits, int width, int height) {
    mWidth = std::max(width, 0);
    mHeight = std::max(height, 0);
    size_t n = size_t(mWidth) * size_t(mHeight);
    // Copied before the old buffer goes: the caller may pass this image's own bits.
    std::unique_ptr<uint32_t[]> copy(new uint32_t[n + 1]);
    if (bits != nullptr && n > 0)
        std::memcpy(copy.get(), bits, n * sizeof(uint32_t));
    else
        std::fill_n(copy.get(), n, 0u);
    copy[n] = kBitsGuardWord;
    mBits = std::move(copy);
    mColorTable.reset();
    mColorIndices.reset();
    BitsChanged();
}

uint32_t* MemoryImage::GetBits() {
    if (mBits) return mBits.get();
    size_t n = size_t(std::max(mWidth, 0)) * size_t(std::max(mHeight, 0));
    std::unique_ptr<uint32_t[]> bits(new uint32_t[n + 1]);
    bits[n] = kBitsGuardWord;
    if (IsPalettized()) {
        const uint32_t* table = mColorTable.get();
        const uint8_t* idx = mColorIndices.get();
        for (size_t i = 0; i < n; ++i) bits[i] = table[idx[i]];
    } else if (mD3DData != nullptr && mApp != nullptr && n > 0 && mApp->ReadTextureBits(this, bits.get())) {
        bits[n] = kBitsGuardWord;   // the host writes only the pixels
    } else if (mNativeAlphaData) {
        const NativeDisplay& f = mNativeAlphaFormat;
        const uint32_t* nat = mNativeAlphaData.get();
        for (size_t i = 0; i < n; ++i) {
            uint32_t w = nat[i];
            uint32_t a = w >> 24;
            uint32_t a1 = a + 1;
            bits[i] = (a << 24) | (FromNativeChannel(w, a1, f.mRedBits, f.mRedShift, f.mRedMask) << 16) |
                      (FromNativeChannel(w, a1, f.mGreenBits, f.mGreenShift, f.mGreenMask) << 8) |
                      FromNativeChannel(w, a1, f.mBlueBits, f.mBlueShift, f.mBlueMask);
        }
    } else {
        std::fill_n(bits.get(), n, 0u);
    }
    mBits = std::move(bits);
    return mBits.get();
}

void MemoryImage::BitsChanged() {
    // Counted modulo 2^32: a long session may pass INT_MAX changes, and the
    // readers only compare counts for equality.
    mBitsChangedCount = int(uint32_t(mBitsChangedCount) + 1u);
    mBitsChanged = true;
    FreeNativeData();
    FreeAlphaRuns();
    mPremultipliedData.reset();
    // The bits are now the newer copy: a palette made before no longer matches.
    if (mBits) {
        mColorTable.reset();
        mColorIndices.reset();
    }
}

void MemoryImage::AnalyzeAlpha() {
    if (!mBitsChanged || mForcedMode) return;
    bool hasTrans = false;
    bool hasAlpha = false;
    auto look = [&](uint32_t p) {
        uint32_t a = p >> 24;
        if (a == 0)
            hasTrans = true;
        else if (a != 255)
            hasAlpha = true;
    };
    size_t n = size_t(std::max(mWidth, 0)) * size_t(std::max(mHeight, 0));
    if (!mBits && IsPalettized()) {
        bool used[256] = {};
        const uint8_t* idx = mColorIndices.get();
        for (size_t i = 0; i < n; ++i) used[idx[i]] = true;
        for (int i = 0; i < 256; ++i)
            if (used[i]) look(mColorTable[i]);
    } else {
        const uint32_t* bits = GetBits();
        if (bits == nullptr) return;  // nothing readable: the flags stay as they are
        for (size_t i = 0; i < n && !(hasTrans && hasAlpha); ++i) look(bits[i]);
    }
    mHasTrans = hasTrans;
    mHasAlpha = hasAlpha;
    mBitsChanged = false;
}

void MemoryImage::SetTransparencyFlags(bool hasTrans, bool hasAlpha) {
    mHasTrans = hasTrans;
    mHasAlpha = hasAlpha;
    mForcedMode = true;
}

void MemoryImage::SetVolatile(bool isVolatile) { mIsVolatile = isVolatile; }

void MemoryImage::DropBits() {
    mPurgeBits = true;
    AnalyzeAlpha();
    // Only a texture may become the only copy; otherwise the pixels would be lost.
    if (mD3DData != nullptr) FreeBits();
}

void MemoryImage::FreeDerivedBuffers() {
    GetBits();
    FreeNativeData();
    FreeAlphaRuns();
    mPremultipliedData.reset();
}

void MemoryImage::FreeAlphaRuns() {
    mRLAlphaData.reset();
    mShownRowStart.clear();
    mShownRuns.clear();
    mShownPack.Clear();
    mShownNativePack.Clear();
}

void MemoryImage::FreeNativeData() {
    mNativeAlphaData.reset();
    mNative16Data.reset();
    mRLAdditiveData.reset();
    mShownNativePack.Clear();
}

void MemoryImage::ReleaseTextures() {
    if (mApp == nullptr || mD3DData == nullptr) return;
    mApp->ReleaseImageTextures(this);
    mD3DData = nullptr;
}

void MemoryImage::FreeExtraBuffers() {
    FreeDerivedBuffers();
    ReleaseTextures();
}

void MemoryImage::ReInit() {
    if (mWantPal) Palletize();
    if (mPurgeBits) DropBits();
}

void MemoryImage::FreeNativeBuffers() {
    if (!mBits && !mColorIndices) GetBits();
    FreeNativeData();
    mPremultipliedData.reset();
}

void MemoryImage::Clear() {
    ReleaseTextures();
    FreeBits();
    mColorTable.reset();
    mColorIndices.reset();
    mHasTrans = true;
    mHasAlpha = true;
    BitsChanged();
}

bool MemoryImage::Palletize() {
    if (IsPalettized()) return true;
    size_t n = size_t(std::max(mWidth, 0)) * size_t(std::max(mHeight, 0));
    if (n == 0) return false;
    const uint32_t* bits = GetBits();
    if (bits == nullptr) return false;

    std::unique_ptr<uint32_t[]> table(new uint32_t[256]());
    std::unique_ptr<uint8_t[]> indices(new uint8_t[n]);
    std::unordered_map<uint32_t, uint8_t> slots;
    slots.reserve(512);
    int count = 0;
    uint32_t last = bits[0];
    uint8_t lastSlot = 0;
    bool haveLast = false;
    for (size_t i = 0; i < n; ++i) {
        uint32_t p = bits[i];
        if (!haveLast || p != last) {
            auto it = slots.find(p);
            if (it == slots.end()) {
                if (count == 256) return false;
                it = slots.emplace(p, uint8_t(count)).first;
                table[count++] = p;
            }
            last = p;
            lastSlot = it->second;
            haveLast = true;
        }
        indices[i] = lastSlot;
    }
    mColorTable = std::move(table);
    mColorIndices = std::move(indices);
    FreeBits();
    // The native form of a palettized image is the 256-entry table.
    FreeNativeData();
    mPremultipliedData.reset();
    return true;
}

uint32_t* MemoryImage::GetNativeAlphaData(NativeDisplay* display) {
    // Data made for another screen format is made again for this one.
    if (mNativeAlphaData && (display == nullptr || SameFormat(mNativeAlphaFormat, *display)))
        return mNativeAlphaData.get();
    if (display == nullptr) return nullptr;
    if (mNativeAlphaData && !mBits && !IsPalettized()) GetBits();   // the old words may be the only copy
    FreeNativeData();
    if (IsPalettized()) {
        mNativeAlphaData.reset(new uint32_t[256]);
        for (int i = 0; i < 256; ++i) mNativeAlphaData[i] = ToNative(mColorTable[i], *display);
    } else {
        size_t n = size_t(std::max(mWidth, 0)) * size_t(std::max(mHeight, 0));
        const uint32_t* bits = GetBits();
        if (bits == nullptr) return nullptr;
        std::unique_ptr<uint32_t[]> nat(new uint32_t[std::max<size_t>(n, 1)]);
        for (size_t i = 0; i < n; ++i) nat[i] = ToNative(bits[i], *display);
        mNativeAlphaData = std::move(nat);
    }
    mNativeAlphaFormat = *display;
    return mNativeAlphaData.get();
}

uint8_t* MemoryImage::GetRLAlphaData() {
    if (mRLAlphaData) return mRLAlphaData.get();
    int w = std::max(mWidth, 0), h = std::max(mHeight, 0);
    std::unique_ptr<uint8_t[]> runs(new uint8_t[std::max<size_t>(size_t(w) * size_t(h), 1)]);
    if (!mBits && IsPalettized()) {
        const uint32_t* table = mColorTable.get();
        const uint8_t* idx = mColorIndices.get();
        BuildRuns(runs.get(), w, h, [&](size_t i) { return ClassOf(table[idx[i]]); });
    } else {
        const uint32_t* bits = GetBits();
        if (bits == nullptr) return nullptr;
        BuildRuns(runs.get(), w, h, [&](size_t i) { return ClassOf(bits[i]); });
    }
    mRLAlphaData = std::move(runs);
    return mRLAlphaData.get();
}

uint8_t* MemoryImage::GetRLAdditiveData(NativeDisplay* display) {
    // The native data first: a format change drops the runs made from it.
    const uint32_t* nat = GetNativeAlphaData(display);
    if (nat == nullptr) return nullptr;
    if (mRLAdditiveData) return mRLAdditiveData.get();
    int w = std::max(mWidth, 0), h = std::max(mHeight, 0);
    uint32_t colourMask = display->mRedMask | display->mGreenMask | display->mBlueMask;
    std::unique_ptr<uint8_t[]> runs(new uint8_t[std::max<size_t>(size_t(w) * size_t(h), 1)]);
    if (IsPalettized()) {
        const uint8_t* idx = mColorIndices.get();
        BuildRuns(runs.get(), w, h, [&](size_t i) { return (nat[idx[i]] & colourMask) != 0; });
    } else {
        BuildRuns(runs.get(), w, h, [&](size_t i) { return (nat[i] & colourMask) != 0; });
    }
    mRLAdditiveData = std::move(runs);
    return mRLAdditiveData.get();
}

uint16_t* MemoryImage::GetNative16Data(NativeDisplay* display) {
    const uint32_t* nat = GetNativeAlphaData(display);
    if (nat == nullptr || mNativeAlphaFormat.mRGBBits != 16 || IsPalettized()) return nullptr;
    if (mNative16Data) return mNative16Data.get();
    const size_t n = size_t(std::max(mWidth, 0)) * size_t(std::max(mHeight, 0));
    std::unique_ptr<uint16_t[]> half(new uint16_t[std::max<size_t>(n, 1)]);
    for (size_t i = 0; i < n; ++i) half[i] = uint16_t(nat[i]);
    mNative16Data = std::move(half);
    return mNative16Data.get();
}

const uint32_t* MemoryImage::GetPremultipliedData() {
    if (mPremultipliedData) return mPremultipliedData.get();
    if (!mBits) return nullptr;
    const size_t n = size_t(std::max(mWidth, 0)) * size_t(std::max(mHeight, 0));
    const uint32_t* bits = mBits.get();
    std::unique_ptr<uint32_t[]> pre(new uint32_t[std::max<size_t>(n, 1)]);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t p = bits[i], a = p >> 24;
        pre[i] = a << 24 | blend::Div255(((p >> 16) & 0xFF) * a) << 16 | blend::Div255(((p >> 8) & 0xFF) * a) << 8 |
                 blend::Div255((p & 0xFF) * a);
    }
    mPremultipliedData = std::move(pre);
    return mPremultipliedData.get();
}

bool MemoryImage::MakeShownRuns() {
    if (!mShownRowStart.empty()) return true;
    const int w = std::max(mWidth, 0), h = std::max(mHeight, 0);
    const uint32_t* bits = !mBits && IsPalettized() ? nullptr : GetBits();
    if (!bits && !IsPalettized()) return false;
    auto alpha = [&](size_t i) { return (bits ? bits[i] : mColorTable[mColorIndices[i]]) >> 24; };
    mShownRowStart.reserve(size_t(h) + 1);
    for (int y = 0; y < h; ++y) {
        mShownRowStart.push_back(uint32_t(mShownRuns.size() / 2));
        const size_t row = size_t(y) * size_t(w);
        for (int x = 0; x < w;) {
            if (alpha(row + size_t(x)) == 0) {
                ++x;
                continue;
            }
            const int first = x;
            while (x < w && alpha(row + size_t(x)) != 0) ++x;
            mShownRuns.push_back(first);
            mShownRuns.push_back(x - first);
        }
    }
    mShownRowStart.push_back(uint32_t(mShownRuns.size() / 2));
    return true;
}

const ShownPack* MemoryImage::GetShownPack() {
    if (IsPalettized() || !MakeShownRuns()) return nullptr;
    const uint32_t* bits = GetBits();
    if (bits == nullptr) return nullptr;
    if (mShownPack.Empty())
        mShownPack.Make<uint32_t>(mShownRowStart, mShownRuns, mWidth, [bits](size_t i) { return bits[i]; });
    return &mShownPack;
}

const ShownPack* MemoryImage::GetShownNativePack(NativeDisplay* display) {
    // The native words first: a format change drops the pack made from them.
    const uint32_t* nat = GetNativeAlphaData(display);
    if (nat == nullptr || IsPalettized() || !MakeShownRuns()) return nullptr;
    if (mShownNativePack.Empty()) {
        auto at = [nat](size_t i) { return nat[i]; };
        if (mNativeAlphaFormat.mRGBBits == 16)
            mShownNativePack.Make<uint16_t>(mShownRowStart, mShownRuns, mWidth, at);
        else
            mShownNativePack.Make<uint32_t>(mShownRowStart, mShownRuns, mWidth, at);
    }
    return &mShownNativePack;
}

} // namespace Zephra
