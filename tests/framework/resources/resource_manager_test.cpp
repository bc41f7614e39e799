#include <gtest/gtest.h>
#include <filesystem>
#include <map>
#include <set>
#include "framework/graphics/memory_image.h"
#include "framework/resources/image_lib.h"
#include "framework/resources/resource_manager.h"
#include "tests/framework/resources/resource_test_util.h"
#include "tests/support/temp_dirs.h"

using namespace Zephra;

namespace {

class CountingHost : public ImageHost {
public:
    std::set<MemoryImage*> images;
    void AddMemoryImage(MemoryImage* image) override { images.insert(image); }
    void RemoveMemoryImage(MemoryImage* image) override { images.erase(image); }
};

std::string PngOf(int w, int h, uint32_t pixel) {
    std::vector<uint32_t> bits(size_t(w) * h, pixel);
    std::string bytes, error;
    EXPECT_TRUE(ImageLib::EncodePng(bits.data(), w, h, bytes, error)) << error;
    return bytes;
}

// A game folder with pictures, a font and a manifest.
class ResourceManagerTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::unique_ptr<restest::ScopedFiles> files;

    void SetUp() override {
        std::filesystem::create_directories(dir.File("properties"));
        std::filesystem::create_directories(dir.File("images"));
        std::filesystem::create_directories(dir.File("fonts"));
        testsupport::WriteFile(dir.File("images/ground.png"), PngOf(8, 6, 0xFF336699));
        testsupport::WriteFile(dir.File("images/glow.png"), PngOf(4, 4, 0x80FFFFFF));
        testsupport::WriteFile(dir.File("images/icons.png"), PngOf(5, 5, 0xFF00FF00));
        testsupport::WriteFile(dir.File("fonts/DejaVuSans.ttf"), testsupport::ReadFile(restest::kDejaVuSans));
        files = std::make_unique<restest::ScopedFiles>(dir.Path());
    }

    void Manifest(const std::string& text) { testsupport::WriteFile(dir.File("properties/resources.xml"), text); }
};

const char* kManifest = R"(<?xml version="1.0" encoding="utf-8"?>
<resources>
  <group id="Init">
    <image id="GFX_GAME_GROUND" path="images\ground.png" surface="true"/>
    <image id="GFX_GLOW" path="images\glow.png" surface="true"/>
    <font id="FONT_MAIN" path="fonts\DejaVuSans.ttf" size="14"/>
    <font id="FONT_MAIN_STROKE" path="fonts\DejaVuSans.ttf" size="14" bold="true" stroke="2"/>
    <sound id="SND_CLICK" path="sounds\click.wav"/>
    <music id="MUS_MENU" path="music\menu.ogg"/>
  </group>
  <group id="Game">
    <defaults path="images\" idprefix="GFX_"/>
    <image id="ICONS" path="icons.png" palette="yes"/>
  </group>
</resources>
)";

} // namespace

TEST_F(ResourceManagerTest, LoadsGroupsAndServesThemById) {
    Manifest(kManifest);
    CountingHost host;
    {
        ResourceManager rm(&host);
        ASSERT_TRUE(rm.ParseResourcesFile()) << rm.GetErrorText();
        EXPECT_TRUE(rm.HasGroup("Init"));
        EXPECT_FALSE(rm.IsGroupLoaded("Init"));
        EXPECT_EQ(rm.GetImage("GFX_GAME_GROUND"), nullptr);   // none before "Init"
        EXPECT_EQ(rm.GetFont("FONT_MAIN"), nullptr);
        EXPECT_EQ(rm.GetSoundPath("SND_CLICK"), "sounds\\click.wav");
        EXPECT_EQ(rm.GetMusicPath("MUS_MENU"), "music\\menu.ogg");
        EXPECT_EQ(rm.GetSoundPath("MUS_MENU"), "");
        EXPECT_EQ(rm.GetGroupIds("Init", ResourceManager::RES_FONT),
                  (std::vector<std::string>{"FONT_MAIN", "FONT_MAIN_STROKE"}));

        ASSERT_TRUE(rm.LoadResourceGroup("Init")) << rm.GetErrorText();
        EXPECT_TRUE(rm.IsGroupLoaded("Init"));
        MemoryImage* ground = rm.GetImage("GFX_GAME_GROUND");
        ASSERT_NE(ground, nullptr);
        EXPECT_EQ(ground->mWidth, 8);
        EXPECT_EQ(ground->GetBits()[47], 0xFF336699u);
        EXPECT_EQ(ground->mApp, &host);
        EXPECT_EQ(rm.GetImage("gfx_game_ground"), nullptr);
        // Opaque and asking for a surface: flagged and purge requested; partial alpha: neither.
        EXPECT_TRUE(rm.ImageWantsSurface("GFX_GAME_GROUND"));
        EXPECT_TRUE(ground->mPurgeBits);
        EXPECT_FALSE(rm.ImageWantsSurface("GFX_GLOW"));
        EXPECT_TRUE(rm.GetImage("GFX_GLOW")->mHasAlpha);
        EXPECT_FALSE(rm.GetImage("GFX_GLOW")->mPurgeBits);

        Font* font = rm.GetFont("FONT_MAIN");
        ASSERT_NE(font, nullptr);
        EXPECT_GT(font->GetHeight(), 10);
        auto* stroke = dynamic_cast<SysFont*>(rm.GetFont("FONT_MAIN_STROKE"));
        ASSERT_NE(stroke, nullptr);
        EXPECT_EQ(stroke->GetDesc().mStroke, 2);
        EXPECT_TRUE(stroke->GetDesc().mBold);
        EXPECT_EQ(rm.GetImage("GFX_ICONS"), nullptr);

        ASSERT_TRUE(rm.LoadResourceGroup("Game")) << rm.GetErrorText();
        MemoryImage* icons = rm.GetImage("GFX_ICONS");
        ASSERT_NE(icons, nullptr);
        EXPECT_TRUE(icons->IsPalettized());
        EXPECT_EQ(host.images.size(), 3u);

        ASSERT_TRUE(rm.LoadResourceGroup("Init"));     // already loaded: kept
        EXPECT_EQ(rm.GetImage("GFX_GAME_GROUND"), ground);

        rm.UnloadGroup("Init");
        EXPECT_EQ(rm.GetImage("GFX_GAME_GROUND"), nullptr);
        EXPECT_EQ(rm.GetFont("FONT_MAIN"), nullptr);
        EXPECT_EQ(host.images.size(), 1u);
        ASSERT_TRUE(rm.LoadResourceGroup("Init"));
        EXPECT_NE(rm.GetImage("GFX_GAME_GROUND"), nullptr);

        EXPECT_FALSE(rm.LoadResourceGroup("Nope"));
        EXPECT_NE(rm.GetErrorText().find("Nope"), std::string::npos);
    }
    EXPECT_TRUE(host.images.empty());   // the manager freed everything
}

