// The effect configuration as the application opens it (through the game's
// composition, as main() installs it), with a script object made for every
// effect it names, bound in turn to a stand-in control, office object and
// animation player, its events fired and it updated and drawn.
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_app.h"
#include "game/app/office_app.h"
#include "game/compose/game_composition.h"
#include "game/effects/effect_functions.h"
#include "game/effects/effect_target.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"

namespace {

using fuzz::FuzzApp;

// The fields a control hands its effects.
struct ControlStandIn : EffectTarget {
    float alpha = 1;
    uint8_t visible = 1;
    EffectPoint offset;
    float scale = 1;
    EffectPoint scalePoint;
    bool shown = true;
    Zephra::Rect GetEffectRect() const override { return Zephra::Rect(10, 20, 120, 40); }
    void EffectSetVisible(bool v) override { shown = v; }
    bool IsEffectMouseOver() const override { return false; }
    void Bind(ScriptObject& s) {
        s.SetParamPtr(kUiParamAlpha, &alpha);
        s.SetParamPtr(kUiParamVisible, &visible);
        s.SetParamPtr(kUiParamOffset, &offset);
        s.SetParamPtr(kUiParamScale, &scale);
        s.SetParamPtr(kUiParamScalePoint, &scalePoint);
        s.SetParamPtr<EffectTarget>(kUiParamControl, this);
    }
};

// An office object with three visual parts.
struct ObjectStandIn {
    struct Part {
        EffectPoint offset, scalePoint;
        float scale = 1, alpha = 1;
        uint8_t visible = 1, flag = 0;
        uint32_t color = 0xFFFFFFFF, color2 = 0xFFFFFFFF, tint = 0;
    } parts[3];
    EffectPartList list;
    uint8_t done = 0, visible = 1, mirror = 0;
    void Bind(ScriptObject& s) {
        for (Part& p : parts)
            list.Add(EffectPart{&p.offset, &p.scale, &p.scalePoint, &p.alpha, &p.visible, &p.flag, &p.color,
                                &p.color2, &p.tint, nullptr});
        list.done = &done;
        s.SetParamPtr(kObjParamParts, &list);
        s.SetParamPtr(kObjParamVisible, &visible);
        s.SetParam(kObjParamX, 200);
        s.SetParam(kObjParamY, 150);
        s.SetParamPtr(kObjParamOrientation, "tr");
        s.SetParamPtr(kObjParamMirror, &mirror);
    }
};

// An animation player: frame, record (none here) and done flag.
struct AnimStandIn {
    int frame = 0;
    uint8_t done = 0;
    void Bind(ScriptObject& s) {
        s.SetParamPtr(kAnimParamFrame, &frame);
        s.SetParamPtr(kAnimParamDone, &done);
    }
};

// Fires every event the script knows, in turn with updates and drawing.
void Exercise(ScriptObject& script, Zephra::Graphics& g, ParticleRegistry* particles) {
    std::set<std::string> events;
    for (const auto& [name, message] : script.GetMessages()) events.insert(name);
    for (const char* e : {"oncreate", "onshow", "onhide", "onclick", "onmouseover", "onmouseout"}) events.insert(e);
    for (const std::string& e : events) {
        script.FireMessage(e);
        for (int step = 0; step < 12; ++step) {
            script.Update(0.05f);
            if (particles) particles->UpdateOwner(&script, 0.05f);
        }
        FireRenderPS(&script, &g);
    }
    FUZZ_CHECK(script.GetPartList() == nullptr || script.GetPartList()->Count() <= EffectPartList::kMaxParts,
               "part count");
}

} // namespace

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        InstallGameComposition();
        return true;
    }();
    (void)ready;
    fuzz::WriteGameFile("cfg/effect.xml", data, size);
    std::unique_ptr<FuzzApp> made;
    {
        fuzz::QuietStderr quiet;
        made = std::make_unique<FuzzApp>();  // opens the configuration, as at start-up
    }
    FuzzApp& app = *made;
    std::vector<std::string> errors;
    app.GetTextureTable()->LoadTable(TextureTable::kTablePath, errors);
    if (!gEffectConfigRoot) return 0;

    std::set<std::string> names;
    for (XmlNode effect : gEffectConfigRoot.children("effect")) names.insert(effect.attribute("name").value());
    std::unique_ptr<Zephra::MemoryImage> canvas(app.CreateImage());
    canvas->Create(64, 48);
    Zephra::Graphics g(canvas.get());
    for (const std::string& name : names) {
        {
            ControlStandIn control;
            std::unique_ptr<ScriptObject> script = CreateScriptObject(name);
            control.Bind(*script);
            Exercise(*script, g, app.GetParticleRegistry());
        }
        {
            ObjectStandIn object;
            std::unique_ptr<ScriptObject> script = CreateScriptObject(name);
            object.Bind(*script);
            Exercise(*script, g, app.GetParticleRegistry());
        }
        {
            AnimStandIn anim;
            std::unique_ptr<ScriptObject> script = CreateScriptObject(name);
            anim.Bind(*script);
            Exercise(*script, g, app.GetParticleRegistry());
        }
    }
    // Every system went with its owner.
    FUZZ_CHECK(app.GetParticleRegistry() == nullptr || app.GetParticleRegistry()->GetCount() == 0,
               "particle systems outlived their script objects");
    return 0;
}
