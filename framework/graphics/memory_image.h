#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "framework/graphics/image.h"
#include "framework/graphics/native_display.h"
#include "framework/graphics/shown_pack.h"

namespace Zephra {

class MemoryImage;

// What a memory image needs of the application it was made for: registration,
// and the display's texture records (which arrive with the display).
class ImageHost {
public:
    virtual ~ImageHost() = default;
    virtual void AddMemoryImage(MemoryImage* image) { (void)image; }
    virtual void RemoveMemoryImage(MemoryImage* image) { (void)image; }
    // Frees the 3D texture record of the image, if any.
    virtual void ReleaseImageTextures(MemoryImage* image) { (void)image; }
    // Copies a texture's pixels back into dest (width * height words); false
    // when no texture holds them.
    virtual bool ReadTextureBits(MemoryImage* image, uint32_t* dest) { (void)image; (void)dest; return false; }
    virtual bool Is3DAccelerated() const { return false; }
    // The one factory of images: a display hands out surface images here.
    // The caller owns the result.
    virtual MemoryImage* CreateImage();
};

constexpr uint32_t kBitsGuardWord = 0x4BEEFADE;

// Texture flags.
enum TextureFlags : uint32_t {
    TEXFLAG_POW2_PIECES = 1,
    TEXFLAG_FIXED_64 = 2,
    TEXFLAG_PREFER_4444 = 4,
    TEXFLAG_NO_565 = 8,
};

// Pixels in memory: 32-bit 0xAARRGGBB bits (followed by a guard word), or a
// palette with 8-bit indices, plus derived buffers made on demand.
class MemoryImage : public Image {
public:
    ImageHost* mApp = nullptr;
    std::unique_ptr<uint32_t[]> mBits;          // width * height + 1 (guard word)
    int mBitsChangedCount = 0;
    bool mBitsChanged = false;
    void* mD3DData = nullptr;                   // the display's texture record, not owned here
    uint32_t mD3DFlags = 0;                     // TextureFlags
    std::unique_ptr<uint32_t[]> mColorTable;    // 256 ARGB entries
    std::unique_ptr<uint8_t[]> mColorIndices;   // width * height
    std::unique_ptr<uint32_t[]> mNativeAlphaData;
    NativeDisplay mNativeAlphaFormat;           // the format mNativeAlphaData was made for
    std::unique_ptr<uint16_t[]> mNative16Data;  // the native words' low halves, for a 16-bit display
    std::unique_ptr<uint8_t[]> mRLAlphaData;
    std::unique_ptr<uint8_t[]> mRLAdditiveData;
    std::unique_ptr<uint32_t[]> mPremultipliedData;   // the bits with colour scaled by alpha
    // Per row, the stretches of pixels that show (alpha not 0) as pairs of
    // first column and length: row y's pairs are those from index
    // mShownRowStart[y] to mShownRowStart[y + 1] of mShownRuns.
    std::vector<uint32_t> mShownRowStart;
    std::vector<int32_t> mShownRuns;
    ShownPack mShownPack;         // the shown pixels of the bits
    ShownPack mShownNativePack;   // the shown native words (16-bit ones on a 16-bit display)
    bool mHasTrans = false;
    bool mHasAlpha = false;
    bool mForcedMode = false;
    bool mIsVolatile = false;
    bool mPurgeBits = false;
    bool mWantPal = false;

    explicit MemoryImage(ImageHost* app = nullptr);
    ~MemoryImage() override;

