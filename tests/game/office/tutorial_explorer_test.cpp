// The tutorial of the first career days played by many newcomers, each
// answering one pop-up in their own way (late, with the client instead of
// the place, with both clicks of an errand at once, with a wrong click
// first, by closing it first, while a worker heads for the bar) and the
// others promptly: each must see the tutorial end and the day reach its goal,
// and none may be left with blocked objects, no pop-up and nothing under way.
// The game runs as the menus start it, clicked through the widget manager, on
// a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <random>
#include <string>
#include <vector>

#include "framework/app/widget_manager.h"
#include "game/office/boss.h"
#include "game/office/client.h"
#include "game/office/level_screen.h"
#include "game/office/office_globals.h"
#include "game/office/rule_sequencer.h"
#include "game/office/worker.h"
#include "game/screens/briefing_dialog.h"
#include "game/screens/comix_dialog.h"
#include "game/screens/debriefing_dialog.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/hud.h"
#include "game/screens/main_menu.h"
#include "game/screens/screen_kit.h"
#include "game/screens/splash_screen.h"
#include "game/ui/ui_button.h"
#include "platform/random.h"
#include "tests/support/fake_clock.h"
#include "tests/support/office_player.h"
#include "tests/support/sample_game.h"

namespace {

using testsupport::FindTutorialStep;
using testsupport::TutorialAct;
using testsupport::TutorialStep;

enum class Answer { kPrompt, kAfter30, kAfter120, kClient, kAtOnce, kWrongTable, kWrongBin, kClose, kBar };

const char* AnswerName(Answer a) {
    switch (a) {
    case Answer::kPrompt: return "promptly";
    case Answer::kAfter30: return "after 30 s";
    case Answer::kAfter120: return "after 120 s";
    case Answer::kClient: return "the client for the place";
    case Answer::kAtOnce: return "both clicks at once";
    case Answer::kWrongTable: return "another table first";
    case Answer::kWrongBin: return "the bin first";
    case Answer::kClose: return "closed first";
    case Answer::kBar: return "worker at the bar";
    }
    return "";
}

// The errand a person makes in one go from what the pop-up says: its first
// click and the one that naturally follows.
struct Errand {
    int popup;
    const char* first;
    const char* second;
};
constexpr Errand kErrands[] = {
    {4, "shelving01", "table04a"},  {7, "table04a", "client_place03"}, {13, "shelving01", "table04a"},
    {14, "table04a", "table01a"},   {15, "table01a", "@wanting"},
};

const Errand* FindErrand(int popup) {
    for (const Errand& errand : kErrands) {
        if (errand.popup == popup) return &errand;
    }
    return nullptr;
}

bool NamesAPlace(std::string_view target) { return target.starts_with("client_place") || target.starts_with("@"); }

// Whether the answer means something for the pop-up of the day.
bool Applies(Answer answer, int day, const TutorialStep& step) {
    const bool clicks = step.act == TutorialAct::kClick;
    switch (answer) {
    case Answer::kClient:
        return clicks && (NamesAPlace(step.targets[0]) || NamesAPlace(step.targets[1]));
    case Answer::kAtOnce:
        return FindErrand(step.popup) != nullptr;
    case Answer::kWrongTable:
    case Answer::kWrongBin:
        return clicks;
    case Answer::kBar:
        // Only day 2's office has a bar; these send the boss to a worker.
        return day == 2 && (step.popup == 13 || step.popup == 14);
    case Answer::kAfter30:
    case Answer::kAfter120:
        // A pop-up that asks only to wait is answered by waiting, late or not.
        return step.act != TutorialAct::kWait;
    default:
        return true;
    }
}

// One newcomer: follows the newest pop-up (tutorial_steps.h), answers the
// chosen ones in its way and the others after a reaction of 0.3-0.8 s, and
// plays the office as the competent player once nothing is asked.
class Newcomer {
public:
    Newcomer(LevelScreen* level, Hud* hud, std::set<int> popups, Answer answer, unsigned seed)
        : player(level, seed), level_(level), hud_(hud), popups_(std::move(popups)), answer_(answer), rng_(seed) {
        player.thinkLeast = 0.3f;
        player.thinkMost = 0.8f;
    }

    testsupport::Player player;
    std::set<int> seen;
    std::function<void(int, int)> clickAt;

