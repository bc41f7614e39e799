#include "game/office/mini_bar.h"
#include <algorithm>
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/skin.h"
#include "game/office/worker.h"

namespace {

// Seat i is drawn by the n-th part of these names.
struct SeatPartNames {
    const char* up;
    const char* down;
    int n;
};
constexpr SeatPartNames kSeatParts[MiniBar::kSeats] = {
    {"minibar_pers1_up", "minibar_pers1_down", 0},
    {"minibar_pers1_up", "minibar_pers1_down", 1},
    {"minibar_pers2_up", "minibar_pers2_down", 0},
};

} // namespace

MiniBar::~MiniBar() {
    if (gMiniBar == this) gMiniBar = nullptr;
}

void MiniBar::SetActive(bool active) {
    if (!active) {
        // Nobody stays on a break at a closed bar.
        std::vector<Worker*> leaving;
        leaving.swap(visitors_);
        for (Worker* worker : leaving) {
            Unseat(worker);
            worker->EndBreak();
        }
        PlayAnim("idle");
    } else {
        for (int i = 0; i < kSeats; ++i) {
            seats_[i].worker = nullptr;
            seats_[i].up = FindPartByName(kSeatParts[i].up, kSeatParts[i].n);
            seats_[i].down = FindPartByName(kSeatParts[i].down, kSeatParts[i].n);
            if (seats_[i].up) seats_[i].up->SetVisibleFlag(false);
            if (seats_[i].down) seats_[i].down->SetVisibleFlag(false);
        }
    }
    Item::SetActive(active);
}

void MiniBar::AddVisitor(Worker* worker) {
    if (worker == nullptr) return;
    visitors_.push_back(worker);
    worker->SetBreakTime(gGameParams.worker_break_duration_timeout);
    PlayAnim("active");
    Seat(worker);
}

void MiniBar::RemoveVisitor(Worker* worker) {
    auto it = std::find(visitors_.begin(), visitors_.end(), worker);
    if (it == visitors_.end()) return;
    visitors_.erase(it);
    Unseat(worker);
    for (Worker* visitor : visitors_) Seat(visitor);
    if (visitors_.empty()) PlayAnim("idle");
}

void MiniBar::Update() {
    Item::Update();
    bool removed = false;
    for (size_t i = 0; i < visitors_.size();) {
        Worker* worker = visitors_[i];
        worker->SetBreakTime(worker->GetBreakTime() - gFrameTime);
        if (worker->GetBreakTime() >= 0.0f) {
            ++i;
            continue;
        }
        worker->EndBreak();
        visitors_.erase(visitors_.begin() + static_cast<std::ptrdiff_t>(i));
        Unseat(worker);
        removed = true;
    }
    if (!removed) return;
    // A freed seat goes to the first visitor still standing.
    for (Worker* visitor : visitors_) Seat(visitor);
    if (visitors_.empty()) PlayAnim("idle");
}

void MiniBar::Seat(Worker* worker) {
    for (const SeatParts& seat : seats_) {
        if (seat.worker == worker) return;
    }
    for (int i = 0; i < kSeats; ++i) {
        if (seats_[i].worker == nullptr) {
            seats_[i].worker = worker;
            ShowSeat(i, true);
            return;
        }
    }
}

void MiniBar::Unseat(Worker* worker) {
    for (int i = 0; i < kSeats; ++i) {
        if (seats_[i].worker == worker) {
            seats_[i].worker = nullptr;
            ShowSeat(i, false);
        }
    }
}

void MiniBar::ShowSeat(int seat, bool show) {
    if (seat < 0 || seat >= kSeats) return;
    for (Skin* part : {seats_[seat].up, seats_[seat].down}) {
        if (part == nullptr) continue;
        if (show) {
            part->Select("");
            if (seats_[seat].worker) part->PlayAnim(seats_[seat].worker->GetSkinName(), false);
            part->SetVisibleFlag(true);
            part->AcquireImages();
        } else {
            part->Stop();
            part->SetVisibleFlag(false);
        }
    }
}
