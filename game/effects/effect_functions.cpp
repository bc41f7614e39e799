#include "game/effects/effect_functions.h"
#include <cmath>
#include <cstring>
#include <string>
#include "game/app/game_util.h"
#include "game/app/office_app.h"
#include "game/effects/effect_target.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"

namespace {

constexpr float kPi = 3.1415927f;

EffectOffice* gEffectOffice = nullptr;

EffectCallContext* ContextOf(void* arg) { return static_cast<EffectCallContext*>(arg); }

ScriptObject* TargetOf(void* arg) {
    EffectCallContext* context = ContextOf(arg);
    return context ? context->target : nullptr;
}

EffectPartList* PartsOf(void* arg) {
    ScriptObject* script = TargetOf(arg);
    return script ? script->GetPartList() : nullptr;
}

// Calls fn(part, progress) for every part of the target's list.
template <class Fn>
int ForEachPart(void* arg, Fn fn) {
    EffectPartList* list = PartsOf(arg);
    if (!list) return 1;
    const float p = ContextOf(arg)->progress;
    for (int i = 0; i < list->Count(); ++i) fn(list->parts[i], p);
    return 1;
}

// Calls fn(part, progress) for part i only, when the list has it.
template <class Fn>
int OnPart(void* arg, int i, Fn fn) {
    EffectPartList* list = PartsOf(arg);
    if (!list) return 1;
    if (EffectPart* part = list->Part(i)) fn(*part, ContextOf(arg)->progress);
    return 1;
}

void SetAlpha(EffectPart& part, float value) {
    if (part.alpha) *part.alpha = value;
}
void SetScale(EffectPart& part, float value) {
    if (part.scale) *part.scale = value;
}
void SetOffsetY(EffectPart& part, int value) {
    if (part.offset) part.offset->y = value;
}

int SetVisibleByte(void* arg, uint8_t value) {
    ScriptObject* script = TargetOf(arg);
    if (!script) return 1;
    if (auto* visible = script->GetParamPtr<uint8_t>(kObjParamVisible)) *visible = value;
    return 1;
}

int SetPart0Colors(void* arg, uint32_t color, uint32_t color2) {
    return OnPart(arg, 0, [=](EffectPart& part, float) {
        if (part.color) *part.color = color;
        if (part.color2) *part.color2 = color2;
        SetAlpha(part, 1.0f);
    });
}

// A parameter of the target as a typed pointer; null without a target.
template <class T>
T* UiParam(void* arg, int id) {
    ScriptObject* script = TargetOf(arg);
    return script ? script->GetParamPtr<T>(id) : nullptr;
}

int SetUiScale(void* arg, float (*curve)(float)) {
    if (float* scale = UiParam<float>(arg, kUiParamScale)) *scale = curve(ContextOf(arg)->progress);
    return 1;
}

int SetUiAlpha(void* arg, float value) {
    if (float* alpha = UiParam<float>(arg, kUiParamAlpha)) *alpha = value;
    return 1;
}

// Offset (3) moved by the control's (6) size: vertical by its height, else by its width.
int SetUiOffset(void* arg, bool vertical, int (*curve)(float p, int size)) {
    auto* offset = UiParam<EffectPoint>(arg, kUiParamOffset);
    auto* control = UiParam<EffectTarget>(arg, kUiParamControl);
    if (!offset || !control) return 1;
    const Zephra::Rect rect = control->GetEffectRect();
    const float p = ContextOf(arg)->progress;
    if (vertical) {
        offset->y = curve(p, rect.mHeight);
    } else {
        offset->x = curve(p, rect.mWidth);
    }
    return 1;
}

// Truncation toward zero that stays defined out of range.
int Trunc(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return 2147483647;
    if (v <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(v);
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

// The tint of a worker's table by specialization code; set B for a link
// name of six characters.
uint32_t TableTint(const std::string& code, bool setB) {
    struct Row {
        const char* code;
        uint32_t a, b;
    };
    static const Row kRows[] = {
        {"0101", Argb(255, 241, 49, 49), Argb(255, 218, 124, 124)},
        {"0102", Argb(255, 0, 225, 142), Argb(255, 91, 201, 160)},
        {"0103", Argb(255, 84, 123, 222), Argb(255, 144, 163, 211)},
        {"0104", Argb(255, 189, 74, 135), Argb(255, 189, 133, 163)},
        {"0105", Argb(255, 197, 141, 51), Argb(255, 191, 163, 120)},
        {"0200", Argb(255, 194, 209, 209), Argb(255, 195, 199, 208)},
        {"0300", Argb(255, 194, 209, 209), Argb(255, 195, 199, 208)},
        {"0400", Argb(255, 194, 209, 209), Argb(255, 195, 199, 208)},
    };
    for (const Row& row : kRows) {
        if (code == row.code) return setB ? row.b : row.a;
    }
    return 0;
}

ParticleColorKey Key(float age, uint32_t argb) { return ParticleColorKey{age, Zephra::Color(argb)}; }

ParticleParams GoalStarParams(bool big) {
    ParticleParams params;
    params.imageName = big ? "fx_goal_star_big" : "fx_goal_star_small";
    params.colorKeyCount = 3;
    params.colorKeys[0] = Key(0.0f, 0x01FFFFFF);
    params.colorKeys[1] = Key(0.1f, 0xFFFFFFFF);
    params.colorKeys[2] = Key(1.01f, 0x01FFFFFF);
    params.rate = 30.0f;
    params.speed = big ? 300.0f : 400.0f;
    params.startSize = 0.3f;
    params.endSize = 1.2f;
    params.life = big ? 0.8f : 1.0f;
    params.shape = kParticleShapePoint;
    params.emitterX = 400.0f;
    params.emitterY = 300.0f;
    params.gravityX = 0.0;
    params.gravityY = big ? 50.0 : 20.0;
    params.baseAngle = 0.0f;
    params.angleRange = 360.0f;
    params.speedDecayTime = 1.3f;
    params.spread = 0.5f;
    params.varyFlags = kVaryStartSize | kVaryEndSize | kVarySpeed | kVaryLife;
    return params;
}

// The system in the slot, made there from the params when the slot is empty
// and a registry takes it; null when none can be made.
ParticleSystem* SlotSystem(ScriptObject* script, int slot, const ParticleParams& params) {
    if (auto* system = script->GetParamPtr<ParticleSystem>(slot)) return system;
    ParticleRegistry* registry = ParticleRegistry::Current();
    if (!registry) return nullptr;
    auto* system = new ParticleSystem(&params, script, registry);
    script->SetParamPtr(slot, system);
    return system;
}

const int kParticleSlots[] = {kObjParamParticles0, kObjParamParticles1, kObjParamParticles2,
                              kObjParamParticles3};

} // namespace

void SetEffectOffice(EffectOffice* office) { gEffectOffice = office; }
EffectOffice* GetEffectOffice() { return gEffectOffice; }

// ---- shared math ----

float EffectSin(float x) { return std::sin(x); }
float EffectCos(float x) { return std::cos(x); }
float EffectFloor(float x) { return std::floor(x); }
float EffectCeil(float x) { return std::ceil(x); }
float DegToRad(float degrees) { return degrees * 0.017453292f; }

float PowFInt(float x, int n) {
    unsigned bits = n < 0 ? 0u - static_cast<unsigned>(n) : static_cast<unsigned>(n);
    float result = 1.0f;
    while (bits) {
        if (bits & 1u) result *= x;
        x *= x;
        bits >>= 1;
    }
    return n < 0 ? 1.0f / result : result;
}

EffectParabola ParabolaFromZero(float y0, float x1, float y1, float x2, float y2) {
    // a x^2 + b x = y - y0 at x1 and x2, by Cramer's rule.
    const float r1 = y1 - y0;
    const float r2 = y2 - y0;
    const float det = x1 * x1 * x2 - x2 * x2 * x1;
    EffectParabola curve;
    if (det == 0.0f) {
        curve.c = y0;
        return curve;
    }
    curve.a = (r1 * x2 - r2 * x1) / det;
    curve.b = (x1 * x1 * r2 - x2 * x2 * r1) / det;
    curve.c = y0;
    return curve;
}

// ---- object-part callbacks ----

int EffectItemShow(void* arg) { return SetVisibleByte(arg, 1); }
int EffectItemHide(void* arg) { return SetVisibleByte(arg, 0); }

int EffectBlinkHP(void* arg) {
    return OnPart(arg, 1, [](EffectPart& part, float p) { SetAlpha(part, 0.5f + 0.5f * EffectSin(p * kPi)); });
}

int EffectBlinkHPOff(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float) { SetAlpha(part, 1.0f); });
}

