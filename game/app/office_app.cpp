#include "game/app/office_app.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include "framework/app/widget.h"
#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "framework/resources/resource_manager.h"
#include "game/app/xml_access.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/window.h"

Zephra::Image* gGroundImage = nullptr;

namespace {

OfficeApp* gApp = nullptr;
ParticleRegistry* (*gMakeParticleRegistry)() = nullptr;
void (*gDestroyParticleRegistry)(ParticleRegistry*) = nullptr;
bool (*gOpenEffectConfig)() = nullptr;
void (*gCloseEffectConfig)() = nullptr;

// The backdrop until the menu screens stand: the ground picture over the
// whole screen, never a mouse target.
class GroundWidget : public Zephra::Widget {
public:
    GroundWidget() { mMouseVisible = false; }
    void Draw(Zephra::Graphics* g) override {
        if (gGroundImage) g->DrawImage(gGroundImage, 0, 0);
    }
};

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
    mFontTable = std::make_unique<FontTable>(mResourceManager.get());
    mLocTable = std::make_unique<TextTable>();
    mTextVars = std::make_unique<TextTable>();
    if (gMakeParticleRegistry && gDestroyParticleRegistry)
        SetParticleRegistry(gMakeParticleRegistry(), gDestroyParticleRegistry);
    if (gOpenEffectConfig && !gOpenEffectConfig()) Warn("cannot read cfg\\effect.xml: " + XmlLastError());
    gApp = this;
}

OfficeApp::~OfficeApp() {
    if (mGroundWidget) {
        mWidgetManager->RemoveWidget(mGroundWidget.get());
        mGroundWidget.reset();
    }
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
    if (gCloseEffectConfig) gCloseEffectConfig();
    if (gApp == this) gApp = nullptr;
}

void OfficeApp::SetParticleRegistryFactory(ParticleRegistry* (*make)(), void (*destroy)(ParticleRegistry*)) {
    gMakeParticleRegistry = make;
    gDestroyParticleRegistry = destroy;
}

void OfficeApp::SetEffectConfigHooks(bool (*open)(), void (*close)()) {
    gOpenEffectConfig = open;
    gCloseEffectConfig = close;
}

void OfficeApp::SetCursorTable(CursorTable* table, void (*destroy)(CursorTable*)) {
    mCursorTable = std::unique_ptr<CursorTable, void (*)(CursorTable*)>(table, destroy);
}

void OfficeApp::SetParticleRegistry(ParticleRegistry* registry, void (*destroy)(ParticleRegistry*)) {
    mParticleRegistry = std::unique_ptr<ParticleRegistry, void (*)(ParticleRegistry*)>(registry, destroy);
}

void OfficeApp::ShowError(const std::string& text, const std::string& title) { MessageBox(text, title); }

void OfficeApp::Warn(const std::string& text) {
    mWarnings.push_back(text);
    std::fprintf(stderr, "Warning: %s\n", text.c_str());
}

std::string OfficeApp::LocText(const std::string& key, const std::string& fallback) const {
    const std::u16string& text = mLocTable->Lookup(key);
    return text.empty() ? fallback : platform::Utf16ToUtf8(text);
}

// ---------------------------------------------------------------- start-up

bool OfficeApp::Init() {
    if (!ZephraAppBase::Init()) return false;
    if (mResourceManager->IsGroupLoaded(kInitGroup)) return true;
    if (!mResourceManager->ParseResourcesFile(Zephra::ResourceManager::kManifestPath) ||
        !mResourceManager->LoadResourceGroup(kInitGroup)) {
        ShowError(mResourceManager->GetErrorText(), LocText("FATAL_ERROR", "Fatal Error"));
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

void OfficeApp::UpdateApp() {
    ZephraAppBase::UpdateApp();
    if (mMusicManager) mMusicManager->Update();
}

void OfficeApp::LoadingThreadCompleted() {
    std::vector<std::string> errors;
    if (!mLocTable->Load(TextTable::kLocPath, errors)) Warn("No localised texts: " + errors.back());

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

    if (!mGroundWidget) {
        mGroundWidget = std::make_unique<GroundWidget>();
        mGroundWidget->Resize(0, 0, mWidth, mHeight);
        mWidgetManager->AddWidget(mGroundWidget.get());
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
    // Capped while still a float: a huge value would not fit the integer.
    constexpr float kMaxSeconds = 3600.0f * 1000000;
    float played = std::isfinite(p.secondsPlayed) && p.secondsPlayed > 0 ? p.secondsPlayed : 0.0f;
    long long seconds = static_cast<long long>(std::min(played, kMaxSeconds));
    mTextVars->SetNumber("hoursplayed", static_cast<int>(seconds / 3600));
    mTextVars->SetNumber("minutesplayed", static_cast<int>(seconds % 3600 / 60));
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
    bool windowed = h.windowed != 0;
    if (mWindow && mWindow->IsOpen()) {
        if (mWindow->IsWindowed() != windowed) mWindow->SetWindowed(windowed);
        mWindowed = mWindow->IsWindowed();
    } else {
        mWindowed = windowed;
    }
}
