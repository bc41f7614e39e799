#include "game/app/pak_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "game/app/xml_access.h"

#include "tests/support/temp_dirs.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

class PakFiles : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_.File("game/cfg/Sub/File.XML"), "0123456789");
        WriteFile(dir_.File("secret.txt"), "outside");
        PakSetGameDir(dir_.File("game"));
    }
    TempDir dir_;
};

TEST_F(PakFiles, ResolvesBackslashesAndAnyCase) {
    EXPECT_EQ(PakGetGameDir(), dir_.File("game"));
    EXPECT_EQ(PakResolvePath("CFG\\sub\\file.xml"), dir_.File("game/cfg/Sub/File.XML"));
    EXPECT_EQ(PakResolvePath("cfg/./Sub//FILE.xml"), dir_.File("game/cfg/Sub/File.XML"));
    EXPECT_EQ(PakResolvePath("cfg\\sub\\none.xml"), "");
    EXPECT_EQ(PakResolvePath("cfg\\sub\\file.xml\\x"), "");  // a file is no folder
    EXPECT_EQ(PakResolvePath(""), "");
}

TEST_F(PakFiles, NothingOutsideTheGameFolder) {
    ASSERT_TRUE(std::filesystem::exists(dir_.File("game/../secret.txt")));
    EXPECT_EQ(PakResolvePath("..\\secret.txt"), "");
    EXPECT_EQ(PakResolvePath("cfg\\..\\..\\secret.txt"), "");
    EXPECT_EQ(PakResolvePath(dir_.File("secret.txt")), "");
    EXPECT_EQ(PakResolvePath("\\secret.txt"), "");
    EXPECT_EQ(PakResolvePath("C:\\secret.txt"), "");
    EXPECT_EQ(PakOpen("..\\secret.txt", "rb"), nullptr);
    EXPECT_EQ(PakOpen("..\\new.txt", "wb"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("new.txt")));
}

TEST_F(PakFiles, ReadSeekTellAtTheEnd) {
    PakHandle* h = PakOpen("cfg\\SUB\\file.xml", "rb");
    ASSERT_NE(h, nullptr);
    char buf[16] = {};
    EXPECT_EQ(PakRead(buf, 1, 4, h), 4u);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(PakTell(h), 4);
    EXPECT_EQ(PakSeek(h, 0, SEEK_END), 0);
    EXPECT_EQ(PakTell(h), 10);
    EXPECT_EQ(PakRead(buf, 1, 4, h), 0u);
    EXPECT_EQ(PakSeek(h, -3, SEEK_END), 0);
    EXPECT_EQ(PakRead(buf, 2, 4, h), 1u);  // one whole 2-byte item is left
    EXPECT_EQ(PakSeek(h, -1, SEEK_SET), -1);
    EXPECT_EQ(PakSeek(h, 0, 42), -1);
    EXPECT_EQ(PakClose(h), 0);

    EXPECT_EQ(PakRead(buf, 1, 1, nullptr), 0u);
    EXPECT_EQ(PakSeek(nullptr, 0, SEEK_SET), -1);
    EXPECT_EQ(PakTell(nullptr), -1);
    EXPECT_EQ(PakClose(nullptr), EOF);
    EXPECT_EQ(PakOpen("cfg\\sub", "rb"), nullptr);  // folders are not files
}

TEST_F(PakFiles, ReadAllAndWrite) {
    std::string data = "untouched";
    EXPECT_FALSE(PakReadAll("cfg\\missing.xml", data));
    EXPECT_EQ(data, "untouched");
    ASSERT_TRUE(PakReadAll("Cfg\\Sub\\File.xml", data));
    EXPECT_EQ(data, "0123456789");

    PakHandle* h = PakOpen("CFG\\New.dat", "wb");
    ASSERT_NE(h, nullptr);
    PakClose(h);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("game/cfg/New.dat")));
    h = PakOpen("cfg\\sub\\FILE.xml", "wb");  // an existing file keeps its spelling
    ASSERT_NE(h, nullptr);
    PakClose(h);
    EXPECT_EQ(ReadFile(dir_.File("game/cfg/Sub/File.XML")), "");
    EXPECT_FALSE(std::filesystem::exists(dir_.File("game/cfg/sub/FILE.xml")));
}

