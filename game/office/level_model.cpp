#include "game/office/level_model.h"
#include <algorithm>
#include <climits>
#include "game/app/game_util.h"
#include "game/office/office_xml.h"
#include "platform/random.h"

LevelTimelines gLevelTimelines;

namespace {

float FloatAttr(XmlNode node, const char* name) {
    float value = 0;
    XmlGetAttrFloat(node, name, value);
    return value;
}

uint8_t FlagAttr(XmlNode node, const char* name) {
    uint8_t value = 0;
    XmlGetAttrBool(node, name, value);
    return value ? 1 : 0;
}

void ReadTimeline(XmlNode queue, const char* name, std::vector<TimePoint>& out) {
    std::vector<XmlNode> elements;
    for (XmlNode timeline : queue.children(name))
        for (XmlNode element : timeline.children("time_point"))
            if (out.size() + elements.size() <= kMaxTimePoints) elements.push_back(element);
    for (XmlNode element : AtMost(elements, kMaxTimePoints - std::min(out.size(), kMaxTimePoints),
                                  "\"" + std::string(name) + "\"")) {
        TimePoint point;
        point.time = FloatAttr(element, "time");
        point.event = OfficeText(element, "event");
        point.windowEvent = OfficeText(element, "window_event");
        point.vip = OfficeInt(element, "vip");
        for (XmlNode order : AtMost(ChildrenOf(element, "orders", "order"), kMaxLevelSubEntries, "a time point's orders"))
            point.orders.push_back(OfficeText(order, "name"));
        out.push_back(std::move(point));
    }
}

std::vector<TimePoint> SortedByTime(const std::vector<TimePoint>& points) {
    std::vector<TimePoint> sorted = points;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimePoint& a, const TimePoint& b) { return a.time < b.time; });
    return sorted;
}

void ReadUpgradeList(XmlNode level, const char* name, std::vector<UpgradeEntry>& out) {
    std::vector<XmlNode> elements;
    for (XmlNode list : level.children(name))
        for (XmlNode element : list.children())
            if (element.type() == pugi::node_element && elements.size() <= kMaxLevelEntries) elements.push_back(element);
    for (XmlNode element : AtMost(elements, kMaxLevelEntries, "\"" + std::string(name) + "\"")) {
        UpgradeEntry entry;
        entry.name = OfficeText(element, "name");
        for (XmlNode object : ChildrenAtMost(element, "object_list", kMaxLevelSubEntries, "an upgrade's \"object_list\""))
            entry.objects.push_back(ReadAddEntry(object));
        out.push_back(std::move(entry));
    }
}

double Draw01() { return platform::Rand() / static_cast<double>(platform::kRandMax); }

} // namespace

AddEntry ReadAddEntry(XmlNode element) {
    return {OfficeText(element, "name"), OfficeText(element, "skin"), OfficeText(element, "anim")};
}

void ClientTemplate::Read(XmlNode element) {
    name = OfficeText(element, "name");
    vip = FlagAttr(element, "vip");
    spawnMin = FloatAttr(element, "client_time_spawn_min");
    spawnMax = FloatAttr(element, "client_time_spawn_max");
    spawnWeight = FloatAttr(element, "probability_spawn");
    extOrder = FloatAttr(element, "probability_ext_order");
    multiOrder = FloatAttr(element, "probability_multi_order");
    orderTemplate = OfficeText(element, "order_template");
}

void StageRecord::Read(XmlNode element) {
    XmlGetAttrInt(element, "money", money);
    upgradeAdd = FlagAttr(element, "upgrade_add");
    upgradeSkin = FlagAttr(element, "upgrade_skin");
    const std::string window = OfficeText(element, "window_event");
    windowEvent = window == "window_morning" ? 1 : window == "window_day" ? 2 : 0;
    for (XmlNode child : ChildrenAtMost(element, "clients", kMaxLevelSubEntries, "a stage's \"clients\"")) {
        clients.emplace_back();
        clients.back().Read(child);
    }
    for (XmlNode child : ChildrenAtMost(element, "object", kMaxLevelSubEntries, "a stage's \"object\"s"))
        objects.push_back(ReadAddEntry(child));
}

void LevelTimelines::Read(XmlNode level) {
    for (XmlNode queue : level.children("events_queue")) {
        ReadTimeline(queue, "clients_timeline", clients);
        ReadTimeline(queue, "air_conditioner_timeline", airConditioner);
        ReadTimeline(queue, "stereosystem_timeline", stereoSystem);
    }
}

void LevelTimelines::Prepare() {
    clientsRun = SortedByTime(clients);
    airConditionerRun = SortedByTime(airConditioner);
    stereoSystemRun = SortedByTime(stereoSystem);
    counters[0] = counters[1] = counters[2] = 0;
}

void LevelTimelines::Clear() { *this = LevelTimelines(); }

float LevelTimelines::Ratio() const {
    if (clients.empty()) return 0.0f;
    return static_cast<float>(clientsRun.size()) / static_cast<float>(clients.size());
}

void SurvivalModel::Clear() { *this = SurvivalModel(); }