int EffectScaleZero(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float) { SetScale(part, 0.0f); });
}

int EffectScaleUpRecoil(void* arg) {
    static const EffectParabola curve = ParabolaFromZero(0.0f, 0.9f, 1.1f, 1.0f, 1.0f);
    return ForEachPart(arg, [](EffectPart& part, float p) { SetScale(part, curve(p)); });
}

int EffectScalePulse(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float p) { SetScale(part, 1.0f + 0.2f * EffectSin(p * kPi)); });
}

int EffectScaleDownToOne(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float p) { SetScale(part, (1.0f - p) * 1.5f + 1.0f); });
}

int EffectScaleDown(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float p) { SetScale(part, 1.0f - p); });
}

int EffectFadeIn(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float p) { SetAlpha(part, p); });
}

int EffectFadeOut(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float p) { SetAlpha(part, 1.0f - p); });
}

int EffectFadeOne(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float) { SetAlpha(part, 1.0f); });
}

int EffectFadeZero(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float) { SetAlpha(part, 0.0f); });
}

int EffectJumpUp(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float p) { SetOffsetY(part, Trunc(EffectSin(p * kPi) * -5.0f)); });
}

int EffectSlideUpAccel(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float p) { SetOffsetY(part, Trunc(-PowFInt(p, 2) * 20.0f)); });
}

