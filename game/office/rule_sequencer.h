#pragma once
#include <array>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include "game/office/level_screens.h"

// The numbered tutorial pop-ups over the office (the panel's); number 0 is
// never asked for.
class TutorialOwner {
public:
    virtual ~TutorialOwner() = default;
    virtual void ShowChild(int number, bool show) = 0;
    virtual bool IsChildVisible(int number) const = 0;
};

// One step of a tutorial script: it waits for one event, then shows and hides
// pop-ups and blocks or unblocks events and object names.
struct TutorialRule {
    static constexpr int kEntries = 16;

    int32_t event = 0;      // awaited event id
    float wait = 0.0f;      // seconds before event 0 follows; 0 = none
    int32_t show = 0;       // pop-up to show, 0 = none
    int32_t hide = 0;       // pop-up to hide, 0 = none
    std::array<int32_t, kEntries> blockEvents{};        // 0 = empty entry
    std::array<int32_t, kEntries> unblockEvents{};
    std::array<const char*, kEntries> blockNames{};     // null = empty entry
    std::array<const char*, kEntries> unblockNames{};
};

// Runs the tutorial of the first career days: each rule of the day's script
// waits for an event of the simulation and then changes the pop-ups and what
// is allowed. Blocked events switch parts of the simulation off, blocked
// names make objects unclickable.
class RuleSequencer : public LevelTutorial {
public:
    // Event ids as the simulation sends them.
    enum Event : int32_t {
        kEventNext = 0,          // a script starts or a wait ends; nobody else sends it
        kEventVisit = 1,         // a client enters; while blocked, patience stands still
        kEventClientPlace = 2,   // a shown client's place is clicked; while blocked, no client arrives
        kEventOrderTaken = 3,    // while blocked, the level keeps its clicks queued
        kEventOneOrder = 4,
        kEventShelving = 5,
        kEventWorkStart = 6,
        kEventWorkDone = 7,
        kEventTable = 8,         // an object named "table..." is clicked
        kEventMoreOrders = 9,
    };

    // The owner shows the pop-ups; none shows nothing.
    explicit RuleSequencer(TutorialOwner* owner = nullptr) : owner_(owner) {}
    RuleSequencer(const RuleSequencer&) = delete;
    RuleSequencer& operator=(const RuleSequencer&) = delete;

    void SetOwner(TutorialOwner* owner) { owner_ = owner; }

    // Stops any script, then runs the day's (none for most days).
    void Start(int day) override;
    void Stop() override;
    // Applies the next rule when it awaits this event and no wait is pending;
    // once the last rule is applied and its wait is over the script stops.
    void OnEvent(int32_t event);
    // Runs down a pending wait; it ends early once the rule's pop-up is gone.
    void Update(float frameTime);
    bool IsRunning() override { return !script_.empty(); }
    bool IsEventAllowed(int32_t event) const { return script_.empty() || !blockedEvents_.contains(event); }
    bool IsObjectAllowed(const std::string& name) const { return script_.empty() || !blockedNames_.contains(name); }

    // LevelTutorial.
    void Step(float seconds) override { Update(seconds); }
    bool Allows(int event) override { return IsEventAllowed(event); }
    bool AllowsName(const std::string& objectName) override { return IsObjectAllowed(objectName); }
    void Notify(int event) override { OnEvent(event); }

    // The built-in script of a career day; empty for a day without one.
    static std::span<const TutorialRule> ScriptOfDay(int day);

    int GetNextRule() const { return next_; }
    int GetRuleCount() const { return static_cast<int>(script_.size()); }
    bool IsWaiting() const { return waiting_; }

private:
    void Apply(const TutorialRule& rule);

    TutorialOwner* owner_;
    std::span<const TutorialRule> script_;
    int next_ = 0;
    bool waiting_ = false;
    float remainingWait_ = 0.0f;
    int32_t waitPopup_ = 0;     // shown by the rule that started the wait
    std::set<int32_t> blockedEvents_;
    std::set<std::string> blockedNames_;
};

// The level's sequencer while one is installed; null otherwise.
extern RuleSequencer* gRuleSequencer;
