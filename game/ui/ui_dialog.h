#pragma once
#include <cstdint>
#include <string>
#include "framework/app/button_listener.h"
#include "game/ui/ui_control.h"

// Dialogs nest at most this deep (a screen is the first); one this deep makes
// no children, with a warning.
constexpr int kMaxDialogDepth = 32;
// Controls that loading makes for one screen, nested dialogs included; the
// rest are left out with a warning.
constexpr int kMaxLayoutControls = 4096;

// The container control of every menu, dialog and screen: an optional
// background texture, held only while the dialog is active, and children made
// from its "element" children by type word. Buttons it loads report to it;
// a released button becomes OnCommand(the button's address), which climbs
// through the parents until a screen handles it.
class UiDialog : public UiControl, public Zephra::ButtonListener {
public:
    Zephra::Image* mBackground = nullptr;   // held through the texture table while active
    Zephra::Rect mBackgroundRect;
    std::string mBackgroundName;
    OfficeApp* mApp;
    int mControlsLoaded = 0;                // by Load, counted on the outermost dialog

    UiDialog(UiControl* parent, OfficeApp* app);
    ~UiDialog() override;

    void Update() override;
    // The background stretched over the control, then the particles.
    void Draw(Zephra::Graphics* g) override;
    // Acquires the background by name.
    void Activate() override;
    // Releases it.
    void Deactivate() override;

    // Common attributes, the "normal" background texture and the children.
    virtual void Load(XmlNode element, OfficeApp* app);
    // Passed to the parent; screens override it.
    virtual void OnCommand(intptr_t id);

    // Loads the first "element" child of node of type "uxdialog" with that
    // name; false (nothing loaded) when there is none.
    bool LoadByName(XmlNode node, const std::string& name);
    // Releases a held background; a dialog that held one while active
    // acquires the new one at once, any other at its next Activate (so the
    // first background of a loaded dialog waits until it is shown).
    void SetBackground(const std::string& textureName, const Zephra::Rect& src);
    const std::string& GetBackgroundName() const { return mBackgroundName; }

    void ButtonDepress(intptr_t id) override { OnCommand(id); }

private:
    // Counts one more control made by loading into the outermost dialog;
    // false (with one warning) past kMaxLayoutControls.
    bool CountControl();

    void ReleaseBackground();
    void AcquireBackground();
};

// A dialog that hides itself when released over, with "clickhide" set.
class UiTutorial : public UiDialog {
public:
    uint8_t mClickHide = 0;

    UiTutorial(UiControl* parent, OfficeApp* app) : UiDialog(parent, app) {}
    void Load(XmlNode element, OfficeApp* app) override;
    void MouseUpAt(int x, int y) override;
};

// Makes and loads the control of one "element" child of a dialog.
using UiControlMaker = UiControl* (*)(UiDialog* dialog, XmlNode element, OfficeApp* app);
struct UiControlType {
    const char* word;  // the "type" attribute, compared exactly
    UiControlMaker make;
};

// Controls made as (parent dialog) and loaded with Load(element, app).
template <class T>
UiControl* MakeUiControl(UiDialog* dialog, XmlNode element, OfficeApp* app) {
    T* control = new T(dialog);
    control->Load(element, app);
    return control;
}

// Controls made as (parent dialog, app) and loaded with Load(element, app).
template <class T>
UiControl* MakeUiControlWithApp(UiDialog* dialog, XmlNode element, OfficeApp* app) {
    T* control = new T(dialog, app);
    control->Load(element, app);
    return control;
}

// The type words a dialog knows, in the order they are tried.
const UiControlType* UiControlTypes(size_t& count);
