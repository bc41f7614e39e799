#pragma once
#include <string>
#include <vector>
#include "game/app/xml_access.h"
#include "game/office/game_params.h"
#include "game/office/office_objects.h"

// The running office as the office objects, the effects and the screens see
// it, beside the registries of office_objects.h (gObjects, gPickables,
// gFrameTime, gZOrder). The lists, definitions and parameters always exist
// (empty with no office); an `Office` (game/office/office.h) fills and clears
// them and publishes the rest. Main thread only.

class Item;
class Worker;
class Boss;
class Secretary;
class Engineer;
class Phone;
class MiniBar;
class PeriodItem;
class ItemBonus;

// The workers, in creation order.
extern std::vector<Worker*> gWorkers;

extern DefTable<ClientDef> gClientDefs;
extern DefTable<WorkerDef> gWorkerDefs;
extern DefTable<PersDef> gPersDefs;
extern GameParams gGameParams;

// "cfg\office.xml" while an office is loaded, and the current level's file.
extern XmlDocument* gOfficeDoc;
extern XmlDocument* gLevelDoc;

// The office's one-of-a-kind objects, published while the office loads when
// an object of that name has the global's class; null otherwise.
extern Boss* gBoss;
extern Secretary* gSecretary;
extern Engineer* gEngineer;
extern Phone* gPhone;
extern MiniBar* gMiniBar;
extern PeriodItem* gSafe;
extern PeriodItem* gCoffeeMachine;
extern PeriodItem* gAirConditioner;
extern PeriodItem* gConferencePlace;
extern PeriodItem* gCupboard;
extern PeriodItem* gPresentationPlace;
extern PeriodItem* gStereoSystem;
extern ItemBonus* gBonusObject;

// Clears the named-object globals.
void ClearNamedObjects();

// ---------------------------------------------------------------- the level

// An object, skin and animation named together: the entries of the level's
// stages and upgrade lists, and the look an object command hands on.
struct AddEntry {
    std::string name;
    std::string skin;
    std::string anim;
};

// What the office objects ask of the level screen. Installed by the level
// with SetOfficeLevel; with none installed the helpers below answer as an
// office with no level would.
class OfficeLevel {
public:
    virtual ~OfficeLevel() = default;
    // The pickable under the mouse that its clickable test accepted, or null.
    virtual Item* GetHoveredObject() = 0;
    virtual bool IsSurvival() = 0;
    // Applies a skin-upgrade entry (the look change of a command's "old_skin").
    virtual void ApplySkinEntry(const AddEntry& entry) = 0;
};

// Not owned; null uninstalls.
void SetOfficeLevel(OfficeLevel* level);
OfficeLevel* GetOfficeLevel();

// Null without a level.
Item* LevelHoveredObject();
// False without a level.
bool LevelIsSurvival();
// Nothing without a level.
void LevelApplySkinEntry(const AddEntry& entry);
