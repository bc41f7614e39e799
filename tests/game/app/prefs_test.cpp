#include "game/app/prefs.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "tests/support/temp_dirs.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

uint32_t U32At(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
    return v;
}

void PutU32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::vector<fs::path> SetAsideFiles(const TempDir& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        if (e.path().filename().string().rfind("pref.dat.bad-", 0) == 0) out.push_back(e.path());
    return out;
}

// A valid file with three profiles, the second current.
std::string ThreeProfileFile(const TempDir& dir) {
    PrefsFile f(dir.File("model.dat"));
    ProfileRecord out;
    f.CreateProfile(u"Ann", "woman", out);
    f.CreateProfile(u"Bob", "man", out);
    f.CreateProfile(u"Cy", "man", out);
    f.ReadProfileSlot(1, out);
    return f.Serialize();
}

} // namespace

TEST(Prefs, RoundTripKeepsEverythingAndUsesTheDocumentedLayout) {
    TempDir dir;
    const std::u16string zoe = u"Zo\u00eb \u674e\u96f7 \U0001F600";
    {
        PrefsFile f(dir.File("pref.dat"));
        EXPECT_TRUE(f.Load());  // no file yet: defaults
        EXPECT_EQ(f.ProfileCount(), 0);
        EXPECT_EQ(f.CurrentSlot(), -1);
        ProfileRecord cur;
        EXPECT_EQ(f.CreateProfile(u"Ann", "woman", cur), 0);
        EXPECT_EQ(f.CreateProfile(zoe, "man", cur), 1);
        EXPECT_EQ(f.CreateProfile(u"Cy", "man", cur), 2);
        ASSERT_TRUE(f.ReadProfileSlot(1, cur));
        EXPECT_EQ(cur.name, zoe);
        EXPECT_EQ(cur.reachedDay, 1);
        cur.reachedDay = 61;
        cur.bestMoney[0] = 1500;
        cur.bestMoney[59] = -20;
        cur.secondsPlayed = 7199.9f;
        f.Header().musicVolume = 35;
        f.Header().sfxVolume = 70;
        f.Header().windowed = 0;
        f.Header().muted = 1;
        f.Records().AddScore(false, zoe, 900);
        f.Records().AddScore(true, u"Ann", 42);
        ASSERT_TRUE(f.Save(&cur));
    }
    std::string bytes = ReadFile(dir.File("pref.dat"));
    ASSERT_EQ(bytes.size(), 10512u + 3 * 1028u);
    EXPECT_EQ(bytes.substr(0, 4), "PREF");
    EXPECT_EQ(U32At(bytes, 4), 1u);
    EXPECT_EQ(U32At(bytes, 8), 3u);
    EXPECT_EQ(U32At(bytes, 12), 1u);
    EXPECT_EQ(U32At(bytes, 20), 35u);
    EXPECT_EQ(U32At(bytes, 24), 70u);
    EXPECT_EQ(bytes[28], 0);
    EXPECT_EQ(bytes[29], 1);
    const size_t rec1 = 10512 + 1028;
    EXPECT_EQ(std::string(bytes.data() + rec1, 3), "man");
    EXPECT_EQ(bytes[rec1 + 3], 0);
    EXPECT_EQ(static_cast<uint8_t>(bytes[rec1 + 260 + 4]), 0xEB);  // 'ë' low byte first
    EXPECT_EQ(bytes[rec1 + 260 + 5], 0);
    EXPECT_EQ(U32At(bytes, rec1 + 780), 61u);
    EXPECT_EQ(U32At(bytes, rec1 + 784), 1500u);
    EXPECT_EQ(U32At(bytes, 32 + 520), 900u);            // career first
    EXPECT_EQ(U32At(bytes, 32 + 5240 + 520), 42u);      // then survival

    PrefsFile g(dir.File("pref.dat"));
    ASSERT_TRUE(g.Load()) << g.LastError();
    EXPECT_EQ(g.CurrentSlot(), 1);
    EXPECT_EQ(g.Header().musicVolume, 35);
    EXPECT_EQ(g.Header().sfxVolume, 70);
    EXPECT_EQ(g.Header().windowed, 0);
    EXPECT_EQ(g.Header().muted, 1);
    EXPECT_EQ(g.Header().AppliedMusicVolume(), 0);
    std::vector<ProfileRecord> all;
    g.ReadAllProfiles(all);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].name, u"Ann");
    EXPECT_EQ(all[0].bossKind, "woman");
    EXPECT_EQ(all[1].name, zoe);
    EXPECT_EQ(all[1].reachedDay, 61);
    EXPECT_EQ(all[1].bestMoney[0], 1500);
    EXPECT_EQ(all[1].bestMoney[59], -20);
    EXPECT_FLOAT_EQ(all[1].secondsPlayed, 7199.9f);
    EXPECT_EQ(all[2].name, u"Cy");
    EXPECT_EQ(g.Records().GetTable(false)[0].name, zoe);
    EXPECT_EQ(g.Records().GetTable(true)[0].score, 42);
    // Saves leave no temporary files behind.
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(Prefs, LongNamesAreCutToWhatTheFileHolds) {
    TempDir dir;
    PrefsFile f(dir.File("pref.dat"));
    ProfileRecord cur;
    std::u16string longName(258, u'x');
    longName += u"\U0001F600";  // the pair would straddle the cut
    ASSERT_EQ(f.CreateProfile(longName, std::string(400, 'k'), cur), 0);
    EXPECT_EQ(cur.name, std::u16string(258, u'x'));
    EXPECT_EQ(cur.bossKind, std::string(259, 'k'));
    PrefsFile g(dir.File("pref.dat"));
    ASSERT_TRUE(g.ReadProfileSlot(0, cur));
    EXPECT_EQ(cur.name, std::u16string(258, u'x'));
}

