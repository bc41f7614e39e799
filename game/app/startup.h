#pragma once
#include <string>

class OfficeApp;

// What main() does, in pieces that tests can run.

// The game folder: $PEMBERLY_DATA when set and not empty, else the
// executable's folder.
std::string GameDirFromEnvironment();
// Routes the framework's file reads through the game's file functions
// (install = false restores plain files).
void InstallGameFileAccess(bool install = true);
// The display the game presents through: the DirectDraw stand-in on the
// desktop the window layer reports, with the PEMBERLY_DX_* overrides.
void InstallGameDisplay(OfficeApp& app);
// The address of the "URL=" line of an internet shortcut's text, empty when
// there is none.
std::string PlayUrlFromText(const std::string& text);

constexpr const char* kPlayUrlFile = "play.url";
constexpr const char* kCorruptFilesText = "Some Files are corrupt. the game may not run. Please reinstall the game.";
constexpr const char* kCorruptFilesTitle = "ERROR";

// The whole program on the game folder: checks "play.url", makes the
// application, runs Init and Start, deletes it, and (when openUrl) opens the
// shortcut's address. The exit status: 0 after a normal close, 1 when the
// game folder is incomplete or start-up failed.
int RunGame(const std::string& gameDir, bool openUrl);
