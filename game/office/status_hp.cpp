#include "game/office/status_hp.h"
#include <algorithm>
#include <cmath>
#include "game/office/client_slots.h"
#include "game/office/office_globals.h"
#include "game/office/phone.h"
#include "game/office/pickable.h"
#include "game/office/skin.h"
#include "game/office/status_source.h"
#include "game/office/worker.h"

StatusHp::StatusHp() { visible_ = 0; }

StatusHp::~StatusHp() = default;

StatusHp::OwnerKind StatusHp::FindStatusOwner(const std::string& name, Item*& owner, StatusSource*& source) {
    owner = nullptr;
    source = nullptr;
    if (name.starts_with("worker")) {
        if (Worker* worker = Worker::FindByName(name)) {
            owner = worker;
            source = worker;
            return kWorker;
        }
    } else if (name.starts_with("client")) {
        if (SlotClient* client = ClientSlots::FindByName(name)) {
            owner = client->GetClientObject();
            source = client;
            return kClient;
        }
    } else if (name.starts_with("phone")) {
        if (gPhone) {
            owner = gPhone;
            source = gPhone;
            return kPhone;
        }
    }
    return kNone;
}

void StatusHp::PlayIfNew(Skin* part, const std::string& name) {
    if (part == nullptr) return;
    if (part->GetAnimName() == name && part->GetPlayer()->IsPlayingOrPaused()) return;
    part->PlayAnim(name, false);
}

int StatusHp::SegmentCount(OwnerKind kind, float value) {
    if (!(value > 0.0f)) return 0;
    if (kind == kPhone) {
        const float v = value / 20.0f;
        const float whole = std::floor(v);
        const int count = static_cast<int>(whole) + (v - whole > 0.5f ? 1 : 0);
        return std::min(count, 5);
    }
    return std::min(static_cast<int>(std::ceil(value / 10.0f)), 10);
}

void StatusHp::Load(XmlNode node) {
    Item::Load(node);
    barPart_ = FindPartByName("status_hp");
    backPart_ = FindPartByName("status_hp_back");
    if (barPart_) {
        barPart_->RepeatCount() = kSegmentsLoaded;
        barPart_->RepeatStep() = {0, -6};
        barPart_->Tint() = kColorLoaded;
    }
    kind_ = FindStatusOwner(name_, owner_, source_);
    if (kind_ == kWorker) {
        levelHigh_ = static_cast<int>(gGameParams.stamina_g_level);
        levelLow_ = static_cast<int>(gGameParams.stamina_y_level);
        levelBlink_ = static_cast<int>(gGameParams.stamina_r_level);
    } else if (kind_ == kClient || kind_ == kPhone) {
        levelHigh_ = static_cast<int>(gGameParams.patience_g_level);
        levelLow_ = static_cast<int>(gGameParams.patience_y_level);
        levelBlink_ = static_cast<int>(gGameParams.patience_r_level);
    }
    if (owner_) SetPos(owner_->GetPosX(), owner_->GetPosY());
}

void StatusHp::SetActive(bool active) {
    Item::SetActive(active);
    if (active) lastValue_ = 100.0f;
    SetVisible(active);
    if (!active) FireEvent("off_blink_hp");
}

uint32_t StatusHp::BarColor(float value) const {
    if (kind_ == kWorker && static_cast<const Worker*>(owner_)->IsProtected()) return kColorProtected;
    if (value < levelLow_) return kColorLow;
    if (value < levelHigh_) return kColorMiddle;
    return kColorHigh;
}

void StatusHp::Update() {
    Item::Update();
    float value = 0.0f;
    // Without an owner there is nothing to show, whatever a level command said.
    const bool shown = source_ != nullptr && source_->GetValue(value);
    if (shown != IsActive()) SetActive(shown);
    if (!shown) return;
    if (backPart_) {
        PlayIfNew(backPart_, "idle");
        backPart_->AcquireImages();
    }
    if (barPart_) {
        barPart_->RepeatCount() = SegmentCount(kind_, value);
        barPart_->AcquireImages();
        PlayIfNew(barPart_, "point");
        barPart_->Tint() = BarColor(value);
        if (lastValue_ > levelBlink_ && value <= levelBlink_) FireEvent("on_blink_hp");
        if (lastValue_ <= levelBlink_ && value > levelBlink_) FireEvent("off_blink_hp");
    }
    lastValue_ = value;
}
