#pragma once
#include <string>
#include "framework/graphics/rect.h"

class Skin;

// What the UI control effects need of the control in parameter 6. A control
// binds itself as `script->SetParamPtr<EffectTarget>(kUiParamControl, this)`
// (the cast to EffectTarget* matters: the effects read the parameter as one).
class EffectTarget {
public:
    virtual ~EffectTarget() = default;
    // The widget's x, y, width and height.
    virtual Zephra::Rect GetEffectRect() const = 0;
    // The control's SetVisible.
    virtual void EffectSetVisible(bool visible) = 0;
    // The widget's mouse-over flag.
    virtual bool IsEffectMouseOver() const = 0;
};

// What the table effect needs of the running office; installed by the office
// code with SetEffectOffice (none: the effect does nothing).
class EffectOffice {
public:
    virtual ~EffectOffice() = default;
    // The name of the object the skin belongs to ("table3"); false when none.
    virtual bool GetSkinOwnerName(Skin* skin, std::string& name) = 0;
    // The link name of the object the skin belongs to; false when none.
    virtual bool GetSkinOwnerLinkName(Skin* skin, std::string& linkName) = 0;
    // The specialization code ("0101") of the worker of that name; false when
    // no worker has the name.
    virtual bool GetWorkerSpecialization(const std::string& workerName, std::string& code) = 0;
};

void SetEffectOffice(EffectOffice* office);
EffectOffice* GetEffectOffice();
