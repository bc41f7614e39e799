#pragma once
#include <cstdint>
#include "game/screens/screen_kit.h"

// The picture while a level loads ("load_screen"). The load blocks the main
// thread, so the screen is drawn once when it shows; when it hides it keeps
// stepping the main loop, input locked, until 1.5 s have passed since the
// show, so that even a quick load leaves it up that long.
class LoadScreen : public Screen {
public:
    static constexpr uint64_t kMinimumMs = 1500;

    LoadScreen(OfficeApp* app, XmlNode layouts);

    void OnShow() override;
    void OnHide() override;
    void ListNames(ScreenNames& names) const override { (void)names; }

private:
    uint64_t mShownAtMs = 0;
    // Only a shown screen waits.
    bool mShown = false;
};
