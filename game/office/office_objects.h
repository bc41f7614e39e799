#pragma once
#include <string_view>
#include <vector>

class Item;
class Pickable;
class ZOrder;

// The running office's registries. Objects enter gObjects when constructed
// and leave when destroyed (gPickables likewise for clickable objects), in
// creation order; the level owns the objects and clears the lists.
extern std::vector<Item*> gObjects;
extern std::vector<Pickable*> gPickables;
// Seconds of the current update; 0 while the level does not run.
extern float gFrameTime;
// The level's draw order; null when no level runs.
extern ZOrder* gZOrder;

// The first object of gObjects with that exact name, or null.
Item* FindObject(std::string_view name);
