// Plays career days and survival levels of a game folder headless, faster
// than real time, with a player of tests/support/office_player.h (the
// competent player or the newcomer, who follow the tutorial's pop-ups where
// a day has them) or a random clicker, each run seeded; prints one table row
// per run (the table of docs/balance.md). The levels start as the menus start
// them, the briefings, comics and upgrade choices are clicked as a person
// clicks them.
//
//   balance [--days LIST] [--survival LIST] [--seeds LIST] [--player competent|newcomer|random]
//           [--minutes N] [--wall SECONDS] [--data DIR] [--shots DIR] [--trace] [--check]
//
// LIST is numbers and ranges ("4-60", "1,3"). --minutes caps a survival run
// in game time (default 20; a career day has 20); --wall caps each run in real
// seconds (default 600), so that a level that never starts or never ends does
// not hold the tool: such a run is "timeout" and the status is 1. --shots
// writes each run's briefing, its office after two minutes and its
// debriefing as PNG pictures; --trace prints every click, visit and payment.
// --check ends with a non-zero status when a run misses what the sample game
// promises (see Verdict). SIGTERM or SIGINT abandons the run under way (its
// row says "stopped"), skips the rest and the verdict, removes the temporary
// home and exits with 128 + the signal's number.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "framework/resources/image_lib.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/compose/game_composition.h"
#include "game/office/level_screen.h"
#include "game/screens/briefing_dialog.h"
#include "game/screens/comix_dialog.h"
#include "game/screens/debriefing_dialog.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/hud.h"
#include "game/screens/main_menu.h"
#include "game/screens/screen_kit.h"
#include "game/screens/splash_screen.h"
#include "game/screens/upgrade_dialog.h"
#include "game/ui/ui_button.h"
#include "platform/random.h"
#include "tests/support/fake_clock.h"
#include "tests/support/headless_home.h"
#include "tests/support/office_player.h"

namespace {

enum class Who { kCompetent, kNewcomer, kRandom };
const char* const kWhoNames[] = {"competent", "newcomer", "random"};

struct Options {
    std::vector<int> days;
    std::vector<int> survival;
    std::vector<unsigned> seeds = {1, 2, 3};
    Who who = Who::kCompetent;
    float minutes = 20.0f;
    float wall = 600.0f;
    bool check = false;
    bool trace = false;
    std::string data;
    std::string shots;
};

// One run's outcome.
struct Run {
    bool survival = false;
    int number = 0;
    unsigned seed = 0;
    int money = 0;
    int goal = 0;
    int expert = 0;
    std::string outcome;      // "failure", "goal", "expert"; survival "lost"; "playing" when the cap ended it;
                              // "timeout" past the wall-clock cap, "stopped" by a signal
    float seconds = 0;        // survival: until the last life went
    int stage = 0;
    int upgrades = 0;
};

// The upgrades a player who has read their descriptions takes first; the
// newcomer, who leaves the secretary alone, takes the table.
const char* const kUpgradeLiking[] = {"upgrade_presentation", "upgrade_table"};
const char* const kNewcomerLiking[] = {"upgrade_table"};

// The signal that asked the tool to stop; 0 while none did.
volatile std::sig_atomic_t gStopSignal = 0;
extern "C" void OnStopSignal(int signal) { gStopSignal = signal; }

class BalanceApp : public OfficeApp {
public:
    using OfficeApp::OfficeApp;
    void ShowError(const std::string& text, const std::string& title) override {
        std::fprintf(stderr, "balance: %s: %s\n", title.c_str(), text.c_str());
    }
    // The upgrade choice waits in nested steps: the player chooses there.
    bool StepMainLoop(bool topLevel) override {
        if (onStep) onStep();
        return OfficeApp::StepMainLoop(topLevel);
    }
    std::function<void()> onStep;
};

// A press on a control as the mouse gives it.
void Press(OfficeApp& app, UiControl* control) {
    if (control == nullptr || !control->mVisible) return;
    const Zephra::Point p = control->GetAbsPos();
    const int x = p.mX + control->mWidth / 2, y = p.mY + control->mHeight / 2;
    app.mWidgetManager->MouseMove(x, y);
    app.mWidgetManager->MouseDown(x, y, 1);
    app.mWidgetManager->MouseUp(x, y, 1);
}

class Session {
public:
    Session(const std::string& home) : home_(home) {}

