#include "game/office/rule_sequencer.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/fake_tutorial_owner.h"

namespace {

using testsupport::FakeTutorialOwner;

std::set<std::string> Words(const char* text) {
    std::set<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.insert(word);
    return out;
}

std::string Join(const std::set<int>& numbers) {
    std::string out;
    for (int n : numbers) out += (out.empty() ? "" : " ") + std::to_string(n);
    return out;
}

// Every name either script blocks or unblocks.
std::set<std::string> ScriptNames() {
    std::set<std::string> names;
    for (int day : {1, 2}) {
        for (const TutorialRule& rule : RuleSequencer::ScriptOfDay(day)) {
            for (int i = 0; i < TutorialRule::kEntries; ++i) {
                if (rule.blockNames[i]) names.insert(rule.blockNames[i]);
                if (rule.unblockNames[i]) names.insert(rule.unblockNames[i]);
            }
        }
    }
    return names;
}

// What a running sequencer blocks, as event ids 0..9 and the script names.
std::string Blocked(const RuleSequencer& sequencer, std::string& names) {
    std::set<int> events;
    for (int id = 0; id <= 9; ++id) {
        if (!sequencer.IsEventAllowed(id)) events.insert(id);
    }
    names.clear();
    for (const std::string& name : ScriptNames()) {
        if (!sequencer.IsObjectAllowed(name)) names += (names.empty() ? "" : " ") + name;
    }
    return Join(events);
}

struct Step {
    enum Kind { kEvent, kUpdate, kClose } kind;  // close: the player hides a pop-up
    float value;
    int next;
    bool waiting;
    const char* shown;
    const char* events;
    const char* names;
};

void Walk(int day, const std::vector<Step>& steps) {
    FakeTutorialOwner owner;
    RuleSequencer sequencer(&owner);
    sequencer.Start(day);
    EXPECT_EQ(sequencer.GetRuleCount(), static_cast<int>(RuleSequencer::ScriptOfDay(day).size()));
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        if (s.kind == Step::kEvent) sequencer.OnEvent(static_cast<int32_t>(s.value));
        if (s.kind == Step::kUpdate) sequencer.Update(s.value);
        if (s.kind == Step::kClose) owner.Hide(static_cast<int>(s.value));
        const std::string where = "day " + std::to_string(day) + " step " + std::to_string(i);
        EXPECT_EQ(sequencer.GetNextRule(), s.next) << where;
        EXPECT_EQ(sequencer.IsWaiting(), s.waiting) << where;
        EXPECT_EQ(Join(owner.shown), s.shown) << where;
        std::string names;
        EXPECT_EQ(Blocked(sequencer, names), s.events) << where;
        EXPECT_EQ(Words(names.c_str()), Words(s.names)) << where;
    }
    EXPECT_FALSE(sequencer.IsRunning()) << "day " << day << ": ends after its last rule";
    for (int number : owner.asked) EXPECT_NE(number, 0) << "day " << day << ": pop-up 0 is none";
}

constexpr Step::Kind E = Step::kEvent, U = Step::kUpdate, C = Step::kClose;

TEST(RuleSequencer, DayOneScript) {
    const char* six = "table02a table04a client_place03 client_place04 trash_bin shelving01";
    Walk(1, {
        {E, 0, 1, false, "", "1", six},  // started: event 0 already applied rule 0
        {E, 3, 1, false, "", "1", six},  // not awaited
        {E, 1, 2, false, "1", "1 2", "table02a table04a client_place04 trash_bin shelving01"},
        {E, 2, 3, false, "", "1 2 3", "table02a table04a client_place04 trash_bin shelving01"},
        {E, 3, 4, false, "2", "1 2 3", "table02a table04a client_place04 trash_bin shelving01"},
        {E, 4, 5, true, "3", "1 2 3", "table02a table04a client_place04 trash_bin shelving01"},
        {E, 0, 5, true, "3", "1 2 3", "table02a table04a client_place04 trash_bin shelving01"},  // waiting
        {U, 2.0f, 5, true, "3", "1 2 3", "table02a table04a client_place04 trash_bin shelving01"},
        {U, 2.1f, 6, false, "4", "1 2", "table02a table04a client_place03 client_place04 trash_bin"},
        {E, 5, 7, false, "5", "1 2", "table02a client_place03 client_place04 trash_bin shelving01"},
        {E, 6, 8, false, "6", "1 2", six},
        {E, 7, 9, false, "7", "1 2", "table02a client_place03 client_place04 trash_bin shelving01"},
        {E, 8, 10, false, "8", "1 2", "table02a table04a client_place04 trash_bin shelving01"},
        {E, 2, 11, false, "9", "1", ""},
        {E, 1, 12, true, "", "1", ""},
        {U, 0.01f, 13, true, "10", "1", ""},  // no pop-up kept rule 11 waiting
        {E, 2, 13, true, "10", "1", ""},      // ignored, and not remembered below
        {U, 0.05f, 13, true, "10", "1", ""},
        {U, 0.06f, 13, false, "10", "1", ""},
        {E, 2, 14, true, "", "1", ""},
        {U, 0.01f, 15, true, "11", "1", ""},
        {C, 11, 15, true, "", "1", ""},
        {U, 0.01f, 16, true, "", "1", ""},  // closed: rule 14's wait ends early
        {U, 0.01f, 16, false, "", "1", ""},
        {E, 9, 17, false, "12", "1", ""},
        {U, 60.0f, 17, false, "12", "1", ""},  // the last hint stays until the player serves
        {E, 2, 0, false, "", "", ""},          // the last rule: the script ends, nothing stays blocked
        {E, 0, 0, false, "", "", ""},
        {U, 1.0f, 0, false, "", "", ""},
    });
}

