#pragma once
#include <vector>
#include "game/office/item.h"

class Skin;
class Worker;

// The bar where workers take their breaks ("mini_bar"): up to three visitors
// are drawn seated, each by a pair of the bar's own parts; each goes back to
// work once its break time has run out.
class MiniBar : public Item {
public:
    static constexpr int kSeats = 3;

    ~MiniBar() override;

    void SetActive(bool active) override;
    void Update() override;

    // Starts the worker's break ("worker_break_duration_timeout") and seats it.
    void AddVisitor(Worker* worker);
    // Takes the worker off the bar without ending its break (it left the office).
    void RemoveVisitor(Worker* worker);
    void Seat(Worker* worker);
    void Unseat(Worker* worker);
    void ShowSeat(int seat, bool show);

    const std::vector<Worker*>& GetVisitors() const { return visitors_; }
    // The worker in a seat, or null.
    Worker* GetSeated(int seat) const { return seats_[seat].worker; }
    Skin* GetSeatPart(int seat, bool upper) const { return upper ? seats_[seat].up : seats_[seat].down; }

private:
    struct SeatParts {
        Worker* worker = nullptr;
        Skin* up = nullptr;
        Skin* down = nullptr;
    };

    std::vector<Worker*> visitors_;
    SeatParts seats_[kSeats];
};
