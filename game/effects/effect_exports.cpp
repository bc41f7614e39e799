#include "game/effects/effect_exports.h"
#include <iterator>
#include "game/effects/script_object.h"

// Provisional: a few of the exports, enough for the timer and script tests.
// The full table of the 49 functions replaces this one.
namespace {

ScriptObject* TargetOf(void* arg) {
    auto* context = static_cast<EffectCallContext*>(arg);
    return context ? context->target : nullptr;
}

int SetVisibleByte(void* arg, uint8_t value) {
    if (ScriptObject* so = TargetOf(arg)) {
        if (auto* visible = so->GetParamPtr<uint8_t>(kObjParamVisible)) *visible = value;
    }
    return 1;
}

int SetPartAlpha(void* arg, bool fadeIn) {
    ScriptObject* so = TargetOf(arg);
    EffectPartList* list = so ? so->GetPartList() : nullptr;
    if (!list) return 1;
    float p = static_cast<EffectCallContext*>(arg)->progress;
    for (int i = 0; i < list->Count(); ++i) {
        if (float* alpha = list->parts[i].alpha) *alpha = fadeIn ? p : 1.0f - p;
    }
    return 1;
}

int EffectItemShow(void* arg) { return SetVisibleByte(arg, 1); }
int EffectItemHide(void* arg) { return SetVisibleByte(arg, 0); }
int EffectFadeIn(void* arg) { return SetPartAlpha(arg, true); }
int EffectFadeOut(void* arg) { return SetPartAlpha(arg, false); }

const EffectExport kEffectExports[] = {
    {"EffectItemShow", &EffectItemShow, EffectCallForm::Control},
    {"EffectItemHide", &EffectItemHide, EffectCallForm::Control},
    {"EffectFadeIn", &EffectFadeIn, EffectCallForm::Control},
    {"EffectFadeOut", &EffectFadeOut, EffectCallForm::Control},
};

} // namespace

const EffectExport* EffectExportsBegin() { return std::begin(kEffectExports); }
const EffectExport* EffectExportsEnd() { return std::end(kEffectExports); }

const EffectExport* FindEffectExport(std::string_view name) {
    for (const EffectExport& e : kEffectExports) {
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