    bool Play(const Options& opt, bool survival, int number, unsigned seed, Run& run) {
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<float>(opt.wall));
        run = Run{};
        run.survival = survival;
        run.number = number;
        run.seed = seed;
        auto app = std::make_unique<BalanceApp>(home_ + "/pref.dat");
        app->mNoWindow = true;
        if (!app->Init()) return false;
        app->LoadingThreadProc();
        app->LoadingThreadCompleted();
        for (int i = 0; i < 1000 && !(app->mMainMenu && app->mMainMenu->mVisible); ++i) {
            if (app->mSplash && app->mSplash->mVisible) app->mSplash->Hide();
            Step(*app);
        }
        if (!app->CreateProfile(u"Balance", "man")) return false;
        GameLevelScreens* screens = composition_.GetLevelScreens();
        LevelScreen* level = app->GetLevelScreen();
        if (screens == nullptr || level == nullptr) return false;

        platform::SeedRand(seed);
        GetLevelLink()->SetSurvival(survival);
        const int interval = app->mUpdateInterval;
        app->mUpdateInterval = 100;  // the load screen's wait in big steps
        StartLevelFrom(app->mMainMenu, app.get(), number);
        app->mUpdateInterval = interval;
        if (!level->IsLevelLoaded()) return false;
        run.goal = gGameParams.moneyGoal;
        run.expert = gGameParams.expertGoal;

        // The player follows the tutorial's pop-ups where a day has them, and
        // plays on its own otherwise.
        Hud* hud = screens->GetHud();
        testsupport::TutorialFollower follower(level, [hud](int n) { return hud->IsChildVisible(n); }, seed);
        const bool newcomer = opt.who == Who::kNewcomer;
        testsupport::Player& player = follower.player;
        player.plan = newcomer ? testsupport::Player::Plan::kNewcomer : testsupport::Player::Plan::kCompetent;
        player.thinkLeast = newcomer ? 1.5f : 0.3f;
        player.thinkMost = newcomer ? 3.0f : 0.8f;
        player.clickAt = [&](int x, int y) {
            if (opt.trace) TraceClick(level, x, y);
            app->mWidgetManager->MouseMove(x, y);
            app->mWidgetManager->MouseDown(x, y, 1);
            app->mWidgetManager->MouseUp(x, y, 1);
        };
        testsupport::RandomClicker clicker(level, seed);
        testsupport::PlayClock upgradeClock(seed);

        // The upgrade choice: the picture of the liked upgrade, then the button.
        app->onStep = [&] {
            UpgradeDialog* upgrade = screens->GetUpgrade();
            if (!upgrade->mVisible) return;
            int choice = 0;
            using Liking = std::span<const char* const>;
            const Liking liking = newcomer ? Liking(kNewcomerLiking) : Liking(kUpgradeLiking);
            for (auto liked = liking.rbegin(); liked != liking.rend(); ++liked) {
                for (int i = 0; i < UpgradeDialog::kChoices; ++i) {
                    if (upgrade->mChoices[i].picture.Name() == std::string("db08_") + *liked) choice = i;
                }
            }
            Press(*app, upgrade->mChoices[choice].button);
            Press(*app, upgrade->mUpgrade);
            ++run.upgrades;
        };