    void Act() {
        const float now = level_->GetElapsed();
        for (int n = 1; n <= testsupport::TutorialFollower::kPopups; ++n) {
            const bool shown = hud_->IsChildVisible(n);
            if (shown && !visible_.contains(n)) Begin(n, now);
            if (shown) {
                visible_.insert(n);
            } else {
                visible_.erase(n);
            }
        }
        if (now < readyAt_) return;
        if (closing_) {
            // Closed (or tried to): a person looks about and then does what it said.
            closing_ = false;
            if (UiControl* popup = hud_->mTutorials[current_]) Press(popup);
            readyAt_ = now + 35.0f;
            return;
        }
        if (waitsForBar_) {
            bool away = now >= barUntil_;
            for (Worker* worker : gWorkers) {
                const int state = worker->GetState();
                away = away || (worker->IsVisible() && state == Worker::kWantsBreak) || state == Worker::kOnBreak;
            }
            if (!away) return;
            waitsForBar_ = false;
        }
        const TutorialStep* step = current_ ? FindTutorialStep(current_) : nullptr;
        if (step == nullptr || step->act == TutorialAct::kPlay || next_ >= 2 || step->targets[next_].empty()) {
            if (step == nullptr || step->act != TutorialAct::kWait) player.Act();
            return;
        }
        if (step->act == TutorialAct::kWait) return;
        if (pendingSecond_ != nullptr) {
            // The errand's second click, 0.3 s after the first, whatever the boss does.
            const char* second = pendingSecond_;
            pendingSecond_ = nullptr;
            ClickTarget(second);
            if (step->targets[next_] == second) ++next_;
            readyAt_ = now + Reaction();
            return;
        }
        if (!player.BossIdle()) return;
        if (wrong_ != nullptr) {
            ClickTarget(wrong_);
            wrong_ = nullptr;
            readyAt_ = now + Reaction();
            return;
        }
        const std::string_view target = step->targets[next_];
        Pickable* object = player.Find(target);
        if (object == nullptr) return;
        LevelTutorial* tutorial = level_->GetTutorial();
        if (tutorial && !tutorial->AllowsName(object->GetName())) return;
        ClickTarget(target);
        ++next_;
        if (atOnce_ && FindErrand(current_) && FindErrand(current_)->first == target) {
            atOnce_ = false;
            pendingSecond_ = FindErrand(current_)->second;
            readyAt_ = now + 0.3f;
            return;
        }
        readyAt_ = now + Reaction();
    }

private:
    void Begin(int popup, float now) {
        seen.insert(popup);
        current_ = popup;
        next_ = 0;
        pendingSecond_ = nullptr;
        const Answer answer = popups_.contains(popup) ? answer_ : Answer::kPrompt;
        answerNow_ = answer;
        readyAt_ = now + Reaction();
        if (answer == Answer::kAfter30) readyAt_ = now + 30.0f;
        if (answer == Answer::kAfter120) readyAt_ = now + 120.0f;
        closing_ = answer == Answer::kClose;
        wrong_ = answer == Answer::kWrongTable ? "table02a" : answer == Answer::kWrongBin ? "trash_bin" : nullptr;
        atOnce_ = answer == Answer::kAtOnce;
        waitsForBar_ = answer == Answer::kBar;
        barUntil_ = now + 120.0f;
    }
    float Reaction() { return std::uniform_real_distribution<float>(0.3f, 0.8f)(rng_); }

    // The target as the answer clicks it: the client in place of its place.
    void ClickTarget(std::string_view target) {
        Pickable* object = player.Find(target);
        if (object == nullptr) return;
        if (answerNow_ == Answer::kClient && object->GetName().starts_with("client_place")) {
            if (auto* client = dynamic_cast<Pickable*>(FindObject("client" + object->GetName().substr(12))))
                object = client;
        }
        player.Click(object);
    }
    void Press(UiControl* control) {
        const Zephra::Point p = control->GetAbsPos();
        clickAt(p.mX + control->mWidth / 2, p.mY + control->mHeight / 2);
    }

