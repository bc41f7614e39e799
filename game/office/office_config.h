#pragma once
#include <string>
#include <vector>
#include "game/app/xml_access.h"

class Item;
class PathGraphSet;

// "cfg\office.xml": the office's objects, definitions, tuning values and path
// graphs, read once for all levels.

// Makes one object of a class.
using ObjectFactory = Item* (*)();
struct ObjectFactoryRow {
    const char* className;   // the object element's "class"
    ObjectFactory make;      // null while the class is not built into the program
};
constexpr int kObjectFactoryCount = 17;
// Searched in order by exact comparison.
extern const ObjectFactoryRow kObjectFactoryTable[kObjectFactoryCount];

// Stores an object in a named global when it has the global's class; false
// (nothing stored) otherwise.
using NamedObjectPublisher = bool (*)(Item* item);
struct NamedObjectRow {
    const char* name;        // the object's "name"
    NamedObjectPublisher publish;
};
constexpr int kNamedObjectCount = 13;
extern const NamedObjectRow kNamedObjectTable[kNamedObjectCount];

// The client animations by mood, in the order the clients index them.
constexpr int kClientMoodAnimCount = 10;
extern const char* const ClientMoodAnimNames[kClientMoodAnimCount];
extern const char* const gIdleAnimName;

// The factory of a class word; null when the table has none or its class is
// not built yet.
ObjectFactory FindObjectFactory(const std::string& className);

// Creates the object of one "objects/object" element: its parts, points,
// select blocks and picks, then the whole element (Item::Load); publishes it
// when its name and class match a named global. Null when the class makes
// nothing.
Item* CreateObjectByClass(XmlNode element);

// The "params" element into gGameParams.
void ReadGameParams(XmlNode params);

// Reads a loaded office document (its "office" element) into the globals and
// the given path-graph sets (any of them may be null); the objects made are
// appended to created. False when the document has no "office" element;
// nothing is read then.
bool ReadOfficeConfig(XmlNode document, PathGraphSet* const* graphSets, int graphSetCount,
                      std::vector<Item*>& created);