int EffectSlideFromBottomDecel(void* arg) {
    return ForEachPart(arg,
                       [](EffectPart& part, float p) { SetOffsetY(part, Trunc(PowFInt(1.0f - p, 2) * 20.0f)); });
}

int EffectShake(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float) {
        const int x = Trunc(RandomFloatInRange(-2.0f, 2.0f));
        const int y = Trunc(RandomFloatInRange(-2.0f, 2.0f));
        if (part.offset) {
            part.offset->x = x;
            part.offset->y = y;
        }
    });
}

int EffectSetCheckmarkScalepoint(void* arg) {
    return OnPart(arg, 0, [](EffectPart& part, float) {
        if (part.scalePoint) *part.scalePoint = EffectPoint{13, 15};
    });
}

int EffectSetCashBonusColor(void* arg) { return SetPart0Colors(arg, 0x5AFF00FF, 0x000000FF); }
int EffectSetCashPenaltyColor(void* arg) { return SetPart0Colors(arg, 0xFF0000FF, 0xFFFFFFFF); }
int EffectSetChainColor(void* arg) { return SetPart0Colors(arg, 0xFFF7C2FF, 0x4C1900FF); }

int EffectSetCashPenaltyOffset(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float) { SetOffsetY(part, 50); });
}

int UpgradeEffectBlink(void* arg) {
    ForEachPart(arg, [](EffectPart& part, float p) {
        if (part.flag && *part.flag == 0 && part.visible) *part.visible = 1;
        const float tenths = p * 10.0f;
        const float fraction = tenths - EffectFloor(tenths);
        SetAlpha(part, fraction <= 0.3f ? p : std::fmin(p + 0.3f, 1.0f));
    });
    EffectPartList* list = PartsOf(arg);
    if (list && list->done && ContextOf(arg)->progress == 1.0f) *list->done = 1;
    return 1;
}

int EffectTableSpecColor(void* arg) {
    EffectPartList* list = PartsOf(arg);
    EffectOffice* office = gEffectOffice;
    if (!list || !office) return 1;
    EffectPart* first = list->Part(0);
    if (!first || !first->skin) return 1;
    std::string tableName;
    if (!office->GetSkinOwnerName(first->skin, tableName)) return 1;
    // The characters after "table" (at most three) name the worker.
    std::string workerName = "worker";
    if (tableName.size() > 5) workerName += tableName.substr(5, 3);
    std::string code;
    if (!office->GetWorkerSpecialization(workerName, code)) return 1;
    std::string linkName;
    office->GetSkinOwnerLinkName(first->skin, linkName);
    const uint32_t tint = TableTint(code, linkName.size() == 6);
    for (int i = 0; i < list->Count(); ++i) {
        if (uint32_t* t = list->parts[i].tint) *t = tint;
    }
    return 1;
}

int WindowFadeOut(void* arg) {
    return ForEachPart(arg, [](EffectPart& part, float p) {
        SetAlpha(part, 1.0f - p);
        if (p == 1.0f && part.visible) *part.visible = 0;
    });
}

