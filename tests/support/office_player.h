#pragma once
// Plays the sample office as a player would, for the play tests and the
// benchmarks: clicks on the objects' regions chosen from what the office shows.
#include <algorithm>
#include <string>
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
#include "game/office/worker.h"

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
    int clicks = 0;
    int coffees = 0;       // cups the secretary was sent with
    int repairs = 0;       // devices the engineer was sent to
    bool sawRepair = false;

    void Act() {
        sawRepair = sawRepair || (gEngineer && gEngineer->GetAnimName() == "engineer_repair");
        if (!level_->GetClickQueue().empty() || ActAssistants()) return;
        Boss* boss = gBoss;
        if (boss == nullptr || !boss->IsActive() || !boss->GetTargets().empty() || boss->IsBusy()) return;
            if (Pickable* target = Choose(boss->GetStateKey())) Click(target);
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
        if (gPhone && gPhone->IsRinging() && gPhone->GetCaller() &&
            gPhone->GetCaller()->GetDefName() != skipped)
            return gPhone;
        if (!carries.empty()) {
            for (Client* client : Clients()) {
                if (Wanted(client) == carries) return PlaceOf(client);
            }
            for (Worker* worker : Workers()) {
                if (worker->GetState() == 0 && worker->GetStateKey().empty() && worker->CanTake(carries))
                    return TableOf(worker);
            }
            return Named("trash_bin");
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
        for (Client* client : Clients()) {
            const std::string wanted = Wanted(client);
            if (wanted.empty() || InHand(wanted)) continue;
            for (Worker* worker : Workers()) {
                if (Makes(worker, wanted) && worker->GetState() == 0 && worker->GetStateKey().empty())
                    return Named("shelving01");
            }
        }
        return nullptr;
    }
    // The worker turns papers into products of the code's kind (its first two digits).
    static bool Makes(const Worker* worker, const std::string& code) {
        return code.size() >= 2 && worker->GetTransformTo().compare(0, 2, code, 0, 2) == 0;
    }
    // A worker works on the code or holds it already.
    static bool InHand(const std::string& code) {
        for (Worker* worker : Workers()) {
            if (Makes(worker, code) && (worker->GetState() == 1 || worker->GetStateKey() == code))
                return true;
        }
        return false;
    }
    bool Click(Pickable* target) {
        Zephra::Point p;
        if (target == nullptr || !ClickPoint(target, p)) return false;
        level_->MouseDown(p.mX, p.mY, 0, 1);
        ++clicks;
        return true;
    }

    LevelScreen* level_;
};

} // namespace testsupport
