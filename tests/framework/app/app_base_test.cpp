#include <gtest/gtest.h>
#include <SDL.h>

#include <algorithm>
#include <string>
#include <vector>
#include "framework/app/fraction.h"
#include "framework/app/widget.h"
#include "framework/app/widget_manager.h"
#include "framework/app/zephra_app_base.h"
#include "framework/resources/file_access.h"
#include "framework/resources/image_lib.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/window.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dirs.h"

using namespace Zephra;

namespace {

class TestApp : public ZephraAppBase {
public:
    TestApp() { mNoWindow = true; }
    int presents = 0;
    int loadingCompleted = 0;
    int64_t updatesAtLoadingCompleted = -1;
    void PresentFrame() override { ++presents; }
    void LoadingThreadCompleted() override {
        ++loadingCompleted;
        updatesAtLoadingCompleted = mUpdateCount;
    }
};

class AppTest : public ::testing::Test {
protected:

    // Steps until the fake clock reaches the time (the loop sleeps between
    // updates, which moves the clock).
    void RunUntil(TestApp& app, uint64_t t) {
        int guard = 0;
        while (clock.now < t && ++guard < 1000000) ASSERT_TRUE(app.StepMainLoop(true));
    }

    testsupport::TempUserDirs dirs;
    testsupport::FakeClock clock;
};

platform::InputEvent Ev(platform::EventKind kind, int x = 0, int y = 0, int clicks = 0) {
    platform::InputEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.clickCount = clicks;
    return e;
}

} // namespace

TEST(FractionTest, ReducesByGcd) {
    Fraction f;
    EXPECT_EQ(f.mNumerator, 1);
    EXPECT_EQ(f.mDenominator, 1);
    f.Set(800, 600);
    EXPECT_EQ(f.mNumerator, 4);
    EXPECT_EQ(f.mDenominator, 3);
    f.Set(1920, 1080);
    EXPECT_EQ(f, Fraction(16, 9));
    f.Set(0, 0);  // no division by a zero divisor
    EXPECT_EQ(f.mNumerator, 0);
    EXPECT_EQ(f.mDenominator, 0);
    f.Set(-6, 4);
    EXPECT_EQ(f, Fraction(-3, 2));
}

TEST_F(AppTest, DefaultsAndSettingsReadAtInit) {
    {
        platform::Settings s(platform::JoinPath(platform::ConfigDir(), "settings.ini"));
        s.SetString("MusicVolume", "0.25");
        s.SetString("SfxVolume", "7");  // out of range: clamped
        s.SetBool("Muted", true);
        s.SetInt("ScreenMode", 1);
        s.SetInt("PreferredX", 40);
        s.SetInt("PreferredY", 50);
        s.SetBool("CustomCursors", false);
        s.SetBool("WaitForVSync", true);
        s.SetBool("InProgress", true);
        s.SetBool("Is3D", false);
        ASSERT_TRUE(s.Save());
    }
    TestApp app;
    EXPECT_EQ(app.mUpdateInterval, 10);
    EXPECT_EQ(app.mWidth, 800);
    EXPECT_EQ(app.mHeight, 600);
    EXPECT_EQ(app.mHackAspectRatio, Fraction(4, 3));
    EXPECT_TRUE(app.mAllowPageFlip);
    EXPECT_TRUE(app.mRun3DTest);
    EXPECT_EQ(app.mMinVidMemory, 6);
    EXPECT_EQ(app.mRecVidMemory, 14);
    ASSERT_TRUE(app.Init());
    EXPECT_DOUBLE_EQ(app.mMusicVolume, 0.25);
    EXPECT_DOUBLE_EQ(app.mSfxVolume, 1.0);
    EXPECT_TRUE(app.mMuted);
    EXPECT_FALSE(app.mWindowed);
    EXPECT_EQ(app.mPreferredX, 40);
    EXPECT_EQ(app.mPreferredY, 50);
    EXPECT_FALSE(app.mCustomCursorsEnabled);
    EXPECT_TRUE(app.mWaitForVSync);
    EXPECT_TRUE(app.mLastRunInProgress);
    EXPECT_FALSE(app.mIs3D);
    EXPECT_EQ(app.mScreenRect, Rect(0, 0, 800, 600));
    ASSERT_NE(app.mScreenImage, nullptr);
    EXPECT_EQ(app.mWidgetManager->GetScreenImage(), app.mScreenImage);

    app.WriteRegistryString("Test3D\\RuntimeError", "boom");
    platform::Settings back(platform::JoinPath(platform::ConfigDir(), "settings.ini"));
    ASSERT_TRUE(back.Load());
    EXPECT_EQ(back.GetString("Test3D\\RuntimeError"), "boom");
    EXPECT_EQ(back.GetString("MusicVolume"), "0.25");
    // The same text again writes nothing: a file changed behind the
    // application's back stays as it is.
    platform::Settings other(platform::JoinPath(platform::ConfigDir(), "settings.ini"));
    ASSERT_TRUE(other.Load());
    other.SetString("Marker", "kept");
    ASSERT_TRUE(other.Save());
    app.WriteRegistryString("Test3D\\RuntimeError", "boom");
    ASSERT_TRUE(back.Load());
    EXPECT_EQ(back.GetString("Marker"), "kept");
    app.WriteRegistryString("Test3D\\RuntimeError", "bang");
    ASSERT_TRUE(back.Load());
    EXPECT_EQ(back.GetString("Test3D\\RuntimeError"), "bang");
}

