#include "game/office/office_config.h"
#include "game/office/bin.h"
#include "game/office/door.h"
#include "game/office/item.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/office_xml.h"
#include "game/office/path_graph.h"
#include "game/office/period_item.h"
#include "game/office/phone.h"
#include "game/office/pickable.h"
#include "game/office/shelving.h"
#include "game/office/skin.h"
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

bool NotBuiltClass(Item*) { return false; }

template <class Def>
void ReadDefs(XmlNode office, const char* list, const char* entry, DefTable<Def>& table) {
    for (XmlNode element : ChildrenOf(office, list, entry)) {
        Def def;
        def.Read(element);
        table[def.name] = std::move(def);
    }
}

} // namespace

// The classes of the persons, clients, workers, items and indicators join
// the table as they are built; until then their words make nothing.
const ObjectFactoryRow kObjectFactoryTable[kObjectFactoryCount] = {
    {"boss", nullptr},
    {"client", nullptr},
    {"door", Make<Door>},
    {"engineer", nullptr},
    {"item", Make<Item>},
    {"mini_bar", nullptr},
    {"period_item", Make<PeriodItem>},
    {"pickable", Make<Pickable>},
    {"secretary", nullptr},
    {"shelving", Make<Shelving>},
    {"phone", Make<Phone>},
    {"bin", Make<Bin>},
    {"worker", nullptr},
    {"status_hp", nullptr},
    {"status_bubble", nullptr},
    {"specialization", nullptr},
    {"item_bonus", nullptr},
};

// Each row names its global's class; a row whose class is not built yet
// publishes nothing.
const NamedObjectRow kNamedObjectTable[kNamedObjectCount] = {
    {"boss", NotBuiltClass},               // gBoss: Boss
    {"secretary", NotBuiltClass},          // gSecretary: Secretary
    {"engineer", NotBuiltClass},           // gEngineer: Engineer
    {"phone", PublishAs<Phone, &gPhone>},
    {"mini_bar", NotBuiltClass},           // gMiniBar: MiniBar
    {"safe", PublishAs<PeriodItem, &gSafe>},
    {"coffeemachine", PublishAs<PeriodItem, &gCoffeeMachine>},
    {"air_conditioner", PublishAs<PeriodItem, &gAirConditioner>},
    {"conference_place", PublishAs<PeriodItem, &gConferencePlace>},
    {"cupboard", PublishAs<PeriodItem, &gCupboard>},
    {"presentation_place", PublishAs<PeriodItem, &gPresentationPlace>},
    {"stereo_system", PublishAs<PeriodItem, &gStereoSystem>},
    {"bonus", NotBuiltClass},              // gBonusObject: ItemBonus
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
    for (XmlNode object : ChildrenOf(office, "objects", "object")) {
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
