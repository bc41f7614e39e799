#pragma once
#include <functional>
#include "game/app/xml_access.h"

class OfficeApp;
class Screen;

// Builds the menu screens from the layouts under root, in their order: the
// menu background (owning the main menu, the career calendar, the hiscores and
// the survival menu), help, options, the load screen and the splash, which
// starts at once; then the message box. The application keeps plain pointers.
void BuildMenuScreens(OfficeApp& app, XmlNode root);
// Takes them out of the widget tree and deletes them (before the widget
// manager goes).
void DestroyMenuScreens(OfficeApp& app);
// Every screen the application holds, the message box last.
void ForEachMenuScreen(OfficeApp& app, const std::function<void(Screen&)>& fn);