TEST_F(AppTest, FixedStepUpdatesWithBoundedCatchUp) {
    TestApp app;
    ASSERT_TRUE(app.Init());
    uint64_t start = clock.now;
    RunUntil(app, start + 1000);
    EXPECT_EQ(app.mUpdateCount, 100);
    EXPECT_EQ(app.mWidgetManager->mUpdateCnt, 100);

    // A stall of a second is not replayed in full.
    clock.now += 1000;
    int64_t before = app.mUpdateCount;
    uint64_t stalled = clock.now;
    while (clock.now == stalled) app.StepMainLoop(true);
    EXPECT_EQ(app.mUpdateCount - before, kMaxUpdateBacklog + 1);
}

// An idle loop sleeps once between updates, until the next one is due, and
// updates come exactly on time; queued input is taken one event a step with
// no sleep between, and a sleep never runs past the next update.
TEST_F(AppTest, IdleStepsSleepUntilTheNextUpdate) {
    struct Timed : TestApp {
        std::vector<uint64_t> updatedAt;
        testsupport::FakeClock* clock = nullptr;
        void UpdateApp() override {
            TestApp::UpdateApp();
            updatedAt.push_back(clock->now);
        }
    };
    struct CountingClock : testsupport::FakeClock {
        int sleeps = 0;
        void SleepMs(uint32_t ms) override {
            ++sleeps;
            FakeClock::SleepMs(ms);
        }
    };
    struct Case {
        int interval;
        int queuedMoves;
    } cases[] = {{10, 0}, {25, 0}, {1, 0}, {10, 6}};
    for (const Case& c : cases) {
        CountingClock counting;   // installed over the fixture's until it goes
        Timed app;
        app.clock = &counting;
        app.mUpdateInterval = c.interval;
        ASSERT_TRUE(app.Init());
        const uint64_t start = counting.now;
        for (int i = 0; i < c.queuedMoves; ++i) app.PostEvent(Ev(platform::EventKind::MouseMove, i, i));
        // The first step pumps them all and takes one; the rest need a step
        // each, and no step sleeps while input waits after it.
        app.StepMainLoop(true);
        EXPECT_EQ(app.QueuedInputCount(), size_t(std::max(c.queuedMoves - 1, 0))) << "interval " << c.interval;
        while (app.QueuedInputCount() > 1) {
            const int sleeps = counting.sleeps;
            app.StepMainLoop(true);
            EXPECT_EQ(counting.sleeps, sleeps) << "interval " << c.interval << ", left " << app.QueuedInputCount();
        }
        int guard = 0;
        while (counting.now < start + 1000 && ++guard < 100000) ASSERT_TRUE(app.StepMainLoop(true));
        const size_t updates = size_t(1000 / c.interval);
        ASSERT_GE(app.updatedAt.size(), updates) << "interval " << c.interval;
        for (size_t i = 0; i < updates; ++i)
            EXPECT_EQ(app.updatedAt[i], start + i * uint64_t(c.interval)) << "interval " << c.interval << ", update " << i;
        EXPECT_LE(counting.sleeps, int(updates) + 1) << "interval " << c.interval;
    }
}

