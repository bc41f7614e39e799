// The 3D capability test.
#include "framework/display/d3d_tester.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "framework/resources/file_access.h"
#include "platform/directx/dx_module.h"

namespace Zephra {

using namespace platform;

namespace {

constexpr int kRenderSize = 100;
constexpr int kTestImageSize = 64;
constexpr int kMaxListLine = 4000;

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// Squared distance of two RGB colours above this makes a pixel bad.
bool Far(uint32_t a, uint32_t b) {
    int dr = int((a >> 16) & 0xFF) - int((b >> 16) & 0xFF);
    int dg = int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF);
    int db = int(a & 0xFF) - int(b & 0xFF);
    return dr * dr + dg * dg + db * db > 768;
}

template <typename T>
void Release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// A channel mask's field moved so that its top bit lands on `top`.
uint32_t Place(uint32_t pixel, uint32_t mask, int top) {
    int h = 31;
    while (h > 0 && !(mask & (1u << h))) --h;
    uint32_t v = pixel & mask;
    return h > top ? v >> (h - top) : v << (top - h);
}

} // namespace

bool D3DTester::sHasA8R8G8B8 = false;

D3DTestImage::~D3DTestImage() { delete[] mBits; }

void D3DTestImage::SetSize(int width, int height) {
    delete[] mBits;
    mBits = nullptr;
    mWidth = width;
    mHeight = height;
    if (width > 0 && height > 0) mBits = new uint32_t[size_t(width) * size_t(height)];
}

struct D3DTester::BlendTest {
    const char* srcBlendText;
    D3DBLEND srcBlend;
    const char* destBlendText;
    D3DBLEND destBlend;
    bool modulateAlpha;
    uint32_t image1, vertex1;
    uint32_t image2, vertex2;   // image2 0: drawn once
    bool stripes;
    uint32_t expected;
    const char* badText;        // failure reason on a bad pixel (none for the clip test)
    const char* unevenText;     // warning
};

D3DTester::D3DTester(ZephraAppBase* app) : mApp(app) {}

D3DTester::~D3DTester() { Cleanup(); }

void D3DTester::Cleanup() {
    Release(mDevice);
    Release(mD3D);
    Release(mTexture1);
    Release(mTexture2);
    Release(mRenderSurface);
    Release(mDirectDraw);
}

void D3DTester::Run(HWND window, IDirectDraw7* directDraw) {
    if (!mApp || !mApp->mPlayingDemo) {
        if (DoTest(window, directDraw)) RunBlendTests();
        Cleanup();
    }
    if (mApp) {
        mApp->SyncStringWithDemo(mFailureReason);
        mApp->SyncStringWithDemo(mWarning);
        bool unused = false;
        mApp->DemoSyncBool(unused);
    }
}

void D3DTester::CheckDXError(HRESULT hr, const std::string& operation) {
    if (FAILED(hr)) throw TestException("DXError - " + operation + ": " + GetDirectXErrorName(hr));
}

bool D3DTester::Fail(const std::string& reason) {
    mFailureReason = reason;
    return false;
}

bool D3DTester::GetAdapterIdentifier8() {
    ModuleHandle module = LoadModule("d3d8.dll");
    if (!module) return false;
    bool ok = false;
    auto create = reinterpret_cast<Direct3DCreate8Fn>(GetProcAddress(module, "Direct3DCreate8"));
    if (auto* d3d8 = create ? static_cast<IDirect3D8*>(create(D3D_SDK_VERSION_8)) : nullptr) {
        D3DADAPTER_IDENTIFIER8 id;
        if (SUCCEEDED(d3d8->GetAdapterIdentifier(D3DADAPTER_DEFAULT, D3DENUM_NO_WHQL_LEVEL, &id))) {
            mAdapterGuid = id.DeviceIdentifier;
            mDriver.assign(id.Driver, strnlen(id.Driver, sizeof id.Driver));
            mDescription.assign(id.Description, strnlen(id.Description, sizeof id.Description));
            ok = true;
        }
        d3d8->Release();
    }
    FreeModule(module);
    return ok;
}

