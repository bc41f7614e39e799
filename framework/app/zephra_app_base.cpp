#include "framework/app/zephra_app_base.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "framework/resources/image_lib.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/window.h"

namespace Zephra {

namespace {

std::string Upper(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// A volume stored as a fraction 0..1; unreadable text keeps the default.
double ReadVolume(const platform::Settings& s, const char* name, double def) {
    if (!s.Has(name)) return def;
    std::string text = s.GetString(name);
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(begin, &end);
    if (end == begin || errno != 0 || !std::isfinite(v)) return def;
    return std::clamp(v, 0.0, 1.0);
}

struct ImageLockHold {
    explicit ImageLockHold(CriticalSection& c) : cs(c) { cs.Lock(); }
    ~ImageLockHold() { cs.Unlock(); }
    CriticalSection& cs;
};

} // namespace

ZephraAppBase::ZephraAppBase() {
    mAllowPageFlip = !mIsTablet;
    mWidgetManager = new WidgetManager(mWidth, mHeight);
}

ZephraAppBase::~ZephraAppBase() {
    StopCursorThread();
    delete mWidgetManager;
    mWidgetManager = nullptr;
    mScreenImage = nullptr;
    mOwnScreenImage.reset();
    mDisplay.reset();
    {
        ImageLockHold hold(mImageLock);
        // Images that outlive the application must not call back into it.
        for (MemoryImage* image : mMemoryImages) image->mApp = nullptr;
        mMemoryImages.clear();
        mSharedImages.clear();
    }
    if (mWindow) mWindow->Close();
    mWindow.reset();
}

// ---------------------------------------------------------------- start-up

void ZephraAppBase::ReadSettings() {
    mSettings = std::make_unique<platform::Settings>(
        platform::JoinPath(platform::ConfigDir(), "settings.ini"));
    // A file that could not be used is never saved over (Save refuses); the
    // game reports why through SettingsError.
    mSettings->Load();
    const platform::Settings& s = *mSettings;
    mMusicVolume = ReadVolume(s, "MusicVolume", mMusicVolume);
    mSfxVolume = ReadVolume(s, "SfxVolume", mSfxVolume);
    mMuted = s.GetBool("Muted", mMuted);
    // 0 is a window, anything else full screen.
    if (s.Has("ScreenMode")) mWindowed = s.GetInt("ScreenMode", 0) == 0;
    mPreferredX = s.GetInt("PreferredX", mPreferredX);
    mPreferredY = s.GetInt("PreferredY", mPreferredY);
    mCustomCursorsEnabled = s.GetBool("CustomCursors", mCustomCursorsEnabled);
    mWaitForVSync = s.GetBool("WaitForVSync", mWaitForVSync);
    mLastRunInProgress = s.GetBool("InProgress", false);
    mIs3D = s.GetBool("Is3D", mIs3D);
    // The software road on request: neither the capability test nor the device.
    const char* softwareOnly = std::getenv("PEMBERLY_SOFTWARE_ONLY");
    mSoftwareOnly = s.GetBool("SoftwareOnly", false) ||
                    (softwareOnly && *softwareOnly && std::string(softwareOnly) != "0");
    if (mSoftwareOnly) {
        mRun3DTest = false;
        mEnable3D = false;
        mIs3D = false;
    }
}

bool ZephraAppBase::Init() {
    if (mInitialized) return true;
    ReadSettings();
    mWidgetManager->SetSize(mWidth, mHeight);
    if (!mDisplay) {
        mOwnScreenImage.reset(CreateImage());
        mOwnScreenImage->Create(mWidth, mHeight);
        mScreenImage = mOwnScreenImage.get();
        mWidgetManager->SetScreenImage(mScreenImage);
    }
    if (ResetDisplay() != 0) {
        std::string reason = !mDisplayError.empty() ? mDisplayError
                             : mWindow             ? mWindow->LastError()
                                                   : std::string();
        MessageBox("Failed to initialize the display." + (reason.empty() ? "" : " " + reason),
                   "Error");
        return false;
    }
    ApplyCursor();
    mInitialized = true;
    if (mDisplay && mWindow && mWindow->IsOpen()) StartCursorThread();
    return true;
}

void ZephraAppBase::Start() {
    if (!mInitialized || mShutdown) return;
    WriteRegistryString("InProgress", "1");
    // The loading work runs before the loop; its completion is reported on
    // the first update.
    LoadingThreadProc();
    mLoadingDone = true;
    while (StepMainLoop(true)) {
    }
    WriteRegistryString("InProgress", "0");
}

void ZephraAppBase::Shutdown() {
    mShutdown = true;
    StopCursorThread();
}

// ---------------------------------------------------------------- main loop

void ZephraAppBase::PostEvent(const platform::InputEvent& event) { mWindowEvents.push_back(event); }

void ZephraAppBase::PumpEvents() {
    std::vector<platform::InputEvent> events;
    events.swap(mWindowEvents);
    if (mWindow && mWindow->IsOpen()) {
        std::vector<platform::InputEvent> polled;
        mWindow->PollEvents(polled);
        events.insert(events.end(), polled.begin(), polled.end());
    }
    for (platform::InputEvent ev : events) {
        switch (ev.kind) {
        case platform::EventKind::MouseMove:
        case platform::EventKind::MouseDown:
        case platform::EventKind::MouseUp:
            // The window speaks primary coordinates; widgets speak draw ones.
            mMouseX = ev.x;
            mMouseY = ev.y;
            MapToDraw(ev.x, ev.y, ev.x, ev.y);
            mInputQueue.push_back(ev);
            break;
        case platform::EventKind::None:
            break;
        case platform::EventKind::FocusGained:
            GotFocus();
            break;
        case platform::EventKind::FocusLost:
            LostFocus();
            break;
        case platform::EventKind::Minimized:
            mMinimized = true;
            break;
        case platform::EventKind::Restored:
            mMinimized = false;
            break;
        case platform::EventKind::Quit:
            Shutdown();
            break;
        default:
            mInputQueue.push_back(ev);
            break;
        }
    }
}

bool ZephraAppBase::StepMainLoop(bool topLevel) {
    (void)topLevel;
    if (mShutdown) return false;
    PumpEvents();
    // The cursor thread moved the cursor on the primary; SDL shows it from here.
    if (mCursorMoved.exchange(false) && mDisplay) mDisplay->ShowPrimary();
    if (!mShutdown && !mInputQueue.empty()) {
        // Taken off the queue first: the handler may step the loop itself.
        platform::InputEvent ev = mInputQueue.front();
        mInputQueue.pop_front();
        ProcessInputEvent(ev);
    }
    if (mShutdown) return false;

    platform::Clock& clock = platform::GetClock();
    uint64_t now = clock.NowMs();
    if (!mLoopClockStarted) {
        mLoopClockStarted = true;
        mNextUpdateMs = now;
        mLastPresentMs = now;
    }
    const uint64_t interval = static_cast<uint64_t>(std::max<int32_t>(mUpdateInterval, 1));
    // Updates that take longer than the interval must not starve drawing.
    const bool mustDraw = mDrawPending && mUpdatesSinceDraw > kMaxUpdateBacklog;
    if (now >= mNextUpdateMs && !mustDraw) {
        const uint64_t maxLag = interval * kMaxUpdateBacklog;
        if (now - mNextUpdateMs > maxLag) mNextUpdateMs = now - maxLag;
        // Advanced before the update so that a nested step sees it done.
        mNextUpdateMs += interval;
        mDrawPending = true;
        ++mUpdatesSinceDraw;
        UpdateApp();
    } else if (mDrawPending) {
        mDrawPending = false;
        mUpdatesSinceDraw = 0;
        DrawFrame();
    } else if (mInputQueue.empty()) {
        // Nothing to do before the next update: one sleep until then, not a
        // wake-up every millisecond. Input that comes meanwhile is handled
        // before that update, which is the first thing it can change.
        clock.SleepMs(static_cast<uint32_t>(std::min(mNextUpdateMs - now, interval)));
    }
    return !mShutdown;
}

void ZephraAppBase::UpdateApp() {
    if (mLoadingDone && !mLoadingCompletedCalled) {
        mLoadingCompletedCalled = true;
        LoadingThreadCompleted();
        if (mShutdown) return;
    }
    ++mUpdateCount;
    mWidgetManager->UpdateFrame();
    mWidgetManager->UpdateMotionFrame(1.0f);
}

void ZephraAppBase::DrawFrame() {
    uint64_t now = platform::GetClock().NowMs();
    bool drew = mWidgetManager->DrawScreen();
    if (drew) {
        Graphics g(mWidgetManager->GetScreenImage());
        DrawAfterWidgets(&g);
    }
    if (drew || now - mLastPresentMs >= kPresentRefreshMs) {
        PresentFrame();
        mLastPresentMs = now;
    }
}

void ZephraAppBase::GotFocus() { mWidgetManager->GotFocus(); }

void ZephraAppBase::LostFocus() { mWidgetManager->LostFocus(); }

void ZephraAppBase::ProcessInputEvent(const platform::InputEvent& ev) {
    WidgetManager* wm = mWidgetManager;
    switch (ev.kind) {
    case platform::EventKind::KeyDown:
        wm->KeyDown(ev.key);
        break;
    case platform::EventKind::KeyUp:
        wm->KeyUp(ev.key);
        break;
    case platform::EventKind::Char:
        wm->KeyChar(ev.ch);
        break;
    case platform::EventKind::MouseMove:
        SetPointerInside(true);
        wm->MouseMove(ev.x, ev.y);
        if (IsCursorGameDrawn()) wm->MarkDirty();
        break;
    case platform::EventKind::MouseDown:
        SetPointerInside(true);
        wm->MouseDown(ev.x, ev.y, ev.clickCount);
        break;
    case platform::EventKind::MouseUp:
        wm->MouseUp(ev.x, ev.y, ev.clickCount);
        break;
    case platform::EventKind::MouseWheel:
        wm->MouseWheel(ev.delta);
        break;
    case platform::EventKind::MouseLeave:
        SetPointerInside(false);
        wm->MouseExit();
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- display

void ZephraAppBase::InstallDisplay(std::unique_ptr<AppDisplay> display) { mDisplay = std::move(display); }

int ZephraAppBase::ResetDisplay() {
    mScreenRect = Rect(0, 0, mWidth, mHeight);
    mDisplayError.clear();
    if (!mNoWindow) {
        if (!mWindow) mWindow = std::make_unique<platform::Window>();
        mWindow->SetVSync(mWaitForVSync);
        if (!mWindow->Open(mTitle, mWidth, mHeight, mWindowed)) return 1;
        mWindowed = mWindow->IsWindowed();
    }
    if (!mDisplay) return 0;
    // Nothing of the old screen format may outlive the mode change.
    mDisplay->FreeNativeData();
    if (mSoftwareOnly) mDisplay->Disable3D();
    int result = mDisplay->Init(mNoWindow ? nullptr : mWindow.get(), mWindowed);
    // A 3D device that fails after the capability test passed: the software
    // road, rather than no game.
    if (result == kDisplayResult3DFailed && mDisplay->Is3D()) {
        mDisplay->Disable3D();
        mDisplay->FreeNativeData();
        result = mDisplay->Init(mNoWindow ? nullptr : mWindow.get(), mWindowed);
    }
    mScreenImage = mDisplay->GetScreenImage();
    mWidgetManager->SetScreenImage(mScreenImage);
    if (result != 0) {
        mDisplayError = mDisplay->ResultText(result) + " (" + mDisplay->ErrorText() + ")";
        return result;
    }
    mDisplay->RebuildNativeData();
    mScreenRect = Rect(0, 0, mDisplay->GetDrawWidth(), mDisplay->GetDrawHeight());
    ApplyCursor();
    return 0;
}

void ZephraAppBase::MapToDraw(int x, int y, int& dx, int& dy) const {
    if (!mDisplay) {
        dx = x;
        dy = y;
        return;
    }
    const Rect r = mDisplay->GetPresentationRect();
    platform::MapThrough(platform::PixelRect{r.mX, r.mY, r.mWidth, r.mHeight}, mDisplay->GetDrawWidth(),
                         mDisplay->GetDrawHeight(), x, y, dx, dy);
}

MemoryImage* ZephraAppBase::CreateImage() {
    return mDisplay ? mDisplay->CreateImage() : ImageHost::CreateImage();
}

void ZephraAppBase::ReleaseImageTextures(MemoryImage* image) {
    if (mDisplay) mDisplay->RemoveImageTexture(image);
}

bool ZephraAppBase::ReadTextureBits(MemoryImage* image, uint32_t* dest) {
    return mDisplay && mDisplay->ReadTextureBits(image, dest);
}

void ZephraAppBase::StartCursorThread() {
    if (mCursorThread.joinable()) return;
    mCursorThreadStop = false;
    mCursorThread = std::thread([this] { CursorThreadProc(); });
}

void ZephraAppBase::StopCursorThread() {
    {
        std::lock_guard<std::mutex> lock(mCursorWaitLock);
        mCursorThreadStop = true;
    }
    mCursorWake.notify_all();
    if (mCursorThread.joinable()) mCursorThread.join();
}

void ZephraAppBase::CursorThreadProc() {
    platform::Clock& clock = platform::GetClock();
    // Where the thread last put the cursor: nowhere yet.
    int lastX = INT_MIN, lastY = INT_MIN;
    while (!mCursorThreadStop) {
        if (!mCustomCursorShown) {
            // Nothing to move: sleep until a custom cursor is shown or the
            // thread is stopped, not a wake-up every 10 ms.
            std::unique_lock<std::mutex> lock(mCursorWaitLock);
            mCursorWake.wait(lock, [this] { return mCursorThreadStop || mCustomCursorShown; });
            continue;
        }
        clock.SleepMs(10);
        if (!mCustomCursorShown) continue;
        const int x = mMouseX, y = mMouseY;
        if (x == lastX && y == lastY) continue;
        // Soon after a frame the next one draws the cursor anyway; when no
        // frame comes, a later poll moves it here.
        if (clock.NowMs() - mLastPresentMs > mDisplay->GetRefreshPeriod() + 5) {
            if (!mDisplay->SetCursorPos(x, y)) continue;
            mCursorMoved = true;
            lastX = x;
            lastY = y;
        } else {
            mDisplay->StoreCursorPos(x, y);
        }
    }
}

void ZephraAppBase::PresentFrame() {
    if (mDisplay) {
        mDisplay->Redraw(nullptr);
        return;
    }
    if (!mWindow || !mWindow->IsOpen() || !mScreenImage) return;
    if (mScreenImage->mWidth <= 0 || mScreenImage->mHeight <= 0) return;
    mWindow->Present(mScreenImage->GetBits(), mScreenImage->mWidth, mScreenImage->mHeight,
                     mScreenImage->mWidth);
}

void ZephraAppBase::SetVideoMemoryDraw(bool videoMemory) {
    if (mVideoMemoryDraw == videoMemory) return;
    mVideoMemoryDraw = videoMemory;
    if (mDisplay) {
        mDisplay->RebuildScreenImage(videoMemory);
        mScreenImage = mDisplay->GetScreenImage();
    }
    mWidgetManager->SetScreenImage(mScreenImage);
}

// ---------------------------------------------------------------- cursors

void ZephraAppBase::ApplyCursor() {
    Image* image = nullptr;
    if (mCustomCursorsEnabled && mCursorNum >= 0 && mCursorNum < kCursorImageCount)
        image = mCursorImages[static_cast<size_t>(mCursorNum)];
    // A custom cursor is drawn by the display (an image) or by the game
    // (cursor 12); either way the system's own must not show over it.
    mSystemCursorShown = !(mCustomCursorsEnabled && (image != nullptr || mCursorNum == kCursorGameDrawn));
    if (!mPointerInside) image = nullptr;
    mAppliedCursorImage = image;
    if (mWindow) mWindow->ShowSystemCursor(mSystemCursorShown);
    if (mDisplay) mDisplay->SetCursorImage(image);
    {
        std::lock_guard<std::mutex> lock(mCursorWaitLock);
        mCustomCursorShown = image != nullptr;
    }
    if (image) mCursorWake.notify_all();
}

void ZephraAppBase::SetPointerInside(bool inside) {
    if (mPointerInside == inside) return;
    mPointerInside = inside;
    ApplyCursor();
    // The game's own cursor is in the drawn frame: a new frame takes it away.
    if (IsCursorGameDrawn()) mWidgetManager->MarkDirty();
}

void ZephraAppBase::EnableCustomCursors(bool enable) {
    mCustomCursorsEnabled = enable;
    ApplyCursor();
}

void ZephraAppBase::SetCursor(int cursorNum) {
    mCursorNum = cursorNum;
    ApplyCursor();
}

void ZephraAppBase::SetCursorImage(int index, Image* image) {
    if (index < 0 || index >= kCursorImageCount) return;
    mCursorImages[static_cast<size_t>(index)] = image;
    ApplyCursor();
}

// ---------------------------------------------------------------- images

ImageRef ZephraAppBase::GetSharedImage(const std::string& name, const std::string& variant,
                                       bool* created) {
    std::string key = Upper(name) + '\n' + Upper(variant);
    ImageLockHold hold(mImageLock);
    auto it = mSharedImages.find(key);
    if (it != mSharedImages.end()) {
        if (std::shared_ptr<Image> image = it->second.lock()) {
            if (created) *created = false;
            return ImageRef(std::move(image));
        }
    }
    for (auto e = mSharedImages.begin(); e != mSharedImages.end();)
        e = e->second.expired() ? mSharedImages.erase(e) : std::next(e);
    std::shared_ptr<MemoryImage> image(CreateImage());
    // A picture that does not load leaves the image empty; its users draw nothing.
    std::string error;
    if (!ImageLib::LoadImage(name, *image, error)) image->mFilePath = name;
    mSharedImages[key] = image;
    if (created) *created = true;
    return ImageRef(std::move(image));
}

void ZephraAppBase::AddMemoryImage(MemoryImage* image) {
    if (image == nullptr) return;
    ImageLockHold hold(mImageLock);
    mMemoryImages.insert(image);
}

void ZephraAppBase::RemoveMemoryImage(MemoryImage* image) { UnregisterImage(image); }

void ZephraAppBase::UnregisterImage(MemoryImage* image) {
    if (image == nullptr) return;
    {
        ImageLockHold hold(mImageLock);
        if (mMemoryImages.erase(image) == 0) return;
    }
    ReleaseImageTextures(image);
}

size_t ZephraAppBase::LiveMemoryImageCount() {
    ImageLockHold hold(mImageLock);
    return mMemoryImages.size();
}

bool ZephraAppBase::IsLiveMemoryImage(MemoryImage* image) {
    ImageLockHold hold(mImageLock);
    return mMemoryImages.count(image) != 0;
}

// ---------------------------------------------------------------- services

std::string ZephraAppBase::ReadClipboardText() { return platform::GetClipboardText(); }

void ZephraAppBase::CopyToClipboard(const std::string& text) { platform::SetClipboardText(text); }

void ZephraAppBase::WriteRegistryString(const std::string& name, const std::string& text) {
    if (!mSettings) {
        mSettings = std::make_unique<platform::Settings>(
            platform::JoinPath(platform::ConfigDir(), "settings.ini"));
        mSettings->Load();
    }
    // Callers repeat their last text (the 3D error every frame): only a change is written.
    if (mSettings->Has(name) && mSettings->GetString(name) == text) return;
    mSettings->SetString(name, text);
    mSettings->Save();
}

void ZephraAppBase::BeginPopup() { mPopupShown = true; }

void ZephraAppBase::EndPopup() { mPopupShown = false; }

void ZephraAppBase::MessageBox(const std::string& text, const std::string& title) {
    BeginPopup();
    platform::ShowMessageBox(title, text);
    EndPopup();
}

} // namespace Zephra
