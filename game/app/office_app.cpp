#include "game/app/office_app.h"

#include <cmath>
#include <cstdio>
#include "framework/app/widget.h"
#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "framework/resources/resource_manager.h"
#include "game/app/career_calendar.h"
#include "game/app/game_hooks.h"
#include "game/app/xml_access.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "platform/window.h"

Zephra::Image* gGroundImage = nullptr;

namespace {

OfficeApp* gApp = nullptr;
GameHooks* gHooks = nullptr;

} // namespace

OfficeApp* GetApp() { return gApp; }

OfficeApp::OfficeApp(const std::string& prefsPath)
    : mPrefs(prefsPath.empty() ? platform::JoinPath(platform::DataDir(), "pref.dat") : prefsPath) {
    mWidth = 800;
    mHeight = 600;
    mTitle = "Pemberly";
    mWidgetManager->SetSize(mWidth, mHeight);
    mExpertGoals.fill(-1);
    mResourceManager = std::make_unique<Zephra::ResourceManager>(this);
    mTextureTable = std::make_unique<TextureTable>(this);
    mTextureTable->SetWarning([this](const std::string& text) { Warn(text); });
    mFontTable = std::make_unique<FontTable>(mResourceManager.get());
    mLocTable = std::make_unique<TextTable>();
    mTextVars = std::make_unique<TextTable>();
    gApp = this;
    if (gHooks) gHooks->AppCreated(*this);
}

OfficeApp::~OfficeApp() {
    // The cursor images go with the cursor table: nothing may draw them after.
    StopCursorThread();
    if (mDisplay) mDisplay->SetCursorImage(nullptr);
    if (gHooks) gHooks->DestroyScreens(*this);
    // Cursors and particles hold textures; sounds play until their managers go.
    mCursorTable.reset();
    mParticleRegistry.reset();
    mMusicManager.reset();
    mSoundManager.reset();
    mAudioDevice.reset();
    mTextureTable.reset();
    mFontTable.reset();
    gGroundImage = nullptr;
    mResourceManager.reset();
    if (gHooks) gHooks->AppDestroyed(*this);
    if (gApp == this) gApp = nullptr;
}

void OfficeApp::SetGameHooks(GameHooks* hooks) { gHooks = hooks; }

GameHooks* OfficeApp::GetGameHooks() { return gHooks; }

void OfficeApp::SetCursorTable(CursorTable* table, void (*destroy)(CursorTable*)) {
    mCursorTable = std::unique_ptr<CursorTable, void (*)(CursorTable*)>(table, destroy);
}

void OfficeApp::SetParticleRegistry(ParticleRegistry* registry, void (*destroy)(ParticleRegistry*)) {
    mParticleRegistry = std::unique_ptr<ParticleRegistry, void (*)(ParticleRegistry*)>(registry, destroy);
}

void OfficeApp::ShowError(const std::string& text, const std::string& title) { MessageBox(text, title); }

void OfficeApp::ShowFatalError(const std::string& text) { ShowError(text, LocText("FATAL_ERROR", "Fatal Error")); }

void OfficeApp::Warn(const std::string& text) {
    mWarnings.push_back(text);
    std::fprintf(stderr, "Warning: %s\n", text.c_str());
}

std::string OfficeApp::LocText(const std::string& key, const std::string& fallback) const {
    const std::u16string& text = mLocTable->Lookup(key);
    return text.empty() ? fallback : platform::Utf16ToUtf8(text);
}

// ---------------------------------------------------------------- start-up

void OfficeApp::ReadSettings() {
    ZephraAppBase::ReadSettings();
    if (const platform::Settings* settings = GetSettings(); settings && !settings->LastError().empty())
        Warn(settings->LastError());
}

