// The sample game folder (data/) must load as the game reads it.
#include <gtest/gtest.h>

#include "framework/graphics/memory_image.h"
#include "framework/resources/resource_manager.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/app/tables.h"
#include "game/app/xml_access.h"
#include "tests/support/temp_dirs.h"

namespace {

class SampleData : public ::testing::Test {
protected:
    void SetUp() override {
        PakSetGameDir(testsupport::SourceDir() + "/data");
        InstallGameFileAccess(true);
    }
    void TearDown() override { InstallGameFileAccess(false); }

    // The (name, res) pairs of the elements at xpath in a table file.
    std::vector<std::pair<std::string, std::string>> Entries(const std::string& path, const std::string& xpath) {
        std::vector<std::pair<std::string, std::string>> out;
        std::unique_ptr<XmlDocument> doc;
        EXPECT_TRUE(XmlLoadDocument(doc, path)) << XmlLastError();
        if (!doc) return out;
        XmlForEachNode(
            doc->document_element(), xpath,
            [](XmlNode node, void* a, void*) {
                std::string name, res;
                XmlGetAttrString(node, "name", name);
                XmlGetAttrString(node, "res", res);
                static_cast<std::vector<std::pair<std::string, std::string>>*>(a)->emplace_back(name, res);
                return true;
            },
            &out, nullptr);
        return out;
    }
};

TEST_F(SampleData, ManifestGroupsLoadAndEveryMediaFileExists) {
    ASSERT_FALSE(PakResolvePath("play.url").empty());
    Zephra::ResourceManager resources;
    ASSERT_TRUE(resources.ParseResourcesFile()) << resources.GetErrorText();
    for (const char* group : {"Init", "Game"})
        EXPECT_TRUE(resources.LoadResourceGroup(group)) << resources.GetErrorText();
    ASSERT_NE(resources.GetImage("GFX_GAME_GROUND"), nullptr);
    EXPECT_EQ(resources.GetImage("GFX_GAME_GROUND")->mWidth, 800);

    auto sounds = Entries("cfg\\sounds.xml", "sounds/sound");
    auto music = Entries("cfg\\sounds.xml", "music/stream");
    EXPECT_FALSE(sounds.empty());
    EXPECT_FALSE(music.empty());
    for (const auto& [name, res] : sounds) {
        std::string path = resources.GetSoundPath(res);
        EXPECT_FALSE(path.empty()) << name;
        EXPECT_FALSE(PakResolvePath(path).empty()) << name << ": " << path;
    }
    for (const auto& [name, res] : music) {
        std::string path = resources.GetMusicPath(res);
        EXPECT_FALSE(path.empty()) << name;
        EXPECT_FALSE(PakResolvePath(path).empty()) << name << ": " << path;
    }

    FontTable fonts(&resources);
    std::vector<std::string> errors;
    ASSERT_TRUE(fonts.LoadTable(FontTable::kTablePath, errors));
    auto fontEntries = Entries(FontTable::kTablePath, "font");
    EXPECT_FALSE(fontEntries.empty());
    for (const auto& [name, res] : fontEntries) EXPECT_NE(fonts.Get(name), nullptr) << name;

    TextureTable textures;
    ASSERT_TRUE(textures.LoadTable(TextureTable::kTablePath, errors));
    for (const auto& [name, res] : Entries(TextureTable::kTablePath, "texture")) {
        EXPECT_NE(textures.Acquire(name), nullptr) << name << ": " << textures.LastError();
        textures.Release(name);
    }
    EXPECT_TRUE(errors.empty()) << errors[0];
}

TEST_F(SampleData, LocalisationHasTheFrameworkTexts) {
    TextTable loc;
    std::vector<std::string> errors;
    ASSERT_TRUE(loc.Load(TextTable::kLocPath, errors));
    EXPECT_TRUE(errors.empty());
    for (const char* key : {"FATAL_ERROR", "DIALOG_BUTTON_OK", "DIALOG_BUTTON_CANCEL", "DIALOG_BUTTON_YES",
                            "DIALOG_BUTTON_NO"})
        EXPECT_FALSE(loc.Lookup(key).empty()) << key;
}

} // namespace
