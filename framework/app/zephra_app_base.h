#pragma once
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "framework/app/app_display.h"
#include "framework/app/critical_section.h"
#include "framework/app/fraction.h"
#include "framework/graphics/image.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/rect.h"
#include "platform/input.h"

namespace platform {
class Settings;
class Window;
} // namespace platform

namespace Zephra {

class Graphics;
class WidgetManager;

constexpr int kCursorImageCount = 13;
// The cursor number with which the game draws its own cursor: while custom
// cursors are on and it is current, the system shows none.
constexpr int kCursorGameDrawn = 12;

// The application base: settings, the window, the screen image, the widget
// manager and the main loop with its fixed-step update and paced drawing.
//
// The main loop: a step pumps the window's events (input into a queue; focus,
// minimise and quit at once), hands one queued input message to the widget
// manager, then runs one fixed update when it is due, else draws when an
// update happened since the last drawing, else sleeps 1 ms. Steps nest: a
// handler may call StepMainLoop(false) to wait for an answer.
class ZephraAppBase : public ImageHost {
public:
    // Read by the game's controls and screens.
    int32_t mUpdateInterval = 10;           // ms per fixed update step
    bool mWindowed = true;
    std::unique_ptr<platform::Window> mWindow;
    int mWidth = 800;
    int mHeight = 600;
    bool mIsTablet = false;
    bool mWideChars = false;                // edit boxes accept characters above 0xFF
    bool mPlayingDemo = false;
    std::string mTitle = "Zephra";

    // Read and written by the display.
    int mFullScreenBits = 16;
    bool mHackAspect = false;
    Fraction mHackAspectRatio{4, 3};
    bool mWidenDrawBuffer = false;
    bool mAllowPageFlip = true;             // off on a tablet
    bool mRun3DTest = true;
    bool mEnable3D = true;
    int mMinVidMemory = 6;                  // MB
    int mRecVidMemory = 14;                 // MB
    Rect mScreenRect;
    bool mRefreshUnreliable = false;
    bool mPopupShown = false;
    bool mMinimized = false;
    void* mDDrawModule = nullptr;           // the display library, when one is loaded

    // The stored settings, read at Init.
    double mMusicVolume = 1.0;
    double mSfxVolume = 1.0;
    bool mMuted = false;
    int mPreferredX = -1;
    int mPreferredY = -1;
    bool mWaitForVSync = false;
    bool mLastRunInProgress = false;        // "InProgress" was still set: the last run did not end cleanly
    bool mIs3D = true;
    bool mSoftwareOnly = false;             // setting "SoftwareOnly" or PEMBERLY_SOFTWARE_ONLY: never the 3D road

    // Cursors.
    bool mCustomCursorsEnabled = true;
    int mCursorNum = 0;
    std::array<Image*, kCursorImageCount> mCursorImages{};  // not owned
    Image* mAppliedCursorImage = nullptr;   // what ApplyCursor chose last
    bool mSystemCursorShown = true;         // what ApplyCursor told the window
    // Outside the window the system's pointer is the only one: a custom
    // cursor left at the edge would be a second.
    bool mPointerInside = true;

    WidgetManager* mWidgetManager = nullptr;  // owned
    // The frame is drawn here: the display's image when one is installed,
    // else the application's own.
    MemoryImage* mScreenImage = nullptr;
    bool mVideoMemoryDraw = false;
    // The display device (installed before Init), owned.
    std::unique_ptr<AppDisplay> mDisplay;

    // Tests run without a window: set before Init.
    bool mNoWindow = false;

    ZephraAppBase();
    ~ZephraAppBase() override;
    ZephraAppBase(const ZephraAppBase&) = delete;
    ZephraAppBase& operator=(const ZephraAppBase&) = delete;

    // Settings, window, screen image. False when the program cannot go on
    // (the reason has been shown).
    virtual bool Init();
    // Runs the loading work and the main loop until shutdown.
    virtual void Start();
    // One main-loop step; false once the application is shutting down.
    // topLevel is true for Start's own loop, false for nested waits; both
    // run the same step.
    virtual bool StepMainLoop(bool topLevel);
    virtual void Shutdown();
    bool IsShuttingDown() const { return mShutdown; }

    // Hooks.
    virtual void LoadingThreadProc() {}
    virtual void LoadingThreadCompleted() {}
    // One fixed update step: the loading-completed hook once, then every
    // widget's Update and motion step.
    virtual void UpdateApp();
    // Draws and presents under the pacing rule.
    virtual void DrawFrame();
    // Draws over the finished widget tree, each time the tree was drawn (the
    // game's own cursor).
    virtual void DrawAfterWidgets(Graphics* g) { (void)g; }
    // True while the game draws the cursor itself (cursor number 12, custom
    // cursors on): every mouse move then needs a new frame.
    bool IsCursorGameDrawn() const { return mCustomCursorsEnabled && mCursorNum == kCursorGameDrawn; }
    // False from the pointer leaving the window until it moves over it again.
    bool IsPointerInside() const { return mPointerInside; }
    virtual void GotFocus();
    virtual void LostFocus();
    // One input message for the widget manager.
    virtual void ProcessInputEvent(const platform::InputEvent& event);