TEST_F(ResourceManagerTest, MissingFilesAreNamedInTheError) {
    Manifest(R"(<resources>
      <group id="Init">
        <image id="GFX_GAME_GROUND" path="images\ground.png"/>
        <image id="GFX_SKY" path="images\sky.png"/>
      </group>
      <group id="Fonts"><font id="FONT_GONE" path="fonts\gone.ttf" size="12"/></group>
      <group id="Junk"><image id="GFX_JUNK" path="fonts\DejaVuSans.ttf"/></group>
    </resources>)");
    ResourceManager rm;
    ASSERT_TRUE(rm.ParseResourcesFile()) << rm.GetErrorText();
    EXPECT_FALSE(rm.LoadResourceGroup("Init"));
    EXPECT_NE(rm.GetErrorText().find("GFX_SKY"), std::string::npos) << rm.GetErrorText();
    EXPECT_NE(rm.GetErrorText().find("images\\sky.png"), std::string::npos) << rm.GetErrorText();
    EXPECT_FALSE(rm.IsGroupLoaded("Init"));

    EXPECT_FALSE(rm.LoadResourceGroup("Fonts"));
    EXPECT_NE(rm.GetErrorText().find("FONT_GONE"), std::string::npos) << rm.GetErrorText();
    EXPECT_FALSE(rm.LoadResourceGroup("Junk"));
    EXPECT_NE(rm.GetErrorText().find("GFX_JUNK"), std::string::npos) << rm.GetErrorText();

    // Once the picture exists the group loads.
    testsupport::WriteFile(dir.File("images/sky.png"), PngOf(2, 2, 0xFF0000FF));
    EXPECT_TRUE(rm.LoadResourceGroup("Init")) << rm.GetErrorText();
}

// A group's pictures share one budget: the picture past it is refused from its
// header, named with the budget, and what loaded before it stays.
TEST_F(ResourceManagerTest, PicturesPastTheGroupBudgetAreRefused) {
    std::string group = "<resources><group id=\"Big\">";
    for (int i = 0; i < 4; ++i) {
        testsupport::WriteFile(dir.File("images/big" + std::to_string(i) + ".png"), PngOf(1024, 1024, 0xFF000000u + i));
        group += "<image id=\"GFX_BIG" + std::to_string(i) + "\" path=\"images\\big" + std::to_string(i) + ".png\"/>";
    }
    Manifest(group + "</group></resources>");
    struct Case {
        size_t budget;
        int loaded;   // pictures in memory afterwards
    } cases[] = {
        {(size_t(4) << 20) * 2 + 1, 2},  // room for two and a byte
        {(size_t(4) << 20) * 3, 3},
        {(size_t(4) << 20) * 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.budget);
        ResourceManager rm;
        ASSERT_TRUE(rm.ParseResourcesFile()) << rm.GetErrorText();
        rm.SetPictureBudget(c.budget);
        EXPECT_EQ(rm.LoadResourceGroup("Big"), c.loaded == 4) << rm.GetErrorText();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(rm.GetImage("GFX_BIG" + std::to_string(i)) != nullptr, i < c.loaded) << i;
        if (c.loaded == 4) continue;
        const std::string refused = "GFX_BIG" + std::to_string(c.loaded);
        EXPECT_NE(rm.GetErrorText().find("Failed to load image " + refused), std::string::npos) << rm.GetErrorText();
        EXPECT_NE(rm.GetErrorText().find("image size 1024x1024 refused (the group's pictures may take"),
                  std::string::npos)
            << rm.GetErrorText();
    }
}

