#include <cstdlib>
#include "game/app/startup.h"
#include "game/effects/particles.h"

int main() {
    InstallParticleRegistryFactory();
    // Tests and CI set PEMBERLY_NO_URL so that no browser opens.
    return RunGame(GameDirFromEnvironment(), std::getenv("PEMBERLY_NO_URL") == nullptr);
}
