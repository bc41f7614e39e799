#pragma once
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include "game/app/xml_access.h"
#include "game/office/office_globals.h"

// The level files: career days "cfg\l<day>.xml" and survival levels
// "cfg\endless<n>.xml" (root "level"), read into the plain records below.
// The level screen drives them; everything here is free of the screen so the
// draws can be checked with a seeded generator.

// One "clients" element of a survival stage.
struct ClientTemplate {
    std::string name;                    // "name": the client definition
    uint8_t vip = 0;                     // "vip": arrives by phone
    float spawnMin = 0;                  // "client_time_spawn_min", seconds
    float spawnMax = 0;                  // "client_time_spawn_max", seconds
    float spawnWeight = 0;               // "probability_spawn"
    float extOrder = 0;                  // "probability_ext_order": > 0 enables the extra-order rule
    float multiOrder = 0;                // "probability_multi_order": chance of two orders
    std::string orderTemplate;           // "order_template"

    void Read(XmlNode element);
};

// One "stage" of a survival level.
struct StageRecord {
    int32_t money = -1;                  // "money": the threshold that opens the stage
    uint8_t upgradeAdd = 0;              // "upgrade_add"
    uint8_t upgradeSkin = 0;             // "upgrade_skin"
    int32_t windowEvent = 0;             // "window_event": 1 "window_morning", 2 "window_day", else 0
    std::vector<ClientTemplate> clients; // "clients" children
    std::vector<AddEntry> objects;       // "object" children

    void Read(XmlNode element);
};

// A child of "upgrade_add_list" or "upgrade_skin_list".
struct UpgradeEntry {
    std::string name;
    std::vector<AddEntry> objects;       // "object_list" children
};

struct OrderEntry {
    float weight = 0;                    // "probability"
    std::string order;                   // "order"
};

struct OrderListEntry {
    float probability = 0;               // "probability"; not used by the draw
    std::vector<OrderEntry> orders;      // "orders" children
};

// An "order_template" child.
struct OrderTemplate {
    std::string name;                    // "template"
    std::vector<OrderListEntry> lists;   // "order_list" children
};

// A "time_point" of a timeline.
struct TimePoint {
    float time = 0;                      // "time": seconds of elapsed level time
    std::string event;                   // "event": the client that enters
    std::string windowEvent;             // "window_event": a window look, or empty
    int32_t vip = 0;                     // "vip": non-zero arrives by phone
    std::vector<std::string> orders;     // "orders/order" "name"s
};

// The three timelines of "events_queue" as read, and their run-time copies
// that the level consumes.
struct LevelTimelines {
    std::vector<TimePoint> clients;         // "clients_timeline"
    std::vector<TimePoint> airConditioner;  // "air_conditioner_timeline"
    std::vector<TimePoint> stereoSystem;    // "stereosystem_timeline"
    std::vector<TimePoint> clientsRun;
    std::vector<TimePoint> airConditionerRun;
    std::vector<TimePoint> stereoSystemRun;
    int32_t counters[3] = {0, 0, 0};

    // Appends the timelines of the "events_queue" child of level.
    void Read(XmlNode level);
    // Sorts the read lists by time (stable) into the run-time lists.
    void Prepare();
    void Clear();
    // Points left in the clients' run-time list over those read; 0 with none read.
    float Ratio() const;
};

extern LevelTimelines gLevelTimelines;

// The survival model: the stages, upgrade lists and order templates.
struct SurvivalModel {
    int32_t stageIndex = -1;             // -1 before the first stage
    std::vector<UpgradeEntry> addList;
    std::vector<UpgradeEntry> skinList;
    std::vector<StageRecord> stages;
    std::vector<OrderTemplate> orderTemplates;

    void Clear();
    // Clears, then reads "stages", the two upgrade lists and "order_template".
    void Read(XmlNode level);
    // The stage client templates come from: the current one, or the last
    // when the index lies past the end; null without stages or before the first.
    StageRecord* TemplateStage();
};

// The highest stage index: the stage number (index + 1) is shown as an int.
constexpr int kLastStageIndex = INT32_MAX - 1;

// The next-stage threshold once stage index has begun: the threshold of the
// stage after it, or beyond the list the last two stages' step carried on.
// None when no further stage can begin: a step that does not rise (fewer than
// two stages, equal or absent money), a threshold above the largest money, or
// a stage past kLastStageIndex.
std::optional<int32_t> NextStageThreshold(const std::vector<StageRecord>& stages, int index);

// How many further stages the money reaches once stage index has begun: 0
// below the next threshold, 1 for a listed stage. Past the list every stage
// only moves the thresholds on by the same step, so all those the money
// passes are counted at once rather than begun one by one.
int StagesReachedPastTheList(const std::vector<StageRecord>& stages, int index, int32_t money);

// The weighted draw of a stage's client templates: the index of the first
// template whose running weight exceeds r / 32767 x the sum, or -1. All
// weights 0 become 1/n first (kept). r is the generator's draw.
int PickClientTemplate(std::vector<ClientTemplate>& templates, int r);

// The template's spawn delay for the draw r.
float SpawnDelay(const ClientTemplate& client, int r);

// Orders for a client of the template, drawn from the game's generator;
// none without a matching order template or with one without order lists.
std::vector<std::string> BuildOrders(const ClientTemplate& client, const std::vector<OrderTemplate>& templates);

// Appends one order of the list to orders; false when the weights sum to 0,
// or when a fresh order is not found within kPickOrderTries draws.
constexpr int kPickOrderTries = 16;
bool PickOrder(const OrderListEntry& list, const ClientTemplate& client, std::vector<std::string>& orders);

// An "object" entry's attributes: "name", "skin", "anim".
AddEntry ReadAddEntry(XmlNode element);