TEST_F(ResourceManagerTest, BadManifestsFailWithAMessageAndAddNothing) {
    ResourceManager rm;
    EXPECT_FALSE(rm.ParseResourcesFile());
    EXPECT_NE(rm.GetErrorText().find("properties\\resources.xml"), std::string::npos) << rm.GetErrorText();

    Manifest("<resources><group id=\"Init\"><image id=\"GFX_A\" path=\"a.png\"></group>");
    EXPECT_FALSE(rm.ParseResourcesFile());
    EXPECT_NE(rm.GetErrorText().find("Failed to parse"), std::string::npos) << rm.GetErrorText();

    const char* bad[] = {
        "<other/>",
        "<resources><image id=\"GFX_A\" path=\"a.png\"/></resources>",
        "<resources><group id=\"G\"><image id=\"gfx_a\" path=\"a.png\"/></group></resources>",
        "<resources><group id=\"G\"><image id=\"GFX_A\"/></group></resources>",
        "<resources><group id=\"G\"><image id=\"GFX_A\" path=\"a.png\" surface=\"maybe\"/></group></resources>",
        "<resources><group id=\"G\"><font id=\"FONT_A\" path=\"a.ttf\" size=\"12px\"/></group></resources>",
        "<resources><group id=\"G\"><picture id=\"GFX_A\" path=\"a.png\"/></group></resources>",
        "<resources><group id=\"G\"><image id=\"GFX_A\" path=\"a.png\"/><sound id=\"GFX_A\" path=\"a.wav\"/>"
        "</group></resources>",
        "<resources><group id=\"G\"/><group id=\"G\"/></resources>",
    };
    for (const char* text : bad) {
        Manifest(text);
        EXPECT_FALSE(rm.ParseResourcesFile()) << text;
        EXPECT_FALSE(rm.GetErrorText().empty()) << text;
        EXPECT_FALSE(rm.HasGroup("G")) << text;
        EXPECT_EQ(rm.GetSoundPath("GFX_A"), "") << text;
    }

    // A second file may add groups, but not take ids already known.
    Manifest(kManifest);
    ASSERT_TRUE(rm.ParseResourcesFile()) << rm.GetErrorText();
    testsupport::WriteFile(dir.File("properties/more.xml"),
                           "<resources><group id=\"More\"><sound id=\"SND_CLICK\" path=\"x.wav\"/></group></resources>");
    EXPECT_FALSE(rm.ParseResourcesFile("properties\\more.xml"));
    EXPECT_NE(rm.GetErrorText().find("SND_CLICK"), std::string::npos) << rm.GetErrorText();
    EXPECT_FALSE(rm.HasGroup("More"));
}

TEST_F(ResourceManagerTest, ReadsUtf16Manifests) {
    std::string utf8 = "<resources><group id=\"Init\"><image id=\"GFX_GAME_GROUND\" path=\"images\\ground.png\"/>"
                       "</group></resources>";
    std::string utf16 = "\xFF\xFE";
    for (char c : utf8) {
        utf16 += c;
        utf16 += '\0';
    }
    Manifest(utf16);
    ResourceManager rm;
    ASSERT_TRUE(rm.ParseResourcesFile()) << rm.GetErrorText();
    ASSERT_TRUE(rm.LoadResourceGroup("Init")) << rm.GetErrorText();
    EXPECT_NE(rm.GetImage("GFX_GAME_GROUND"), nullptr);
}

TEST(ResourceManagerFiles, ReadsGoThroughTheInstalledFileAccess) {
    struct MapFiles : FileAccess {
        std::map<std::string, std::string> files;
        std::vector<std::string> asked;
        bool ReadFile(const std::string& path, std::string& bytes) override {
            asked.push_back(path);
            auto it = files.find(path);
            if (it == files.end()) return false;
            bytes = it->second;
            return true;
        }
    } access;
    access.files["properties\\resources.xml"] =
        "<resources><group id=\"Init\"><image id=\"GFX_GAME_GROUND\" path=\"images\\ground.png\"/>"
        "</group></resources>";
    access.files["images\\ground.png"] = PngOf(3, 2, 0xFF010203);
    SetFileAccess(&access);
    ResourceManager rm;
    bool parsed = rm.ParseResourcesFile();
    bool loaded = rm.LoadResourceGroup("Init");
    SetFileAccess(nullptr);
    ASSERT_TRUE(parsed && loaded) << rm.GetErrorText();
    EXPECT_EQ(access.asked, (std::vector<std::string>{"properties\\resources.xml", "images\\ground.png"}));
    EXPECT_EQ(rm.GetImage("GFX_GAME_GROUND")->GetBits()[5], 0xFF010203u);
}
