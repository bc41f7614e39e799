#pragma once
#include "game/office/pickable.h"

// The trash bin ("trash_bin"): the boss empties his hands into it.
class Bin : public Pickable {
public:
    // Accepts only the boss while he carries something.
    bool Interact(Item* other, int phase, int& value) override;
    void OnAnimFinished(Skin* part, const std::string& animName) override;
    void UpdateHover(Zephra::Point point, bool hovered) override;

private:
    uint8_t hoverShown_ = 0;
};
