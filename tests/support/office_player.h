#pragma once
// Plays the sample office as a player would, for the play tests, the
// benchmarks and the balance runs: clicks on the objects' regions, chosen
// from what the office shows (the clients and their bubbles and patience
// bars, the workers' boards, bubbles and stamina bars, what the boss holds,
// the devices' looks, the ringing phone), never from state a player cannot see.
#include <algorithm>
#include <functional>
#include <map>
#include <random>
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

// Seconds of play as the level counts them (none while a dialog holds it).
class PlayClock {
public:
    explicit PlayClock(unsigned seed) : rng_(seed) {}
    // Counts down the wait; true once it is over.
    bool Ready() {
        wait_ -= gFrameTime;
        return wait_ <= 0.0f;
    }
    // The next decision comes after a person's reaction time.
    void Wait(float least, float most) {
        wait_ = most > least ? std::uniform_real_distribution<float>(least, most)(rng_) : least;
    }
    std::mt19937& Rng() { return rng_; }

private:
    std::mt19937 rng_;
    float wait_ = 0.0f;
};

// Plays the office with a plan: answers the phone, takes the orders, keeps
// every worker who is needed at work on what the waiting clients ordered
// (through the workers in a row that an order takes), brings the products
// to the clients whose patience runs lowest, wakes the sleepers, keeps
// stamina up with money and conferences, and sends the secretary with coffee
// and presentations and the engineer to broken devices. Decides when the
// boss stands idle, after a reaction time. What a worker takes and makes is
// read as a person who knows the office reads it from the boards.
class Player {
public:
    // The default clicks straight on the level.
    explicit Player(LevelScreen* level, unsigned seed = 1) : level_(level), clock_(seed) {
        clickAt = [level](int x, int y) { level->MouseDown(x, y, 0, 1); };
    }

    // How the player plans. The newcomer serves the clients in the order they
    // came, fetches paper only for an order that waits (no stock at the
    // tables), wakes a sleeper it needs, answers the phone once it has seen it
    // ring, and leaves the assistants and the devices alone; its reaction time
    // runs from the moment there is something to decide, not from its last click.
    enum class Plan { kCompetent, kNewcomer };
    Plan plan = Plan::kCompetent;
    std::string skipped;       // a client definition left alone
    bool answersPhone = true;
    float thinkLeast = 0.0f;   // seconds between decisions
    float thinkMost = 0.0f;
    std::function<void(int x, int y)> clickAt;
    int clicks = 0;
    int coffees = 0;           // cups the secretary was sent with
    int repairs = 0;           // devices the engineer was sent to
    bool sawRepair = false;

    void Act() {
        if (plan == Plan::kNewcomer) {
            ActInOrder();
            return;
        }
        sawRepair = sawRepair || (gEngineer && gEngineer->GetAnimName() == "engineer_repair");
        if (!clock_.Ready() || !level_->GetClickQueue().empty()) return;
        if (ActAssistants()) {
            clock_.Wait(thinkLeast, thinkMost);
            return;
        }
        Boss* boss = gBoss;
        if (boss == nullptr || !boss->IsActive()) return;
        // The phone is answered next, whatever the boss is on his way to.
        const std::vector<Item*>& queued = boss->GetTargets();
        if (Ringing() && std::find(queued.begin(), queued.end(), gPhone) == queued.end()) {
            if (Click(gPhone)) clock_.Wait(thinkLeast, thinkMost);
            return;
        }
        if (!BossIdle()) return;
        if (Pickable* target = Choose(boss->GetStateKey())) {
            if (Click(target)) clock_.Wait(thinkLeast, thinkMost);
        }
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
            Client* client = ClientToOrder();
            return client ? PlaceOf(client) : nullptr;
        }
        if (target == "@wanting") {
            Client* client = gBoss ? ClientWanting(gBoss->GetStateKey()) : nullptr;
            return client ? PlaceOf(client) : nullptr;
        }
        return Named(std::string(target));
    }

    bool Click(Pickable* target) {
        Zephra::Point p;
        if (target == nullptr || !ClickPoint(target, p)) return false;
        clickAt(p.mX, p.mY);
        ++clicks;
        return true;
    }

