#include "game/app/game_hooks.h"

#include <gtest/gtest.h>

#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "game/app/office_app.h"
#include "platform/input.h"
#include "tests/game/app/game_folder.h"

namespace {

// Records the order of the calls; draws a white dot at (0, 0) over the tree.
class RecordingHooks : public GameHooks {
public:
    void AppCreated(OfficeApp& app) override { Log(app, "created"); }
    bool BuildScreens(OfficeApp& app, std::string&) override {
        Log(app, "build");
        return true;
    }
    void DestroyScreens(OfficeApp& app) override {
        Log(app, app.mWidgetManager != nullptr ? "destroy-screens" : "destroy-screens-late");
    }
    void AppDestroyed(OfficeApp& app) override { Log(app, "destroyed"); }
    void FocusChanged(OfficeApp& app, bool gained) override { Log(app, gained ? "focus+" : "focus-"); }
    void DrawOverlay(OfficeApp& app, Zephra::Graphics* g) override {
        Log(app, "overlay");
        g->SetColor(Zephra::Color(255, 255, 255, 255));
        g->FillRect(0, 0, 1, 1);
    }
    void Log(OfficeApp& app, const char* what) {
        calls.push_back(std::string(what) + (&app == GetApp() ? "" : "(not the app)"));
    }
    std::vector<std::string> calls;
};

class BareApp : public OfficeApp {
public:
    explicit BareApp(const std::string& prefs) : OfficeApp(prefs) { mNoWindow = true; }
    void ShowError(const std::string&, const std::string&) override {}
};

TEST(GameHooks, TheApplicationReachesTheGameThroughOneInterface) {
    testsupport::TempUserDirs user;
    testsupport::TempDir prefs;
    gametest::GameFolder folder;
    RecordingHooks hooks;
    OfficeApp::SetGameHooks(&hooks);
    struct Case {
        const char* what;
        std::function<void(BareApp&)> act;
        std::vector<std::string> calls;  // new calls (the first ones only when the main loop stepped:
                                         // a drawing may follow)
    } cases[] = {
        {"loading completed", [](BareApp& app) { app.LoadingThreadCompleted(); }, {"build"}},
        {"focus lost",
         [](BareApp& app) {
             app.PostEvent({platform::EventKind::FocusLost});
             app.StepMainLoop(false);
         },
         {"focus-"}},
        {"focus gained",
         [](BareApp& app) {
             app.PostEvent({platform::EventKind::FocusGained});
             app.StepMainLoop(false);
         },
         {"focus+"}},
        {"overlay after the tree",
         [](BareApp& app) {
             app.mWidgetManager->MarkDirty();
             app.DrawFrame();
             EXPECT_EQ(app.mScreenImage->GetBits()[0], 0xFFFFFFFFu);
             EXPECT_EQ(app.mScreenImage->GetBits()[1], 0xFF000000u);
         },
         {"overlay"}},
        {"no overlay without a new tree", [](BareApp& app) { app.DrawFrame(); }, {}},
    };
    {
        BareApp app(prefs.File("pref.dat"));
        std::unique_ptr<Zephra::MemoryImage> screen(app.CreateImage());
        screen->Create(4, 4);
        app.mScreenImage = screen.get();
        app.mWidgetManager->SetScreenImage(screen.get());
        EXPECT_EQ(hooks.calls, (std::vector<std::string>{"created"}));
        for (const Case& c : cases) {
            hooks.calls.clear();
            c.act(app);
            std::vector<std::string> got = hooks.calls;
            if (std::string(c.what).rfind("focus", 0) == 0 && got.size() > c.calls.size()) got.resize(c.calls.size());
            EXPECT_EQ(got, c.calls) << c.what;
        }
        hooks.calls.clear();
    }
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"destroy-screens", "destroyed"}));
    OfficeApp::SetGameHooks(nullptr);
}

} // namespace
