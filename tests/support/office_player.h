#pragma once
// Plays the sample office as a player would, for the play tests and the
// benchmarks: clicks on the objects' regions chosen from what the office shows.
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "game/office/boss.h"
#include "game/office/client.h"
#include "game/office/door.h"
#include "game/office/engineer.h"
#include "game/office/level_screen.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/period_item.h"
#include "game/office/phone.h"
#include "game/office/pickable.h"
#include "game/office/secretary.h"
#include "game/office/shelving.h"
#include "game/office/worker.h"
#include "tests/support/tutorial_steps.h"

namespace testsupport {

// A point of the object's region where a click reaches it (nothing in front).
inline bool ClickPoint(Pickable* target, Zephra::Point& out) {
    const platform::PolygonRegion* region = target->GetRegion();
    if (region == nullptr) return false;
    int x0 = 800, y0 = 600, x1 = 0, y1 = 0;
    for (const platform::Point& p : region->Points()) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    for (int y = y0; y <= y1; y += 2) {
        for (int x = x0; x <= x1; x += 2) {
            for (Pickable* p : gPickables) {
                if (!p->IsVisible() || !p->IsActive() || !p->HitTest(x, y)) continue;
                if (p != target) break;
                out = {x, y};
                return true;
            }
        }
    }
    return false;
}

// Plays the office: whenever the boss stands idle it decides his next click
// from what the office shows. Clients of a skipped kind are never served.
class Player {
public:
    explicit Player(LevelScreen* level) : level_(level) {}

    std::string skipped;   // a client definition left alone
    bool answersPhone = true;
    int clicks = 0;
    int coffees = 0;       // cups the secretary was sent with
    int repairs = 0;       // devices the engineer was sent to
    bool sawRepair = false;

    void Act() {
        sawRepair = sawRepair || (gEngineer && gEngineer->GetAnimName() == "engineer_repair");
        if (!level_->GetClickQueue().empty() || ActAssistants() || !BossIdle()) return;
        if (Pickable* target = Choose(gBoss->GetStateKey())) Click(target);
    }

    // Nothing queued: the boss stands and waits for the next click.
    bool BossIdle() const {
        const Boss* boss = gBoss;
        return level_->GetClickQueue().empty() && boss && boss->IsActive() && boss->GetTargets().empty() &&
               !boss->IsBusy();
    }

    // An object by name, or by its role (tutorial_steps.h); null when none is there.
    Pickable* Find(std::string_view target) const {
        if (target == "@ordering") {
            for (Client* client : Clients()) {
                if (client->GetState() == 1) return PlaceOf(client);
            }
            return nullptr;
        }
        if (target == "@wanting") {
            for (Client* client : Clients()) {
                if (!gBoss->GetStateKey().empty() && Wanted(client) == gBoss->GetStateKey()) return PlaceOf(client);
            }
            return nullptr;
        }
        return Named(std::string(target));
    }

    bool Click(Pickable* target) {
        Zephra::Point p;
        if (target == nullptr || !ClickPoint(target, p)) return false;
        level_->MouseDown(p.mX, p.mY, 0, 1);
        ++clicks;
        return true;
    }

private:
    // The secretary takes coffee to a waiting client (the machine, then the
    // client, in one go); the engineer is let in by his door, then sent to
    // a broken device before anything else is clicked.
    bool ActAssistants() {
        Secretary* secretary = gSecretary;
        PeriodItem* machine = gCoffeeMachine;
        if (secretary && secretary->IsActive() && machine && machine->IsVisible() && machine->IsReady() &&
            !secretary->IsBusy() && secretary->GetTargets().empty() && !secretary->CarriesCup()) {
            for (Client* client : Clients()) {
                if (client->GetState() != 4 || client->GetPatience() > 90.0f) continue;
                if (Click(machine) && Click(PlaceOf(client))) ++coffees;
                return true;
            }
        }
        Engineer* engineer = gEngineer;
        auto* door = dynamic_cast<Door*>(FindObject("door03"));
        PeriodItem* broken = nullptr;
        for (PeriodItem* device : {gAirConditioner, gStereoSystem}) {
            if (device && device->IsVisible() && device->IsActive() && device->IsReady()) broken = device;
        }
        if (!engineer || !door || !door->IsVisible() || !broken || engineer->IsBusy() || !engineer->GetTargets().empty())
            return false;
        if (engineer->HasCurrentTarget()) {
            if (Click(broken)) ++repairs;
            return true;
        }
        if (door->GetAnimName() == "idle") return Click(door);
        // The door is opening: nothing else until he is in.
        return true;
    }

    static Pickable* Named(const std::string& name) { return dynamic_cast<Pickable*>(FindObject(name)); }
    static Pickable* TableOf(const Worker* worker) { return dynamic_cast<Pickable*>(worker->GetTable()); }
    static Pickable* PlaceOf(const Client* client) { return Named("client_place" + client->Item::GetName().substr(6)); }

    std::vector<Client*> Clients() const {
        std::vector<Client*> out;
        for (Item* item : gObjects) {
            auto* client = dynamic_cast<Client*>(item);
            if (client && client->IsActive() && client->IsVisible() && client->GetDefName() != skipped)
                out.push_back(client);
        }
        return out;
    }
    static std::vector<Worker*> Workers() {
        std::vector<Worker*> out;
        for (Worker* worker : gWorkers) {
            if (worker->IsActive() && worker->IsVisible()) out.push_back(worker);
        }
        return out;
    }
    static std::string Wanted(const Client* client) {
        const int state = client->GetState();
        if (state != 3 && state != 4) return {};
        return client->GetStateKey();
    }

