#pragma once
#include <string>
#include <utility>
#include <vector>
#include "game/office/level_screens.h"

namespace testsupport {

// The level's bonus chain as a record of what the office's people told it.
class RecordingBonus : public LevelBonus {
public:
    void Reset() override { ++resets; }
    void Step(float) override {}
    void Action(int kind, Item* object) override { actions.emplace_back(kind, object); }
    int resets = 0;
    std::vector<std::pair<int, Item*>> actions;
};

// Tutorial rules that allow every event but `blocked` and record the events
// they are told of; not running unless the test says so.
class RecordingTutorial : public LevelTutorial {
public:
    void Start(int) override {}
    void Stop() override {}
    bool IsRunning() override { return running; }
    void Step(float) override {}
    bool Allows(int event) override { return event != blocked; }
    bool AllowsName(const std::string&) override { return true; }
    void Notify(int event) override { events.push_back(event); }
    bool running = false;
    int blocked = -1;
    std::vector<int> events;
};

} // namespace testsupport
