#include "game/office/bin.h"
#include "game/office/item_util.h"

bool Bin::Interact(Item* other, int phase, int&) {
    if (other == nullptr || other->GetName() != "boss" || other->GetStateKey().empty()) return false;
    if (phase == 0) {
        PlayOfficeSound("make_trash");
        if (!PlayAnim("activation")) PlayAnim("idle");
    }
    return true;
}

void Bin::OnAnimFinished(Skin* part, const std::string& animName) {
    Item::OnAnimFinished(part, animName);
    if (animName != "activation") return;
    hoverShown_ = 0;
    PlayAnim("idle");
}

void Bin::UpdateHover(Zephra::Point point, bool hovered) {
    Pickable::UpdateHover(point, hovered);
    SwitchHover(*this, hoverShown_, hovered, "idle");
}
