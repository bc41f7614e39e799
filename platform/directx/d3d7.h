#pragma once
#include <string>

#include "platform/directx/ddraw.h"
#include "platform/directx/dx_types.h"

// The Direct3D 7 device of the stand-in, drawing in software into DirectDraw
// stand-in surfaces, and the Direct3D 8 object that only tells the adapter.
// The DirectDraw object hands out IDirect3D7 through QueryInterface while the
// configured 3D kind is the software device.

namespace platform {

using D3DCOLOR = DWORD;
using D3DVALUE = float;
using REFCLSID = const GUID&;

// Direct3D results (facility 0x876).
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_INVALID_DEVICE = MAKE_DDHRESULT(705);
constexpr HRESULT D3DERR_INITFAILED = MAKE_DDHRESULT(706);
constexpr HRESULT D3DERR_INVALIDPRIMITIVETYPE = MAKE_DDHRESULT(736);
constexpr HRESULT D3DERR_INVALIDVERTEXTYPE = MAKE_DDHRESULT(737);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = MAKE_DDHRESULT(760);
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = MAKE_DDHRESULT(761);
constexpr HRESULT D3DERR_INVALIDVERTEXFORMAT = MAKE_DDHRESULT(2048);
constexpr HRESULT D3DERR_ZBUFFER_NOTPRESENT = MAKE_DDHRESULT(2070);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = MAKE_DDHRESULT(2073);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = MAKE_DDHRESULT(2075);

extern const IID IID_IDirect3DDevice7;

enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum D3DRENDERSTATETYPE : DWORD {
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_LIGHTING = 137,
};

enum D3DBLEND : DWORD {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
};

enum D3DCULL : DWORD { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };

enum D3DTEXTURESTAGESTATETYPE : DWORD {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_ADDRESS = 12,
    D3DTSS_ADDRESSU = 13,
    D3DTSS_ADDRESSV = 14,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
};

enum D3DTEXTUREOP : DWORD { D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_SELECTARG2 = 3, D3DTOP_MODULATE = 4 };

// Stage arguments.
constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1;
constexpr DWORD D3DTA_TEXTURE = 2;

enum D3DTEXTUREMAGFILTER : DWORD { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 };
enum D3DTEXTUREMINFILTER : DWORD { D3DTFN_POINT = 1, D3DTFN_LINEAR = 2 };
enum D3DTEXTUREMIPFILTER : DWORD { D3DTFP_NONE = 1, D3DTFP_POINT = 2, D3DTFP_LINEAR = 3 };
enum D3DTEXTUREADDRESS : DWORD { D3DTADDRESS_WRAP = 1, D3DTADDRESS_MIRROR = 2, D3DTADDRESS_CLAMP = 3 };

// Vertex format bits.
constexpr DWORD D3DFVF_XYZRHW = 0x004;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_SPECULAR = 0x080;
constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr DWORD D3DFVF_TEX1 = 0x100;

// Palette entries carry alpha in their flags.
constexpr DWORD DDPCAPS_ALPHA = 0x00080000;

constexpr DWORD D3DMAXNUMVERTICES = 0xFFFF;

constexpr DWORD D3DCLEAR_TARGET = 1;
constexpr DWORD D3DCLEAR_ZBUFFER = 2;

// Texture caps of the triangle caps.
constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x02;
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x04;
constexpr DWORD D3DPTEXTURECAPS_ALPHAPALETTE = 0x80;

// A transformed and lit vertex (D3DFVF_XYZRHW | DIFFUSE | SPECULAR | TEX1).
struct D3DTLVERTEX {
    D3DVALUE sx = 0, sy = 0, sz = 0, rhw = 1;
    D3DCOLOR color = 0xFFFFFFFF;
    D3DCOLOR specular = 0;
    D3DVALUE tu = 0, tv = 0;
};
constexpr DWORD D3DFVF_TLVERTEX = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;

struct D3DRECT {
    LONG x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct D3DVIEWPORT7 {
    DWORD dwX = 0, dwY = 0, dwWidth = 0, dwHeight = 0;
    D3DVALUE dvMinZ = 0, dvMaxZ = 1;
};

struct D3DPRIMCAPS {
    DWORD dwSize = sizeof(D3DPRIMCAPS);
    DWORD dwMiscCaps = 0, dwRasterCaps = 0, dwZCmpCaps = 0, dwSrcBlendCaps = 0, dwDestBlendCaps = 0,
          dwAlphaCmpCaps = 0, dwShadeCaps = 0, dwTextureCaps = 0, dwTextureFilterCaps = 0,
          dwTextureBlendCaps = 0, dwTextureAddressCaps = 0, dwStippleWidth = 0, dwStippleHeight = 0;
};

struct D3DDEVICEDESC7 {
    DWORD dwDevCaps = 0;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth = 0;
    DWORD dwDeviceZBufferBitDepth = 0;
    DWORD dwMinTextureWidth = 0, dwMinTextureHeight = 0;
    DWORD dwMaxTextureWidth = 0, dwMaxTextureHeight = 0;
    DWORD dwMaxTextureRepeat = 0, dwMaxTextureAspectRatio = 0, dwMaxAnisotropy = 0;
    D3DVALUE dvGuardBandLeft = 0, dvGuardBandTop = 0, dvGuardBandRight = 0, dvGuardBandBottom = 0;
    D3DVALUE dvExtentsAdjust = 0;
    DWORD dwStencilCaps = 0, dwFVFCaps = 0, dwTextureOpCaps = 0;
    uint16_t wMaxTextureBlendStages = 0, wMaxSimultaneousTextures = 0;
    DWORD dwMaxActiveLights = 0;
    D3DVALUE dvMaxVertexW = 0;
    GUID deviceGUID;
};

using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);
constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

class IDirect3D7;

class IDirect3DDevice7 : public IUnknown {
public:
    virtual HRESULT GetCaps(D3DDEVICEDESC7* desc) = 0;
    virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT GetDirect3D(IDirect3D7** out) = 0;
    virtual HRESULT SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags) = 0;
    virtual HRESULT GetRenderTarget(IDirectDrawSurface7** out) = 0;
    virtual HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) = 0;
    virtual HRESULT SetViewport(D3DVIEWPORT7* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT7* viewport) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, DWORD flags) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirectDrawSurface7** out) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) = 0;
};