private:
    static Pickable* Named(const std::string& name) { return dynamic_cast<Pickable*>(FindObject(name)); }
    static Pickable* TableOf(const Worker* worker) { return dynamic_cast<Pickable*>(worker->GetTable()); }
    static Pickable* PlaceOf(const Client* client) { return Named("client_place" + client->Item::GetName().substr(6)); }
    static bool Shown(const Item* item) { return item && item->IsVisible() && item->IsActive(); }
    static bool Ready(PeriodItem* item) { return Shown(item) && item->IsReady(); }

    std::vector<Client*> Clients() const {
        std::vector<Client*> out;
        for (Item* item : gObjects) {
            auto* client = dynamic_cast<Client*>(item);
            if (client && Shown(client) && client->GetDefName() != skipped) out.push_back(client);
        }
        // The least patient first.
        std::stable_sort(out.begin(), out.end(),
                         [](const Client* a, const Client* b) { return a->GetPatience() < b->GetPatience(); });
        return out;
    }
    static std::vector<Worker*> Workers() {
        std::vector<Worker*> out;
        for (Worker* worker : gWorkers) {
            if (Shown(worker)) out.push_back(worker);
        }
        return out;
    }
    // What the client's bubble asks for: the order, once given.
    static std::string Wanted(const Client* client) {
        const int state = client->GetState();
        if (state != 3 && state != 4) return {};
        return client->GetStateKey();
    }
    static bool WaitsToOrder(const Client* client) { return client->GetState() == 1; }
    static bool Free(const Worker* worker) { return worker->GetState() == 0 && worker->GetStateKey().empty(); }
    static bool HoldsWork(const Worker* worker) { return worker->GetState() == 0 && worker->IsWorkDone(); }
    // What the shelving hands out: the blank paper.
    static std::string Paper() {
        const auto* shelving = dynamic_cast<const Shelving*>(FindObject("shelving01"));
        return Shown(shelving) ? shelving->GetThing() : std::string();
    }
    // What the worker will have made: of the paper he works on, or what he holds.
    static std::string Making(const Worker* worker) {
        if (worker->GetState() == 1) return worker->ProductOf(worker->GetStateKey());
        return HoldsWork(worker) ? worker->GetStateKey() : std::string();
    }
    // Workers in a row: a code reaches the wanted one through at most this many more.
    static constexpr int kChain = 2;
    // The code is the wanted one, or some worker turns it into it in a few steps.
    static bool Leads(const std::string& code, const std::string& wanted, int steps = kChain) {
        if (code.empty()) return false;
        if (code == wanted) return true;
        if (steps == 0) return false;
        for (Worker* worker : Workers()) {
            if (worker->CanTake(code) && Leads(worker->ProductOf(code), wanted, steps - 1)) return true;
        }
        return false;
    }

    // Orders waiting for a product that no worker makes or has ready: what
    // is made goes to the least patient, and each order left over counts the
    // more the less patient its client is.
    std::map<std::string, float> Uncovered() const {
        std::map<std::string, int> made;
        for (Worker* worker : Workers()) ++made[Making(worker)];
        std::map<std::string, float> open;
        for (Client* client : Clients()) {
            const std::string wanted = Wanted(client);
            if (wanted.empty()) continue;
            int& supply = made[wanted];
            if (supply > 0) {
                --supply;
            } else {
                open[wanted] += 1.0f + (100.0f - client->GetPatience()) / 25.0f;
            }
        }
        return open;
    }
    // The most needed of the workers with nothing to do who take the code;
    // one who asks for a break counts too. Null when none is needed and
    // urgently is asked.
    Worker* IdleWorker(const std::string& code, bool urgently = false) const {
        if (code.empty()) return nullptr;
        const std::map<std::string, float> open = Uncovered();
        Worker* best = nullptr;
        float bestScore = urgently ? 3.0f : -1.0f;
        for (Worker* worker : Workers()) {
            const bool free = Free(worker);
            if (!free && !(worker->GetState() == 4 && worker->GetStateKey().empty())) continue;
            if (!worker->CanTake(code)) continue;
            float score = free ? 0.5f : 0.0f;
            for (const auto& [wanted, urgency] : open) {
                if (Leads(worker->ProductOf(code), wanted)) score += urgency * 2.0f;
            }
            if (score > bestScore) {
                best = worker;
                bestScore = score;
            }
        }
        return best;
    }
    // A free worker who turns the code on towards an order not yet made.
    Worker* NextInRow(const std::string& code) const {
        const std::map<std::string, float> open = Uncovered();
        for (Worker* worker : Workers()) {
            if (!Free(worker) || !worker->CanTake(code)) continue;
            for (const auto& [wanted, urgency] : open) {
                if (Leads(worker->ProductOf(code), wanted)) return worker;
            }
        }
        return nullptr;
    }
    Client* ClientWanting(const std::string& code) const {
        for (Client* client : Clients()) {
            if (!code.empty() && Wanted(client) == code) return client;
        }
        return nullptr;
    }
    Client* ClientToOrder() const {
        for (Client* client : Clients()) {
            if (WaitsToOrder(client)) return client;
        }
        return nullptr;
    }

    // The secretary takes coffee to the least patient client (the machine,
    // then the client, in one go) or gives a presentation when it cheers
    // several up; the engineer is let in by his door, then sent to a broken
    // device. Whatever cheers a client up is used as soon as it is ready and
    // does not go to waste on full patience.
    bool ActAssistants() {
        Secretary* secretary = gSecretary;
        if (secretary && secretary->IsActive() && !secretary->IsBusy() && secretary->GetTargets().empty() &&
            !secretary->CarriesCup()) {
            // Not one whom the boss is about to serve: the cup would come too late.
            const std::string carried = gBoss ? gBoss->GetStateKey() : std::string();
            std::vector<Client*> low;
            for (Client* client : Clients()) {
                const int state = client->GetState();
                const std::string wanted = Wanted(client);
                bool served = !wanted.empty() && wanted == carried;
                for (Worker* worker : Workers())
                    served = served || (HoldsWork(worker) && worker->GetStateKey() == wanted);
                if ((state == 1 || state == 4) && !served && client->GetPatience() < 85.0f) low.push_back(client);
            }
            if (low.size() >= 2 && Ready(gPresentationPlace) && Click(gPresentationPlace)) return true;
            if (!low.empty() && Ready(gCoffeeMachine)) {
                if (Click(gCoffeeMachine) && Click(PlaceOf(low.front()))) ++coffees;
                return true;
            }
        }
        Engineer* engineer = gEngineer;
        auto* door = dynamic_cast<Door*>(FindObject("door03"));
        PeriodItem* broken = nullptr;
        for (PeriodItem* device : {gAirConditioner, gStereoSystem}) {
            if (Ready(device)) broken = device;
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

    // Every worker keeps a finished product of his kind at hand (he makes
    // nothing else), so that an order is served from the table.
    bool Ringing() const {
        return answersPhone && gPhone && gPhone->IsRinging() && gPhone->GetCaller() &&
               gPhone->GetCaller()->GetDefName() != skipped;
    }

    Pickable* Choose(const std::string& carries) {
        for (Worker* worker : Workers()) {
            if (worker->GetState() == 6 && carries != "money") return TableOf(worker);
        }
        if (carries == "money") {
            Worker* tired = nullptr;
            for (Worker* worker : Workers()) {
                const int state = worker->GetState();
                if ((state == 0 || state == 1 || state == 6) && (!tired || worker->GetStamina() < tired->GetStamina()))
                    tired = worker;
            }
            return tired ? TableOf(tired) : Named("trash_bin");
        }
        const std::string paper = Paper();
        if (!carries.empty()) {
            if (Client* client = ClientWanting(carries)) return PlaceOf(client);
            if (Client* client = ClientToOrder()) return PlaceOf(client);
            if (carries == paper) {
                if (Worker* worker = IdleWorker(carries)) return TableOf(worker);
                return nullptr;
            }
            // Half way to an order: on to the next worker in the row.
            if (Worker* worker = NextInRow(carries)) return TableOf(worker);
            // A product no one waits for: away with it once the hands are needed.
            if (DeliveryReady() || IdleWorker(paper)) return Named("trash_bin");
            return nullptr;
        }
        if (Pickable* table = DeliveryReady()) return table;
        // Paper first for a worker whose product an impatient client waits for.
        if (IdleWorker(paper, true)) return Named("shelving01");
        if (Client* client = ClientToOrder()) return PlaceOf(client);
        // Work half way to an order, when the next worker in the row is free.
        for (Worker* worker : Workers()) {
            if (HoldsWork(worker) && NextInRow(worker->GetStateKey())) return TableOf(worker);
        }
        if (IdleWorker(paper)) return Named("shelving01");
        // Stamina: money for the most tired worker, a conference for many.
        int tired = 0;
        float least = 100.0f;
        for (Worker* worker : Workers()) {
            tired += worker->GetStamina() < 40.0f;
            least = std::min(least, worker->GetStamina());
        }
        if (tired >= 2 && Ready(gConferencePlace)) return gConferencePlace;
        if (least < 50.0f && Ready(gSafe)) return gSafe;
        return nullptr;
    }
    // The table of a worker who holds what the least patient client waits for.
    Pickable* DeliveryReady() const {
        for (Client* client : Clients()) {
            const std::string wanted = Wanted(client);
            for (Worker* worker : Workers()) {
                if (!wanted.empty() && HoldsWork(worker) && worker->GetStateKey() == wanted) return TableOf(worker);
            }
        }
        return nullptr;
    }

    // The newcomer's turn: the phone when it rings, else the next click for
    // the clients in the order they came, each after a look at the office.
    void ActInOrder() {
        Boss* boss = gBoss;
        if (boss == nullptr || !boss->IsActive() || !level_->GetClickQueue().empty()) return;
        const std::vector<Item*>& queued = boss->GetTargets();
        const bool phone = Ringing() && std::find(queued.begin(), queued.end(), gPhone) == queued.end();
        if (!phone && !BossIdle()) {
            looking_ = false;
            return;
        }
        if (!looking_) {
            clock_.Wait(thinkLeast, thinkMost);
            looking_ = true;
            return;
        }
        if (!clock_.Ready()) return;
        looking_ = false;
        Remember();
        Click(phone ? gPhone : ChooseInOrder(boss->GetStateKey()));
    }
    // The clients shown, in the order they came, as seen at each look: the
    // ones gone are forgotten, the ones new are added last (the least patient,
    // who came first, before the others).
    void Remember() {
        const std::vector<Client*> shown = Clients();
        std::erase_if(arrivals_, [&](Client* c) { return std::find(shown.begin(), shown.end(), c) == shown.end(); });
        for (Client* client : shown) {
            if (std::find(arrivals_.begin(), arrivals_.end(), client) == arrivals_.end()) arrivals_.push_back(client);
        }
    }
    // A client's order and the worker whose work goes to it, the earlier
    // client first; null when no one makes it yet.
    struct Claim {
        Client* client;
        std::string wanted;
        Worker* maker;
    };
    std::vector<Claim> Claims() const {
        std::vector<Worker*> unclaimed = Workers();
        std::vector<Claim> out;
        for (Client* client : arrivals_) {
            const std::string wanted = Wanted(client);
            if (wanted.empty()) continue;
            const auto maker = std::find_if(unclaimed.begin(), unclaimed.end(),
                                            [&](const Worker* w) { return Leads(Making(w), wanted); });
            out.push_back({client, wanted, maker == unclaimed.end() ? nullptr : *maker});
            if (maker != unclaimed.end()) unclaimed.erase(maker);
        }
        return out;
    }
    // A worker with nothing to do (or only a break in mind) who turns the code towards the wanted one.
    static Worker* TakerFor(const std::string& code, const std::string& wanted) {
        Worker* taker = nullptr;
        for (Worker* worker : Workers()) {
            const bool free = Free(worker);
            if ((!free && !(worker->GetState() == 4 && worker->GetStateKey().empty())) || !worker->CanTake(code) ||
                !Leads(worker->ProductOf(code), wanted))
                continue;
            if (free) return worker;
            taker = worker;
        }
        return taker;
    }
    // An asleep worker who would turn the code towards the wanted one, once woken.
    static Worker* Sleeper(const std::string& code, const std::string& wanted) {
        for (Worker* worker : Workers()) {
            if (worker->GetState() == 6 && worker->CanTake(code) && Leads(worker->ProductOf(code), wanted)) return worker;
        }
        return nullptr;
    }
    Pickable* ChooseInOrder(const std::string& carries) const {
        const std::vector<Claim> claims = Claims();
        if (!carries.empty()) {
            for (const Claim& claim : claims) {
                if (claim.wanted == carries) return PlaceOf(claim.client);
            }
            for (const Claim& claim : claims) {
                if (claim.maker != nullptr) continue;
                if (Worker* worker = TakerFor(carries, claim.wanted)) return TableOf(worker);
                if (Worker* sleeper = Sleeper(carries, claim.wanted)) return TableOf(sleeper);
            }
            for (Client* client : arrivals_) {
                if (WaitsToOrder(client)) return PlaceOf(client);
            }
            // Paper is kept for the next order, unless the hands are needed;
            // anything else no one waits for goes away.
            if (carries != Paper() || ChooseInOrder({}) != nullptr) return Named("trash_bin");
            return nullptr;
        }
        for (Client* client : arrivals_) {
            if (WaitsToOrder(client)) return PlaceOf(client);
            for (const Claim& claim : claims) {
                if (claim.client != client) continue;
                Worker* maker = claim.maker;
                if (maker != nullptr) {
                    const std::string held = HoldsWork(maker) ? maker->GetStateKey() : std::string();
                    if (held == claim.wanted || (!held.empty() && TakerFor(held, claim.wanted))) return TableOf(maker);
                    continue;
                }
                if (Worker* sleeper = Sleeper(Paper(), claim.wanted)) return TableOf(sleeper);
                if (TakerFor(Paper(), claim.wanted)) return Named("shelving01");
            }
        }
        // Work that no client waits for any more is cleared from the table.
        for (Worker* worker : Workers()) {
            const bool claimed = std::any_of(claims.begin(), claims.end(),
                                             [&](const Claim& claim) { return claim.maker == worker; });
            if (!claimed && HoldsWork(worker)) return TableOf(worker);
        }
        return nullptr;
    }

    LevelScreen* level_;
    PlayClock clock_;
    std::vector<Client*> arrivals_;
    bool looking_ = false;
};

// Clicks about the office without a plan: now and then on something that
// shows, now and then on the floor.
class RandomClicker {
public:
    explicit RandomClicker(LevelScreen* level, unsigned seed = 1) : level_(level), clock_(seed) {}

    float everyLeast = 0.5f;   // seconds between clicks
    float everyMost = 1.5f;
    int clicks = 0;

    void Act() {
        if (!clock_.Ready()) return;
        clock_.Wait(everyLeast, everyMost);
        std::mt19937& rng = clock_.Rng();
        std::vector<Pickable*> shown;
        for (Pickable* p : gPickables) {
            if (p->IsVisible() && p->IsActive()) shown.push_back(p);
        }
        Zephra::Point at{std::uniform_int_distribution<int>(0, 799)(rng),
                         std::uniform_int_distribution<int>(0, 599)(rng)};
        if (!shown.empty() && std::uniform_int_distribution<int>(0, 1)(rng) == 0) {
            Pickable* target = shown[std::uniform_int_distribution<size_t>(0, shown.size() - 1)(rng)];
            if (!ClickPoint(target, at)) return;
        }
        level_->MouseDown(at.mX, at.mY, 0, 1);
        ++clicks;
    }

private:
    LevelScreen* level_;
    PlayClock clock_;
};

// Follows the tutorial pop-ups as a person reads them (tutorial_steps.h): the
// newest pop-up on screen says what to do; without one, or once it has been
// done, the player serves the office on its own.
class TutorialFollower {
public:
    static constexpr int kPopups = 20;   // numbers looked at for a shown pop-up

    TutorialFollower(LevelScreen* level, std::function<bool(int)> shown, unsigned seed = 1)
        : player(level, seed), level_(level), shown_(std::move(shown)) {}

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