    LevelScreen* level_;
    Hud* hud_;
    std::set<int> popups_;
    Answer answer_;
    Answer answerNow_ = Answer::kPrompt;
    std::mt19937 rng_;
    std::set<int> visible_;
    int current_ = 0;
    size_t next_ = 0;
    float readyAt_ = 0.0f;
    bool closing_ = false;
    bool atOnce_ = false;
    bool waitsForBar_ = false;
    float barUntil_ = 0.0f;
    const char* wrong_ = nullptr;
    const char* pendingSecond_ = nullptr;
};

// Nothing moves towards the tutorial's next step: the boss stands with
// nothing to do, no worker works or is away, no client comes, decides, pays
// or goes, and no wait of the rules runs.
bool NothingUnderWay(LevelScreen* level) {
    if (!level->GetClickQueue().empty() || gRuleSequencer->IsWaiting()) return false;
    if (gBoss && (gBoss->IsBusy() || !gBoss->GetTargets().empty() || gBoss->IsWalking())) return false;
    for (Worker* worker : gWorkers) {
        const int state = worker->GetState();
        if (state == Worker::kWorking || state == Worker::kOnBreak) return false;
    }
    for (Item* item : gObjects) {
        auto* client = dynamic_cast<Client*>(item);
        if (client == nullptr || !client->IsVisible()) continue;
        const int state = client->GetState();
        if (state == Client::kArrived || state == Client::kDeciding || state >= Client::kDelivered) return false;
    }
    return true;
}

bool ObjectsBlocked() {
    for (Pickable* p : gPickables) {
        if (p->IsVisible() && p->IsActive() && !gRuleSequencer->IsObjectAllowed(p->GetName())) return true;
    }
    return false;
}

struct Outcome {
    bool ended = false;        // the tutorial ran and ended
    float endedAt = 0;
    bool debriefed = false;
    std::string outcome;       // of the debriefing
    int money = 0;
    int goal = 0;
    float longestStranded = 0; // seconds blocked with no pop-up and nothing under way
    float seconds = 0;
    std::set<int> seen;
};

class TutorialExplorer : public testsupport::SampleGame {
protected:
    void StartApp() override {
        app = std::make_unique<testsupport::TestApp>(prefs.File("pref.dat"));
        ASSERT_TRUE(app->Init());
        app->LoadingThreadProc();
        app->LoadingThreadCompleted();
        for (int i = 0; i < 1000 && !(app->mMainMenu && app->mMainMenu->mVisible); ++i) {
            if (app->mSplash && app->mSplash->mVisible) app->mSplash->Hide();
            Step();
        }
        ASSERT_TRUE(app->CreateProfile(u"Ann", "man"));
    }
    void Step() {
        clock.now += static_cast<uint64_t>(app->mUpdateInterval);
        app->UpdateApp();
    }
    void Click(int x, int y) {
        app->mWidgetManager->MouseMove(x, y);
        app->mWidgetManager->MouseDown(x, y, 1);
        app->mWidgetManager->MouseUp(x, y, 1);
    }
    void Press(UiControl* control) {
        if (control == nullptr || !control->mVisible) return;
        const Zephra::Point p = control->GetAbsPos();
        Click(p.mX + control->mWidth / 2, p.mY + control->mHeight / 2);
    }

    Outcome Play(int day, const std::set<int>& popups, Answer answer, unsigned seed) {
        Outcome out;
        GameLevelScreens* screens = composition.GetLevelScreens();
        LevelScreen* level = app->GetLevelScreen();
        if (screens->IsDialogShown(LevelScreens::kDebriefing)) screens->ShowDialog(LevelScreens::kDebriefing, false);
        platform::SeedRand(seed);
        GetLevelLink()->SetSurvival(false);
        app->mUpdateInterval = 100;  // the load screen's wait in big steps
        StartLevelFrom(app->mMainMenu, app.get(), day);
        app->mUpdateInterval = 10;
        out.goal = gGameParams.moneyGoal;
        Hud* hud = screens->GetHud();
        Newcomer newcomer(level, hud, popups, answer, seed);
        newcomer.player.clickAt = [this](int x, int y) { Click(x, y); };
        newcomer.clickAt = [this](int x, int y) { Click(x, y); };
        bool started = false;
        float stranded = 0;
        // A tutorial day lasts minutes; one still going after twenty is stuck.
        while (level->GetElapsed() < 1200.0f) {
            if (ComixDialog* comix = screens->GetComix(); comix->mVisible) {
                Press(comix->mButtons[comix->mPage]);
            } else if (BriefingDialog* briefing = screens->GetBriefing(); briefing->mVisible) {
                Press(briefing->mContinue);
            } else if (screens->IsDialogShown(LevelScreens::kDebriefing)) {
                out.debriefed = true;
                break;
            } else if (level->IsInPlay()) {
                started = started || gRuleSequencer->IsRunning();
                if (started && !gRuleSequencer->IsRunning() && !out.ended) {
                    out.ended = true;
                    out.endedAt = level->GetElapsed();
                }
                bool popupShown = false;
                for (int n = 1; n <= testsupport::TutorialFollower::kPopups; ++n) popupShown |= hud->IsChildVisible(n);
                if (gRuleSequencer->IsRunning() && ObjectsBlocked() && !popupShown && NothingUnderWay(level)) {
                    stranded += gFrameTime;
                    out.longestStranded = std::max(out.longestStranded, stranded);
                } else {
                    stranded = 0;
                }
                newcomer.Act();
            }
            Step();
        }
        out.outcome = out.debriefed ? screens->GetDebriefing()->mOutcome : "playing";
        out.money = level->GetMoney();
        out.seconds = level->GetElapsed();
        out.seen = newcomer.seen;
        return out;
    }