        // A day lasts minutes: one still going after twenty is stuck.
        const float cap = (survival ? opt.minutes : 20.0f) * 60.0f;
        bool over = false, timedOut = false;
        float lostAt = -1.0f;
        const std::string shot = opt.shots.empty() ? std::string()
                                                   : opt.shots + "/" + (survival ? "survival" : "day") +
                                                         std::to_string(number) + "-seed" + std::to_string(seed);
        bool officeShot = false;
        while (!over && level->GetElapsed() < cap && gStopSignal == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                timedOut = true;
                break;
            }
            if (ComixDialog* comix = screens->GetComix(); comix->mVisible) {
                Press(*app, comix->mButtons[comix->mPage]);
            } else if (BriefingDialog* briefing = screens->GetBriefing(); briefing->mVisible) {
                Snapshot(*app, shot, "briefing");
                Press(*app, briefing->mContinue);
            } else if (screens->IsDialogShown(LevelScreens::kDebriefing)) {
                // The count-up over, as a person reads it.
                for (int i = 0; i < 200; ++i) Step(*app);
                Snapshot(*app, shot, "debriefing");
                over = true;
                break;
            } else if (level->IsInPlay()) {
                if (survival && lostAt < 0 && level->IsDayOver()) lostAt = level->GetElapsed();
                if (!officeShot && level->GetElapsed() >= 120.0f) officeShot = Snapshot(*app, shot, "office");
                if (opt.who != Who::kRandom && hud->mUpgradeBtn && hud->mUpgradeBtn->mVisible &&
                    !hud->mUpgradeBtn->mDisabled && upgradeClock.Ready()) {
                    upgradeClock.Wait(newcomer ? 1.5f : 1.0f, newcomer ? 3.0f : 2.0f);
                    Press(*app, hud->mUpgradeBtn);
                }
                if (opt.trace) Trace(level);
                if (opt.who == Who::kRandom) {
                    clicker.Act();
                } else {
                    follower.Act();
                }
            }
            Step(*app);
        }
        for (int popup : follower.unknown)
            std::fprintf(stderr, "balance: day %d shows pop-up %d, which tutorial_steps.h does not know\n", number, popup);
        run.money = level->GetMoney();
        run.stage = level->GetSurvivalModel().stageIndex + 1;
        run.seconds = lostAt >= 0 ? lostAt : level->GetElapsed();
        // A survival level ends when the lives are gone; its debriefing ranks
        // the money among the hiscores, which a fresh profile always tops.
        run.outcome = gStopSignal != 0 ? "stopped"
                      : timedOut       ? "timeout"
                      : !over          ? "playing"
                      : survival       ? "lost"
                                       : screens->GetDebriefing()->mOutcome;
        app->onStep = nullptr;
        app.reset();
        std::error_code ec;
        std::filesystem::remove(home_ + "/pref.dat", ec);
        return true;
    }

    GameComposition& Composition() { return composition_; }

private:
    // The screen as drawn now, into <prefix>-<what>.png; true when there is a prefix.
    static bool Snapshot(OfficeApp& app, const std::string& prefix, const char* what) {
        if (prefix.empty()) return false;
        app.DrawFrame();
        std::string error;
        Zephra::MemoryImage* screen = app.mWidgetManager->GetScreenImage();
        if (screen == nullptr || !Zephra::ImageLib::WritePngImage(prefix + "-" + what + ".png", *screen, error))
            std::fprintf(stderr, "balance: no picture of %s-%s: %s\n", prefix.c_str(), what, error.c_str());
        return true;
    }
    // What was clicked, what the boss holds and what each worker does.
    static void TraceClick(LevelScreen* level, int x, int y) {
        std::string what;
        for (Pickable* p : gPickables) {
            if (p->IsVisible() && p->IsActive() && p->HitTest(x, y)) {
                what = p->GetName();
                break;
            }
        }
        std::printf("  %7.2f click %s (boss holds %s;", level->GetElapsed(), what.c_str(),
                    gBoss ? gBoss->GetStateKey().c_str() : "");
        for (Worker* w : gWorkers) {
            if (w->IsVisible())
                std::printf(" %s %d %s %.0f", w->GetName().c_str(), w->GetState(), w->GetStateKey().c_str(),
                            w->GetStamina());
        }
        std::printf(")\n");
    }
    // Every visit's steps, every cup of coffee and every change of the money.
    void Trace(LevelScreen* level) {
        for (int slot = 0; slot < kClientSlotCount; ++slot) {
            auto* client = dynamic_cast<Client*>(gClientSlots[slot]);
            if (client == nullptr) continue;
            const std::string& name = client->Item::GetName();
            if (client->GetMood() == Client::kMoodCoffee && traceMoods_[slot] != Client::kMoodCoffee)
                std::printf("  %7.2f %s coffee\n", level->GetElapsed(), name.c_str());
            traceMoods_[slot] = client->GetMood();
            const int state = client->GetState();
            if (state != traceStates_[slot])
                std::printf("  %7.2f %s %s %d->%d %s patience %.0f\n", level->GetElapsed(), name.c_str(),
                            client->GetDefName().c_str(), traceStates_[slot], state, client->GetStateKey().c_str(),
                            client->GetPatience());
            traceStates_[slot] = state;
        }
        if (level->GetMoney() != traceMoney_)
            std::printf("  %7.2f money %d -> %d\n", level->GetElapsed(), traceMoney_, level->GetMoney());
        traceMoney_ = level->GetMoney();
    }
    void Step(OfficeApp& app) {
        clock_.now += static_cast<uint64_t>(app.mUpdateInterval);
        app.UpdateApp();
    }

    std::string home_;
    testsupport::FakeClock clock_;
    GameComposition composition_;
    int traceStates_[kClientSlotCount] = {};
    int traceMoods_[kClientSlotCount] = {};
    int traceMoney_ = 0;
};

