#include "game/office/shelving.h"
#include "game/office/item_util.h"
#include "game/office/office_xml.h"

void Shelving::Load(XmlNode node) {
    Item::Load(node);
    thing_ = OfficeText(node, "thing");
}

void Shelving::SetActive(bool active) {
    Pickable::SetActive(active);
    if (!active) return;
    stateKey_ = thing_;
    hoverShown_ = 0;
}

bool Shelving::Interact(Item* other, int phase, int&) {
    if (other == nullptr || other->GetName() != "boss") return false;
    if (phase == 0) PlayAnim("activation");
    return true;
}

void Shelving::OnAnimFinished(Skin* part, const std::string& animName) {
    Item::OnAnimFinished(part, animName);
    if (animName == "activation") PlayAnim(hoverShown_ ? "hover" : "idle");
}

void Shelving::UpdateHover(Zephra::Point, bool hovered) { SwitchHover(*this, hoverShown_, hovered, "idle"); }
