#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "framework/display/texture_layout.h"
#include "framework/graphics/color.h"
#include "framework/graphics/image.h"
#include "framework/graphics/matrix3x3.h"
#include "framework/graphics/rect.h"
#include "platform/directx/d3d7.h"

namespace Zephra {

class DDInterface;
class MemoryImage;
class ZephraAppBase;

// The texture pieces of one image drawn through 3D; the image points at it.
struct D3DTextureData {
    std::vector<platform::IDirectDrawSurface7*> mPieces;   // one reference each, row by row
    platform::IDirectDrawPalette* mPalette = nullptr;
    PieceGrid mGrid;
    int mImageWidth = 0, mImageHeight = 0;
    int mBitsVersion = 0;           // the image's change counter at upload
    uint64_t mTextureMemory = 0;    // bytes
    int mFormat = 0;                // TextureFormatId; 0: no usable textures
    uint32_t mImageFlags = 0;       // the image's texture flags at creation
};

// Draws with the Direct3D 7 device into the display's draw surface: images
// as textures cut into pieces the device accepts, through 3 x 3 transforms and
// as textured triangles, and untextured lines, rectangles and polygons, in a
// normal or an additive blend. A failure is kept in the error text (and the
// setting "Test3D\RuntimeError"); the display turns 3D off at its next Redraw.
class D3DInterface {
public:
    explicit D3DInterface(ZephraAppBase* app = nullptr, DDInterface* display = nullptr);
    virtual ~D3DInterface();
    D3DInterface(const D3DInterface&) = delete;
    D3DInterface& operator=(const D3DInterface&) = delete;

    bool InitFromDDInterface(DDInterface* display);
    bool InitDevice();
    void Cleanup();

    bool BeginDraw();
    void EndSceneIfBegun();
    void SetBlendMode(bool additive);
    void SetLinearFilter(bool linear);
    // False (with the error text) for a failure.
    bool CheckDXError(platform::HRESULT hr, std::string_view operation);

    bool CreateImageTexture(MemoryImage* image);
    void RemoveImageTexture(MemoryImage* image);
    // Texels back into dest (the image's width * height pixels); false when
    // the textures do not hold the image's current pixels.
    bool ReadTextureBits(MemoryImage* image, uint32_t* dest);

    void DrawTexturedPieces(MemoryImage* image, float x, float y, const Rect& srcRect, const Color& color);
    void BltTransformed(MemoryImage* image, const Rect& srcRect, const Matrix3x3& transform, const Color& color,
                        int drawMode, const Rect* clip, bool linear, float x, float y, bool centre);
    void BltTrianglesTex(MemoryImage* image, const TriVertex (*triangles)[3], int count, const Color& color,
                         int drawMode, float tx, float ty, bool linear);
    void DrawLine(float x1, float y1, float x2, float y2, const Color& color, int drawMode);
    void FillRect(const Rect& rect, const Color& color, int drawMode);
    void FillPoly(const Point* points, int count, const Rect* clip, const Color& color, int drawMode, float tx,
                  float ty);

    // Hand-offs of the surface image: position, mirror, stretch and rotation as transforms.
    void Blt(MemoryImage* image, float x, float y, const Rect& srcRect, const Rect* clip, const Color& color,
             int drawMode);
    void BltMirror(MemoryImage* image, float x, float y, const Rect& srcRect, const Rect* clip, const Color& color,
                   int drawMode);
    void StretchBlt(MemoryImage* image, const Rect& destRect, const Rect& srcRect, const Rect* clip,
                    const Color& color, int drawMode, bool fastStretch, bool mirrored);
    void BltRotated(MemoryImage* image, float x, float y, const Rect& srcRect, const Rect* clip, const Color& color,
                    int drawMode, double angle, float centreX, float centreY);
    void BltUntransformed(MemoryImage* image, float x, float y, const Rect& srcRect, const Color& color,
                          int drawMode, bool linear);

    // A fill waiting to be drawn (see FillRect) is drawn now. Whatever writes
    // to the draw surface without the device calls this first.
    void DrawPendingFill();