bool ParseList(const std::string& text, std::vector<int>& out) {
    size_t at = 0;
    while (at < text.size()) {
        size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(at, comma - at);
        const size_t dash = item.find('-');
        char* end = nullptr;
        const long a = std::strtol(item.c_str(), &end, 10);
        long b = a;
        if (dash != std::string::npos) b = std::strtol(item.c_str() + dash + 1, nullptr, 10);
        if (end == item.c_str() || b < a || b - a > 1000) return false;
        for (long i = a; i <= b; ++i) out.push_back(static_cast<int>(i));
        at = comma + 1;
    }
    return !out.empty();
}

std::string Minutes(float seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds) / 60, static_cast<int>(seconds) % 60);
    return text;
}

void PrintRow(const Run& r, Who who) {
    const std::string level = (r.survival ? "survival " : "day ") + std::to_string(r.number);
    const char* player = kWhoNames[static_cast<int>(who)];
    if (r.survival) {
        std::printf("| %-11s | %4u | %-9s | %6d | %6s | %6s | %-8s | %6s | %5d | %8d |\n", level.c_str(), r.seed,
                    player, r.money, "-", "-", r.outcome.c_str(), Minutes(r.seconds).c_str(), r.stage, r.upgrades);
    } else {
        std::printf("| %-11s | %4u | %-9s | %6d | %6d | %6d | %-8s | %6s | %5s | %8s |\n", level.c_str(), r.seed,
                    player, r.money, r.goal, r.expert, r.outcome.c_str(), Minutes(r.seconds).c_str(), "-", "-");
    }
    std::fflush(stdout);
}

