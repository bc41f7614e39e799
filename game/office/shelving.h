#pragma once
#include <string>
#include "game/office/pickable.h"

// A shelving the boss takes its "thing" (a paper code) from.
class Shelving : public Pickable {
public:
    void Load(XmlNode node) override;
    void SetActive(bool active) override;
    // Accepts the boss only.
    bool Interact(Item* other, int phase, int& value) override;
    void OnAnimFinished(Skin* part, const std::string& animName) override;
    void UpdateHover(Zephra::Point point, bool hovered) override;

    const std::string& GetThing() const { return thing_; }

private:
    uint8_t hoverShown_ = 0;
    std::string thing_;
};