bool OfficeApp::Init() {
    if (!ZephraAppBase::Init()) return false;
    if (mResourceManager->IsGroupLoaded(kInitGroup)) return true;
    if (!mResourceManager->ParseResourcesFile(Zephra::ResourceManager::kManifestPath) ||
        !mResourceManager->LoadResourceGroup(kInitGroup)) {
        ShowFatalError(mResourceManager->GetErrorText());
        return false;
    }
    gGroundImage = mResourceManager->GetImage(kGroundImageId);

    std::string audioError;
    mAudioDevice = AudioDevice::Open(&audioError);
    if (mAudioDevice) {
        mSoundManager = std::make_unique<SoundManager>(*mAudioDevice);
        mMusicManager = std::make_unique<MusicManager>(*mAudioDevice);
    } else {
        Warn("No sound: " + audioError);
    }
    return true;
}

void OfficeApp::Shutdown() {
    if (!IsShuttingDown() && mProfileLoaded) SavePrefs();
    ZephraAppBase::Shutdown();
}

void OfficeApp::UpdateApp() {
    ZephraAppBase::UpdateApp();
    if (mMusicManager) mMusicManager->Update();
}

void OfficeApp::GotFocus() {
    ZephraAppBase::GotFocus();
    if (gHooks) gHooks->FocusChanged(*this, true);
}

void OfficeApp::LostFocus() {
    ZephraAppBase::LostFocus();
    if (gHooks) gHooks->FocusChanged(*this, false);
}

void OfficeApp::DrawAfterWidgets(Zephra::Graphics* g) {
    if (gHooks) gHooks->DrawOverlay(*this, g);
}

void OfficeApp::LoadingThreadCompleted() {
    std::vector<std::string> errors;
    if (!mLocTable->Load(TextTable::kLocPath, errors)) Warn("No localised texts: " + errors.back());
    else
        for (const std::string& e : errors) Warn(e);

    if (!mPrefs.Load()) Warn(mPrefs.LastError());
    if (mPrefs.CurrentSlot() >= 0) ReadProfileSlot(mPrefs.CurrentSlot());

    if (mResourceManager->HasGroup(kGameGroup) && !mResourceManager->LoadResourceGroup(kGameGroup))
        Warn(mResourceManager->GetErrorText());

    errors.clear();
    mTextureTable->LoadTable(TextureTable::kTablePath, errors);
    mFontTable->LoadTable(FontTable::kTablePath, errors);
    if (mSoundManager) mSoundManager->LoadTable(*mResourceManager, kSoundTablePath, errors);
    if (mMusicManager) mMusicManager->LoadTable(*mResourceManager, kSoundTablePath, errors);
    for (const std::string& e : errors) Warn(e);

    LoadExpertGoals();
    ApplySettings();

    std::string error;
    if (gHooks && !gHooks->BuildScreens(*this, error)) {
        ShowFatalError(error);
        mFailed = true;
        Shutdown();
    }
}

void OfficeApp::LoadExpertGoals() {
    mExpertGoals.fill(-1);
    for (int day = 1; day <= prefs::kCareerDays; ++day) {
        std::unique_ptr<XmlDocument> doc;
        if (!XmlLoadDocument(doc, "cfg\\l" + std::to_string(day) + ".xml")) continue;
        XmlNode params = XmlSelectNode(doc->document_element(), "params");
        int32_t expert = -1;
        if (params) XmlGetAttrInt(params, "expert", expert);
        mExpertGoals[static_cast<size_t>(day)] = expert;
    }
}

int OfficeApp::ExpertGoal(int day) const {
    if (day < 1 || day > prefs::kCareerDays) return -1;
    return mExpertGoals[static_cast<size_t>(day)];
}

// ---------------------------------------------------------------- widgets

void OfficeApp::LockWidgets() { mWidgetManager->LockInput(); }

void OfficeApp::UnlockWidgets() { mWidgetManager->UnlockInput(); }

// ---------------------------------------------------------------- pref.dat

void OfficeApp::ReadAllProfiles(std::vector<ProfileRecord>& list) { mPrefs.ReadAllProfiles(list); }

bool OfficeApp::ReadProfileSlot(PrefsFile* file, int slot) {
    PrefsFile& from = file ? *file : mPrefs;
    if (!from.ReadProfileSlot(slot, mCurrentProfile)) return false;
    mPlayedCarry = 0;
    mCurrentProfileSlot = slot;
    mProfileLoaded = 1;
    PublishProfileTexts();
    return true;
}

