#include "game/office/person.h"
#include <cmath>
#include <numbers>
#include "game/app/office_app.h"
#include "game/office/office.h"
#include "game/office/pickable.h"
#include "game/office/skin.h"

const char* const Person::kOrientationNames[kOrientationCount] = {"t", "tr", "r", "br", "b", "mbr", "mr", "mtr"};

namespace {

constexpr double kPi = std::numbers::pi;
// Sector thresholds clockwise from straight up, and the index each opens.
constexpr int kSectorCount = 9;
constexpr double kSectorFrom[kSectorCount] = {0,           kPi / 8,      3 * kPi / 8,  5 * kPi / 8, 7 * kPi / 8,
                                              9 * kPi / 8, 11 * kPi / 8, 13 * kPi / 8, 15 * kPi / 8};
constexpr int kSectorIndex[kSectorCount] = {0, 1, 2, 3, 4, 5, 6, 7, 0};
constexpr int kAnchorSpread = 20;

Pickable* AsPickable(Item* item) { return dynamic_cast<Pickable*>(item); }

} // namespace

Person::Person(bool returnsHome, bool hidesAtHome)
    : returnsHome_(returnsHome ? 1 : 0), hidesAtHome_(hidesAtHome ? 1 : 0) {}

Person::~Person() = default;

void Person::QueueTarget(Item* item) {
    if (item == nullptr) return;
    targets_.push_back(item);
    if (Pickable* p = AsPickable(item)) p->FlagQueued();
}

Item* Person::ExchangeTarget(Item* item) {
    Item* previous = currentTarget_;
    currentTarget_ = item;
    if (Pickable* p = AsPickable(previous)) p->ResetClicks();
    return previous;
}

void Person::PlaceAt(const std::string& pointName) {
    PathGraphSet* set = FindPathGraphSet(name_);
    int x = 0, y = 0;
    if (set == nullptr || !set->GetPointPosition(pointName, x, y)) return;
    currentPoint_ = pointName;
    SetPos(x, y);
    UpdateAnchors();
}

void Person::SetWait(float seconds, int code) {
    waitTime_ = seconds;
    waitCode_ = code;
}

void Person::SetActive(bool active) {
    if (active) {
        currentPoint_ = startPoint_;
        PlaceAt(currentPoint_);
        walking_ = 0;
        currentTarget_ = nullptr;
        waitTime_ = 0;
        ClearTargets();
        SetOrientation("b", false);
    } else {
        ClearTargets();
        waitTime_ = 0;
        walking_ = 0;
        currentTarget_ = nullptr;
    }
    Item::SetActive(active);
}

void Person::Load(XmlNode node) {
    Item::Load(node);
    XmlGetAttrString(node, "start_point", startPoint_);
    currentPoint_ = startPoint_;
}

void Person::Update() {
    Item::Update();
    if (!targets_.empty() && !IsBusy()) {
        Item* target = targets_.front();
        if (currentPoint_ == target->GetName()) {
            int value = 0;
            bool accepted = target->Interact(this, 1, value) && Interact(target, 1, value);
            if (accepted) {
                target->Interact(this, 0, value);
                Interact(target, 0, value);
                if (Pickable* p = AsPickable(target)) {
                    p->ResetClicks();
                    p->UnflagQueued();
                }
                // The interaction may have changed the queue (a deactivation
                // clears it); drop the front only when it is still this target.
                if (!targets_.empty() && targets_.front() == target) targets_.erase(targets_.begin());
            } else {
                for (Item* queued : targets_) {
                    if (Pickable* p = AsPickable(queued)) p->ResetClicks();
                }
                ClearTargets();
            }
        } else if (!WalkTo(target->GetName(), GetMoveSpeed())) {
            ClearTargets();
        }
    }
    if (returnsHome_ && targets_.empty() && !IsAtHome() && !IsBusy()) WalkTo(startPoint_, GetMoveSpeed());
    if (hidesAtHome_) {
        const bool hide = currentTarget_ == nullptr && IsAtHome() && !IsBusy();
        if (hide == IsVisible()) SetVisible(!hide);
    }
}

void Person::UpdateMotion(float step) {
    Item::UpdateMotion(step);
    if (!IsActive()) return;
    OfficeApp* app = GetApp();
    const float dt = (app ? app->mUpdateInterval : 10) * step / 1000.0f;
    if (waitTime_ != 0.0f) {
        waitTime_ -= dt;
        if (waitTime_ <= 0.0f) {
            waitTime_ = 0.0f;
            OnNotify(waitCode_);
        }
    }
    PathGraphSet* set = FindPathGraphSet(name_);
    if (set == nullptr || !walking_) return;
    int x = posX_, y = posY_, dx = 0, dy = 0;
    walking_ = set->Advance(dt, x, y, dx, dy) ? 1 : 0;
    FaceDirection(dx, dy);
    SetPos(x, y);
    UpdateAnchors();
    if (!walking_) OnNotify(kWalkEnded);
}

bool Person::WalkTo(const std::string& target, float speed) {
    if (!IsActive() || target == currentPoint_ || speed <= 0.0f) return false;
    PathGraphSet* set = FindPathGraphSet(name_);
    if (set == nullptr || !set->SetCurrentPoint(currentPoint_)) return false;
    if (!set->StartWalk(target, speed)) {
        walking_ = 0;
        return false;
    }
    currentPoint_ = target;
    walking_ = 1;
    return true;
}

Item* Person::NextQueuedTarget() const { return targets_.size() > 1 ? targets_[1] : nullptr; }

void Person::ClearTargets() {
    for (Item* target : targets_) {
        if (Pickable* p = AsPickable(target)) p->UnflagQueued();
    }
    targets_.clear();
}

int Person::DirectionIndex(int dx, int dy) {
    const int up = -dy;
    if (dx == 0) {
        if (up == 0) return -1;
        return up > 0 ? 0 : 4;
    }
    if (up == 0) return dx > 0 ? 2 : 6;
    const double len = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(up) * up);
    const double a = std::acos(std::abs(dx) / len);
    double angle;
    if (up > 0) {
        angle = dx > 0 ? kPi / 2 - a : a + 3 * kPi / 2;
    } else {
        angle = dx > 0 ? a + kPi / 2 : 3 * kPi / 2 - a;
    }
    int index = 0;
    for (int row = 0; row < kSectorCount; ++row) {
        if (kSectorFrom[row] < angle) index = kSectorIndex[row];
    }
    return index;
}

void Person::FaceDirection(int dx, int dy) {
    const int index = DirectionIndex(dx, dy);
    if (index < 0) return;
    walkOrientation_ = kOrientationNames[index];
    for (auto& part : parts_) {
        if (part->GetName() != "held_items") part->SetOrientation(walkOrientation_, true);
    }
    orientation_ = walkOrientation_;
}

void Person::UpdateAnchors() {
    for (auto& part : parts_) {
        part->SetOrderPoint(0, {posX_ - kAnchorSpread, posY_});
        part->SetOrderPoint(1, {posX_, posY_});
        part->SetOrderPoint(2, {posX_ + kAnchorSpread, posY_});
    }
}