TEST_F(AppTest, UpdatesSlowerThanTheIntervalStillDraw) {
    struct SlowApp : TestApp {
        testsupport::FakeClock* clock = nullptr;
        int draws = 0;
        void UpdateApp() override {
            TestApp::UpdateApp();
            clock->now += 15;  // each update outlasts the 10 ms interval
        }
        void DrawFrame() override { ++draws; }
    } app;
    app.clock = &clock;
    ASSERT_TRUE(app.Init());
    for (int i = 0; i < 200; ++i) app.StepMainLoop(true);
    EXPECT_GT(app.draws, 200 / (kMaxUpdateBacklog + 2) - 2);
}

TEST_F(AppTest, PresentPacing) {
    TestApp app;
    ASSERT_TRUE(app.Init());
    uint64_t start = clock.now;
    RunUntil(app, start + 20);
    EXPECT_EQ(app.presents, 1);  // the first frame draws everything
    // Nothing asks for a redraw: nothing is presented until a second passed.
    RunUntil(app, start + 990);
    EXPECT_EQ(app.presents, 1);
    RunUntil(app, start + 1030);
    EXPECT_EQ(app.presents, 2);
    // A redraw request presents at the next drawing.
    app.mWidgetManager->MarkDirty();
    RunUntil(app, start + 1050);
    EXPECT_EQ(app.presents, 3);
}

TEST_F(AppTest, StartCallsLoadingCompletedOnceOnTheFirstUpdateAndQuitEnds) {
    struct QuitLater : TestApp {
        void UpdateApp() override {
            TestApp::UpdateApp();
            if (mUpdateCount == 5) {
                platform::InputEvent quit;
                quit.kind = platform::EventKind::Quit;
                PostEvent(quit);
            }
        }
    } app;
    ASSERT_TRUE(app.Init());
    app.Start();  // returns only through the posted Quit
    EXPECT_TRUE(app.IsShuttingDown());
    EXPECT_EQ(app.mUpdateCount, 5);
    EXPECT_EQ(app.loadingCompleted, 1);
    EXPECT_EQ(app.updatesAtLoadingCompleted, 0);
    EXPECT_FALSE(app.StepMainLoop(false));
    platform::Settings back(platform::JoinPath(platform::ConfigDir(), "settings.ini"));
    ASSERT_TRUE(back.Load());
    EXPECT_EQ(back.GetString("InProgress"), "0");
}

TEST_F(AppTest, WindowEventsSetFlagsAndOneInputPerStep) {
    TestApp app;
    ASSERT_TRUE(app.Init());
    app.PostEvent(Ev(platform::EventKind::Minimized));
    app.PostEvent(Ev(platform::EventKind::FocusLost));
    app.PostEvent(Ev(platform::EventKind::MouseMove, 1, 2));
    app.PostEvent(Ev(platform::EventKind::MouseMove, 3, 4));
    app.StepMainLoop(true);
    EXPECT_TRUE(app.mMinimized);
    EXPECT_FALSE(app.mWidgetManager->mHasFocus);
    EXPECT_EQ(app.mWidgetManager->mLastMouseX, 1);
    EXPECT_EQ(app.QueuedInputCount(), 1u);
    app.PostEvent(Ev(platform::EventKind::Restored));
    app.PostEvent(Ev(platform::EventKind::FocusGained));
    app.StepMainLoop(true);
    EXPECT_FALSE(app.mMinimized);
    EXPECT_TRUE(app.mWidgetManager->mHasFocus);
    EXPECT_EQ(app.mWidgetManager->mLastMouseX, 3);
}