bool D3DTester::DoTest(HWND window, IDirectDraw7* directDraw) {
    Cleanup();
    mDriverYear = 0;
    try {
        if (directDraw) {
            directDraw->AddRef();
            mDirectDraw = directDraw;
        } else {
            auto create = reinterpret_cast<DirectDrawCreateExFn>(
                GetProcAddress(mApp ? mApp->mDDrawModule : LoadModule("ddraw.dll"), "DirectDrawCreateEx"));
            if (!create) return Fail("No DirectDrawCreateEx");
            void* dd = nullptr;
            CheckDXError(create(nullptr, &dd, IID_IDirectDraw7, nullptr), "DirectDrawCreateEx");
            mDirectDraw = static_cast<IDirectDraw7*>(dd);
        }

        if (!GetAdapterIdentifier8()) {
            DDDEVICEIDENTIFIER2 id;
            CheckDXError(mDirectDraw->GetDeviceIdentifier(&id, 0), "GetDeviceIdentifier");
            mAdapterGuid = id.guidDeviceIdentifier;
            mDriver.assign(id.szDriver, strnlen(id.szDriver, sizeof id.szDriver));
            mDescription.assign(id.szDescription, strnlen(id.szDescription, sizeof id.szDescription));
        }

        // The visible screen is counted back into what the driver reports.
        DDSURFACEDESC2 mode = MakeDesc<DDSURFACEDESC2>();
        mDirectDraw->GetDisplayMode(&mode);
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_VIDEOMEMORY;
        DWORD total = 0, free = 0;
        if (SUCCEEDED(mDirectDraw->GetAvailableVidMem(&caps, &total, &free))) {
            uint64_t screen = uint64_t(mode.ddpfPixelFormat.dwRGBBitCount / 8) * mode.dwHeight * mode.dwWidth;
            if (((screen + total) >> 20) < mMinVidMemory) return Fail("Not enough video memory.");
        }

        mFailureReason.clear();
        mWarning.clear();
        mDriverYear = DriverFileYear(mDriver);
        if (!IsSupportedCard(mDescription)) mWarning = "Unsupported video card: " + mDescription;

        void* d3d = nullptr;
        CheckDXError(mDirectDraw->QueryInterface(IID_IDirect3D7, &d3d), "QueryInterface IID_IDirect3D7");
        mD3D = static_cast<IDirect3D7*>(d3d);
        CheckDXError(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL), "SetCooperativeLevel");

        DDSURFACEDESC2 desc = MakeDesc<DDSURFACEDESC2>();
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = desc.dwHeight = kRenderSize;
        desc.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN;
        CheckDXError(mDirectDraw->CreateSurface(&desc, &mRenderSurface, nullptr), "CreateSurface (Primary)");
        mReadBack.SetSize(kRenderSize, kRenderSize);
        CheckDXError(mD3D->CreateDevice(IID_IDirect3DHALDevice, mRenderSurface, &mDevice), "CreateDevice");

        DWORD found = 0;
        CheckDXError(mDevice->EnumTextureFormats(
                         [](DDPIXELFORMAT* f, void* ctx) {
                             DWORD& bits = *static_cast<DWORD*>(ctx);
                             if ((f->dwFlags & DDPF_ALPHAPIXELS) && f->dwRGBAlphaBitMask == 0xFF000000u &&
                                 f->dwRBitMask == 0xFF0000u && f->dwGBitMask == 0xFF00u && f->dwBBitMask == 0xFFu)
                                 bits |= 1;
                             if ((f->dwFlags & DDPF_ALPHAPIXELS) && f->dwRGBAlphaBitMask == 0xF000u &&
                                 f->dwRBitMask == 0xF00u && f->dwGBitMask == 0xF0u && f->dwBBitMask == 0xFu)
                                 bits |= 2;
                             return D3DENUMRET_OK;
                         },
                         &found),
                     "EnumTextureFormats");
        if (!(found & 1)) mWarning = "A8R8G8B8 texture format not supported.";
        if (!(found & 3)) return Fail("A4R4G4B4 and A8R8G8B8 texture formats not supported.");
        sHasA8R8G8B8 = (found & 1) != 0;

        DDSURFACEDESC2 tex = MakeDesc<DDSURFACEDESC2>();
        tex.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        tex.dwWidth = tex.dwHeight = kTestImageSize;
        tex.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        tex.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
        tex.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        tex.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
        if (sHasA8R8G8B8) {
            tex.ddpfPixelFormat.dwRGBBitCount = 32;
            tex.ddpfPixelFormat.dwRGBAlphaBitMask = 0xFF000000u;
            tex.ddpfPixelFormat.dwRBitMask = 0xFF0000u;
            tex.ddpfPixelFormat.dwGBitMask = 0xFF00u;
            tex.ddpfPixelFormat.dwBBitMask = 0xFFu;
        } else {
            tex.ddpfPixelFormat.dwRGBBitCount = 16;
            tex.ddpfPixelFormat.dwRGBAlphaBitMask = 0xF000u;
            tex.ddpfPixelFormat.dwRBitMask = 0xF00u;
            tex.ddpfPixelFormat.dwGBitMask = 0xF0u;
            tex.ddpfPixelFormat.dwBBitMask = 0xFu;
        }
        CheckDXError(mDirectDraw->CreateSurface(&tex, &mTexture1, nullptr), "CreateSurface (TextureSurface1)");
        CheckDXError(mDirectDraw->CreateSurface(&tex, &mTexture2, nullptr), "CreateSurface (TextureSurfacd2)");
        return true;
    } catch (const TestException& e) {
        return Fail(e.what());
    }
}

