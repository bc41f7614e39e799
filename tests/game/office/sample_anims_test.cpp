#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include "framework/graphics/memory_image.h"
#include "framework/resources/image_lib.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/app/xml_access.h"
#include "game/office/anim_player.h"
#include "tests/support/temp_dirs.h"

// Every sample animation file loads, its pictures load with real alpha and
// hold every frame, and every part of the sample office finds its file and
// an "idle" to show.
TEST(SampleAnims, EveryFileLoadsWithItsPictures) {
    const std::string oldDir = PakGetGameDir();
    const std::string data = testsupport::SourceDir() + "/data";
    PakSetGameDir(data);
    InstallGameFileAccess(true);

    std::map<std::string, std::unique_ptr<Zephra::MemoryImage>> pictures;
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(data + "/anm")) {
        const std::string name = entry.path().stem().string();
        files.insert(name);
        AnimPlayer player(nullptr);
        ASSERT_TRUE(player.Load(name)) << player.LastError();
        ASSERT_GT(player.GetRecordCount(), 0) << name;
        for (int i = 0; i < player.GetRecordCount(); ++i) {
            const AnimRecord& record = *player.GetRecordAt(i);
            EXPECT_EQ(record.animName.rfind(name, 0), 0u) << record.animName << " in " << name;
            auto& picture = pictures[record.imageName];
            if (!picture) {
                picture = std::make_unique<Zephra::MemoryImage>(nullptr);
                std::string error;
                ASSERT_TRUE(Zephra::ImageLib::LoadImage(record.imageName, *picture, error)) << error;
                int partial = 0;
                for (int p = 0; p < picture->mWidth * picture->mHeight; ++p) {
                    const uint32_t a = picture->GetBits()[p] >> 24;
                    partial += (a > 0 && a < 255) ? 1 : 0;
                }
                if (name != "wall") {
                    EXPECT_GT(partial, 0) << record.imageName << " has no soft edges";
                }
            }
            EXPECT_GT(record.block.fps, 0) << record.animName;
            for (const AnimFrame& f : record.block.frames) {
                EXPECT_TRUE(f.x >= 0 && f.y >= 0 && f.x + f.width <= picture->mWidth &&
                            f.y + f.height <= picture->mHeight)
                    << record.animName << " frame at " << f.x << "," << f.y;
            }
        }
        EXPECT_GE(player.FindIndex(name + "idle"), 0) << name;
    }

    std::unique_ptr<XmlDocument> office;
    ASSERT_TRUE(XmlLoadDocument(office, "cfg\\office.xml")) << XmlLastError();
    for (const pugi::xpath_node& node : office->select_nodes("//object/part")) {
        const std::string name = node.node().attribute("name").value();
        EXPECT_TRUE(files.count(name)) << "part " << name << " has no anm\\" << name << ".anm";
    }
    InstallGameFileAccess(false);
    PakSetGameDir(oldDir);
}
