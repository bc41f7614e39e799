#include <cstdlib>
#include "game/app/startup.h"
#include "game/compose/game_composition.h"

int main() {
    InstallGameComposition();
    // Tests and CI set PEMBERLY_NO_URL so that no browser opens.
    return RunGame(GameDirFromEnvironment(), std::getenv("PEMBERLY_NO_URL") == nullptr);
}
