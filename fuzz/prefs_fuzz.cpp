// pref.dat as start-up reads it: the file is loaded, the saved current slot
// read into the current profile (its texts published), the settings applied,
// then saved and loaded again.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_app.h"
#include "game/app/office_app.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

using fuzz::FuzzApp;

std::string PrefsPath() { return platform::JoinPath(platform::DataDir(), "pref.dat"); }

void CheckProfile(const ProfileRecord& p) {
    FUZZ_CHECK(p.reachedDay >= 1 && p.reachedDay <= prefs::kLastReachedDay, std::to_string(p.reachedDay));
    FUZZ_CHECK(std::isfinite(p.secondsPlayed) && p.secondsPlayed >= 0, std::to_string(p.secondsPlayed));
    FUZZ_CHECK(p.name.size() < prefs::kNameUnits && p.name.find(u'\0') == std::u16string::npos, "name");
    FUZZ_CHECK(p.bossKind.size() < prefs::kNameUnits && p.bossKind.find('\0') == std::string::npos, "boss kind");
}

int Number(TextTable& vars, const char* key) {
    std::string text = platform::Utf16ToUtf8(vars.Get(key));
    FUZZ_CHECK(!text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos,
               std::string(key) + " = \"" + text + "\"");
    return std::stoi(text);
}

} // namespace

void fuzz::WriteSeeds(Seeds& seeds) {
    std::string path = PrefsPath();
    std::filesystem::remove(path);
    {
        FuzzApp app;
        app.SavePrefs();
    }
    seeds.Add("defaults.dat", fuzz::ReadFile(path));
    FuzzApp app;
    app.CreateProfile(u"Ann", "woman");
    app.CreateProfile(u"B\u00f6b the \u00fcber-manager", "man");
    app.GetCurrentProfile().reachedDay = 14;
    app.GetCurrentProfile().bestMoney[3] = 12000;
    app.GetCurrentProfile().secondsPlayed = 3725.5f;
    app.GetRecordTable().AddScore(false, u"Ann", 50000);
    app.GetRecordTable().AddScore(true, u"Bob", 700);
    app.GetPrefsHeader().musicVolume = 40;
    app.GetPrefsHeader().muted = 1;
    app.GetPrefsHeader().windowed = 0;
    app.SavePrefs();
    seeds.Add("two-profiles.dat", fuzz::ReadFile(path));
    app.CreateProfile(std::u16string(300, u'x'), std::string(300, 'y'));
    app.GetCurrentProfile().secondsPlayed = 1e19f;
    app.SavePrefs();
    seeds.Add("long-names.dat", fuzz::ReadFile(path));
    std::filesystem::remove(path);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = PrefsPath();
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzz::WriteFile(path, input);
    {
        FuzzApp app;
        PrefsFile& file = app.GetPrefsFile();
        bool parsed = file.Load();
        if (file.CurrentSlot() >= 0) FUZZ_CHECK(app.ReadProfileSlot(file.CurrentSlot()), "current slot unreadable");
        app.ApplySettings();

        const PrefsHeader& h = app.GetPrefsHeader();
        FUZZ_CHECK(h.musicVolume >= 0 && h.musicVolume <= 100 && h.sfxVolume >= 0 && h.sfxVolume <= 100, "volume");
        FUZZ_CHECK(h.windowed <= 1 && h.muted <= 1, "flags");
        FUZZ_CHECK(app.mWindowed == (h.windowed != 0), "window mode not applied");
        FUZZ_CHECK(file.CurrentSlot() >= -1 && file.CurrentSlot() < file.ProfileCount(), "slot");
        std::vector<ProfileRecord> all;
        app.ReadAllProfiles(all);
        FUZZ_CHECK(static_cast<int>(all.size()) == file.ProfileCount(), "profile count");
        for (const ProfileRecord& p : all) CheckProfile(p);
        for (bool survival : {false, true})
            for (const HiscoreEntry& e : app.GetRecordTable().GetTable(survival))
                FUZZ_CHECK(e.name.size() < prefs::kNameUnits, "hiscore name");
        if (app.mProfileLoaded) {
            TextTable& vars = *app.GetTextVars();
            int day = Number(vars, "reachedday");
            FUZZ_CHECK(day >= 1 && day <= prefs::kCareerDays, std::to_string(day));
            FUZZ_CHECK(Number(vars, "hoursplayed") <= 1000000, "hours");
            FUZZ_CHECK(Number(vars, "minutesplayed") < 60, "minutes");
        }

        if (!parsed) {
            // A damaged file is set aside unchanged, never lost.
            FUZZ_CHECK(!std::filesystem::exists(path), "damaged file left in place");
            FUZZ_CHECK(fuzz::TakeSetAside(path, input), "damaged file not set aside unchanged");
        }
        FUZZ_CHECK(app.SavePrefs(), app.GetPrefsFile().LastError());

        // What was saved loads back to the same file image, profiles and all.
        const std::string saved = fuzz::ReadFile(path);
        PrefsFile again(path);
        FUZZ_CHECK(again.Load(), again.LastError());
        FUZZ_CHECK(again.Serialize() == saved, "re-load changed the file image");
        FUZZ_CHECK(again.CurrentSlot() == app.mCurrentProfileSlot, "current slot not kept");
        std::vector<ProfileRecord> back;
        again.ReadAllProfiles(back);
        FUZZ_CHECK(back.size() == all.size(), "profiles lost");
        if (app.mCurrentProfileSlot >= 0) {
            const ProfileRecord& a = app.GetCurrentProfile();
            const ProfileRecord& b = back[static_cast<size_t>(app.mCurrentProfileSlot)];
            FUZZ_CHECK(a.name == b.name && a.bossKind == b.bossKind && a.reachedDay == b.reachedDay &&
                           std::memcmp(a.bestMoney, b.bestMoney, sizeof a.bestMoney) == 0 &&
                           a.secondsPlayed == b.secondsPlayed,
                       "current profile changed by the round trip");
        }
    }
    std::filesystem::remove(path);
    return 0;
}
