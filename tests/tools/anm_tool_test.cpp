#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include "game/office/anim_file.h"
#include "tests/support/temp_dirs.h"
#include "tools/anm_text.h"

namespace {

const char* kDescription = R"(base 0x00400000

anim bossmanbridle
  image images\office\boss_man.png
  box 64
  mode loop
  fps 10
  frame 0 0 64 96 0 0
  frame 64 0 60 96 4 -2

anim bossmanbrwalk
  image images\office\boss_man.png
  box 64
  mode backward
  fps 12
  unused 7 9
  frame 128 0 64 96 0 0

anim empty
  image none.png
  box 0
  mode 5
  fps 0
)";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

// Text -> file -> text gives the same text and the same bytes, both through
// the functions and through the program itself.
TEST(AnmTool, RoundTripThroughTheTool) {
    AnimData data;
    uint32_t base = 0;
    std::string error;
    ASSERT_TRUE(ParseAnmText(kDescription, data, base, error)) << error;
    EXPECT_EQ(base, 0x00400000u);
    ASSERT_EQ(data.records.size(), 3u);
    EXPECT_EQ(data.records[1].block.mode, kAnimOnceBackward);
    EXPECT_EQ(data.records[1].block.unused[1], 9u);
    EXPECT_EQ(data.records[2].block.frameCount, 0);

    const std::string file = WriteAnmFile(data, base);
    AnimData back;
    uint32_t storedBase = 0;
    ASSERT_TRUE(ParseAnmFile(file, back, error, &storedBase)) << error;
    EXPECT_EQ(storedBase, base);
    EXPECT_EQ(FormatAnmText(back, storedBase), kDescription);
    EXPECT_EQ(WriteAnmFile(back, storedBase), file);

    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("boss.txt"), kDescription);
    const std::string tool = ANM_TOOL_PATH;
    ASSERT_EQ(std::system((tool + " write " + dir.File("boss.txt") + " " + dir.File("boss.anm")).c_str()), 0);
    EXPECT_EQ(ReadAll(dir.File("boss.anm")), file);
    ASSERT_EQ(std::system((tool + " dump " + dir.File("boss.anm") + " > " + dir.File("dump.txt")).c_str()), 0);
    EXPECT_EQ(ReadAll(dir.File("dump.txt")), kDescription);
    // A file that does not read is refused with a message and a failure code.
    testsupport::WriteFile(dir.File("short.anm"), file.substr(0, 40));
    EXPECT_NE(std::system((tool + " dump " + dir.File("short.anm") + " 2> " + dir.File("err.txt")).c_str()), 0);
    EXPECT_NE(ReadAll(dir.File("err.txt")).find("truncated"), std::string::npos);
}

TEST(AnmTool, MalformedDescriptionsNameTheLine) {
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"frame 0 0 1 1 0 0\n", "line 1: 'frame' before the first anim"},
        {"anim a\n  fps ten\n", "line 2: fps needs one number, not negative"},
        {"anim a\n\n  frame 1 2 3\n", "line 3: frame needs x y width height offset-x offset-y"},
        {"anim a\n  mode sideways\n", "line 2: unknown mode 'sideways'"},
        {"base -1\n", "line 1: base needs one unsigned 32-bit number"},
        {"anim a\n  colour red\n", "line 2: unknown word 'colour'"},
        {"anim " + std::string(64, 'x') + "\n", "line 1: animation name longer than 63 bytes"},
    };
    for (const Case& c : cases) {
        AnimData data;
        data.records.resize(2);
        uint32_t base = 5;
        std::string error;
        EXPECT_FALSE(ParseAnmText(c.text, data, base, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(data.records.size(), 2u) << c.text;
        EXPECT_EQ(base, 5u) << c.text;
    }
}

// The sample files are what the tool writes from their descriptions.
TEST(AnmTool, SampleFilesMatchTheirDescriptions) {
    const std::string root = testsupport::SourceDir();
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root + "/tools/anm")) {
        const std::string name = entry.path().stem().string();
        AnimData data;
        uint32_t base = 0;
        std::string error;
        ASSERT_TRUE(ParseAnmText(testsupport::ReadFile(entry.path().string()), data, base, error)) << name << error;
        EXPECT_NE(base, 0u) << name << ": a zero base would not exercise relocation";
        EXPECT_EQ(testsupport::ReadFile(root + "/data/anm/" + name + ".anm"), WriteAnmFile(data, base)) << name;
        ++checked;
    }
    EXPECT_GT(checked, 20);
}
