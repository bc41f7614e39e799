#pragma once

// Hooks the effect library into the application, which cannot name it: the
// particle registry and "cfg\effect.xml". main() calls this before making the
// application.
void InstallEffectServices();