    // Drawing on the 32-bit bits. Each ends with BitsChanged().
    bool FillPolygon(const Point* vertices, int count, const Rect& clip, const Color& color,
                     int drawMode) override;
    void FillRect(const Rect& rect, const Color& color, int drawMode) override;
    void ClearRect(const Rect& rect) override;
    void DrawLine(double x1, double y1, double x2, double y2, const Color& color, int drawMode) override;
    void DrawLineAA(double x1, double y1, double x2, double y2, const Color& color, int drawMode) override;
    void FillSpansCoverage(const Span* spans, int count, const Color& color, int drawMode,
                           const uint8_t* coverage, int coverX, int coverY, int coverWidth,
                           int coverHeight) override;
    void Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) override;
    void BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clip, const Color& color,
              int drawMode) override;
    void BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clip,
                    const Color& color, int drawMode, double angle, float centerX,
                    float centerY) override;
    void StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                    const Color& color, int drawMode, bool fastStretch) override;
    void BltMatrix(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip,
                   const Color& color, int drawMode, const Rect& srcRect, bool blend) override;
    void BltTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count, const Rect& clip,
                         const Color& color, int drawMode, float tx, float ty, bool blend) override;
    void BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color,
                   int drawMode) override;
    void StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                          const Color& color, int drawMode, bool fastStretch) override;

    // Derived buffers, made on first use and kept until the bits change.
    virtual uint32_t* GetNativeAlphaData(NativeDisplay* display);
    virtual uint8_t* GetRLAlphaData();
    virtual uint8_t* GetRLAdditiveData(NativeDisplay* display);
    // The native words of a 16-bit display as 16-bit words, so that copies
    // read no more than they write; none for a palettized image or a 32-bit display.
    uint16_t* GetNative16Data(NativeDisplay* display);
    // Each pixel with its colour channels blend::Div255(c x a) and its alpha
    // kept: the additive blit is then a saturating add. None without bits.
    const uint32_t* GetPremultipliedData();
    // Makes mShownRowStart and mShownRuns when missing; false without pixels.
    bool MakeShownRuns();
    // The shown pixels packed, of the bits or of the display's native words;
    // null for a palettized image or one without pixels.
    const ShownPack* GetShownPack();
    const ShownPack* GetShownNativePack(NativeDisplay* display);

    // Buffer management (the surface image extends these).
    virtual void DropBits();
    virtual void FreeDerivedBuffers();
    virtual void ReleaseTextures();
    virtual void FreeExtraBuffers();
    virtual void ReInit();
    virtual void BitsChanged();
    virtual void AnalyzeAlpha();
    virtual void FreeNativeBuffers();
    virtual void Clear();
    // Copies width * height pixels in (the size is set first).
    virtual void SetBits(const uint32_t* bits, int width, int height);
    virtual void Create(int width, int height);
    virtual uint32_t* GetBits();
    virtual void SetTransparencyFlags(bool hasTrans, bool hasAlpha);
    virtual void SetVolatile(bool isVolatile);
    virtual bool Palletize();

    // The 256-entry palette form is present.
    bool IsPalettized() const { return mColorTable && mColorIndices; }

    // Filtered stretch of a source area into an already clipped destination.
    void SlowStretchBlt(Image* src, const Rect& destRect, const RectD& srcArea, const Color& color,
                        int drawMode);

protected:
    void FreeBits();
    // Drops the native words and what is made of them.
    void FreeNativeData();
    // Drops what is made of the pixels' alpha alone.
    void FreeAlphaRuns();
};

// Clip helpers shared by the memory and surface images.
bool StretchBltClipHelper(const Rect& srcRect, const Rect& clip, const Rect& destRect, RectD& srcArea,
                          Rect& clippedRect);
// A stretch whose destination is the size of its source: the part of the
// source that the clipped destination shows, false when the stretch scales
// or that part leaves the source.
bool UnscaledStretchSource(const Rect& srcRect, const Rect& destRect, const Rect& clippedRect, const Image* src,
                           Rect& srcPart);
bool StretchBltMirrorClipHelper(const Rect& srcRect, const Rect& clip, const Rect& destRect,
                                RectD& srcArea, Rect& clippedRect);
bool BltRotatedClipHelper(const float* x, const float* y, const Rect& srcRect, const Rect& clip,
                          double angle, RectD& area, float centerX, float centerY);

// Software matrix blit and textured triangles into raw pixels of format tag
// 0x888 (32-bit), 0x565 or 0x555 (16-bit); pitch in bytes.
void BltMatrixHelper(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip,
                     const Color& color, int drawMode, const Rect& srcRect, void* destBits,
                     int destPitch, int formatTag, bool blend);
void BltTrianglesTexHelper(Image* texture, const TriVertex (*triangles)[3], int count, const Rect& clip,
                           const Color& color, int drawMode, void* destBits, int destPitch,
                           int formatTag, float tx, float ty, bool blend);

} // namespace Zephra