    Pickable* Choose(const std::string& carries) {
        if (answersPhone && gPhone && gPhone->IsRinging() && gPhone->GetCaller() &&
            gPhone->GetCaller()->GetDefName() != skipped)
            return gPhone;
        if (!carries.empty()) {
            for (Client* client : Clients()) {
                if (Wanted(client) == carries) return PlaceOf(client);
            }
            // Best a worker on the way to a wanted order, else any that takes it.
            Worker* taker = nullptr;
            for (Worker* worker : Workers()) {
                if (!Free(worker) || !worker->CanTake(carries)) continue;
                if (LeadsToWanted(worker->ProductOf(carries))) return TableOf(worker);
                if (taker == nullptr) taker = worker;
            }
            return taker ? TableOf(taker) : Named("trash_bin");
        }
        for (Worker* worker : Workers()) {
            if (worker->GetState() == 6 || worker->GetState() == 4) return TableOf(worker);
        }
        for (Client* client : Clients()) {
            for (Worker* worker : Workers()) {
                if (worker->GetState() == 0 && worker->IsWorkDone() && worker->GetStateKey() == Wanted(client))
                    return TableOf(worker);
            }
        }
        for (Client* client : Clients()) {
            if (client->GetState() == 1) return PlaceOf(client);
        }
        // Work half way to a wanted order goes on to the next worker.
        for (Worker* worker : Workers()) {
            if (worker->GetState() != 0 || !worker->IsWorkDone()) continue;
            for (Worker* next : Workers()) {
                if (Free(next) && next->CanTake(worker->GetStateKey()) &&
                    LeadsToWanted(next->ProductOf(worker->GetStateKey()), false))
                    return TableOf(worker);
            }
        }
        auto* shelving = dynamic_cast<Shelving*>(Named("shelving01"));
        if (shelving == nullptr) return nullptr;
        for (Client* client : Clients()) {
            const std::string wanted = Wanted(client);
            if (wanted.empty() || InHand(wanted)) continue;
            for (Worker* worker : Workers()) {
                if (Free(worker) && worker->CanTake(shelving->GetThing()) &&
                    Leads(worker->ProductOf(shelving->GetThing()), wanted, kChain))
                    return shelving;
            }
        }
        return nullptr;
    }
    // Workers in a row: a code reaches the wanted one through at most this many more.
    static constexpr int kChain = 2;
    static bool Free(const Worker* worker) { return worker->GetState() == 0 && worker->GetStateKey().empty(); }
    // The code is the wanted one, or some worker turns it into it in a few steps.
    static bool Leads(const std::string& code, const std::string& wanted, int steps) {
        if (code.empty()) return false;
        if (code == wanted) return true;
        if (steps == 0) return false;
        for (Worker* worker : Workers()) {
            if (worker->CanTake(code) && Leads(worker->ProductOf(code), wanted, steps - 1)) return true;
        }
        return false;
    }
    // Work that is not yet on its way, unless it is the work in hand itself.
    bool LeadsToWanted(const std::string& code, bool notInHand = true) const {
        for (Client* client : Clients()) {
            const std::string wanted = Wanted(client);
            if (!wanted.empty() && !(notInHand && InHand(wanted)) && Leads(code, wanted, kChain)) return true;
        }
        return false;
    }
    // A worker works on the way to the code or holds work on the way to it.
    static bool InHand(const std::string& code) {
        for (Worker* worker : Workers()) {
            const std::string& key = worker->GetStateKey();
            if (worker->GetState() == 1 && Leads(worker->ProductOf(key), code, kChain)) return true;
            if (worker->GetState() != 1 && worker->IsWorkDone() && Leads(key, code, kChain)) return true;
        }
        return false;
    }
    LevelScreen* level_;
};

// Follows the tutorial pop-ups as a person reads them (tutorial_steps.h): the
// newest pop-up on screen says what to do; without one, or once it has been
// done, the player serves the office on its own.
class TutorialFollower {
public:
    static constexpr int kPopups = 20;   // numbers looked at for a shown pop-up

    TutorialFollower(LevelScreen* level, std::function<bool(int)> shown)
        : player(level), level_(level), shown_(std::move(shown)) {}

    Player player;
    std::set<int> seen;       // every pop-up that showed
    std::set<int> unknown;    // shown ones the steps do not know

    void Act() {
        std::set<int> now;
        for (int n = 1; n <= kPopups; ++n) {
            if (!shown_(n)) continue;
            now.insert(n);
            if (!visible_.contains(n)) {
                current_ = n;
                next_ = 0;
                seen.insert(n);
            }
        }
        if (!now.contains(current_)) {
            current_ = now.empty() ? 0 : *now.rbegin();
            next_ = 0;
        }
        visible_ = now;
        const TutorialStep* step = current_ ? FindTutorialStep(current_) : nullptr;
        if (current_ && !step) unknown.insert(current_);
        if (step && step->act == TutorialAct::kWait) return;
        if (step && step->act == TutorialAct::kClick) {
            if (!player.BossIdle()) return;
            while (next_ < 2 && !step->targets[next_].empty()) {
                const std::string_view target = step->targets[next_];
                if (target == "phone" && !player.answersPhone) {
                    ++next_;
                    continue;
                }
                Pickable* object = player.Find(target);
                // Nothing of that kind yet: the office goes on meanwhile.
                if (object == nullptr) break;
                // A person sees the plain cursor over what may not be clicked yet, and waits.
                LevelTutorial* tutorial = level_->GetTutorial();
                if (tutorial && !tutorial->AllowsName(object->GetName())) return;
                player.Click(object);
                ++next_;
                return;
            }
        }
        player.Act();
    }

private:
    LevelScreen* level_;
    std::function<bool(int)> shown_;
    std::set<int> visible_;
    int current_ = 0;
    size_t next_ = 0;
};

} // namespace testsupport