    // Display. Without an installed display the base presents its own
    // screen image through the window.
    void InstallDisplay(std::unique_ptr<AppDisplay> display);
    // (Re)builds the window and the display for the current mode; 0 or the
    // display's result code (the reason in mDisplayError).
    virtual int ResetDisplay();
    virtual void PresentFrame();
    virtual void SetVideoMemoryDraw(bool videoMemory);
    bool Is3DAccelerated() const override { return mDisplay && mDisplay->Is3D(); }
    MemoryImage* CreateImage() override;
    void ReleaseImageTextures(MemoryImage* image) override;
    bool ReadTextureBits(MemoryImage* image, uint32_t* dest) override;
    // A point of the primary (window) in draw coordinates, through the
    // display's presentation rectangle.
    void MapToDraw(int x, int y, int& dx, int& dy) const;
    std::string mDisplayError;

    // The cursor thread moves the display's software cursor between frames.
    void StartCursorThread();
    void StopCursorThread();

    // Cursors: indexes 0 to 12, others ignored.
    virtual void ApplyCursor();
    void EnableCustomCursors(bool enable);
    // Told by the input: the pointer entered or left the window.
    void SetPointerInside(bool inside);
    void SetCursor(int cursorNum);
    void SetCursorImage(int index, Image* image);

    // The image of that name (upper-cased key): made through CreateImage on
    // first use with the picture of that game path loaded into it (empty when
    // it does not load), and shared while anyone holds it; *created tells
    // whether it was just made.
    ImageRef GetSharedImage(const std::string& name, const std::string& variant = "",
                            bool* created = nullptr);

    // Live memory images.
    void AddMemoryImage(MemoryImage* image) override;
    void RemoveMemoryImage(MemoryImage* image) override;
    void UnregisterImage(MemoryImage* image);
    size_t LiveMemoryImageCount();
    bool IsLiveMemoryImage(MemoryImage* image);

    // Demo recording is not kept: values pass through unchanged.
    void SyncStringWithDemo(std::string& value) { (void)value; }
    void DemoSyncBool(bool& value) { (void)value; }

    std::string ReadClipboardText();
    void CopyToClipboard(const std::string& text);

    // A string under the application's settings; failures are ignored.
    void WriteRegistryString(const std::string& name, const std::string& text);
    platform::Settings* GetSettings() { return mSettings.get(); }

    void BeginPopup();
    void EndPopup();
    void MessageBox(const std::string& text, const std::string& title);

    // Queues an event as if the window had delivered it (handled by the next
    // step's pump).
    void PostEvent(const platform::InputEvent& event);
    size_t QueuedInputCount() const { return mInputQueue.size(); }

    int64_t mUpdateCount = 0;               // fixed steps run so far

protected:
    virtual void ReadSettings();
    void PumpEvents();

    std::unique_ptr<platform::Settings> mSettings;
    bool mInitialized = false;
    bool mShutdown = false;
    bool mLoadingDone = false;
    bool mLoadingCompletedCalled = false;

private:
    void CursorThreadProc();

    std::vector<platform::InputEvent> mWindowEvents;
    std::deque<platform::InputEvent> mInputQueue;
    bool mLoopClockStarted = false;
    uint64_t mNextUpdateMs = 0;
    std::atomic<uint64_t> mLastPresentMs{0};
    std::unique_ptr<MemoryImage> mOwnScreenImage;

    // Published by the event pump (primary coordinates), read by the cursor thread.
    std::atomic<int> mMouseX{0};
    std::atomic<int> mMouseY{0};
    std::atomic<bool> mCustomCursorShown{false};
    std::atomic<bool> mCursorMoved{false};
    std::atomic<bool> mCursorThreadStop{false};
    // The thread waits here while no custom cursor is in use, not polling.
    std::mutex mCursorWaitLock;
    std::condition_variable mCursorWake;
    std::thread mCursorThread;
    bool mDrawPending = false;
    int mUpdatesSinceDraw = 0;

    CriticalSection mImageLock;
    std::set<MemoryImage*> mMemoryImages;
    std::map<std::string, std::weak_ptr<Image>> mSharedImages;
};

// Most updates a step catches up on after a stall; older ones are dropped.
constexpr int kMaxUpdateBacklog = 5;
// A frame is presented at least this often even when nothing was drawn.
constexpr uint64_t kPresentRefreshMs = 1000;

} // namespace Zephra
