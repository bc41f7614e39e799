#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "framework/app/zephra_app_base.h"
#include "game/app/prefs.h"
#include "game/app/sound.h"
#include "game/app/tables.h"

namespace Zephra {
class Font;
class Image;
class ResourceManager;
class Widget;
} // namespace Zephra

// Made by later parts of the game; the application only holds them.
class LevelScreen;
class LoadScreen;
class CursorTable;
class ParticleRegistry;
class GlobalBackground;
class MainMenuScreen;
class HelpDialog;
class CareerDialog;
class HiscoresDialog;
class SurvivalMenu;
class OptionsDialog;
class SplashScreen;
class GameHooks;

// The resource manifest's global ground picture, set once the group "Init" is
// loaded (null before and after the application).
extern Zephra::Image* gGroundImage;

// The game application: the framework's application base plus the game's
// resources, tables, sound, profiles and screens.
//
// Start-up: the constructor fixes the picture size and the title and
// makes the managers and tables; Init runs the base Init, reads the resource
// manifest and loads its group "Init" (a failure is shown through ShowError
// and Init returns false) and opens the audio device; the loading-completed
// hook reads the configuration (loc.xml, pref.dat, the sound, texture and font
// tables, the expert goals of the career days).
//
// Text variables published for the current profile (PublishProfileTexts):
// "profilename" (the player's name), "reachedday" (the career day reached,
// at most 60), "hoursplayed" and "minutesplayed" (the time played, as whole
// hours and the minutes beyond them).
class OfficeApp : public Zephra::ZephraAppBase {
public:
    static constexpr const char* kInitGroup = "Init";
    // The media the game loads once it runs.
    static constexpr const char* kGameGroup = "Game";
    static constexpr const char* kSoundTablePath = "cfg\\sounds.xml";
    static constexpr const char* kGroundImageId = "GFX_GAME_GROUND";

    float mTotalPlayTime = 0;                   // seconds; the level adds its frame time
    LevelScreen* mLevelScreen = nullptr;        // written by the level screen
    LoadScreen* mLoadScreen = nullptr;
    int mCurrentProfileSlot = -1;
    uint8_t mProfileLoaded = 0;
    // Expert goal of career day d at index d (1..60); -1 where the day file
    // gives none. Index 0 is unused.
    std::array<int32_t, prefs::kCareerDays + 1> mExpertGoals{};

    // The screens, in the order they are made.
    GlobalBackground* mMenuBackground = nullptr;
    MainMenuScreen* mMainMenu = nullptr;
    HelpDialog* mHelp = nullptr;
    CareerDialog* mCareer = nullptr;
    HiscoresDialog* mHiscores = nullptr;
    SurvivalMenu* mSurvival = nullptr;
    OptionsDialog* mOptions = nullptr;
    SplashScreen* mSplash = nullptr;

    // prefsPath: where pref.dat lives; empty for the user's data folder.
    explicit OfficeApp(const std::string& prefsPath = "");
    ~OfficeApp() override;

    bool Init() override;
    // Quitting saves the current profile: its time played and that it is current.
    void Shutdown() override;
    void LoadingThreadCompleted() override;
    void UpdateApp() override;
    void GotFocus() override;
    void LostFocus() override;
    void DrawAfterWidgets(Zephra::Graphics* g) override;

    // Start-up failures go through here (a message box); tests catch them.
    virtual void ShowError(const std::string& text, const std::string& title);
    // True once loading found the game unable to run: the error was shown,
    // the main loop ends and the program ends with status 1.
    bool HasFailed() const { return mFailed; }

    Zephra::ResourceManager* GetResourceManager() { return mResourceManager.get(); }
    LevelScreen* GetLevelScreen() { return mLevelScreen; }
    // Null while the game runs without an audio device.
    SoundManager* GetSoundManager() { return mSoundManager.get(); }
    MusicManager* GetMusicManager() { return mMusicManager.get(); }
    TextureTable* GetTextureTable() { return mTextureTable.get(); }
    FontTable* GetFontTable() { return mFontTable.get(); }
    Zephra::Font* GetFont(const std::string& name) { return mFontTable->Get(name); }
    TextTable* GetLocTable() { return mLocTable.get(); }
    TextTable* GetTextVars() { return mTextVars.get(); }
    CursorTable* GetCursorTable() { return mCursorTable.get(); }
    ParticleRegistry* GetParticleRegistry() { return mParticleRegistry.get(); }

