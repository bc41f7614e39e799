// settings.ini as start-up reads it (a file that is not text set aside), then a value written the way the 3D
// test writes its error, saved and read again.
#include <cmath>
#include <filesystem>
#include <string>
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_app.h"
#include "game/app/office_app.h"
#include "platform/paths.h"
#include "platform/settings.h"

namespace {

class FuzzApp : public fuzz::FuzzApp {
public:
    void Read() { ReadSettings(); }
};

std::string SettingsPath() { return platform::JoinPath(platform::ConfigDir(), "settings.ini"); }

// What the application took from the file.
struct Read {
    double music, sfx;
    bool muted, windowed, cursors, vsync, is3D;
    int x, y;
    bool operator==(const Read&) const = default;
};

Read ReadAsTheGame() {
    FuzzApp app;
    app.Read();
    return Read{app.mMusicVolume, app.mSfxVolume, app.mMuted, app.mWindowed, app.mCustomCursorsEnabled,
                app.mWaitForVSync, app.mIs3D, app.mPreferredX, app.mPreferredY};
}

} // namespace

void fuzz::WriteSeeds(Seeds& seeds) {
    platform::Settings s(SettingsPath());
    s.SetString("MusicVolume", "0.75");
    s.SetString("SfxVolume", "1");
    s.SetBool("Muted", false);
    s.SetInt("ScreenMode", 1);
    s.SetInt("PreferredX", -20);
    s.SetInt("PreferredY", 300);
    s.SetBool("CustomCursors", true);
    s.SetBool("WaitForVSync", true);
    s.SetBool("InProgress", true);
    s.SetBool("Is3D", false);
    s.SetString("Test3D\\RuntimeError", "CreateDevice: DDERR_GENERIC\nline two \\ and \\n");
    s.Save();
    seeds.Add("all-values.ini", fuzz::ReadFile(SettingsPath()));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = SettingsPath();
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzz::WriteFile(path, input);
    const Read first = ReadAsTheGame();
    FUZZ_CHECK(first.music >= 0 && first.music <= 1 && first.sfx >= 0 && first.sfx <= 1, "volume");
    if (input.find('\0') != std::string::npos || input.size() > platform::Settings::kMaxFileSize) {
        // Not a settings file: set aside unchanged, never lost, and the defaults read.
        FUZZ_CHECK(!std::filesystem::exists(path), "damaged file left in place");
        FUZZ_CHECK(fuzz::TakeSetAside(path, input), "damaged file not set aside unchanged");
        FUZZ_CHECK(first == ReadAsTheGame(), "defaults differ");
    }

    // Saving keeps every value: what is saved reads back to the same file and
    // the same settings.
    platform::Settings s(path);
    FUZZ_CHECK(s.Load(), "an existing file refused");
    s.SetString("Test3D\\RuntimeError", std::string(reinterpret_cast<const char*>(data), size > 64 ? 64 : size));
    FUZZ_CHECK(s.Save(), "save failed");
    const std::string saved = fuzz::ReadFile(path);
    platform::Settings again(path);
    FUZZ_CHECK(again.Load(), "saved file refused");
    FUZZ_CHECK(again.GetString("Test3D\\RuntimeError") == s.GetString("Test3D\\RuntimeError"), "value changed");
    FUZZ_CHECK(again.Save(), "second save failed");
    FUZZ_CHECK(fuzz::ReadFile(path) == saved, "a second save changed the file");
    fuzz::WriteFile(path, saved);
    FUZZ_CHECK(ReadAsTheGame() == first, "the saved file reads differently");
    return 0;
}