namespace {

bool gAnswered = false;

class Plain : public Widget {
public:
    int mDowns = 0;
    void MouseDown(int, int, int, int) override { ++mDowns; }
};

// Waits for an answer in a nested loop, like a question box.
class Asker : public Widget {
public:
    explicit Asker(TestApp* app) : mApp(app) {}
    TestApp* mApp;
    static inline int sNestedSteps = 0;
    static inline bool sSurvived = false;
    void MouseDown(int, int, int, int) override {
        WidgetLifeRef life = Life();
        int guard = 0;
        while (!gAnswered && ++guard < 10000 && mApp->StepMainLoop(false)) ++sNestedSteps;
        // This widget was deleted meanwhile: touch nothing of it.
        sSurvived = life->mWidget == this;
    }
};

// Answers: deletes the asker and a bystander, and removes itself.
class Answer : public Widget {
public:
    Widget* mAsker = nullptr;
    Widget* mBystander = nullptr;
    void MouseDown(int, int, int, int) override {
        delete mAsker;
        delete mBystander;
        mParent->RemoveWidget(this);
        gAnswered = true;
    }
};

} // namespace

TEST_F(AppTest, NestedStepDeletingTheWaitingWidget) {
    TestApp app;
    ASSERT_TRUE(app.Init());
    auto* panel = new Widget();
    panel->Resize(0, 0, 800, 600);
    app.mWidgetManager->AddWidget(panel);
    auto* asker = new Asker(&app);
    asker->Resize(0, 0, 100, 100);
    panel->AddWidget(asker);
    auto* bystander = new Plain();
    bystander->Resize(0, 100, 100, 100);
    panel->AddWidget(bystander);
    auto* answer = new Answer();
    answer->Resize(200, 0, 100, 100);
    answer->mAsker = asker;
    answer->mBystander = bystander;
    panel->AddWidget(answer);

    gAnswered = false;
    app.PostEvent(Ev(platform::EventKind::MouseMove, 10, 10));
    app.PostEvent(Ev(platform::EventKind::MouseDown, 10, 10, 1));
    app.PostEvent(Ev(platform::EventKind::MouseUp, 10, 10, 1));
    app.PostEvent(Ev(platform::EventKind::MouseMove, 210, 10));
    app.PostEvent(Ev(platform::EventKind::MouseDown, 210, 10, 1));
    app.PostEvent(Ev(platform::EventKind::MouseUp, 210, 10, 1));
    app.PostEvent(Ev(platform::EventKind::MouseMove, 50, 150));
    for (int i = 0; i < 50; ++i) app.StepMainLoop(true);

    EXPECT_TRUE(gAnswered);
    EXPECT_GT(Asker::sNestedSteps, 0);
    EXPECT_FALSE(Asker::sSurvived);
    EXPECT_EQ(answer->mParent, nullptr);
    EXPECT_EQ(panel->mWidgets.size(), 0u);
    EXPECT_EQ(app.QueuedInputCount(), 0u);
    EXPECT_EQ(app.mWidgetManager->mLastDownWidget, nullptr);
    EXPECT_EQ(app.mWidgetManager->mOverWidget, panel);
    delete answer;
    delete panel;
}