void SurvivalModel::Read(XmlNode level) {
    Clear();
    for (XmlNode element : AtMost(ChildrenOf(level, "stages", "stage"), kMaxLevelEntries, "\"stages\"")) {
        stages.emplace_back();
        stages.back().Read(element);
    }
    ReadUpgradeList(level, "upgrade_add_list", addList);
    ReadUpgradeList(level, "upgrade_skin_list", skinList);
    for (XmlNode element : ChildrenAtMost(level, "order_template", kMaxLevelEntries, "\"order_template\"s")) {
        OrderTemplate tmpl;
        tmpl.name = OfficeText(element, "template");
        for (XmlNode listElement : ChildrenAtMost(element, "order_list", kMaxLevelSubEntries, "an \"order_list\"")) {
            OrderListEntry list;
            list.probability = FloatAttr(listElement, "probability");
            for (XmlNode order : ChildrenAtMost(listElement, "orders", kMaxLevelEntries, "an order list's \"orders\""))
                list.orders.push_back({FloatAttr(order, "probability"), OfficeText(order, "order")});
            tmpl.lists.push_back(std::move(list));
        }
        orderTemplates.push_back(std::move(tmpl));
    }
}

StageRecord* SurvivalModel::TemplateStage() {
    if (stages.empty() || stageIndex < 0) return nullptr;
    const size_t index = std::min(static_cast<size_t>(stageIndex), stages.size() - 1);
    return &stages[index];
}

std::optional<int32_t> NextStageThreshold(const std::vector<StageRecord>& stages, int index) {
    const int count = static_cast<int>(stages.size());
    if (index >= kLastStageIndex) return std::nullopt;
    if (index + 1 >= 0 && index + 1 < count) return stages[static_cast<size_t>(index + 1)].money;
    if (count < 2) return std::nullopt;
    const int64_t last = stages[static_cast<size_t>(count - 1)].money;
    const int64_t step = last - stages[static_cast<size_t>(count - 2)].money;
    if (step <= 0) return std::nullopt;
    const int64_t next = last + step * (static_cast<int64_t>(index) - count + 2);
    // Money never passes INT32_MAX: a threshold above it is no stage.
    if (next > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(std::max<int64_t>(next, INT32_MIN));
}

int StagesReachedPastTheList(const std::vector<StageRecord>& stages, int index, int32_t money) {
    const std::optional<int32_t> next = NextStageThreshold(stages, index);
    if (!next || money < *next) return 0;
    const int count = static_cast<int>(stages.size());
    if (index + 1 < count) return 1;
    // A further stage past the list means at least two stages and a rising step.
    const int64_t step = static_cast<int64_t>(stages[static_cast<size_t>(count - 1)].money) -
                         stages[static_cast<size_t>(count - 2)].money;
    const int64_t reached = (static_cast<int64_t>(money) - *next) / step + 1;
    return static_cast<int>(std::min<int64_t>(reached, static_cast<int64_t>(kLastStageIndex) - index));
}

int PickClientTemplate(std::vector<ClientTemplate>& templates, int r) {
    if (templates.empty()) return -1;
    float sum = 0;
    for (const ClientTemplate& t : templates) sum += t.spawnWeight;
    if (sum == 0.0f) {
        for (ClientTemplate& t : templates) t.spawnWeight = 1.0f / static_cast<float>(templates.size());
        sum = 1.0f;
    }
    const double target = r / static_cast<double>(platform::kRandMax) * sum;
    double running = 0;
    for (size_t i = 0; i < templates.size(); ++i) {
        running += templates[i].spawnWeight;
        if (running > target) return static_cast<int>(i);
    }
    return -1;
}

float SpawnDelay(const ClientTemplate& client, int r) {
    return client.spawnMin +
           static_cast<float>((client.spawnMax - client.spawnMin) * (r / static_cast<double>(platform::kRandMax)));
}

bool PickOrder(const OrderListEntry& list, const ClientTemplate& client, std::vector<std::string>& orders) {
    double sum = 0;
    for (const OrderEntry& order : list.orders) sum += order.weight;
    if (sum == 0) return false;
    for (int attempt = 0; attempt < kPickOrderTries; ++attempt) {
        const double target = Draw01() * sum;
        double running = 0;
        const OrderEntry* taken = nullptr;
        for (const OrderEntry& order : list.orders) {
            running += order.weight;
            if (running > target) {
                taken = &order;
                break;
            }
        }
        if (taken == nullptr) continue;
        std::string code = taken->order;
        // A one-character code has no second character to replace.
        if (client.extOrder > 0 && code.size() >= 2 && code[0] == '0')
            code[1] = static_cast<char>('0' + RandomIntInRange(2, 4));
        if (std::find(orders.begin(), orders.end(), code) != orders.end()) continue;
        orders.push_back(code);
        return true;
    }
    return false;
}

std::vector<std::string> BuildOrders(const ClientTemplate& client, const std::vector<OrderTemplate>& templates) {
    std::vector<std::string> orders;
    const OrderTemplate* tmpl = nullptr;
    for (const OrderTemplate& t : templates) {
        if (t.name == client.orderTemplate) {
            tmpl = &t;
            break;
        }
    }
    if (tmpl == nullptr || tmpl->lists.empty()) return orders;
    const double p = Draw01();
    if (p < client.multiOrder) {
        PickOrder(tmpl->lists[0], client, orders);
        if (tmpl->lists.size() > 1) PickOrder(tmpl->lists[1], client, orders);
    } else {
        PickOrder(tmpl->lists.size() > 1 ? tmpl->lists[1] : tmpl->lists[0], client, orders);
    }
    return orders;
}