int WindowReset(void* arg) {
    SetVisibleByte(arg, 1);
    return ForEachPart(arg, [](EffectPart& part, float) {
        if (part.visible) *part.visible = 1;
        SetAlpha(part, 1.0f);
    });
}

// ---- UI control callbacks ----

int DlgShow(void* arg) {
    if (auto* control = UiParam<EffectTarget>(arg, kUiParamControl)) control->EffectSetVisible(true);
    return 1;
}

int DlgHide(void* arg) {
    if (auto* control = UiParam<EffectTarget>(arg, kUiParamControl)) control->EffectSetVisible(false);
    return 1;
}

int DlgSetCenterScalePoint(void* arg) {
    auto* point = UiParam<EffectPoint>(arg, kUiParamScalePoint);
    auto* control = UiParam<EffectTarget>(arg, kUiParamControl);
    if (!point || !control) return 1;
    const Zephra::Rect rect = control->GetEffectRect();
    point->x = rect.mX + rect.mWidth / 2;
    point->y = rect.mY + rect.mHeight / 2;
    return 1;
}

int DlgScaleUpRecoil(void* arg) {
    static const EffectParabola curve = ParabolaFromZero(0.0f, 0.85f, 1.05f, 1.0f, 1.0f);
    return SetUiScale(arg, [](float p) { return curve(p); });
}

int DlgScaleUpEaseOut(void* arg) {
    static const EffectParabola curve = ParabolaFromZero(1.0f, 0.5f, 1.8f, 1.0f, 2.0f);
    return SetUiScale(arg, [](float p) { return curve(p); });
}

int DlgSmallScaleUpAccel(void* arg) {
    return SetUiScale(arg, [](float p) { return 1.1f - 0.1f * PowFInt(p, 2); });
}

int DlgSmallScaleDownAccel(void* arg) {
    return SetUiScale(arg, [](float p) { return 1.0f - 0.1f * PowFInt(p, 2); });
}

int DlgBigScaleDownAccel(void* arg) {
    return SetUiScale(arg, [](float p) { return (1.0f - PowFInt(p, 2)) * 3.0f + 1.0f; });
}

int DlgFadeIn(void* arg) { return ContextOf(arg) ? SetUiAlpha(arg, ContextOf(arg)->progress) : 1; }
int DlgFadeOut(void* arg) { return ContextOf(arg) ? SetUiAlpha(arg, 1.0f - ContextOf(arg)->progress) : 1; }

int DlgShiftDown(void* arg) {
    return SetUiOffset(arg, true, [](float p, int size) { return Trunc(p * 0.2f * static_cast<float>(size)); });
}

int DlgShiftDownAccel(void* arg) {
    return SetUiOffset(arg, true,
                       [](float p, int size) { return Trunc(PowFInt(p, 2) * 0.2f * static_cast<float>(size)); });
}

int DlgSlideDownAccel(void* arg) {
    return SetUiOffset(arg, true, [](float p, int size) { return Trunc(PowFInt(p, 2) * static_cast<float>(size)); });
}

int DlgSlideFromBottomAccel(void* arg) {
    return SetUiOffset(arg, true,
                       [](float p, int size) { return Trunc(PowFInt(1.0f - p, 2) * static_cast<float>(size)); });
}

int DlgSlideRightAccel(void* arg) {
    return SetUiOffset(arg, false, [](float p, int size) { return Trunc(PowFInt(p, 2) * static_cast<float>(size)); });
}

int DlgSlideFromRightAccel(void* arg) {
    return SetUiOffset(arg, false,
                       [](float p, int size) { return Trunc(PowFInt(1.0f - p, 2) * static_cast<float>(size)); });
}

int DlgUpgradeBtnBlink(void* arg) {
    float* alpha = UiParam<float>(arg, kUiParamAlpha);
    if (!alpha) return 1;
    auto* control = UiParam<EffectTarget>(arg, kUiParamControl);
    const float p = ContextOf(arg)->progress;
    float value = 1.0f;
    if (control && control->IsEffectMouseOver()) {
        value = 1.0f;
    } else if (p > 0.0f && p <= 0.2f) {
        value = 1.0f - p / 0.2f;
    } else if (p > 0.3f && p <= 0.5f) {
        value = 1.0f - (p - 0.3f) / 0.2f;
    }
    *alpha = value;
    return 1;
}

