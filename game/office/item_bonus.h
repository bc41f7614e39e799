#pragma once
#include <string>
#include "game/office/item.h"

class Skin;

// The floating money and bonus texts ("bonus"): a pool of its own parts
// named "cash" and "bonus"; a popup takes a hidden one, moves it to the
// target's part of the same name, sets its caption and fires the event whose
// effect animates and hides it again.
class ItemBonus : public Item {
public:
    enum Kind { kBonus = 0, kCash = 1 };

    void SetActive(bool active) override;

    // The first part of that name that is not visible, or null.
    Skin* FreePart(const std::string& name) const;
    // Kind 0 shows text; kind 1 the amount as "$+50" or "$-30". Nothing for
    // an amount of 0, a null target, no free part or a target without the part.
    void Show(int kind, Item* target, int amount, const std::u16string& text = std::u16string());
};
