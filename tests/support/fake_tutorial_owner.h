#pragma once
#include <set>
#include <utility>
#include <vector>
#include "game/office/rule_sequencer.h"

namespace testsupport {

// Tutorial pop-ups that are only numbers: shown ones are remembered, and so is
// every number asked for. Hide stands for the player closing one.
class FakeTutorialOwner : public TutorialOwner {
public:
    void ShowChild(int number, bool show) override {
        asked.push_back(number);
        if (show) {
            shown.insert(number);
        } else {
            shown.erase(number);
        }
    }
    bool IsChildVisible(int number) const override {
        asked.push_back(number);
        return shown.contains(number);
    }
    void Hide(int number) { shown.erase(number); }

    std::set<int> shown;
    mutable std::vector<int> asked;
};

} // namespace testsupport