class IDirect3D7 : public IUnknown {
public:
    // IID_IDirect3DHALDevice on a surface made with DDSCAPS_3DDEVICE.
    virtual HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface7* target, IDirect3DDevice7** out) = 0;
    virtual HRESULT EvictManagedTextures() = 0;
};

// --- Direct3D 8: the adapter identifier only ----------------------------------

constexpr unsigned D3D_SDK_VERSION_8 = 220;
constexpr unsigned D3DADAPTER_DEFAULT = 0;
constexpr DWORD D3DENUM_NO_WHQL_LEVEL = 2;

struct D3DADAPTER_IDENTIFIER8 {
    char Driver[512] = {};
    char Description[512] = {};
    uint32_t DriverVersionLow = 0, DriverVersionHigh = 0;
    DWORD VendorId = 0, DeviceId = 0, SubSysId = 0, Revision = 0;
    GUID DeviceIdentifier;
    DWORD WHQLLevel = 0;
};

class IDirect3D8 {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual unsigned GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(unsigned adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* out) = 0;
protected:
    virtual ~IDirect3D8() = default;
};

// --- The stand-in's 3D side of the configuration ---------------------------------

enum class Device3DKind { None, Software };

struct Direct3DConfig {
    static Direct3DConfig& Get();
    // Defaults: the software device, a driver file of 2006, textures from 1 to
    // 1024 texels of any aspect, the alpha-palette cap, every format enumerated.
    void Reset();
    // PEMBERLY_DX_3D ("none" or "software"), PEMBERLY_DX_DRIVER_YEAR; false and
    // a text when one does not parse.
    bool ApplyEnvironment(std::string* error = nullptr);

    Device3DKind mKind = Device3DKind::Software;
    int mDriverYear = 2006;   // of the adapter's driver file; 0 when unknown
    DWORD mMinTextureSize = 1;
    DWORD mMaxTextureWidth = 1024;
    DWORD mMaxTextureHeight = 1024;
    DWORD mMaxTextureAspect = 0;
    bool mAlphaPalette = true;
    // Texture formats EnumTextureFormats reports: A8R8G8B8, A4R4G4B4, R5G6B5, PAL8.
    bool mFormatA8R8G8B8 = true;
    bool mFormatA4R4G4B4 = true;
    bool mFormatR5G6B5 = true;
    bool mFormatPAL8 = true;
};

// The year of the named driver file's last write (the adapter's configured
// year for its own driver; 0 for any other file).
int DriverFileYear(const std::string& driver);

// The DirectDraw object's IID_IDirect3D7 answer: a new reference, or
// E_NOINTERFACE when the configured 3D kind is none.
HRESULT CreateDirect3D7(IDirectDraw7* directDraw, void** out);
// What the "Direct3DCreate8" export returns: the probe object, or null.
IDirect3D8* CreateDirect3D8(unsigned sdkVersion);

} // namespace platform
