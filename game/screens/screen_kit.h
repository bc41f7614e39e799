#pragma once
#include <string>
#include <utility>
#include <vector>
#include "game/ui/ui_dialog.h"

namespace Zephra {
class Image;
class MemoryImage;
} // namespace Zephra

class OfficeApp;

// The running level as the menus and dialogs see it. The level installs its
// implementation once it exists; with none installed the calls do nothing and
// the menus stay where they are.
class LevelLink {
public:
    virtual ~LevelLink() = default;
    virtual void SetSurvival(bool survival) = 0;
    // Hidden into the widget tree, the career day or survival month loaded and
    // started (the load screen runs inside the load).
    virtual void StartLevel(int number) = 0;
    virtual void RestartDay() = 0;
    // Hidden and out of the widget tree: back to the menus.
    virtual void Leave() = 0;
    // The office takes mouse input (in play).
    virtual void SetInputEnabled(bool enabled) = 0;
    virtual bool IsInputEnabled() const = 0;
    // Set while no dialog covers the office: the Escape key opens the escape menu.
    virtual void SetFocusFlag(bool focus) = 0;
    // Shown or hidden around a load.
    virtual void SetShown(bool shown) = 0;
};
void SetLevelLink(LevelLink* link);
LevelLink* GetLevelLink();

// What a screen names, for the sample data check: its bound children under
// their layout names, and the textures, localised texts, sounds and music it
// asks for in code.
struct ScreenNames {
    std::vector<std::pair<std::string, const UiControl*>> members;
    std::vector<std::string> textures;
    std::vector<std::string> locKeys;
    std::vector<std::string> sounds;
    std::vector<std::string> music;
};

// A screen: a dialog whose layout names the children it keeps (AddChild
// binds them by exact name) and whose buttons end in its OnCommand.
class Screen : public UiDialog {
public:
    Screen(UiControl* parent, OfficeApp* app) : UiDialog(parent, app) {}
    virtual void ListNames(ScreenNames& names) const = 0;

protected:
    // Keeps control in slot when name is literal; true when it did.
    template <class T>
    static bool Bind(const std::string& name, const char* literal, UiControl* control, T*& slot) {
        if (name != literal) return false;
        slot = dynamic_cast<T*>(control);
        return true;
    }
    // The child of parent found by name, as a T (null when absent or another kind).
    template <class T>
    static T* Find(const UiControl* parent, const char* name) {
        return parent ? dynamic_cast<T*>(parent->FindChild(name)) : nullptr;
    }
    // Only when the game runs with sound.
    void PlaySound(const std::string& name) const;
    void PlayMusic(const std::string& name) const;
    static LevelLink* Level() { return GetLevelLink(); }
    void SetLevelFocus(bool focus) const;
    void SetLevelInput(bool enabled) const;
};

// Shows or hides a control that may be missing.
void ShowControl(UiControl* control, bool show);
void EnableControl(UiControl* control, bool enabled);
// Show and Hide only when the visibility differs.
void ShowIfHidden(UiControl* control);
void HideIfShown(UiControl* control);

// A plain dialog over the whole picture that takes every click aimed at what
// lies behind a box.
UiDialog* MakeBlocker(OfficeApp* app);
// The blocker joins the dialog's parent, then the blocker and the dialog come
// to the front; nothing without a parent.
void RaiseOverBlocker(UiControl* dialog, UiDialog* blocker);
void DropBlocker(UiControl* dialog, UiDialog* blocker);

// A picture held by name through the texture table, released when it changes
// or goes.
class HeldPicture {
public:
    HeldPicture() = default;
    ~HeldPicture() { Release(); }
    HeldPicture(const HeldPicture&) = delete;
    HeldPicture& operator=(const HeldPicture&) = delete;

    // Releases the held one, then acquires name; null when the table lacks it
    // (nothing is held then, the name is kept).
    Zephra::MemoryImage* Acquire(OfficeApp* app, const std::string& name);
    void Release();
    Zephra::MemoryImage* Image() const { return mImage; }
    const std::string& Name() const { return mName; }

private:
    OfficeApp* mApp = nullptr;
    std::string mName;
    Zephra::MemoryImage* mImage = nullptr;
};

// A picture as frame 0 of a text control, over the control's own size; none
// shows no picture.
void SetPicture(UiControl* control, Zephra::Image* image);
// A text control's label, when the control is one.
void SetLabel(UiControl* control, const std::u16string& label);

// The number after the first word in name, or 0 ("career_day12" -> 12).
int NumberAfter(const std::string& name, const char* word);
// The career day the current player reached, 1..61.
int ReachedCareerDay(OfficeApp* app);
// The man's or the woman's picture by the current player's boss.
Zephra::Image* ProfileBoss(OfficeApp* app, const HeldPicture& man, const HeldPicture& woman);
// The screen hides and the main menu shows.
void ReturnToMainMenu(UiControl* screen, OfficeApp* app);
// The screen and the menus hide and the level starts the day or month.
// Without a level the menus stay where they are.
void StartLevelFrom(UiControl* screen, OfficeApp* app, int number);
