#include "game/compose/game_composition.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>

#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "framework/resources/file_access.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/app/tables.h"
#include "game/screens/splash_screen.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"
#include "game/office/level_screen.h"
#include "game/office/office.h"
#include "game/ui/cursor_table.h"
#include "game/ui/ui_dialog.h"
#include "platform/input.h"
#include "tests/support/sample_game.h"
#include "tests/support/temp_dirs.h"

namespace {

using testsupport::SampleGame;

TEST_F(SampleGame, StartsWithItsServicesAndDrawsTheGameCursor) {
    EXPECT_TRUE(app->Warnings().empty()) << app->Warnings()[0];
    EXPECT_NE(app->GetParticleRegistry(), nullptr);
    EXPECT_TRUE(gEffectConfigRoot);
    ASSERT_TRUE(composition.GetUiRoot());
    CursorTable* cursors = app->GetCursorTable();
    ASSERT_NE(cursors, nullptr);
    for (const char* mode : {"normal", "active", "text"}) EXPECT_NE(cursors->Find(mode), nullptr) << mode;
    EXPECT_EQ(cursors->GetCurrent(), cursors->Find("normal"));
    EXPECT_TRUE(app->IsCursorGameDrawn());

    // The splash hides the cursor; the menus after it show it again. The
    // arrow's white inside lies just right of and below the mouse point and
    // follows the mouse.
    EXPECT_FALSE(cursors->IsDrawing());
    app->mSplash->Hide();
    EXPECT_TRUE(cursors->IsDrawing());
    Zephra::Image* arrow = cursors->Find("normal")->image;
    const uint32_t arrowInside = static_cast<Zephra::MemoryImage*>(arrow)->GetBits()[8 * 32 + 2];
    for (Zephra::Point p : {Zephra::Point(60, 60), Zephra::Point(70, 90)}) {
        app->ProcessInputEvent({platform::EventKind::MouseMove, 0, 0, p.mX, p.mY});
        app->DrawFrame();
        const uint32_t* bits = app->mScreenImage->GetBits();
        EXPECT_EQ(arrowInside, 0xFFFAFAFAu);
        EXPECT_EQ(bits[(p.mY + 8) * 800 + p.mX + 2], arrowInside) << p.mX;
    }
}

TEST_F(SampleGame, FocusAndDestructionReachTheGame) {
    app->PostEvent({platform::EventKind::FocusLost});
    app->StepMainLoop(false);
    EXPECT_FALSE(app->mWidgetManager->mHasFocus);
    app->PostEvent({platform::EventKind::FocusGained});
    app->StepMainLoop(false);
    EXPECT_TRUE(app->mWidgetManager->mHasFocus);
    TextureTable* textures = app->GetTextureTable();
    EXPECT_EQ(textures->UseCount("ui_cursor_normal"), 1);
    app.reset();
    EXPECT_FALSE(gEffectConfigRoot);
    EXPECT_FALSE(composition.GetUiRoot());
}

// Screens destroyed take their layouts with them; built again, they are all
// back, read from the file anew.
TEST_F(SampleGame, ScreensAreBuiltAgainAfterBeingDestroyed) {
    composition.DestroyScreens(*app);
    EXPECT_FALSE(composition.GetUiRoot());
    EXPECT_EQ(composition.GetLevelScreens(), nullptr);
    EXPECT_EQ(app->mMainMenu, nullptr);
    EXPECT_EQ(app->GetLevelScreen(), nullptr);
    std::string error;
    EXPECT_TRUE(composition.BuildScreens(*app, error)) << error;
    EXPECT_TRUE(composition.GetUiRoot());
    EXPECT_NE(composition.GetLevelScreens(), nullptr);
    EXPECT_NE(app->mMainMenu, nullptr);
    ASSERT_NE(app->GetLevelScreen(), nullptr);
    EXPECT_TRUE(app->GetLevelScreen()->GetOffice()->IsLoaded());
    EXPECT_TRUE(app->Warnings().empty()) << app->Warnings()[0];
}

// The game's files, with the pictures read while it starts noted.
class NotingFiles : public Zephra::FileAccess {
public:
    bool ReadFile(const std::string& path, std::string& bytes) override {
        if (path.find(".png") != std::string::npos) read.insert(path);
        return PakReadAll(path, bytes);
    }
    std::set<std::string> read;
};

// Screens are built hidden: only what shows at start decodes its picture,
// a screen's own waits until it is first shown.
class StartingGame : public SampleGame {
protected:
    void StartApp() override {
        Zephra::SetFileAccess(&files);
        SampleGame::StartApp();
        Zephra::SetFileAccess(nullptr);
        InstallGameFileAccess(true);
    }
    NotingFiles files;
};

TEST_F(StartingGame, HiddenScreensDecodeNoPictures) {
    struct Case {
        const char* picture;
        bool read;
    } cases[] = {
        {"images\\screens\\splash1.png", true},
        {"images\\screens\\career_bkg.png", false},
        {"images\\screens\\help_page1.png", false},
    };
    for (const Case& c : cases) EXPECT_EQ(files.read.count(c.picture), c.read ? 1u : 0u) << c.picture;
}

// Every name the sample layout uses resolves, every texture rectangle lies
// inside its picture, and every type word is there.
TEST_F(SampleGame, SampleLayoutNamesOnlyWhatExists) {
    XmlNode root = composition.GetUiRoot();
    TextureTable* textures = app->GetTextureTable();
    std::set<std::string> types;
    int textures_checked = 0;
    for (pugi::xpath_node xn : root.select_nodes("//*")) {
        XmlNode n = xn.node();
        const std::string tag = n.name();
        const std::string where = tag + " " + n.attribute("name").as_string() + n.attribute("id").as_string() +
                                  n.attribute("mode").as_string();
        if (n.attribute("type")) types.insert(n.attribute("type").as_string());
        if (n.attribute("effect")) {
            const XmlVars vars{{"n", n.attribute("effect").as_string()}};
            EXPECT_TRUE(XmlSelectNode(gEffectConfigRoot, "effect[@name = $n]", &vars)) << where;
        }
        if (n.attribute("label")) {
            EXPECT_TRUE(app->GetLocTable()->Has(n.attribute("label").as_string())) << where;
        }
        if (tag == "textattr") {
            EXPECT_NE(app->GetFont(n.attribute("font").as_string()), nullptr) << where;
        }
        std::string image = tag == "cursors" ? n.attribute("image").as_string()
                            : tag == "texture" ? n.attribute("texture").as_string()
                                               : "";
        if (image.empty()) continue;
        std::vector<std::string> names{image};
        if (image.size() >= 2 && image[0] == '+') {
            for (char d = '1'; d <= '9'; ++d) {
                std::string next = image;
                next[1] = d;
                if (textures->IsDefined(next)) names.push_back(next);
            }
            EXPECT_GT(names.size(), 1u) << where << ": an animation has more than one frame";
        }
        XmlNode owner = n.parent();
        for (const std::string& name : names) {
            Zephra::MemoryImage* picture = textures->Acquire(name);
            ASSERT_NE(picture, nullptr) << where << ": " << textures->LastError();
            if (tag == "texture" && std::string(n.attribute("id").as_string()) != "check") {
                const int u = n.attribute("u").as_int(), v = n.attribute("v").as_int();
                int w = owner.attribute("width").as_int();
                const int h = owner.attribute("height").as_int();
                if (owner.attribute("seg_width")) w = owner.attribute("seg_width").as_int();
                EXPECT_TRUE(u >= 0 && v >= 0 && u + w <= picture->mWidth && v + h <= picture->mHeight)
                    << where << " in " << owner.attribute("name").as_string() << ": " << u << "," << v << " " << w
                    << "x" << h << " outside " << picture->mWidth << "x" << picture->mHeight;
                ++textures_checked;
            }
            textures->Release(name);
        }
    }
    EXPECT_GT(textures_checked, 20);
    EXPECT_EQ(types, (std::set<std::string>{"uxbutton", "uxtext", "uxdialog", "uxbar", "uxlist", "uxscroll",
                                            "uxcheckbox", "uxslider", "uxedit", "uxtutorial"}));
}

// The sample dialog loads, and every control with an effect shows and hides
// through it.
TEST_F(SampleGame, SampleDialogShowsAndHidesThroughItsEffects) {
    auto* sample = new UiDialog(nullptr, app.get());
    ASSERT_TRUE(sample->LoadByName(composition.GetUiRoot(), "sample"));
    app->mWidgetManager->AddWidget(sample);
    TextureTable* textures = app->GetTextureTable();
    auto* inner = dynamic_cast<UiDialog*>(sample->FindChild("inner"));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(textures->UseCount("ui_panel"), 0) << "pictures wait until the dialog shows";
    sample->SetVisible(true);
    inner->SetVisible(true);
    EXPECT_EQ(textures->UseCount("ui_panel"), 1);
    EXPECT_EQ(textures->UseCount("ui_inner"), 1);
    struct Case {
        const char* name;
    } cases[] = {{""}, {"inner"}, {"hint"}};
    for (const Case& c : cases) {
        UiControl* control = *c.name ? sample->FindChild(c.name) : sample;
        ASSERT_NE(control, nullptr) << c.name;
        ASSERT_NE(control->GetEffect(), nullptr) << c.name;
        control->Hide();
        for (int i = 0; i < 100; ++i) app->UpdateApp();
        EXPECT_FALSE(control->mVisible) << c.name;
        control->Show();
        for (int i = 0; i < 100; ++i) app->UpdateApp();
        EXPECT_TRUE(control->mVisible) << c.name;
        EXPECT_NEAR(control->mAlpha, 1.0f, 1e-6) << c.name;
    }
    inner->Hide();
    for (int i = 0; i < 100; ++i) app->UpdateApp();
    EXPECT_EQ(textures->UseCount("ui_inner"), 0);
    inner->Show();
    EXPECT_EQ(textures->UseCount("ui_inner"), 1);
    app->mWidgetManager->RemoveWidget(sample);
    delete sample;
    EXPECT_EQ(textures->UseCount("ui_panel"), 0);
    EXPECT_EQ(textures->UseCount("ui_inner"), 0);
}

// A layout file the game cannot read ends the game as a missing font does:
// "Fatal Error" and status 1, never a blank window that stays open.
TEST(GameStartup, UnreadableLayoutsEndTheGameWithAFatalError) {
    namespace fs = std::filesystem;
    testsupport::TempUserDirs user;
    testsupport::TempDir game;
    fs::copy(testsupport::SourceDir() + "/data", game.Path(), fs::copy_options::recursive);
    const std::string ui = game.File("cfg/ui.xml");
    const std::string layouts = testsupport::ReadFile(ui);
    std::string noise(4000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    struct Case {
        const char* what;
        std::function<void()> make;
    } cases[] = {
        {"empty", [&] { testsupport::WriteFile(ui, ""); }},
        {"cut in half", [&] { testsupport::WriteFile(ui, layouts.substr(0, layouts.size() / 2)); }},
        {"random bytes", [&] { testsupport::WriteFile(ui, noise); }},
        {"a folder", [&] { fs::create_directory(ui); }},
        {"a named pipe", [&] { ASSERT_EQ(mkfifo(ui.c_str(), 0600), 0); }},
    };
    GameComposition composition;
    OfficeApp::SetGameHooks(&composition);
    for (const Case& c : cases) {
        fs::remove_all(ui);
        c.make();
        testing::internal::CaptureStderr();
        const int status = RunGame(game.Path(), false);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 1) << c.what;
        EXPECT_NE(said.find("Fatal Error: The screens' layouts cannot be read: cfg\\ui.xml"), std::string::npos)
            << c.what << ": " << said;
    }
    OfficeApp::SetGameHooks(nullptr);
}

// The game tears down the application first; a composition that goes first
// takes down what it built in its own order (the level's tutorial after the
// level), and the application then goes without it.
TEST(GameTeardown, EitherTheApplicationOrTheCompositionMayGoFirst) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    testsupport::TempUserDirs user;
    testsupport::TempDir prefs;
    const std::string oldDir = PakGetGameDir();
    PakSetGameDir(testsupport::SourceDir() + "/data");
    InstallGameFileAccess(true);
    for (bool compositionFirst : {false, true}) {
        auto composition = std::make_unique<GameComposition>();
        OfficeApp::SetGameHooks(composition.get());
        auto app = std::make_unique<testsupport::TestApp>(prefs.File("pref.dat"));
        ASSERT_TRUE(app->Init());
        app->LoadingThreadCompleted();
        ASSERT_TRUE(app->CreateProfile(u"Ann", "man"));
        LevelScreen* level = app->GetLevelScreen();
        ASSERT_NE(level, nullptr);
        ASSERT_TRUE(level->LoadLevel(1)) << "day 1 runs its tutorial";
        level->StartLevel();
        for (int i = 0; i < 10; ++i) app->UpdateApp();
        if (compositionFirst) {
            composition.reset();
            EXPECT_EQ(OfficeApp::GetGameHooks(), nullptr);
            EXPECT_EQ(app->GetLevelScreen(), nullptr) << "the level went with the composition";
            EXPECT_EQ(app->mMainMenu, nullptr);
        }
        app.reset();
        composition.reset();
        OfficeApp::SetGameHooks(nullptr);
    }
    InstallGameFileAccess(false);
    PakSetGameDir(oldDir);
}

} // namespace