bool D3DTester::IsSupportedCard(const std::string& description) {
    std::string bytes;
    if (GetFileAccess().ReadFile("vhwb.dat", bytes) && MatchListFile("vhwb.dat", description)) return false;
    if (GetFileAccess().ReadFile("vhw.dat", bytes)) return MatchListFile("vhw.dat", description);
    if (mDriverYear >= 2002) return true;
    const std::string d = Lower(description);
    return d.find("nvidia") != std::string::npos || d.find("radeon") != std::string::npos ||
           d.find("ati ") != std::string::npos;
}

bool D3DTester::MatchListFile(const std::string& file, const std::string& description) {
    std::string bytes;
    if (!GetFileAccess().ReadFile(file, bytes)) return false;
    const std::string d = Lower(description);
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > kMaxListLine) line.resize(kMaxListLine);
        line = Trim(line);
        if (!line.empty() && d.find(Lower(line)) != std::string::npos) return true;
    }
    return false;
}

void D3DTester::CopyPrimaryCheck() {
    DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
    CheckDXError(mRenderSurface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), "CopyPrimary Lock");
    const DDPIXELFORMAT& f = d.ddpfPixelFormat;
    const DWORD bits = f.dwRGBBitCount;
    if (bits != 16 && bits != 32) {
        mRenderSurface->Unlock(nullptr);
        throw TestException(bits == 24 ? "Can't test 24-bit mode." : "Invalid Color Depth");
    }
    const int w = std::min<int>(int(d.dwWidth), mReadBack.mWidth), h = std::min<int>(int(d.dwHeight), mReadBack.mHeight);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(d.lpSurface) + size_t(y) * size_t(d.lPitch);
        for (int x = 0; x < w; ++x) {
            uint32_t p = 0;
            std::memcpy(&p, row + size_t(x) * (bits / 8), bits / 8);
            mReadBack.mBits[size_t(y) * size_t(mReadBack.mWidth) + size_t(x)] =
                (Place(p, f.dwRBitMask, 23) & 0xFF0000u) | (Place(p, f.dwGBitMask, 15) & 0xFF00u) |
                (Place(p, f.dwBBitMask, 7) & 0xFFu);
        }
    }
    mRenderSurface->Unlock(nullptr);
}