// ---- particle and application functions ----

int FuncOnGoalExpertPSEffect(void* arg) {
    ScriptObject* script = TargetOf(arg);
    if (!script) return 1;
    const float p = ContextOf(arg)->progress;
    if (p == 0.0f) {
        const ParticleParams small = GoalStarParams(false);
        const ParticleParams big = GoalStarParams(true);
        if (ParticleSystem* system = SlotSystem(script, kObjParamParticles0, small)) system->Start();
        if (ParticleSystem* system = SlotSystem(script, kObjParamParticles1, big)) system->Start();
    } else if (p == 1.0f) {
        for (int slot : {kObjParamParticles0, kObjParamParticles1}) {
            if (auto* system = script->GetParamPtr<ParticleSystem>(slot)) system->Stop();
        }
    }
    return 1;
}

int FuncOnWorkerWorkingPSEffect(void* arg) {
    auto* script = static_cast<ScriptObject*>(arg);
    if (!script) return 1;
    const char* orientation = script->GetParamPtr<const char>(kObjParamOrientation);
    const uint8_t* mirrorFlag = script->GetParamPtr<uint8_t>(kObjParamMirror);
    const bool mirror = mirrorFlag && *mirrorFlag != 0;
    int offsetX = 0, offsetY = 0;
    float baseAngle = 0.0f;
    if (orientation && std::strcmp(orientation, "tr") == 0) {
        offsetX = mirror ? -25 : 25;
        offsetY = -5;
        baseAngle = mirror ? 139.0f : 228.0f;
    } else if (orientation && std::strcmp(orientation, "br") == 0) {
        offsetX = mirror ? -24 : 24;
        offsetY = 2;
        baseAngle = mirror ? 20.0f : -60.0f;
    }

    ParticleParams params;
    params.imageName = "fx_work_smoke";
    params.colorKeyCount = 4;
    params.colorKeys[0] = Key(0.0f, 0x01FFFFFF);
    params.colorKeys[1] = Key(0.2f, 0xFFFFFFFF);
    params.colorKeys[2] = Key(0.8f, 0xFFFFFFFF);
    params.colorKeys[3] = Key(1.01f, 0x01FFFFFF);
    params.rate = 5.0f;
    params.speed = 30.0f;
    params.startSize = 0.5f;
    params.endSize = 1.0f;
    params.life = 1.5f;
    params.shape = kParticleShapePoint;
    params.emitterX = static_cast<float>(script->GetParamInt(kObjParamX) + offsetX);
    params.emitterY = static_cast<float>(script->GetParamInt(kObjParamY) + offsetY);
    params.baseAngle = baseAngle;
    params.angleRange = 180.0f;
    params.speedDecayTime = 1.5f;
    params.spread = 0.5f;
    params.varyFlags = kVaryEndSize | kVaryLife;
    if (ParticleSystem* system = SlotSystem(script, kObjParamParticles0, params)) system->Start();
    return 1;
}

int RenderPSFunc(void* arg) {
    auto* script = static_cast<ScriptObject*>(arg);
    auto* g = script ? script->GetParamPtr<Zephra::Graphics>(kObjParamGraphics) : nullptr;
    if (!g) return 0;
    for (int slot : kParticleSlots) {
        if (auto* system = script->GetParamPtr<ParticleSystem>(slot)) system->Draw(g);
    }
    return 1;
}

// Stopping needs no Graphics: since "render_ps" no longer leaves one bound,
// the systems stop whether or not parameter 262 is set.
int StopPSFunc(void* arg) {
    auto* script = static_cast<ScriptObject*>(arg);
    if (!script) return 0;
    for (int slot : kParticleSlots) {
        if (auto* system = script->GetParamPtr<ParticleSystem>(slot)) system->Stop();
    }
    return 1;
}

int WidgetsLock(void*) {
    if (OfficeApp* app = GetApp()) app->LockWidgets();
    return 1;
}

int WidgetsUnlock(void*) {
    if (OfficeApp* app = GetApp()) app->UnlockWidgets();
    return 1;
}

bool FireRenderPS(ScriptObject* script, Zephra::Graphics* g) {
    if (!script) return false;
    script->SetParamPtr(kUiParamGraphics, g);
    const bool handled = script->FireMessage("render_ps");
    script->RemoveParam(kUiParamGraphics);
    return handled;
}

