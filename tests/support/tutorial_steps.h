#pragma once
// What each tutorial pop-up of the first career days asks of the player: the
// text it shows (a key of cfg\loc.xml) and what a person who follows it does.
#include <string_view>

namespace testsupport {

enum class TutorialAct {
    kWait,    // nothing to do until the pop-up changes
    kClick,   // click the targets in turn, each once the boss stands idle
    kPlay,    // serve the office as usual
};

// A target is an object name or a role:
//   "@ordering"  the place of a client waiting for the boss to take the order;
//   "@wanting"   the place of the client who wants what the boss carries.
struct TutorialStep {
    int popup;
    std::string_view text;
    TutorialAct act;
    std::string_view targets[2];
};

inline constexpr TutorialStep kTutorialSteps[] = {
    {1, "hud_tip1", TutorialAct::kClick, {"client_place03"}},
    {2, "hud_tip2", TutorialAct::kWait, {}},
    {3, "hud_tip3", TutorialAct::kWait, {}},
    {4, "hud_tip4", TutorialAct::kClick, {"shelving01"}},
    {5, "hud_tip5", TutorialAct::kClick, {"table04a"}},
    {6, "hud_tip6", TutorialAct::kWait, {}},
    {7, "hud_tip7", TutorialAct::kClick, {"table04a"}},
    {8, "hud_tip8", TutorialAct::kClick, {"client_place03"}},
    {9, "hud_tip9", TutorialAct::kWait, {}},
    {10, "hud_tip10", TutorialAct::kClick, {"phone", "@ordering"}},
    {11, "hud_tip11", TutorialAct::kPlay, {}},
    {12, "hud_tip12", TutorialAct::kPlay, {}},
    {13, "hud_tip13", TutorialAct::kClick, {"shelving01", "table04a"}},
    {14, "hud_tip14", TutorialAct::kClick, {"table04a", "table01a"}},
    {15, "hud_tip15", TutorialAct::kClick, {"table01a", "@wanting"}},
    {16, "hud_tip16", TutorialAct::kClick, {"client_place03"}},
};

inline const TutorialStep* FindTutorialStep(int popup) {
    for (const TutorialStep& step : kTutorialSteps) {
        if (step.popup == popup) return &step;
    }
    return nullptr;
}

} // namespace testsupport
