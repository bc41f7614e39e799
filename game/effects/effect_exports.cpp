#include "game/effects/effect_exports.h"
#include "game/effects/effect_functions.h"

// The program's exported effect functions by name, each with the one calling
// form it takes.
namespace {

constexpr EffectCallForm kControl = EffectCallForm::Control;
constexpr EffectCallForm kMessage = EffectCallForm::Message;
constexpr EffectCallForm kEither = EffectCallForm::Either;

const EffectExport kEffectFunctions[] = {
    {"EffectItemShow", &EffectItemShow, kControl},
    {"EffectItemHide", &EffectItemHide, kControl},
    {"EffectBlinkHP", &EffectBlinkHP, kControl},
    {"EffectBlinkHPOff", &EffectBlinkHPOff, kControl},
    {"EffectScaleZero", &EffectScaleZero, kControl},
    {"EffectScaleUpRecoil", &EffectScaleUpRecoil, kControl},
    {"EffectScalePulse", &EffectScalePulse, kControl},
    {"EffectScaleDownToOne", &EffectScaleDownToOne, kControl},
    {"EffectScaleDown", &EffectScaleDown, kControl},
    {"EffectFadeIn", &EffectFadeIn, kControl},
    {"EffectFadeOut", &EffectFadeOut, kControl},
    {"EffectFadeOne", &EffectFadeOne, kControl},
    {"EffectFadeZero", &EffectFadeZero, kControl},
    {"EffectJumpUp", &EffectJumpUp, kControl},
    {"EffectSlideUpAccel", &EffectSlideUpAccel, kControl},
    {"EffectSlideFromBottomDecel", &EffectSlideFromBottomDecel, kControl},
    {"EffectShake", &EffectShake, kControl},
    {"EffectSetCheckmarkScalepoint", &EffectSetCheckmarkScalepoint, kControl},
    {"EffectSetCashBonusColor", &EffectSetCashBonusColor, kControl},
    {"EffectSetCashPenaltyColor", &EffectSetCashPenaltyColor, kControl},
    {"EffectSetCashPenaltyOffset", &EffectSetCashPenaltyOffset, kControl},
    {"EffectSetChainColor", &EffectSetChainColor, kControl},
    {"UpgradeEffectBlink", &UpgradeEffectBlink, kControl},
    {"EffectTableSpecColor", &EffectTableSpecColor, kControl},
    {"WindowFadeOut", &WindowFadeOut, kControl},
    {"WindowReset", &WindowReset, kControl},
    {"DlgShow", &DlgShow, kControl},
    {"DlgHide", &DlgHide, kControl},
    {"DlgSetCenterScalePoint", &DlgSetCenterScalePoint, kControl},
    {"DlgScaleUpRecoil", &DlgScaleUpRecoil, kControl},
    {"DlgScaleUpEaseOut", &DlgScaleUpEaseOut, kControl},
    {"DlgSmallScaleUpAccel", &DlgSmallScaleUpAccel, kControl},
    {"DlgSmallScaleDownAccel", &DlgSmallScaleDownAccel, kControl},
    {"DlgBigScaleDownAccel", &DlgBigScaleDownAccel, kControl},
    {"DlgFadeIn", &DlgFadeIn, kControl},
    {"DlgFadeOut", &DlgFadeOut, kControl},
    {"DlgShiftDown", &DlgShiftDown, kControl},
    {"DlgShiftDownAccel", &DlgShiftDownAccel, kControl},
    {"DlgSlideDownAccel", &DlgSlideDownAccel, kControl},
    {"DlgSlideFromBottomAccel", &DlgSlideFromBottomAccel, kControl},
    {"DlgSlideRightAccel", &DlgSlideRightAccel, kControl},
    {"DlgSlideFromRightAccel", &DlgSlideFromRightAccel, kControl},
    {"DlgUpgradeBtnBlink", &DlgUpgradeBtnBlink, kControl},
    {"FuncOnGoalExpertPSEffect", &FuncOnGoalExpertPSEffect, kControl},
    {"FuncOnWorkerWorkingPSEffect", &FuncOnWorkerWorkingPSEffect, kMessage},
    {"RenderPSFunc", &RenderPSFunc, kMessage},
    {"StopPSFunc", &StopPSFunc, kMessage},
    {"WidgetsLock", &WidgetsLock, kEither},
    {"WidgetsUnlock", &WidgetsUnlock, kEither},
};

} // namespace

std::span<const EffectExport> AllEffectFunctions() { return kEffectFunctions; }

const EffectExport* FindEffectExport(std::string_view name) {
    for (const EffectExport& e : kEffectFunctions) {
        if (name == e.name) return &e;
    }
    return nullptr;
}

EffectCallback ResolveEffectFunction(std::string_view name, EffectCallForm wanted) {
    const EffectExport* e = FindEffectExport(name);
    if (!e || !e->fn) return nullptr;
    if (e->form != wanted && e->form != EffectCallForm::Either) return nullptr;
    return e->fn;
}