bool D3DTester::CheckUniform(uint32_t expectedRGB, int& badCount, int width, int height) {
    badCount = 0;
    bool uniform = true;
    const uint32_t first = mReadBack.mBits[0];
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t p = mReadBack.mBits[size_t(y) * size_t(mReadBack.mWidth) + size_t(x)];
            if (Far(p, expectedRGB)) ++badCount;
            if (p != first) uniform = false;
        }
    return uniform;
}

int D3DTester::CountStripeErrors(int width, int height, int x, int y) {
    int errors = 0;
    for (int row = y; row < y + height; ++row)
        for (int col = x; col < x + width; ++col) {
            uint32_t want = (col % 2) ? 0xFFFFFFu : 0u;
            if (Far(mReadBack.mBits[size_t(row) * size_t(mReadBack.mWidth) + size_t(col)], want)) ++errors;
        }
    return errors;
}

void D3DTester::SetRenderState(D3DRENDERSTATETYPE state, uint32_t value, const char* operation) {
    CheckDXError(mDevice->SetRenderState(state, value), operation);
}

void D3DTester::DrawTestImage(const D3DTestImage& image, int x, int y, uint32_t vertexColor) {
    for (int py = 0; py < image.mHeight; py += kTestImageSize)
        for (int px = 0; px < image.mWidth; px += kTestImageSize) {
            const int w = std::min(kTestImageSize, image.mWidth - px), h = std::min(kTestImageSize, image.mHeight - py);
            DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
            CheckDXError(mTexture1->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), "Lock Texture");
            auto* bits = static_cast<uint8_t*>(d.lpSurface);
            const int bpp = sHasA8R8G8B8 ? 4 : 2;
            if (w < kTestImageSize || h < kTestImageSize)
                for (int r = 0; r < kTestImageSize; ++r) std::memset(bits + size_t(r) * size_t(d.lPitch), 0, size_t(kTestImageSize) * bpp);
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c) {
                    uint32_t p = image.mBits[size_t(py + r) * size_t(image.mWidth) + size_t(px + c)];
                    uint8_t* out = bits + size_t(r) * size_t(d.lPitch) + size_t(c) * bpp;
                    if (bpp == 4) {
                        std::memcpy(out, &p, 4);
                    } else {
                        auto t = uint16_t(((p >> 16) & 0xF000) | ((p >> 12) & 0x0F00) | ((p >> 8) & 0x00F0) | ((p >> 4) & 0x000F));
                        std::memcpy(out, &t, 2);
                    }
                }
            CheckDXError(mTexture1->Unlock(nullptr), "Texture Unlock");
            CheckDXError(mDevice->SetTexture(0, mTexture1), "SetTexture theTexture");
            // Half a pixel up and left: texel centres on pixel centres.
            const float l = float(x + px) - 0.5f, t = float(y + py) - 0.5f;
            const float r = l + kTestImageSize, b = t + kTestImageSize;
            D3DTLVERTEX v[4];
            const float pos[4][4] = {{l, t, 0, 0}, {r, t, 1, 0}, {l, b, 0, 1}, {r, b, 1, 1}};
            for (int i = 0; i < 4; ++i) {
                v[i].sx = pos[i][0];
                v[i].sy = pos[i][1];
                v[i].tu = pos[i][2];
                v[i].tv = pos[i][3];
                v[i].color = vertexColor;
            }
            CheckDXError(mDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, v, 4, 0), "DrawPrimitive");
            CheckDXError(mDevice->SetTexture(0, nullptr), "SetTexture NULL");
        }
}

