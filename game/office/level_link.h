#pragma once
#include <string>

class Item;

// What the office's people ask of the running level screen: money, lives,
// the tutorial rules, the bonus chain and sounds. Without a level screen (or
// without its tutorial, chain or sound manager) each answers as a level
// without them would: nothing is blocked, nothing is booked or played.
namespace LevelLink {

// The money after the change; 0 without a level.
int AddMoney(int amount);
void LoseLife();
bool TutorialAllows(int event);
void TutorialNotify(int event);
// Kind 0 breaks the chain, 1 advances it for the object.
void BonusAction(int kind, Item* object);
void PlaySound(const char* name);
// What the boss carries; empty without a boss.
const std::string& BossCarries();

} // namespace LevelLink
