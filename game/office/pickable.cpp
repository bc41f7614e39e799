#include "game/office/pickable.h"
#include <algorithm>
#include "game/app/game_util.h"
#include "game/office/office_objects.h"
#include "game/office/skin.h"

Pickable::Pickable() { gPickables.push_back(this); }

Pickable::~Pickable() {
    auto it = std::find(gPickables.begin(), gPickables.end(), this);
    if (it != gPickables.end()) gPickables.erase(it);
}

bool Pickable::IsClickable(bool allowed) const { return IsActive() && IsVisible() && allowed; }

void Pickable::SetActive(bool active) {
    Item::SetActive(active);
    InitQueueSigns();
}

void Pickable::UpdateHover(Zephra::Point point, bool hovered) {
    Item* owner = FindOwner();
    if (owner && owner != this) owner->UpdateHover(point, hovered);
}

void Pickable::OnCommand(XmlNode node) {
    Item::OnCommand(node);
    SetActive(true);
}

void Pickable::InitQueueSigns() {
    for (int i = 0; i < kQueueSigns; ++i) {
        queueSigns_[i] = FindPartByName(Skin::kCheckmarkName, i);
        queueSignShown_[i] = 0;
        if (Skin* sign = queueSigns_[i]) {
            sign->SetVisibleFlag(false);
            sign->PlayAnim("idle", false);
        }
    }
}

void Pickable::FlagQueued() {
    for (int i = 0; i < kQueueSigns; ++i) {
        if (queueSigns_[i] && !queueSignShown_[i]) {
            queueSigns_[i]->SetVisible(true);
            queueSignShown_[i] = 1;
            return;
        }
    }
    DebugTrace("Warning: object <%s> is over clicked... oh... slowly, please!", name_.c_str());
}

void Pickable::UnflagQueued() {
    for (int i = kQueueSigns - 1; i >= 0; --i) {
        if (queueSigns_[i] && queueSignShown_[i]) {
            queueSigns_[i]->SetVisible(false);
            queueSignShown_[i] = 0;
            return;
        }
    }
}