    // The pixel format of a texture format id, and the id of a format (0: none).
    static platform::DDPIXELFORMAT MakePixelFormat(int format);
    static int PixelFormatId(const platform::DDPIXELFORMAT& format);

    ZephraAppBase* mApp = nullptr;
    DDInterface* mDisplay = nullptr;
    platform::HWND mWindow = nullptr;
    int mDrawWidth = 800, mDrawHeight = 600;
    platform::IDirectDraw7* mDD7 = nullptr;                 // borrowed from the display
    platform::IDirectDrawSurface7* mDrawSurface = nullptr;  // own reference
    platform::IDirect3D7* mD3D = nullptr;
    platform::IDirect3DDevice7* mDevice = nullptr;
    platform::D3DVIEWPORT7 mViewport;
    bool mSceneOpen = false;
    bool mWindowed = true;
    std::map<MemoryImage*, D3DTextureData*> mTextureMap;
    std::vector<Matrix3x3> mTransformStack;   // its last entry applies when not empty
    // Texture surfaces of records that went, by size and format, for the next
    // image that needs one: short-lived images (text) make no new surfaces.
    using PoolKey = std::tuple<int, int, int>;
    std::multimap<PoolKey, platform::IDirectDrawSurface7*> mTexturePool;
    static constexpr size_t kTexturePoolSize = 64;

    TextureLimits mLimits;
    int mSupportedFormats = 0;   // TextureFormatId bits
    bool mLinearFilter = false;
    // The blend the device holds: 0 over, 1 additive, -1 not known (a state
    // that failed to set, a new device).
    int mAdditive = -1;
    std::string mErrorText;      // empty: no error

private:
    // An opaque fill in the normal mode waits for the next drawing: a picture
    // that then covers it with opaque texels makes it needless (the frame's
    // black under the office ground); anything else draws it first.
    bool mFillPending = false;
    Rect mPendingFill;
    Color mPendingFillColor;
    void DrawFill(const Rect& rect, const Color& color, int drawMode, bool transformed);
    // Whether the pieces DrawPieces would draw cover the pending fill with
    // opaque texels: an opaque texture under an opaque colour in the normal
    // mode, only moved, and no clip cutting into the fill.
    bool HidesPendingFill(MemoryImage* image, const Rect& srcRect, const Matrix3x3& matrix, const Color& color,
                          int drawMode, const Rect* clip, float x, float y, bool centre) const;
    // Before a picture is drawn: the pending fill goes unseen or is drawn.
    void SettlePendingFill(bool hidden);

    void FreeRecord(D3DTextureData* data);
    void PoolPiece(platform::IDirectDrawSurface7* surface, int format);
    platform::IDirectDrawSurface7* TakePooledPiece(int width, int height, int format);
    // The four corners of each covered piece through a matrix, as strips (or
    // cut to the clip rectangle).
    void DrawPieces(MemoryImage* image, const Matrix3x3& matrix, const Rect& srcRect, const Color& color,
                    const Rect* clip, float x, float y, bool centre);
    // A closed polygon cut to the rectangle and drawn as a fan when anything is left.
    void DrawClipped(std::vector<platform::D3DTLVERTEX> vertices, const Rect& clip, const char* operation);
    // transformed: through the transform stack's top, when there is one.
    void DrawUntextured(platform::D3DPRIMITIVETYPE type, std::vector<platform::D3DTLVERTEX>& vertices,
                        const char* operation, bool transformed = true);
    bool SetTexture(platform::IDirectDrawSurface7* texture, const char* operation);
};

// Keeps the part of a closed polygon at or above `bound` (keepAbove) or below
// it on one coordinate (0 x, 1 y, 2 z, 3 u, 4 v); crossing edges add the
// vertex where they meet the bound.
void ClipPolygon(const std::vector<platform::D3DTLVERTEX>& in, std::vector<platform::D3DTLVERTEX>& out, int coord,
                 float bound, bool keepAbove);

} // namespace Zephra
