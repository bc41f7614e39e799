#pragma once
#include <cstdint>
#include <string>

class Item;

// Plays a game sound once; nothing without an application or sound manager.
void PlayOfficeSound(const std::string& name);

// The hover look of the bin, the shelving and the reloading items: a hover
// that begins over the rest animation starts "hover"; one that ends over
// "hover" goes back to rest (only when backToRest allows). hoverShown then
// takes hovered.
void SwitchHover(Item& item, uint8_t& hoverShown, bool hovered, const char* rest, bool backToRest = true);
