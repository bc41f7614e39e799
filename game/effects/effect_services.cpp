#include "game/effects/effect_services.h"

#include "game/app/office_app.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"

void InstallEffectServices() {
    InstallParticleRegistryFactory();
    OfficeApp::SetEffectConfigHooks(&OpenEffectConfig, &CloseEffectConfig);
}