TEST_F(AppTest, SharedImagesAndLiveImageSet) {
    TestApp app;
    ASSERT_TRUE(app.Init());
    size_t base = app.LiveMemoryImageCount();  // the screen image
    EXPECT_TRUE(app.IsLiveMemoryImage(app.mScreenImage));
    bool created = false;
    ImageRef a = app.GetSharedImage("gfx\\Bar.png", "", &created);
    EXPECT_TRUE(created);
    ImageRef b = app.GetSharedImage("GFX\\BAR.PNG", "", &created);
    EXPECT_FALSE(created);
    EXPECT_EQ(a.GetImage(), b.GetImage());
    ImageRef c = app.GetSharedImage("gfx\\Bar.png", "small", &created);
    EXPECT_TRUE(created);
    EXPECT_NE(c.GetImage(), a.GetImage());
    EXPECT_EQ(app.LiveMemoryImageCount(), base + 2);
    a.Release();
    b.Release();
    EXPECT_EQ(app.LiveMemoryImageCount(), base + 1);
    app.GetSharedImage("gfx\\bar.png", "", &created);
    EXPECT_TRUE(created);  // the last holder let it go

    // A picture that exists is loaded into the image the factory makes.
    class OnePicture : public FileAccess {
    public:
        bool ReadFile(const std::string& path, std::string& bytes) override {
            if (path != "gfx\\pic.png") return false;
            const std::vector<uint32_t> bits(6, 0x80FF0000u);
            std::string error;
            return ImageLib::EncodePng(bits.data(), 3, 2, bytes, error);
        }
    } files;
    SetFileAccess(&files);
    const size_t before = app.LiveMemoryImageCount();
    ImageRef pic = app.GetSharedImage("gfx\\pic.png", "", &created);
    SetFileAccess(nullptr);
    EXPECT_TRUE(created);
    auto* loaded = dynamic_cast<MemoryImage*>(pic.GetImage());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetWidth(), 3);
    EXPECT_EQ(loaded->GetHeight(), 2);
    EXPECT_EQ(loaded->GetBits()[0], 0x80FF0000u);
    EXPECT_EQ(app.LiveMemoryImageCount(), before + 1) << "made through the application's factory";

    // An image outliving the application must not call back into it.
    ImageRef survivor;
    {
        TestApp other;
        survivor = other.GetSharedImage("x");
    }
    survivor.Release();
}

TEST_F(AppTest, CursorSlots) {
    TestApp app;
    MemoryImage img;
    app.SetCursorImage(2, &img);
    app.SetCursorImage(13, &img);  // ignored
    app.SetCursorImage(-1, &img);
    app.SetCursor(2);
    EXPECT_EQ(app.mAppliedCursorImage, &img);
    app.EnableCustomCursors(false);
    EXPECT_EQ(app.mAppliedCursorImage, nullptr);
    app.EnableCustomCursors(true);
    app.SetCursor(40);
    EXPECT_EQ(app.mAppliedCursorImage, nullptr);
    EXPECT_TRUE(app.mSystemCursorShown);

    // The cursor table's selection: custom on, cursor 12 without an image. The
    // game draws its cursor, so the system's is hidden until the selection ends.
    app.SetCursorImage(12, nullptr);
    app.SetCursor(12);
    EXPECT_FALSE(app.mSystemCursorShown);
    app.EnableCustomCursors(false);
    app.SetCursor(0);
    EXPECT_TRUE(app.mSystemCursorShown);
    app.EnableCustomCursors(true);
    EXPECT_TRUE(app.mSystemCursorShown);  // cursor 0 has no image: the system arrow stays
    app.SetCursor(2);
    EXPECT_FALSE(app.mSystemCursorShown);

    // Leaving the window takes the display's cursor away; coming back, by a move or a click,
    // brings it again.
    struct Step {
        platform::EventKind kind;
        Image* applied;
    } steps[] = {
        {platform::EventKind::MouseLeave, nullptr},
        {platform::EventKind::MouseMove, &img},
        {platform::EventKind::MouseLeave, nullptr},
        {platform::EventKind::MouseDown, &img},
    };
    for (const Step& s : steps) {
        platform::InputEvent ev;
        ev.kind = s.kind;
        app.ProcessInputEvent(ev);
        EXPECT_EQ(app.mAppliedCursorImage, s.applied) << static_cast<int>(s.kind);
        EXPECT_FALSE(app.mSystemCursorShown) << static_cast<int>(s.kind);
    }
}

TEST_F(AppTest, RealWindowPresentsAndClosingEndsStart) {
    platform::SetClock(nullptr);  // SDL's own timing
    struct WindowApp : ZephraAppBase {
        int presents = 0;
        void PresentFrame() override {
            ZephraAppBase::PresentFrame();
            if (++presents == 1) {
                SDL_Event quit{};
                quit.type = SDL_QUIT;
                SDL_PushEvent(&quit);
            }
        }
    } app;
    ASSERT_TRUE(app.Init()) << (app.mWindow ? app.mWindow->LastError() : "");
    ASSERT_NE(app.mWindow, nullptr);
    EXPECT_TRUE(app.mWindow->IsOpen());
    app.Start();
    EXPECT_TRUE(app.IsShuttingDown());
    EXPECT_GE(app.presents, 1);
}