TEST(Prefs, DeletingBelowTheCurrentSlotMovesItDownWithItsProfile) {
    TempDir dir;
    WriteFile(dir.File("pref.dat"), ThreeProfileFile(dir));
    PrefsFile f(dir.File("pref.dat"));
    ProfileRecord cur;
    ASSERT_TRUE(f.ReadProfileSlot(2, cur));
    ASSERT_TRUE(f.DeleteProfileSlot(1));
    EXPECT_EQ(f.CurrentSlot(), 1);
    cur.secondsPlayed = 10;
    ASSERT_TRUE(f.Save(&cur));

    PrefsFile g(dir.File("pref.dat"));
    ASSERT_TRUE(g.Load());
    EXPECT_EQ(g.CurrentSlot(), 1);
    std::vector<ProfileRecord> all;
    g.ReadAllProfiles(all);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, u"Ann");
    EXPECT_EQ(all[1].name, u"Cy");
    EXPECT_EQ(all[1].secondsPlayed, 10.0f);
    EXPECT_FALSE(g.DeleteProfileSlot(2));
    EXPECT_FALSE(g.DeleteProfileSlot(-1));
}

TEST(Prefs, DeletingTheCurrentSlotLeavesNoCurrentProfileAndSaveWritesNoRecord) {
    TempDir dir;
    WriteFile(dir.File("pref.dat"), ThreeProfileFile(dir));
    PrefsFile f(dir.File("pref.dat"));
    ASSERT_TRUE(f.Load());
    ASSERT_EQ(f.CurrentSlot(), 1);
    ASSERT_TRUE(f.DeleteProfileSlot(1));
    EXPECT_EQ(f.CurrentSlot(), -1);

    // The application still holds the deleted profile; saving must not put it anywhere.
    ProfileRecord stale;
    stale.name = u"Ghost";
    f.Header().musicVolume = 12;
    f.Records().AddScore(true, u"Ann", 5);
    ASSERT_TRUE(f.Save(&stale));

    PrefsFile g(dir.File("pref.dat"));
    ASSERT_TRUE(g.Load());
    EXPECT_EQ(g.CurrentSlot(), -1);
    EXPECT_EQ(g.Header().musicVolume, 12);
    EXPECT_EQ(g.Records().GetTable(true)[0].name, u"Ann");
    EXPECT_EQ(g.Records().GetTable(false)[0].score, 0);
    std::vector<ProfileRecord> all;
    g.ReadAllProfiles(all);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, u"Ann");
    EXPECT_EQ(all[1].name, u"Cy");
}