bool OfficeApp::CreateProfile(const std::u16string& name, const std::string& bossKind) {
    ProfileRecord made;
    int slot = mPrefs.CreateProfile(name, bossKind, made);
    if (slot < 0) {
        Warn(mPrefs.LastError().empty() ? "Could not save " + mPrefs.Path() : mPrefs.LastError());
        return false;
    }
    mCurrentProfile = std::move(made);
    mPlayedCarry = 0;
    mCurrentProfileSlot = slot;
    mProfileLoaded = 1;
    PublishProfileTexts();
    return true;
}

bool OfficeApp::DeleteProfileSlot(int slot) {
    bool wasCurrent = slot == mCurrentProfileSlot;
    // The slot field is public: the file follows it, never the other way round.
    mPrefs.SetCurrentSlot(mCurrentProfileSlot);
    if (!mPrefs.DeleteProfileSlot(slot)) return false;
    // The file model moved its current slot along with the profile.
    mCurrentProfileSlot = mPrefs.CurrentSlot();
    if (wasCurrent || mCurrentProfileSlot < 0) {
        mCurrentProfileSlot = -1;
        mProfileLoaded = 0;
        mCurrentProfile = ProfileRecord{};
    }
    return true;
}

void OfficeApp::PublishProfileTexts() {
    const ProfileRecord& p = mCurrentProfile;
    mTextVars->Set("profilename", p.name);
    mTextVars->SetNumber("reachedday", p.reachedDay > prefs::kCareerDays ? prefs::kCareerDays : p.reachedDay);
    int hours = 0, minutes = 0;
    career::SplitPlayedTime(p.secondsPlayed, hours, minutes);
    mTextVars->SetNumber("hoursplayed", hours);
    mTextVars->SetNumber("minutesplayed", minutes);
}

void OfficeApp::AddPlayedTime(int milliseconds) {
    if (milliseconds <= 0) return;
    float& played = mCurrentProfile.secondsPlayed;
    const double sum = played + mPlayedCarry + milliseconds / 1000.0;
    played = static_cast<float>(sum);
    mPlayedCarry = sum - played;
}

bool OfficeApp::SavePrefs() {
    // The current profile goes into the application's slot, whatever the file
    // last made current (a profile read from another file, a slot set directly).
    mPrefs.SetCurrentSlot(mCurrentProfileSlot);
    bool ok = mPrefs.Save(mCurrentProfileSlot >= 0 ? &mCurrentProfile : nullptr);
    if (!ok) Warn(mPrefs.LastError().empty() ? "Could not save " + mPrefs.Path() : mPrefs.LastError());
    return ok;
}

void OfficeApp::ApplySettings() {
    const PrefsHeader& h = mPrefs.Header();
    if (mSoundManager) mSoundManager->SetVolume(h.AppliedSfxVolume());
    if (mMusicManager) mMusicManager->SetVolume(h.AppliedMusicVolume());
    const bool wasWindowed = mWindowed;
    ApplyWindowMode(h.windowed != 0);
    // The next start opens in this mode at once.
    if (mWindowed != wasWindowed) WriteRegistryString("ScreenMode", mWindowed ? "0" : "1");
}

void OfficeApp::ApplyWindowMode(bool windowed) {
    if (mWindow && mWindow->IsOpen()) {
        if (mDisplay) {
            // A mode change rebuilds the display around its new window mode.
            if (mWindowed != windowed) {
                mWindowed = windowed;
                if (ResetDisplay() != 0) {
                    // The new mode cannot be had: back to the one that worked.
                    Warn("display: " + mDisplayError);
                    mWindowed = !windowed;
                    if (ResetDisplay() != 0) Warn("display: " + mDisplayError);
                }
            }
            return;
        }
        if (mWindow->IsWindowed() != windowed) mWindow->SetWindowed(windowed);
        mWindowed = mWindow->IsWindowed();
    } else {
        mWindowed = windowed;
    }
}