    testsupport::FakeClock clock;
};

// One day, one way of answering: a newcomer who answers every pop-up of the
// day that the answer means something for in that way, and the others
// promptly.
struct Exploration {
    int day;
    Answer answer;
    int part = 0;   // the long answers are split among newcomers: pop-ups
    int parts = 1;  // in turn to each of `parts`, this one takes `part`
};

class TutorialExplorerDay : public TutorialExplorer, public ::testing::WithParamInterface<Exploration> {};

TEST_P(TutorialExplorerDay, NoNewcomerIsStranded) {
    const Exploration e = GetParam();
    std::set<int> applicable;
    std::set<int> popups;
    std::string list;
    for (const TutorialRule& rule : RuleSequencer::ScriptOfDay(e.day)) {
        if (rule.show == 0 || applicable.contains(rule.show)) continue;
        const TutorialStep* step = FindTutorialStep(rule.show);
        ASSERT_NE(step, nullptr) << "pop-up " << rule.show;
        if (e.answer != Answer::kPrompt && !Applies(e.answer, e.day, *step)) continue;
        applicable.insert(rule.show);
        if (static_cast<int>(applicable.size() - 1) % e.parts != e.part) continue;
        popups.insert(rule.show);
        list += (list.empty() ? "" : ", ") + std::to_string(rule.show);
    }
    const std::string what = "day " + std::to_string(e.day) + ", " + AnswerName(e.answer) + " (" + list + ")";
    const Outcome out =
        Play(e.day, popups, e.answer, static_cast<unsigned>(e.day * 100 + static_cast<int>(e.answer) * 10 + e.part));
    EXPECT_TRUE(out.ended) << what << ": the tutorial ends";
    EXPECT_TRUE(out.debriefed) << what << ": the day ends";
    EXPECT_GE(out.money, out.goal) << what << ": the goal";
    EXPECT_LT(out.longestStranded, 30.0f) << what << ": blocked with no pop-up and nothing under way";
    for (int popup : popups) EXPECT_TRUE(out.seen.contains(popup)) << what << ": pop-up " << popup << " showed";
    // The row of the table in docs/balance.md.
    if (std::getenv("TUTORIAL_EXPLORER_TABLE")) {
        std::printf("| %d | %s | %s | %.0f | %s | %d / %d | %.0f | %.1f |\n", e.day, AnswerName(e.answer), list.c_str(),
                    out.endedAt, out.outcome.c_str(), out.money, out.goal, out.seconds, out.longestStranded);
    }
}

std::vector<Exploration> Explorations() {
    std::vector<Exploration> out;
    for (int day : {1, 2}) {
        for (Answer answer : {Answer::kPrompt, Answer::kAfter30, Answer::kAfter120, Answer::kClient, Answer::kAtOnce,
                              Answer::kWrongTable, Answer::kWrongBin, Answer::kClose, Answer::kBar}) {
            if (day == 1 && answer == Answer::kBar) continue;
            // Two pop-ups answered 120 s late make a long enough day.
            const int parts = answer == Answer::kAfter120 ? (day == 1 ? 4 : 2) : 1;
            for (int part = 0; part < parts; ++part) out.push_back({day, answer, part, parts});
        }
    }
    return out;
}

std::string ExplorationName(const ::testing::TestParamInfo<Exploration>& info) {
    const char* names[] = {"Prompt", "After30", "After120", "Client", "AtOnce", "WrongTable", "WrongBin", "Close", "Bar"};
    const Exploration& e = info.param;
    return "Day" + std::to_string(e.day) + names[static_cast<int>(e.answer)] +
           (e.parts > 1 ? "Part" + std::to_string(e.part + 1) : std::string());
}

INSTANTIATE_TEST_SUITE_P(Answers, TutorialExplorerDay, ::testing::ValuesIn(Explorations()), ExplorationName);

} // namespace