TEST(Prefs, ReadProfileSlotRefusesSlotsThatDoNotExist) {
    TempDir dir;
    WriteFile(dir.File("pref.dat"), ThreeProfileFile(dir));
    PrefsFile f(dir.File("pref.dat"));
    ProfileRecord cur;
    cur.name = u"unchanged";
    EXPECT_FALSE(f.ReadProfileSlot(3, cur));
    EXPECT_FALSE(f.ReadProfileSlot(-1, cur));
    EXPECT_EQ(cur.name, u"unchanged");
    EXPECT_EQ(f.CurrentSlot(), 1);
}

struct BadFileCase {
    const char* what;
    void (*damage)(std::string& bytes);
};

class PrefsBadFile : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(PrefsBadFile, IsSetAsideUnchangedAndDefaultsAreUsed) {
    TempDir dir;
    std::string bytes = ThreeProfileFile(dir);
    GetParam().damage(bytes);
    WriteFile(dir.File("pref.dat"), bytes);

    PrefsFile f(dir.File("pref.dat"));
    EXPECT_FALSE(f.Load());
    EXPECT_NE(f.LastError().find("damaged"), std::string::npos) << f.LastError();
    EXPECT_EQ(f.ProfileCount(), 0);
    EXPECT_EQ(f.CurrentSlot(), -1);
    EXPECT_EQ(f.Header().musicVolume, PrefsHeader{}.musicVolume);
    EXPECT_FALSE(fs::exists(dir.File("pref.dat")));
    auto aside = SetAsideFiles(dir);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFile(aside[0].string()), bytes);
    EXPECT_NE(f.LastError().find(aside[0].filename().string()), std::string::npos);

    // A fresh file can be saved; the set-aside one stays.
    ProfileRecord cur;
    EXPECT_EQ(f.CreateProfile(u"New", "man", cur), 0);
    EXPECT_TRUE(fs::exists(dir.File("pref.dat")));
    EXPECT_EQ(ReadFile(aside[0].string()), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, PrefsBadFile,
    ::testing::Values(
        BadFileCase{"short", [](std::string& b) { b.resize(10); }},
        BadFileCase{"empty", [](std::string& b) { b.clear(); }},
        BadFileCase{"badmagic", [](std::string& b) { b[0] = 'X'; }},
        BadFileCase{"badversion", [](std::string& b) { PutU32(b, 4, 7); }},
        BadFileCase{"hugecount", [](std::string& b) { PutU32(b, 8, 0x7FFFFFFF); }},
        BadFileCase{"negativecount", [](std::string& b) { PutU32(b, 8, 0xFFFFFFFF); }},
        BadFileCase{"truncatedrecord", [](std::string& b) { b.resize(b.size() - 100); }}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(Prefs, SetAsideNeverReplacesAnEarlierOne) {
    TempDir dir;
    WriteFile(dir.File("pref.dat"), "first");
    PrefsFile f(dir.File("pref.dat"));
    EXPECT_FALSE(f.Load());
    WriteFile(dir.File("pref.dat"), "second");
    EXPECT_FALSE(f.Load());
    auto aside = SetAsideFiles(dir);
    ASSERT_EQ(aside.size(), 2u);
    std::string a = ReadFile(aside[0].string()), b = ReadFile(aside[1].string());
    EXPECT_TRUE((a == "first" && b == "second") || (a == "second" && b == "first"));
}

// What a save killed half way leaves: its temporary file, removed at the next
// start unless another instance is saving; anything else stays.
TEST(Prefs, StaleTemporaryFilesOfSavesAreRemovedAtStart) {
    struct Case {
        const char* what;
        bool saving;  // another instance holds the folder for a save
        std::vector<std::string> kept;
    } cases[] = {
        {"no save running", false,
         {"pref.dat", "pref.dat.tmp-AbC12", "pref.dat.tmp-AbC1234", "pref.dat.tmp-AbC_12", "other.dat.tmp-AbC123",
          "pref.dat.bad-20240101-000000", "pref.dat.tmp-Lnk123", "pref.dat.tmp-Dir123"}},
        {"another instance saving", true,
         {"pref.dat", "pref.dat.tmp-AbC123", "pref.dat.tmp-x9Y8z7", "pref.dat.tmp-AbC12", "pref.dat.tmp-AbC1234",
          "pref.dat.tmp-AbC_12", "other.dat.tmp-AbC123", "pref.dat.bad-20240101-000000", "pref.dat.tmp-Lnk123",
          "pref.dat.tmp-Dir123"}},
    };
    for (const Case& c : cases) {
        TempDir dir, elsewhere;
        WriteFile(dir.File("pref.dat"), ThreeProfileFile(dir));
        for (const char* name : {"pref.dat.tmp-AbC123", "pref.dat.tmp-x9Y8z7", "pref.dat.tmp-AbC12", "pref.dat.tmp-AbC1234",
                                 "pref.dat.tmp-AbC_12", "other.dat.tmp-AbC123", "pref.dat.bad-20240101-000000"})
            WriteFile(dir.File(name), "left over");
        WriteFile(elsewhere.File("kept.txt"), "not ours");
        fs::create_symlink(elsewhere.File("kept.txt"), dir.File("pref.dat.tmp-Lnk123"));
        fs::create_directory(dir.File("pref.dat.tmp-Dir123"));
        for (const auto& e : fs::directory_iterator(dir.Path()))
            if (e.path().filename().string().rfind("model.dat", 0) == 0) fs::remove(e.path());
        const int held = open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
        if (c.saving) flock(held, LOCK_SH);
        PrefsFile f(dir.File("pref.dat"));
        EXPECT_TRUE(f.Load()) << c.what << ": " << f.LastError();
        close(held);
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(dir.Path())) left.push_back(e.path().filename().string());
        std::sort(left.begin(), left.end());
        std::vector<std::string> kept = c.kept;
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(left, kept) << c.what;
        EXPECT_EQ(ReadFile(elsewhere.File("kept.txt")), "not ours") << c.what;
        EXPECT_EQ(f.ProfileCount(), 3) << c.what;
    }
}

// A pref.dat that is a symbolic link is saved through it: the link stays a
// link and the file it leads to (made when missing) holds the save.
TEST(Prefs, SavesGoThroughSymbolicLinks) {
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, const char*>> links;  // link -> what it names
        const char* target;                                      // empty: the save fails
    } cases[] = {
        {"a link to a file", {{"pref.dat", "real/pemberly.dat"}}, "real/pemberly.dat"},
        {"a link to nothing yet", {{"pref.dat", "real/new.dat"}}, "real/new.dat"},
        {"a chain of two links", {{"pref.dat", "hop.dat"}, {"hop.dat", "real/pemberly.dat"}}, "real/pemberly.dat"},
        {"links in a ring", {{"pref.dat", "hop.dat"}, {"hop.dat", "pref.dat"}}, ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        fs::create_directory(dir.File("real"));
        WriteFile(dir.File("real/pemberly.dat"), ThreeProfileFile(dir));
        for (const auto& [link, to] : c.links) fs::create_symlink(to, dir.File(link));
        PrefsFile f(dir.File("pref.dat"));
        f.Load();
        const std::string loadError = f.LastError();
        ProfileRecord made;
        const int slot = f.CreateProfile(u"Dee", "woman", made);
        EXPECT_EQ(slot >= 0, *c.target != 0) << c.what << ": " << f.LastError();
        for (const auto& [link, to] : c.links) {
            EXPECT_TRUE(fs::is_symlink(dir.File(link))) << c.what << ": " << link;
        }
        if (*c.target == 0) {
            EXPECT_NE(loadError.find("Too many levels of symbolic links"), std::string::npos) << loadError;
            continue;
        }
        PrefsFile again(dir.File(c.target));
        EXPECT_TRUE(again.Load()) << c.what;
        std::vector<ProfileRecord> profiles;
        again.ReadAllProfiles(profiles);
        ASSERT_FALSE(profiles.empty()) << c.what;
        EXPECT_EQ(profiles.back().name, u"Dee") << c.what;
        for (const auto& e : fs::directory_iterator(dir.File("real")))
            EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << c.what;
    }
}

// A named pipe in pref.dat's place would block the start in open().
TEST(Prefs, ANamedPipeIsNeitherReadNorReplaced) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("pref.dat").c_str(), 0600), 0);
    PrefsFile f(dir.File("pref.dat"));
    EXPECT_FALSE(f.Load());
    EXPECT_NE(f.LastError().find("cannot be read (not a regular file)"), std::string::npos) << f.LastError();
    ProfileRecord made;
    EXPECT_EQ(f.CreateProfile(u"Eve", "woman", made), -1);
    EXPECT_TRUE(fs::is_fifo(dir.File("pref.dat")));
}