    // The application owns what it is handed and frees it with destroy (the
    // types live in folders that build on this one).
    void SetCursorTable(CursorTable* table, void (*destroy)(CursorTable*));
    void SetParticleRegistry(ParticleRegistry* registry, void (*destroy)(ParticleRegistry*));
    // Installed by main() before the application is made (none: the
    // application runs bare); not owned.
    static void SetGameHooks(GameHooks* hooks);
    static GameHooks* GetGameHooks();

    // The widget manager's input-lock layer.
    void LockWidgets();
    void UnlockWidgets();

    // Profiles, settings and hiscores in pref.dat.
    ProfileRecord& GetCurrentProfile() { return mCurrentProfile; }
    void ReadAllProfiles(std::vector<ProfileRecord>& list);
    // Reads the slot of file (pref.dat itself when null) into the current
    // profile, makes it current and publishes its texts; false when it fails.
    bool ReadProfileSlot(PrefsFile* file, int slot);
    bool ReadProfileSlot(int slot) { return ReadProfileSlot(nullptr, slot); }
    bool CreateProfile(const std::u16string& name, const std::string& bossKind);
    // Later slots move down; the current profile keeps its player (none when
    // it was the one deleted).
    bool DeleteProfileSlot(int slot);
    void PublishProfileTexts();
    // Time in play goes to the current profile's seconds played, summed
    // with its rounding carried so that hours of short steps neither drift
    // nor stall in the record's float.
    void AddPlayedTime(int milliseconds);
    bool SavePrefs();
    PrefsHeader& GetPrefsHeader() { return mPrefs.Header(); }
    // The volumes (0 while muted) and the window mode of the pref.dat header.
    void ApplySettings();
    RecordTable& GetRecordTable() { return mPrefs.Records(); }
    PrefsFile& GetPrefsFile() { return mPrefs; }

    // Expert goal of a career day 1..60, -1 for none or another day.
    int ExpertGoal(int day) const;
    // Reads the expert goals from "cfg\l<day>.xml" (level/params @expert).
    void LoadExpertGoals();

    // A localised text, or fallback when loc.xml lacks the key.
    std::string LocText(const std::string& key, const std::string& fallback) const;

    // Problems met after start-up that did not stop the game.
    const std::vector<std::string>& Warnings() const { return mWarnings; }
    void Warn(const std::string& text);
    void ClearWarnings() { mWarnings.clear(); }

protected:
    // Settings that could not be used are one more warning.
    void ReadSettings() override;

    std::unique_ptr<Zephra::ResourceManager> mResourceManager;
    std::unique_ptr<AudioDevice> mAudioDevice;
    std::unique_ptr<SoundManager> mSoundManager;
    std::unique_ptr<MusicManager> mMusicManager;
    std::unique_ptr<TextureTable> mTextureTable;
    std::unique_ptr<FontTable> mFontTable;
    std::unique_ptr<TextTable> mLocTable;
    std::unique_ptr<TextTable> mTextVars;
    std::unique_ptr<CursorTable, void (*)(CursorTable*)> mCursorTable{nullptr, nullptr};
    std::unique_ptr<ParticleRegistry, void (*)(ParticleRegistry*)> mParticleRegistry{nullptr, nullptr};
    PrefsFile mPrefs;
    ProfileRecord mCurrentProfile;
    double mPlayedCarry = 0;  // the seconds played the record's float has not taken yet
    std::vector<std::string> mWarnings;
    bool mFailed = false;

private:
    void ShowFatalError(const std::string& text);
    void ApplyWindowMode(bool windowed);
};

// The one application; null while there is none.
OfficeApp* GetApp();