TEST(RuleSequencer, DayTwoScript) {
    const char* all = "table01a table02a table04a client_place03 client_place04 trash_bin shelving01 door03 "
                      "worker01a_spec worker02a_spec worker04a_spec";
    const char* but03 = "table01a table02a table04a client_place04 trash_bin shelving01 door03 "
                        "worker01a_spec worker02a_spec worker04a_spec";
    const char* but4a = "table01a table02a client_place03 client_place04 trash_bin shelving01 door03 "
                        "worker01a_spec worker02a_spec";
    const char* but1a = "table02a table04a client_place03 client_place04 trash_bin shelving01 door03 "
                        "worker02a_spec worker04a_spec";
    Walk(2, {
        {E, 0, 1, false, "", "", all},
        {E, 1, 2, false, "16", "1 2", but03},
        {E, 2, 3, false, "", "1 2", but03},
        {E, 3, 4, false, "2", "1 2", but03},
        // Pop-up 13 stays with both clicks of the errand open until the worker starts.
        {E, 4, 5, false, "13", "1 2",
         "table01a table02a client_place03 client_place04 trash_bin door03 worker01a_spec worker02a_spec"},
        {U, 60.0f, 5, false, "13", "1 2",
         "table01a table02a client_place03 client_place04 trash_bin door03 worker01a_spec worker02a_spec"},
        {E, 5, 6, false, "13", "1 2", but4a},
        {E, 6, 7, false, "6", "1 2", all},
        {E, 7, 8, false, "14", "1 2", but4a},
        {E, 8, 9, false, "14", "1 2", but1a},
        {E, 8, 10, false, "", "1 2", but1a},
        {E, 6, 11, false, "6", "1 2", all},
        {E, 7, 12, false, "15", "1 2", but1a},
        {E, 8, 13, false, "15", "1 2", but03},
        {E, 2, 0, false, "", "", ""},
        {E, 0, 0, false, "", "", ""},
    });
}

// A wait ends once its time has dropped below 0 or its pop-up is gone; one
// started by a rule without a pop-up ends at the next update.
TEST(RuleSequencer, WaitsEndByTimeOrByTheirPopUp) {
    struct Case {
        const char* what;
        int day;
        std::vector<int> events;     // sent after the start
        std::vector<float> updates;  // the wait still pending after each but the last
        bool closePopup;             // before the last update
    };
    const Case cases[] = {
        {"day 1 rule 4: 4 s", 1, {1, 2, 3, 4}, {1.0f, 1.0f, 1.0f, 1.0f, 0.01f}, false},
        {"day 1 rule 4: closed", 1, {1, 2, 3, 4}, {1.0f, 0.01f}, true},
        {"day 1 rule 11: no pop-up", 1, {1, 2, 3, 4, -4, 5, 6, 7, 8, 2, 1}, {0.0f}, false},
    };
    for (const Case& c : cases) {
        FakeTutorialOwner owner;
        RuleSequencer sequencer(&owner);
        sequencer.Start(c.day);
        for (int e : c.events) {
            if (e < 0) {
                sequencer.Update(static_cast<float>(-e) + 0.01f);  // lets a wait run out
            } else {
                sequencer.OnEvent(e);
            }
        }
        ASSERT_TRUE(sequencer.IsWaiting()) << c.what;
        const int waitingAt = sequencer.GetNextRule();
        for (size_t i = 0; i + 1 < c.updates.size(); ++i) {
            sequencer.Update(c.updates[i]);
            EXPECT_TRUE(sequencer.IsWaiting()) << c.what << " update " << i;
        }
        if (c.closePopup) owner.shown.clear();
        sequencer.Update(c.updates.back());
        EXPECT_FALSE(sequencer.IsWaiting() && sequencer.GetNextRule() == waitingAt) << c.what << ": wait over";
    }
}

TEST(RuleSequencer, WithoutAScriptEverythingIsAllowed) {
    FakeTutorialOwner owner;
    RuleSequencer sequencer(&owner);
    RuleSequencer bare;  // no owner: the rules still run, nothing shows
    bare.Start(1);
    bare.OnEvent(1);
    EXPECT_EQ(bare.GetNextRule(), 2);
    EXPECT_FALSE(bare.IsObjectAllowed("table02a"));
    const struct {
        const char* what;
        int startDay;  // -1: not started
        bool stop;
    } cases[] = {
        {"never started", -1, false}, {"day 3", 3, false},       {"day 0", 0, false},
        {"day 61", 61, false},        {"day 1 stopped", 1, true}, {"day 2 stopped", 2, true},
    };
    for (const auto& c : cases) {
        if (c.startDay >= 0) sequencer.Start(c.startDay);
        if (c.stop) sequencer.Stop();
        EXPECT_FALSE(sequencer.IsRunning()) << c.what;
        EXPECT_EQ(sequencer.GetNextRule(), 0) << c.what;
        for (int id = -1; id <= 10; ++id) EXPECT_TRUE(sequencer.IsEventAllowed(id)) << c.what << " " << id;
        for (const std::string& name : ScriptNames()) EXPECT_TRUE(sequencer.IsObjectAllowed(name)) << c.what;
        sequencer.OnEvent(0);
        sequencer.Update(1.0f);
        EXPECT_FALSE(sequencer.IsRunning()) << c.what << ": events start nothing";
    }
    // A start while a script runs begins it again from its first rule.
    sequencer.Start(1);
    sequencer.OnEvent(1);
    sequencer.Start(1);
    EXPECT_EQ(sequencer.GetNextRule(), 1);
    EXPECT_FALSE(sequencer.IsObjectAllowed("client_place03"));
    EXPECT_TRUE(sequencer.IsEventAllowed(2));
}

} // namespace
