#include "game/office/rule_sequencer.h"

#include "game/app/game_util.h"

RuleSequencer* gRuleSequencer = nullptr;

namespace {

// Day 1: one client served step by step (order, shelving, worker, table),
// then a second client on their own, then a hint for a client with more
// than one order; the script ends once the player serves after that hint.
constexpr TutorialRule kDay1[] = {
    {.event = 0, .blockEvents = {1},
     .blockNames = {"table02a", "table04a", "client_place03", "client_place04", "trash_bin", "shelving01"}},
    {.event = 1, .show = 1, .blockEvents = {2}, .unblockNames = {"client_place03"}},
    {.event = 2, .hide = 1, .blockEvents = {3}},
    {.event = 3, .show = 2},
    {.event = 4, .wait = 4.0f, .show = 3, .hide = 2},
    {.event = 0, .show = 4, .hide = 3, .unblockEvents = {3},
     .blockNames = {"table02a", "table04a", "client_place03", "client_place04", "trash_bin"},
     .unblockNames = {"shelving01"}},
    {.event = 5, .show = 5, .hide = 4, .blockNames = {"shelving01"}, .unblockNames = {"table04a"}},
    {.event = 6, .show = 6, .hide = 5, .blockNames = {"table04a"}},
    {.event = 7, .show = 7, .hide = 6, .blockEvents = {2}, .unblockNames = {"table04a"}},
    {.event = 8, .show = 8, .hide = 7, .blockNames = {"table04a"}, .unblockNames = {"client_place03"}},
    {.event = 2, .show = 9, .hide = 8, .unblockEvents = {2},
     .unblockNames = {"table02a", "table04a", "trash_bin", "shelving01", "client_place03", "client_place04"}},
    {.event = 1, .wait = 3.0f, .hide = 9},
    {.event = 0, .wait = 0.1f, .show = 10, .unblockNames = {"client_place04"}},
    {.event = 2, .wait = 1.0f, .hide = 10,
     .unblockNames = {"table02a", "table04a", "client_place03", "client_place04", "trash_bin", "shelving01"}},
    {.event = 0, .wait = 3.0f, .show = 11},
    {.event = 0, .wait = 1.0f, .hide = 11},
    // The last hint stays, and patience with it, until the player serves.
    {.event = 9, .show = 12},
    {.event = 2, .hide = 12},
};

// Day 2: the specialists' boards and a second worker.
constexpr TutorialRule kDay2[] = {
    {.event = 0,
     .blockNames = {"table01a", "table02a", "table04a", "client_place03", "client_place04", "trash_bin",
                    "shelving01", "door03", "worker01a_spec", "worker02a_spec", "worker04a_spec"}},
    {.event = 1, .show = 16, .blockEvents = {2, 1}, .unblockNames = {"client_place03"}},
    {.event = 2, .hide = 16},
    {.event = 3, .show = 2},
    // Pop-up 13 names both clicks of the errand and stays until the worker
    // starts, so both are open at once: "shelving, then table" loses neither.
    {.event = 4, .show = 13, .hide = 2, .blockNames = {"client_place03"},
     .unblockNames = {"shelving01", "table04a", "worker04a_spec"}},
    {.event = 5, .blockNames = {"shelving01"}},
    {.event = 6, .show = 6, .hide = 13, .blockNames = {"table04a", "worker04a_spec"}},
    {.event = 7, .show = 14, .hide = 6, .unblockNames = {"table04a", "worker04a_spec"}},
    {.event = 8, .blockNames = {"table04a", "worker04a_spec"}, .unblockNames = {"table01a", "worker01a_spec"}},
    {.event = 8, .hide = 14},
    {.event = 6, .show = 6, .blockNames = {"table01a", "worker01a_spec"}},
    {.event = 7, .show = 15, .hide = 6, .unblockNames = {"table01a", "worker01a_spec"}},
    {.event = 8, .blockNames = {"table01a", "worker01a_spec"}, .unblockNames = {"client_place03"}},
    {.event = 2, .hide = 15, .unblockEvents = {2, 1},
     .unblockNames = {"table01a", "table02a", "table04a", "client_place03", "client_place04", "trash_bin",
                      "shelving01", "door03", "worker01a_spec", "worker02a_spec", "worker04a_spec"}},
};

struct Script {
    int day;
    std::span<const TutorialRule> rules;
};

constexpr Script kScripts[] = {{1, kDay1}, {2, kDay2}};

} // namespace

std::span<const TutorialRule> RuleSequencer::ScriptOfDay(int day) {
    for (const Script& script : kScripts) {
        if (script.day == day) return script.rules;
    }
    return {};
}

void RuleSequencer::Start(int day) {
    Stop();
    script_ = ScriptOfDay(day);
    if (!script_.empty()) OnEvent(kEventNext);
}

void RuleSequencer::Stop() {
    script_ = {};
    next_ = 0;
    waiting_ = false;
    remainingWait_ = 0.0f;
    waitPopup_ = 0;
    blockedEvents_.clear();
    blockedNames_.clear();
}

void RuleSequencer::OnEvent(int32_t event) {
    if (script_.empty() || waiting_ || next_ >= GetRuleCount()) return;
    const TutorialRule& rule = script_[next_];
    if (rule.event != event) return;
    Apply(rule);
    if (rule.wait != 0.0f) {
        waiting_ = true;
        remainingWait_ = rule.wait;
        waitPopup_ = rule.show;
    }
    ++next_;
    DebugTrace("Current Rule: %i\n", next_);
    // The last rule applied (and its wait over), the tutorial is done:
    // nothing stays blocked for the rest of the day.
    if (next_ >= GetRuleCount() && !waiting_) Stop();
}

void RuleSequencer::Apply(const TutorialRule& rule) {
    for (int i = 0; i < TutorialRule::kEntries; ++i) {
        if (rule.blockEvents[i] != 0) blockedEvents_.insert(rule.blockEvents[i]);
        if (rule.unblockEvents[i] != 0) blockedEvents_.erase(rule.unblockEvents[i]);
        if (rule.blockNames[i] != nullptr) blockedNames_.insert(rule.blockNames[i]);
        if (rule.unblockNames[i] != nullptr) blockedNames_.erase(rule.unblockNames[i]);
    }
    if (owner_ == nullptr) return;
    if (rule.show != 0) owner_->ShowChild(rule.show, true);
    if (rule.hide != 0) owner_->ShowChild(rule.hide, false);
}

void RuleSequencer::Update(float frameTime) {
    if (script_.empty() || !waiting_) return;
    remainingWait_ -= frameTime;
    // A rule without a pop-up has none to keep it: its wait ends at once.
    const bool popupShown = waitPopup_ != 0 && owner_ != nullptr && owner_->IsChildVisible(waitPopup_);
    if (remainingWait_ >= 0.0f && popupShown) return;
    waiting_ = false;
    if (next_ >= GetRuleCount()) {
        Stop();
        return;
    }
    OnEvent(kEventNext);
}
