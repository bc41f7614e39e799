#include "game/office/office_config.h"
#include "game/office/bin.h"
#include "game/office/boss.h"
#include "game/office/client.h"
#include "game/office/door.h"
#include "game/office/engineer.h"
#include "game/office/item.h"
#include "game/office/item_bonus.h"
#include "game/office/mini_bar.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/office_xml.h"
#include "game/office/path_graph.h"
#include "game/office/period_item.h"
#include "game/office/phone.h"
#include "game/office/pickable.h"
#include "game/office/secretary.h"
#include "game/office/shelving.h"
#include "game/office/skin.h"
#include "game/office/worker_board.h"
#include "game/office/status_bubble.h"
#include "game/office/status_hp.h"
#include "game/office/worker.h"
#include "game/office/z_order.h"

namespace {

template <class T>
Item* Make() {
    return new T();
}


template <class T, T** global>
bool PublishAs(Item* item) {
    T* typed = dynamic_cast<T*>(item);
    if (typed == nullptr) return false;
    *global = typed;
    return true;
}


template <class Def>
void ReadDefs(XmlNode office, const char* list, const char* entry, DefTable<Def>& table) {
    for (XmlNode element : AtMost(ChildrenOf(office, list, entry), kMaxOfficeDefinitions, "\"" + std::string(list) + "\"")) {
        Def def;
        def.Read(element);
        table[def.name] = std::move(def);
    }
}

} // namespace

const ObjectFactoryRow kObjectFactoryTable[kObjectFactoryCount] = {
    {"boss", Make<Boss>},
    {"client", Make<Client>},
    {"door", Make<Door>},
    {"engineer", Make<Engineer>},
    {"item", Make<Item>},
    {"mini_bar", Make<MiniBar>},
    {"period_item", Make<PeriodItem>},
    {"pickable", Make<Pickable>},
    {"secretary", Make<Secretary>},
    {"shelving", Make<Shelving>},
    {"phone", Make<Phone>},
    {"bin", Make<Bin>},
    {"worker", Make<Worker>},
    {"status_hp", Make<StatusHp>},
    {"status_bubble", Make<StatusBubble>},
    {"specialization", Make<Specialization>},
    {"item_bonus", Make<ItemBonus>},
};

// Each row names its global's class.
const NamedObjectRow kNamedObjectTable[kNamedObjectCount] = {
    {"boss", PublishAs<Boss, &gBoss>},
    {"secretary", PublishAs<Secretary, &gSecretary>},
    {"engineer", PublishAs<Engineer, &gEngineer>},
    {"phone", PublishAs<Phone, &gPhone>},
    {"mini_bar", PublishAs<MiniBar, &gMiniBar>},
    {"safe", PublishAs<PeriodItem, &gSafe>},
    {"coffeemachine", PublishAs<PeriodItem, &gCoffeeMachine>},
    {"air_conditioner", PublishAs<PeriodItem, &gAirConditioner>},
    {"conference_place", PublishAs<PeriodItem, &gConferencePlace>},
    {"cupboard", PublishAs<PeriodItem, &gCupboard>},
    {"presentation_place", PublishAs<PeriodItem, &gPresentationPlace>},
    {"stereo_system", PublishAs<PeriodItem, &gStereoSystem>},
    {"bonus", PublishAs<ItemBonus, &gBonusObject>},
};

const char* const ClientMoodAnimNames[kClientMoodAnimCount] = {
    "idle_green",   "idle_yellow",      "idle_red",         "idle_thinking", "presentation_reaction",
    "drink_coffee", "patience_content", "patience_angry",   "gratitude",     "scandal",
};
const char* const gIdleAnimName = "idle";

ObjectFactory FindObjectFactory(const std::string& className) {
    for (const ObjectFactoryRow& row : kObjectFactoryTable) {
        if (className == row.className) return row.make;
    }
    return nullptr;
}

Item* CreateObjectByClass(XmlNode element) {
    ObjectFactory make = FindObjectFactory(OfficeText(element, "class"));
    Item* item = make ? make() : nullptr;
    if (item == nullptr) return nullptr;
    item->LoadFromConfig(element);
    for (const auto& part : item->GetParts()) part->UpdateEffectPosition();

    const std::string name = OfficeText(element, "name");
    for (const NamedObjectRow& row : kNamedObjectTable) {
        if (name == row.name) {
            row.publish(item);
            break;
        }
    }
    return item;
}

void ReadGameParams(XmlNode params) { gGameParams.Read(params); }

bool ReadOfficeConfig(XmlNode document, PathGraphSet* const* graphSets, int graphSetCount,
                      std::vector<Item*>& created) {
    XmlNode office = document.child("office");
    if (!office) return false;
    if (gZOrder) gZOrder->LoadLevel(office);
    ReadGameParams(office.child("params"));
    for (XmlNode object : AtMost(ChildrenOf(office, "objects", "object"), kMaxOfficeObjects, "\"objects\"")) {
        if (Item* item = CreateObjectByClass(object)) created.push_back(item);
    }
    ReadDefs(office, "clients", "client", gClientDefs);
    ReadDefs(office, "workers", "worker", gWorkerDefs);
    ReadDefs(office, "perses", "pers", gPersDefs);
    for (int i = 0; i < graphSetCount; ++i) {
        if (graphSets[i]) graphSets[i]->LoadOfficeGraphs(office);
    }
    return true;
}
