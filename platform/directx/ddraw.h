#pragma once
#include "platform/directx/dx_types.h"

// The DirectDraw 7 object model the display is written against, done in
// software: surfaces are memory, the primary is presented by the display
// through platform::Window. Every object counts references; Release at 0
// deletes it.

namespace platform {

class IDirectDrawSurface;
class IDirectDrawSurface7;

class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
protected:
    virtual ~IUnknown() = default;
};

class IDirectDrawClipper : public IUnknown {
public:
    virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
    virtual HRESULT GetHWnd(HWND* window) = 0;
};

class IDirectDrawPalette : public IUnknown {
public:
    virtual HRESULT GetCaps(DWORD* caps) = 0;
    virtual HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, PALETTEENTRY* entries) = 0;
    virtual HRESULT SetEntries(DWORD flags, DWORD base, DWORD count, const PALETTEENTRY* entries) = 0;
};

// The first surface interface.
class IDirectDrawSurface : public IUnknown {
public:
    // Copies src[srcRect] into this[destRect] (null = whole surface),
    // stretching by nearest pixel; DDBLT_KEYSRC skips pixels equal to the
    // source's colour key, DDBLT_COLORFILL fills with fx->dwFillColor.
    virtual HRESULT Blt(RECT* destRect, IDirectDrawSurface* src, RECT* srcRect, DWORD flags,
                        DDBLTFX* fx) = 0;
    virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* src, RECT* srcRect, DWORD trans) = 0;
    virtual HRESULT Flip(IDirectDrawSurface* target, DWORD flags) = 0;
    virtual HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** out) = 0;
    virtual HRESULT GetCaps(DDSCAPS* caps) = 0;
    virtual HRESULT GetClipper(IDirectDrawClipper** out) = 0;
    virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT GetPalette(IDirectDrawPalette** out) = 0;
    virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
    virtual HRESULT IsLost() = 0;
    // Whole surface only (rect must be null). DDERR_SURFACEBUSY while locked.
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, void* event) = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
    virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
    virtual HRESULT Unlock(void* bits) = 0;
};

// The version 7 surface interface; the same object as IDirectDrawSurface.
class IDirectDrawSurface7 : public IUnknown {
public:
    virtual HRESULT Blt(RECT* destRect, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags,
                        DDBLTFX* fx) = 0;
    virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, RECT* srcRect, DWORD trans) = 0;
    virtual HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) = 0;
    virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** out) = 0;
    virtual HRESULT GetCaps(DDSCAPS2* caps) = 0;
    virtual HRESULT GetClipper(IDirectDrawClipper** out) = 0;
    virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT GetPalette(IDirectDrawPalette** out) = 0;
    virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* event) = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
    virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
    virtual HRESULT Unlock(RECT* rect) = 0;
};

using LPDDENUMMODESCALLBACK = HRESULT (*)(DDSURFACEDESC* desc, void* context);
using LPDDENUMMODESCALLBACK2 = HRESULT (*)(DDSURFACEDESC2* desc, void* context);
constexpr HRESULT DDENUMRET_CANCEL = 0;
constexpr HRESULT DDENUMRET_OK = 1;

// The old DirectDraw interface.
class IDirectDraw : public IUnknown {
public:
    virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, IUnknown* outer) = 0;
    virtual HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out,
                                  IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknown* outer) = 0;
    virtual HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC* filter, void* context,
                                     LPDDENUMMODESCALLBACK callback) = 0;
    virtual HRESULT FlipToGDISurface() = 0;
    virtual HRESULT GetDisplayMode(DDSURFACEDESC* desc) = 0;
    virtual HRESULT GetMonitorFrequency(DWORD* hz) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits) = 0;
    virtual HRESULT WaitForVerticalBlank(DWORD flags, void* event) = 0;
};

// The version 7 interface; the same object as IDirectDraw.
class IDirectDraw7 : public IUnknown {
public:
    virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, IUnknown* outer) = 0;
    virtual HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out,
                                  IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown* outer) = 0;
    virtual HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, void* context,
                                     LPDDENUMMODESCALLBACK2 callback) = 0;
    virtual HRESULT FlipToGDISurface() = 0;
    virtual HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;
    virtual HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD flags) = 0;
    virtual HRESULT GetDisplayMode(DDSURFACEDESC2* desc) = 0;
    virtual HRESULT GetMonitorFrequency(DWORD* hz) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) = 0;
    virtual HRESULT WaitForVerticalBlank(DWORD flags, void* event) = 0;
};

// Entry points, as the display module exports them.
using DirectDrawCreateFn = HRESULT (*)(GUID* guid, IDirectDraw** out, IUnknown* outer);
using DirectDrawCreateExFn = HRESULT (*)(GUID* guid, void** out, REFIID iid, IUnknown* outer);
// The Direct3D 8 probe's entry (returns an object of its own, or null).
using Direct3DCreate8Fn = void* (*)(unsigned sdkVersion);

HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer);
HRESULT DirectDrawCreateEx(GUID* guid, void** out, REFIID iid, IUnknown* outer);
void* Direct3DCreate8(unsigned sdkVersion);

// Where Direct3D 7 plugs in: the DirectDraw object answers IID_IDirect3D7
// through this factory (E_NOINTERFACE while none is installed). The factory
// gets the DirectDraw 7 object and returns a new reference.
using Direct3D7Factory = HRESULT (*)(IDirectDraw7* directDraw, void** out);
void SetDirect3D7Factory(Direct3D7Factory factory);

// The memory behind a stand-in surface, for the software Direct3D device and
// the window's presentation: null for objects that are not the stand-in's.
struct SurfaceMemory {
    uint8_t* bits = nullptr;
    int32_t pitch = 0;          // bytes
    int32_t width = 0;
    int32_t height = 0;
    DDPIXELFORMAT format;
    DWORD caps = 0;
    uint64_t version = 0;       // changes whenever the pixels may have (unlock, blit into it)
    bool lent = false;          // the bits are the window's (LendWindowPixels)
};
bool GetSurfaceMemory(IDirectDrawSurface* surface, SurfaceMemory& out);
bool GetSurfaceMemory(IDirectDrawSurface7* surface, SurfaceMemory& out);

class Window;
enum class PrimaryFormat;
// Moves an off-screen surface's picture into the window's own pixels
// (Window::LendPixels) where the window shows it as it stands, so that what
// is drawn on it next reaches the screen without a copy; true when the
// surface is there now. Its picture comes back into its own memory when the
// window ends the loan. Not for a locked surface or one of a flipping chain.
bool LendWindowPixels(Window& window, IDirectDrawSurface* surface, PrimaryFormat format);

} // namespace platform
