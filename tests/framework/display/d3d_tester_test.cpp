#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "framework/display/d3d_tester.h"
#include "framework/resources/file_access.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"
#include "tests/support/temp_dirs.h"

namespace {

using namespace Zephra;
using namespace platform;

// The tester on a fresh stand-in, with the driver lists read from a temporary
// game folder.
class D3DTesterTest : public ::testing::Test {
protected:
    void SetUp() override {
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        Direct3DConfig::Get().mKind = Device3DKind::Software;
        mFiles = std::make_unique<PlainFileAccess>(mDir.Path());
        SetFileAccess(mFiles.get());
    }
    void TearDown() override {
        SetFileAccess(nullptr);
        RestoreModuleExports();
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        Direct3DConfig::Get().mKind = Device3DKind::Software;
    }
    // Runs the whole test the way the display does, with its own DirectDraw.
    void RunTester(D3DTester& t) {
        void* dd = nullptr;
        ASSERT_EQ(DirectDrawCreateEx(nullptr, &dd, IID_IDirectDraw7, nullptr), DD_OK);
        auto* dd7 = static_cast<IDirectDraw7*>(dd);
        t.mMinVidMemory = 6;
        t.Run(nullptr, dd7);
        dd7->Release();
    }

public:
    testsupport::TempDir mDir;
    std::unique_ptr<PlainFileAccess> mFiles;
};

TEST_F(D3DTesterTest, VerdictOnTheConfiguredAdapter) {
    struct Case {
        const char* name;
        std::function<void(D3DTesterTest&)> setup;
        const char* failure;
        const char* warning;
    };
    const Case cases[] = {
        {"every render test passes", [](D3DTesterTest&) {}, "", ""},
        {"565 desktop", [](D3DTesterTest&) { DirectXConfig::Get().mDesktopFormat = PixelLayout::RGB565; }, "", ""},
        {"bad driver list names the card even from 2005",
         [](D3DTesterTest& f) {
             DirectXConfig::Get().mDescription = "Corvane Blit 3000";
             Direct3DConfig::Get().mDriverYear = 2005;
             testsupport::WriteFile(f.mDir.File("vhwb.dat"), "  nothing  \n\n  blit 30\n");
         },
         "", "Unsupported video card: Corvane Blit 3000"},
        {"good driver list without the card outweighs the year",
         [](D3DTesterTest& f) {
             DirectXConfig::Get().mDescription = "Corvane Blit 3000";
             testsupport::WriteFile(f.mDir.File("vhw.dat"), "other card\n");
         },
         "", "Unsupported video card: Corvane Blit 3000"},
        {"good driver list with the card",
         [](D3DTesterTest& f) {
             Direct3DConfig::Get().mDriverYear = 1999;
             DirectXConfig::Get().mDescription = "Corvane Blit 3000";
             testsupport::WriteFile(f.mDir.File("vhw.dat"), "\tBLIT 3000 \n");
         },
         "", ""},
        {"an old driver is not trusted",
         [](D3DTesterTest&) { Direct3DConfig::Get().mDriverYear = 2001; DirectXConfig::Get().mDescription = "Old card"; },
         "", "Unsupported video card: Old card"},
        {"maker words in capitals",
         [](D3DTesterTest&) { Direct3DConfig::Get().mDriverYear = 1999; DirectXConfig::Get().mDescription = "RADEON 7000"; },
         "", ""},
        {"24-bit desktop", [](D3DTesterTest&) { DirectXConfig::Get().mDesktopFormat = PixelLayout::RGB888; },
         "Can't test 24-bit mode.", ""},
        {"not enough video memory", [](D3DTesterTest&) { DirectXConfig::Get().mVideoMemory = 1 << 20; },
         "Not enough video memory.", ""},
        {"no Direct3D device", [](D3DTesterTest&) { Direct3DConfig::Get().mKind = Device3DKind::None; },
         "DXError - QueryInterface IID_IDirect3D7: DSERR_NOINTERFACE", ""},
        {"16-bit textures only", [](D3DTesterTest&) { Direct3DConfig::Get().mFormatA8R8G8B8 = false; }, "",
         "A8R8G8B8 texture format not supported."},
        {"no usable texture format",
         [](D3DTesterTest&) {
             Direct3DConfig::Get().mFormatA8R8G8B8 = false;
             Direct3DConfig::Get().mFormatA4R4G4B4 = false;
         },
         "A4R4G4B4 and A8R8G8B8 texture formats not supported.", "A8R8G8B8 texture format not supported."},
        {"a blanked Direct3D 8 leaves the DirectDraw identifier",
         [](D3DTesterTest&) {
             SetModuleExport("d3d8.dll", "Direct3DCreate8", nullptr);
             DirectXConfig::Get().InjectFailure("IDirectDraw7::GetDeviceIdentifier", DDERR_INVALIDOBJECT);
         },
         "DXError - GetDeviceIdentifier: DDERR_INVALIDOBJECT", ""},
        {"a failing draw", [](D3DTesterTest&) { DirectXConfig::Get().InjectFailure("IDirect3DDevice7::DrawPrimitive", DDERR_SURFACELOST); },
         "DXError - DrawPrimitive: DDERR_SURFACELOST", ""},
    };
    for (const Case& k : cases) {
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        Direct3DConfig::Get().mKind = Device3DKind::Software;
        RestoreModuleExports();
        std::remove(mDir.File("vhw.dat").c_str());
        std::remove(mDir.File("vhwb.dat").c_str());
        k.setup(*this);
        D3DTester t;
        RunTester(t);
        EXPECT_EQ(t.GetFailureReason(), k.failure) << k.name;
        EXPECT_EQ(t.GetWarning(), k.warning) << k.name;
        EXPECT_EQ(t.mDevice, nullptr) << k.name << ": released after the run";
    }
}

// The blend check: near colours pass, one odd pixel only warns, a far one fails.
TEST_F(D3DTesterTest, BlendVerdicts) {
    struct Case { const char* name; uint32_t fill, odd; bool passes; const char* failure; const char* warning; };
    const Case cases[] = {
        {"near the expected colour", 0x7E017F, 0x7E017F, true, "", ""},
        {"one pixel differs", 0x7F007F, 0x7E007F, true, "", "Alpha blend test not uniform."},
        {"one pixel far off", 0x7F007F, 0x00007F, false, "Alpha blend Not Supported", ""},
    };
    for (const Case& k : cases) {
        D3DTester t;
        t.mReadBack.SetSize(100, 100);
        std::fill_n(t.mReadBack.mBits, 100 * 100, k.fill);
        t.mReadBack.mBits[5 * 100 + 7] = k.odd;
        t.mReadBack.mBits[50 * 100 + 50] = 0;   // outside the judged corner
        EXPECT_EQ(t.JudgeBlend(0x7F007F, "Alpha blend Not Supported", "Alpha blend test not uniform."), k.passes)
            << k.name;
        EXPECT_EQ(t.GetFailureReason(), k.failure) << k.name;
        EXPECT_EQ(t.GetWarning(), k.warning) << k.name;
    }
}

} // namespace