TEST(Prefs, ValuesReadAreBounded) {
    TempDir dir;
    std::string bytes = ThreeProfileFile(dir);
    PutU32(bytes, 12, 99);          // current slot past the profiles
    PutU32(bytes, 20, 1000);        // music volume
    PutU32(bytes, 24, 0xFFFFFFFF);  // sound volume -1
    bytes[28] = 7;
    const size_t rec0 = 10512;
    for (size_t i = 0; i < 260; ++i) bytes[rec0 + i] = 'w';  // boss kind without NUL
    for (size_t i = 0; i < 520; i += 2) {                    // name without NUL
        bytes[rec0 + 260 + i] = 'n';
        bytes[rec0 + 260 + i + 1] = 0;
    }
    PutU32(bytes, rec0 + 780, 500);  // reached day
    float nan = std::numeric_limits<float>::quiet_NaN();
    uint32_t nanBits;
    std::memcpy(&nanBits, &nan, 4);
    PutU32(bytes, rec0 + 1024, nanBits);
    PutU32(bytes, 10512 + 1028 + 780, 0xFFFFFFF0);  // reached day -16
    WriteFile(dir.File("pref.dat"), bytes);

    PrefsFile f(dir.File("pref.dat"));
    ASSERT_TRUE(f.Load()) << f.LastError();
    EXPECT_EQ(f.CurrentSlot(), -1);
    EXPECT_EQ(f.Header().musicVolume, 100);
    EXPECT_EQ(f.Header().sfxVolume, 0);
    EXPECT_EQ(f.Header().windowed, 1);
    std::vector<ProfileRecord> all;
    f.ReadAllProfiles(all);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].bossKind, std::string(259, 'w'));
    EXPECT_EQ(all[0].name, std::u16string(259, u'n'));
    EXPECT_EQ(all[0].reachedDay, 61);
    EXPECT_EQ(all[0].secondsPlayed, 0.0f);
    EXPECT_EQ(all[1].reachedDay, 1);
    EXPECT_EQ(all[2].name, u"Cy");  // the records after it are read from their own place
}