bool D3DTester::RunBlendTest(const BlendTest& t) {
    try {
        CheckDXError(mDevice->BeginScene(), "");
        CheckDXError(mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), "Clear");
        SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1, "D3DRENDERSTATE_ALPHABLENDENABLE, TRUE");
        SetRenderState(D3DRENDERSTATE_SRCBLEND, t.srcBlend, t.srcBlendText);
        SetRenderState(D3DRENDERSTATE_DESTBLEND, t.destBlend, t.destBlendText);
        SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE, "D3DRENDERSTATE_CULLMODE, D3DCULL_NONE");
        if (t.modulateAlpha)
            CheckDXError(mDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE), "D3DTSS_ALPHAOP, D3DTOP_MODULATE");
        D3DTestImage image;
        image.SetSize(kTestImageSize, kTestImageSize);
        const size_t n = size_t(kTestImageSize) * kTestImageSize;
        if (t.stripes) {
            for (size_t i = 0; i < n; ++i) image.mBits[i] = (i % kTestImageSize) % 2 ? 0xFFFFFFFFu : 0xFF000000u;
            DrawTestImage(image, -2, -2, t.vertex1);
        } else {
            std::fill_n(image.mBits, n, t.image1);
            DrawTestImage(image, 0, 0, t.vertex1);
            if (t.image2) {
                std::fill_n(image.mBits, n, t.image2);
                DrawTestImage(image, 0, 0, t.vertex2);
            }
        }
        CheckDXError(mDevice->EndScene(), "EndScene");
        CopyPrimaryCheck();
    } catch (const TestException& e) {
        mDevice->EndScene();
        return Fail(e.what());
    }
    if (t.stripes) {
        if (CountStripeErrors(62, 62, 0, 0) > 0) mWarning = t.unevenText;
        return true;
    }
    return JudgeBlend(t.expected, t.badText, t.unevenText);
}

bool D3DTester::JudgeBlend(uint32_t expectedRGB, const char* badText, const char* unevenText) {
    int bad = 0;
    const bool uniform = CheckUniform(expectedRGB, bad, 10, 10);
    if (bad > 0) return Fail(badText);
    if (!uniform) mWarning = unevenText;
    return true;
}

bool D3DTester::RunBlendTests() {
    static const char* const kSrcAlpha = "D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA";
    static const char* const kInvSrcAlpha = "D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA";
    static const char* const kDestOne = "D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE";
    static const BlendTest kTests[] = {
        {kSrcAlpha, D3DBLEND_SRCALPHA, kInvSrcAlpha, D3DBLEND_INVSRCALPHA, false, 0xFF0000FF, 0xFFFFFFFF, 0x80FF0000,
         0xFFFFFFFF, false, 0x7F007F, "Alpha blend Not Supported", "Alpha blend test not uniform."},
        {"D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE", D3DBLEND_ONE, kDestOne, D3DBLEND_ONE, false, 0xFF404040, 0xFFFFFFFF,
         0xFF404040, 0xFFFFFFFF, false, 0x808080, "Additive blend not supported.", "Additive blend test not uniform."},
        {kSrcAlpha, D3DBLEND_SRCALPHA, kDestOne, D3DBLEND_ONE, false, 0xFF404040, 0xFFFFFFFF, 0x80808080, 0xFFFFFFFF,
         false, 0x808080, "AlphaAdd blend not supported.", "AlphaAdd blend test not uniform."},
        {kSrcAlpha, D3DBLEND_SRCALPHA, kInvSrcAlpha, D3DBLEND_INVSRCALPHA, true, 0xFF0000FF, 0xFFFFFFFF, 0xFFFF0000,
         0x80FFFFFF, false, 0x7F007F, "AlphaModulated blend not supported.", "AlphaModulated blend test not uniform."},
        {kSrcAlpha, D3DBLEND_SRCALPHA, kInvSrcAlpha, D3DBLEND_INVSRCALPHA, false, 0, 0xFFFFFFFF, 0, 0, true, 0, nullptr,
         "Clip problem detected."},
    };
    for (const BlendTest& t : kTests)
        if (!RunBlendTest(t)) return false;
    return true;
}

} // namespace Zephra
