#pragma once
#include <vector>
#include "game/screens/screen_kit.h"

// The opening pages ("splash"): each child with a picture is a page, shown
// for 5 s of update time or until a key, one after another over black; after
// the last the menu background takes over.
class SplashScreen : public Screen {
public:
    static constexpr float kPageSeconds = 5.0f;

    float mTimer = 0.0f;
    std::vector<UiControl*> mPages;
    size_t mPage = 0;
    bool mPageDone = false;

    SplashScreen(OfficeApp* app, XmlNode layouts);

    void Update() override;
    void Draw(Zephra::Graphics* g) override;
    void AddChild(const std::string& name, UiControl* control) override;
    void OnActivate() override;
    void OnDeactivate() override;
    void KeyDown(int keyCode) override;
    void ListNames(ScreenNames& names) const override;

    void NextPage();

private:
    // Set once the splash ran: only its end hands over to the menus.
    bool mStarted = false;
};
