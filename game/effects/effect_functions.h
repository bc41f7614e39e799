#pragma once
#include <cstdint>
#include "game/effects/effect_exports.h"

namespace Zephra {
class Graphics;
}

class ScriptObject;

// The 49 effect functions that "cfg\\effect.xml" names (see effect_exports.h
// for the table). Control callbacks take an EffectCallContext*, message
// functions the ScriptObject*; a missing argument, parameter or part does
// nothing. Every function returns 1 unless noted.

// Object-part callbacks (control callbacks).
int EffectItemShow(void* context);
int EffectItemHide(void* context);
int EffectBlinkHP(void* context);
int EffectBlinkHPOff(void* context);
int EffectScaleZero(void* context);
int EffectScaleUpRecoil(void* context);
int EffectScalePulse(void* context);
int EffectScaleDownToOne(void* context);
int EffectScaleDown(void* context);
int EffectFadeIn(void* context);
int EffectFadeOut(void* context);
int EffectFadeOne(void* context);
int EffectFadeZero(void* context);
int EffectJumpUp(void* context);
int EffectSlideUpAccel(void* context);
int EffectSlideFromBottomDecel(void* context);
int EffectShake(void* context);
int EffectSetCheckmarkScalepoint(void* context);
int EffectSetCashBonusColor(void* context);
int EffectSetCashPenaltyColor(void* context);
int EffectSetCashPenaltyOffset(void* context);
int EffectSetChainColor(void* context);
int UpgradeEffectBlink(void* context);
int EffectTableSpecColor(void* context);
int WindowFadeOut(void* context);
int WindowReset(void* context);

// UI control callbacks (control callbacks).
int DlgShow(void* context);
int DlgHide(void* context);
int DlgSetCenterScalePoint(void* context);
int DlgScaleUpRecoil(void* context);
int DlgScaleUpEaseOut(void* context);
int DlgSmallScaleUpAccel(void* context);
int DlgSmallScaleDownAccel(void* context);
int DlgBigScaleDownAccel(void* context);
int DlgFadeIn(void* context);
int DlgFadeOut(void* context);
int DlgShiftDown(void* context);
int DlgShiftDownAccel(void* context);
int DlgSlideDownAccel(void* context);
int DlgSlideFromBottomAccel(void* context);
int DlgSlideRightAccel(void* context);
int DlgSlideFromRightAccel(void* context);
int DlgUpgradeBtnBlink(void* context);

// Particle and application functions.
int FuncOnGoalExpertPSEffect(void* context);  // control callback
int FuncOnWorkerWorkingPSEffect(void* script); // message function
// 0 when parameter 262 (the Graphics) is not set.
int RenderPSFunc(void* script);                // message function
int StopPSFunc(void* script);                  // message function
int WidgetsLock(void* ignored);
int WidgetsUnlock(void* ignored);

// Shared math of the effect functions, in single precision.
float EffectSin(float x);
float EffectCos(float x);
float EffectFloor(float x);
float EffectCeil(float x);
float DegToRad(float degrees);
// x to the integer power n by squaring over the bits of |n|; the reciprocal
// for a negative n.
float PowFInt(float x, int n);

// y = c + b p + a p^2 through (0, y0), (x1, y1), (x2, y2), solved in single precision.
struct EffectParabola {
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float operator()(float p) const { return c + b * p + a * PowFInt(p, 2); }
};
EffectParabola ParabolaFromZero(float y0, float x1, float y1, float x2, float y2);

// Binds the Graphics as parameter 262, fires "render_ps" and unbinds it, so
// that no effect keeps a Graphics past the drawing. False when the script
// has no "render_ps" message.
bool FireRenderPS(ScriptObject* script, Zephra::Graphics* g);