// What the sample game promises: the competent player reaches the goal of
// every career day in two seeds of three, keeps survival 1 going for five
// minutes and takes its first upgrade in every seed; the newcomer reaches the
// goal of days 1 to 10 in two seeds of three, and keeps survival 1 going for
// four minutes and takes its first upgrade in two seeds of three; a random
// clicker loses survival 1 within three minutes.
bool Verdict(const Options& opt, const std::vector<Run>& runs) {
    bool ok = true;
    auto complain = [&](const std::string& what) {
        std::printf("balance: %s\n", what.c_str());
        ok = false;
    };
    auto twoInThree = [](int good, int played) { return good * 3 >= played * 2; };
    const bool newcomer = opt.who == Who::kNewcomer;
    for (int day : opt.days) {
        if (opt.who == Who::kRandom || (newcomer && day > 10)) continue;
        int won = 0, played = 0;
        for (const Run& r : runs) {
            if (r.survival || r.number != day) continue;
            ++played;
            won += r.outcome == "goal" || r.outcome == "expert";
        }
        if (!twoInThree(won, played))
            complain("day " + std::to_string(day) + " reached its goal in " + std::to_string(won) + " of " +
                     std::to_string(played));
    }
    int lasted = 0, played = 0;
    for (const Run& r : runs) {
        if (!r.survival || r.number != 1) continue;
        const std::string what = "survival 1, seed " + std::to_string(r.seed) + ": ";
        ++played;
        if (opt.who == Who::kRandom && (r.outcome != "lost" || r.seconds > 180.0f))
            complain(what + "the random clicker lasted " + Minutes(r.seconds));
        if (newcomer) {
            lasted += r.seconds >= 240.0f && r.upgrades >= 1;
        } else if (opt.who == Who::kCompetent) {
            if (r.seconds < 300.0f) complain(what + "lost after " + Minutes(r.seconds));
            if (r.upgrades < 1) complain(what + "no upgrade taken");
        }
    }
    if (newcomer && !twoInThree(lasted, played))
        complain("survival 1: the newcomer lasted four minutes and took an upgrade in " + std::to_string(lasted) +
                 " of " + std::to_string(played));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    opt.data = std::string(PEMBERLY_SOURCE_DIR) + "/data";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        std::vector<int> list;
        bool ok = true;
        if (a == "--check") {
            opt.check = true;
        } else if (a == "--trace") {
            opt.trace = true;
        } else if (a == "--days" && hasValue) {
            ok = ParseList(argv[++i], opt.days);
        } else if (a == "--survival" && hasValue) {
            ok = ParseList(argv[++i], opt.survival);
        } else if (a == "--seeds" && hasValue) {
            ok = ParseList(argv[++i], list);
            opt.seeds.assign(list.begin(), list.end());
        } else if (a == "--player" && hasValue) {
            const std::string kind = argv[++i];
            const auto* name = std::find(std::begin(kWhoNames), std::end(kWhoNames), kind);
            ok = name != std::end(kWhoNames);
            if (ok) opt.who = static_cast<Who>(name - std::begin(kWhoNames));
        } else if (a == "--minutes" && hasValue) {
            opt.minutes = static_cast<float>(std::atof(argv[++i]));
        } else if (a == "--wall" && hasValue) {
            opt.wall = static_cast<float>(std::atof(argv[++i]));
            ok = opt.wall > 0.0f;
        } else if (a == "--data" && hasValue) {
            opt.data = argv[++i];
        } else if (a == "--shots" && hasValue) {
            opt.shots = argv[++i];
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "usage: balance [--days LIST] [--survival LIST] [--seeds LIST] "
                                 "[--player competent|newcomer|random] [--minutes N] [--wall SECONDS] [--data DIR] "
                                 "[--shots DIR] [--trace] [--check]\n");
            return 2;
        }
    }
    if (opt.days.empty() && opt.survival.empty()) {
        ParseList("1-60", opt.days);
        ParseList("1-3", opt.survival);
    }

    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGINT, OnStopSignal);
    namespace fs = std::filesystem;
    const fs::path home = testsupport::MakeHeadlessHome("balance");
    setenv("PEMBERLY_NO_URL", "1", 1);
    PakSetGameDir(opt.data);
    InstallGameFileAccess(true);

    std::vector<Run> runs;
    int status = 0;
    {
        Session session(home.string());
        OfficeApp::SetGameHooks(&session.Composition());
        std::printf("| %-11s | %4s | %-9s | %6s | %6s | %6s | %-8s | %6s | %5s | %8s |\n", "level", "seed", "player",
                    "money", "goal", "expert", "outcome", "time", "stage", "upgrades");
        std::printf("|-------------|------|-----------|--------|--------|--------|----------|--------|-------|"
                    "----------|\n");
        std::fflush(stdout);
        for (int pass = 0; pass < 2 && gStopSignal == 0; ++pass) {
            for (int number : pass == 0 ? opt.days : opt.survival) {
                for (unsigned seed : opt.seeds) {
                    if (gStopSignal != 0) break;
                    Run run;
                    if (!session.Play(opt, pass == 1, number, seed, run)) {
                        // A stop while the level loads is no fault of the level.
                        if (gStopSignal != 0) {
                            run.outcome = "stopped";
                            PrintRow(run, opt.who);
                            break;
                        }
                        std::fprintf(stderr, "balance: %s %d did not start\n", pass ? "survival" : "day", number);
                        status = 1;
                        continue;
                    }
                    PrintRow(run, opt.who);
                    if (run.outcome == "timeout") status = 1;
                    runs.push_back(run);
                }
            }
        }
        OfficeApp::SetGameHooks(nullptr);
    }
    InstallGameFileAccess(false);
    std::error_code ec;
    fs::remove_all(home, ec);
    if (gStopSignal != 0) {
        std::fprintf(stderr, "balance: stopped by signal %d\n", static_cast<int>(gStopSignal));
        return 128 + gStopSignal;
    }
    if (opt.check && !Verdict(opt, runs)) status = 1;
    return status;
}