// What a hostile game folder may hold in place of a file: each is refused
// with its reason, without blocking and without reading without end.
TEST_F(PakFiles, OnlyRegularFilesWithinTheLimitAreRead) {
    namespace fs = std::filesystem;
    auto sparse = [&](const char* name, size_t size) {
        WriteFile(dir_.File(std::string("game/cfg/") + name), "");
        fs::resize_file(dir_.File(std::string("game/cfg/") + name), size);
    };
    sparse("limit.xml", kMaxGameFileBytes);
    sparse("over.xml", kMaxGameFileBytes + 1);
    fs::create_symlink("/dev/zero", dir_.File("game/cfg/zero.xml"));
    ASSERT_EQ(mkfifo(dir_.File("game/cfg/pipe.xml").c_str(), 0600), 0);
    fs::create_symlink("Sub/File.XML", dir_.File("game/cfg/link.xml"));
    fs::create_symlink("gone.xml", dir_.File("game/cfg/dangling.xml"));
    struct Case {
        const char* path;
        bool opens;         // PakOpen takes it
        size_t size;        // read when why is empty
        const char* why;
    } cases[] = {
        {"cfg\\link.xml", true, 10, ""},
        {"cfg\\limit.xml", true, kMaxGameFileBytes, ""},
        {"cfg\\over.xml", true, 0, "larger than 32 MB"},
        {"cfg\\zero.xml", false, 0, "not a regular file"},
        {"cfg\\pipe.xml", false, 0, "not a regular file"},
        {"cfg\\sub", false, 0, "not a regular file"},
        {"cfg\\dangling.xml", false, 0, "No such file or directory"},
    };
    for (const Case& c : cases) {
        std::string data = "untouched";
        const bool read = PakReadAll(c.path, data);
        EXPECT_EQ(read, *c.why == 0) << c.path;
        EXPECT_EQ(data.size(), read ? c.size : 9) << c.path;
        EXPECT_EQ(read ? "" : PakLastError(), c.why) << c.path;
        PakHandle* h = PakOpen(c.path, "rb");
        EXPECT_EQ(h != nullptr, c.opens) << c.path;
        PakClose(h);
    }
    EXPECT_EQ(PakOpen("cfg\\pipe.xml", "wb"), nullptr) << "a pipe without a reader is not written either";
    std::unique_ptr<XmlDocument> doc;
    EXPECT_FALSE(XmlLoadDocument(doc, "cfg\\zero.xml"));
    EXPECT_EQ(XmlLastError(), "cfg\\zero.xml: cannot be opened (not a regular file)");
}

// A path that fails on its way says where and why, not "no such file".
TEST_F(PakFiles, FolderFailuresNameTheirReason) {
    WriteFile(dir_.File("game/locked/a.xml"), "x");
    chmod(dir_.File("game/locked").c_str(), 0);
    struct Case {
        const char* path;
        std::string why;
        bool made;  // false: cannot be made here
    } cases[] = {
        {"cfg\\missing.xml", "no such file", true},
        {"nothing\\a.xml", "no such file", true},
        {"cfg\\Sub\\File.XML\\a.xml", dir_.File("game/cfg/Sub/File.XML") + " is not a folder", true},
        {"locked\\a.xml", "Permission denied: " + dir_.File("game/locked/a.xml"), geteuid() != 0},
    };
    for (const Case& c : cases) {
        if (!c.made) continue;  // root searches any folder
        std::string data;
        EXPECT_FALSE(PakReadAll(c.path, data)) << c.path;
        EXPECT_EQ(PakLastError(), c.why) << c.path;
        EXPECT_EQ(PakOpen(c.path, "rb"), nullptr) << c.path;
        EXPECT_EQ(PakLastError(), c.why) << c.path;
    }
    chmod(dir_.File("game/locked").c_str(), 0700);
}