TEST(RecordTable, AddScoreOrdersTiesAndRefusesScoresBelowOne) {
    RecordTable t;
    EXPECT_EQ(t.AddScore(false, u"zero", 0), 10);
    EXPECT_EQ(t.AddScore(false, u"neg", -5), 10);
    EXPECT_EQ(t.GetTable(false)[0].score, 0);
    EXPECT_TRUE(t.GetTable(false)[0].name.empty());

    EXPECT_EQ(t.AddScore(false, u"a", 100), 0);
    EXPECT_EQ(t.AddScore(false, u"b", 300), 0);
    EXPECT_EQ(t.AddScore(false, u"c", 200), 1);
    EXPECT_EQ(t.AddScore(false, u"d", 200), 1);  // above the equal score
    const auto& c = t.GetTable(false);
    EXPECT_EQ(c[0].name, u"b");
    EXPECT_EQ(c[1].name, u"d");
    EXPECT_EQ(c[2].name, u"c");
    EXPECT_EQ(c[3].name, u"a");
    EXPECT_EQ(t.GetTable(true)[0].score, 0);  // the other table is untouched

    // A full table drops its last entry; a score below the tenth is not entered,
    // one equal to it is.
    for (int i = 0; i < 6; ++i) t.AddScore(false, u"f", 50);
    EXPECT_EQ(c[9].name, u"f");
    EXPECT_EQ(t.AddScore(false, u"late", 50), 4);
    EXPECT_EQ(c[4].name, u"late");
    EXPECT_EQ(t.AddScore(false, u"f", 50), 4);
    EXPECT_EQ(t.AddScore(false, u"low", 1), 10);
    EXPECT_EQ(t.AddScore(false, u"top", 1000), 0);
    EXPECT_EQ(c[0].name, u"top");
    EXPECT_EQ(c[4].name, u"a");
    EXPECT_EQ(c[9].name, u"f");
    EXPECT_EQ(c[9].score, 50);
    int fs = 0;
    for (const auto& e : c) fs += e.name == u"f";
    EXPECT_EQ(fs, 4);
}
