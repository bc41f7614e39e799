#pragma once
#include <string>

// What the office level asks of the screens, which build on it and so cannot
// be named from below. The game's hooks hand out the one implementation;
// the in-level panel and dialogs join here once the level stands.
class LevelScreens {
public:
    virtual ~LevelScreens() = default;
    // Around a level load: the load screen comes up, and on its way out keeps
    // the picture up its minimum time.
    virtual void ShowLoadScreen() = 0;
    virtual void HideLoadScreen() = 0;
    // Back to the menus (the career's end, leaving a survival level).
    virtual void ShowMenus() = 0;
    // The yes/no question of a key: 1 yes, anything else no.
    virtual int AskYesNo(const std::string& key) = 0;
};
