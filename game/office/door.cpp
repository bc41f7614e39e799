#include "game/office/door.h"
#include "game/office/office_objects.h"
#include "game/office/office_xml.h"
#include "game/office/person.h"

void Door::Load(XmlNode node) {
    Item::Load(node);
    const std::string type = OfficeText(node, "type");
    doorType_ = type == "manual" ? kManual : type == "auto" ? kAuto : kNone;
    for (XmlNode target : node.children("target")) targetNames_.push_back(OfficeText(target, "object"));
}

void Door::SetActive(bool active) {
    Pickable::SetActive(active);
    if (!active) return;
    opened_ = 0;
    PlayAnimIfKnown("idle", false);
    targets_.clear();
    for (const std::string& name : targetNames_) {
        if (Item* item = FindObject(name)) targets_.push_back(item);
    }
}

void Door::OpenByClick() {
    if (doorType_ == kManual && animName_ == "idle") PlayAnimIfKnown("open", false);
}

void Door::Update() {
    Item::Update();
    if (doorType_ != kManual || !opened_ || animName_ != "open") return;
    for (Item* target : targets_) {
        if (target->IsVisible()) return;
    }
    PlayAnimIfKnown("close", false);
}

void Door::OnAnimFinished(Skin* part, const std::string& animName) {
    Item::OnAnimFinished(part, animName);
    if (animName == "open" && !opened_) {
        opened_ = 1;
        for (Item* target : targets_) {
            if (auto* person = dynamic_cast<Person*>(target)) {
                person->ExchangeTarget(this);
                person->Update();
            }
        }
    } else if (animName == "close" && opened_) {
        opened_ = 0;
        PlayAnimIfKnown("idle", false);
    }
}
