#pragma once
#include <cstdint>
#include <exception>
#include <string>

#include "platform/directx/d3d7.h"
#include "platform/directx/ddraw.h"

namespace Zephra {

class ZephraAppBase;

// The render surface read back as 32-bit pixels.
class D3DTestImage {
public:
    virtual ~D3DTestImage();
    // Frees the pixels; allocates width * height when both are above 0.
    void SetSize(int width, int height);

    uint32_t* mBits = nullptr;
    int mWidth = 0;
    int mHeight = 0;
};

// Decides whether the adapter can be trusted with the Direct3D road: who it
// is, how much video memory it has, the lists of good and bad drivers, and
// five blend patterns drawn on a device of its own and read back.
class D3DTester {
public:
    class TestException : public std::exception {
    public:
        explicit TestException(std::string text) : mText(std::move(text)) {}
        const char* what() const noexcept override { return mText.c_str(); }

    private:
        std::string mText;
    };

    explicit D3DTester(ZephraAppBase* app = nullptr);
    virtual ~D3DTester();
    D3DTester(const D3DTester&) = delete;
    D3DTester& operator=(const D3DTester&) = delete;

    // The one entry: the test (skipped while a demo plays back), then the
    // verdict passes through the application's demo synchronisation.
    void Run(platform::HWND window, platform::IDirectDraw7* directDraw);
    bool DoTest(platform::HWND window, platform::IDirectDraw7* directDraw);
    bool RunBlendTests();
    // Throws TestException "DXError - <operation>: <name>" for a failure.
    void CheckDXError(platform::HRESULT hr, const std::string& operation);
    bool Fail(const std::string& reason);
    bool IsSupportedCard(const std::string& description);
    // True when a non-empty trimmed line of the file occurs in the description
    // (letter case ignored); false when the file cannot be read.
    bool MatchListFile(const std::string& file, const std::string& description);
    void CopyPrimaryCheck();
    // The top-left width x height of the read-back image against a colour.
    bool CheckUniform(uint32_t expectedRGB, int& badCount, int width, int height);
    int CountStripeErrors(int width, int height, int x, int y);
    // The verdict of one blend pattern on the read-back image: a bad pixel
    // fails with `badText`, an uneven area only warns with `unevenText`.
    bool JudgeBlend(uint32_t expectedRGB, const char* badText, const char* unevenText);
    void Cleanup();

    // The Direct3D 8 probe; false when any piece is missing.
    bool GetAdapterIdentifier8();

    const std::string& GetFailureReason() const { return mFailureReason; }
    const std::string& GetWarning() const { return mWarning; }

    ZephraAppBase* mApp = nullptr;
    platform::IDirectDraw7* mDirectDraw = nullptr;
    platform::IDirectDrawSurface7* mRenderSurface = nullptr;
    platform::IDirectDrawSurface7* mTexture1 = nullptr;
    platform::IDirectDrawSurface7* mTexture2 = nullptr;
    platform::IDirect3D7* mD3D = nullptr;
    platform::IDirect3DDevice7* mDevice = nullptr;
    platform::GUID mAdapterGuid;
    std::string mDriver;
    std::string mDescription;
    D3DTestImage mReadBack;
    std::string mFailureReason;
    std::string mWarning;
    uint32_t mMinVidMemory = 0;     // MB
    uint32_t mRecVidMemory = 0;     // MB; nothing depends on it
    int32_t mDriverYear = 0;

    // Set by DoTest: the adapter takes A8R8G8B8 textures (else A4R4G4B4).
    static bool sHasA8R8G8B8;

private:
    struct BlendTest;
    bool RunBlendTest(const BlendTest& test);
    // The 64 x 64 test image through texture 1 at (x, y) with a vertex colour.
    void DrawTestImage(const D3DTestImage& image, int x, int y, uint32_t vertexColor);
    void SetRenderState(platform::D3DRENDERSTATETYPE state, uint32_t value, const char* operation);
};

} // namespace Zephra
