#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include "game/app/xml_access.h"
#include "game/effects/effect_exports.h"
#include "game/effects/effect_timer.h"

class Skin;

// Parameter ids filled by a UI control.
enum UiEffectParam : int {
    kUiParamAlpha = 1,       // float*
    kUiParamVisible = 2,     // uint8_t*
    kUiParamOffset = 3,      // EffectPoint*
    kUiParamScale = 4,       // float*
    kUiParamScalePoint = 5,  // EffectPoint*
    kUiParamControl = 6,     // the control itself
    kUiParamChildren = 7,    // the control's list of children
    kUiParamGraphics = 262,  // Zephra::Graphics*, only while "render_ps" is fired
};

// Parameter ids filled by an office object or a skin.
enum ObjectEffectParam : int {
    kObjParamParts = 256,       // EffectPartList*
    kObjParamVisible = 257,     // uint8_t*
    kObjParamParticles0 = 258,  // ParticleSystem* slots 258..261
    kObjParamParticles1 = 259,
    kObjParamParticles2 = 260,
    kObjParamParticles3 = 261,
    kObjParamGraphics = 262,    // Zephra::Graphics*
    kObjParamX = 263,           // plain int
    kObjParamY = 264,           // plain int
    kObjParamOrientation = 265, // const char* ("tr", "br" ...)
    kObjParamMirror = 266,      // uint8_t*
};

// Parameter ids filled by an animation player.
enum AnimEffectParam : int {
    kAnimParamFrame = 1,   // int*
    kAnimParamRecord = 2,  // the animation record now playing
    kAnimParamDone = 3,    // uint8_t*
};

// An (int x, int y) pair that effects read and write in their targets.
struct EffectPoint {
    int x = 0;
    int y = 0;
};

// Pointers into one visual part of an office object or skin.
struct EffectPart {
    EffectPoint* offset = nullptr;
    float* scale = nullptr;
    EffectPoint* scalePoint = nullptr;
    float* alpha = nullptr;
    uint8_t* visible = nullptr;
    uint8_t* flag = nullptr;
    uint32_t* color = nullptr;  // 0xRRGGBBAA
    uint32_t* color2 = nullptr; // 0xRRGGBBAA
    uint32_t* tint = nullptr;   // 0xAARRGGBB, 0 = none
    Skin* skin = nullptr;
};

// The visual parts an effect animates (parameter 256); kept alive by the owner.
struct EffectPartList {
    static constexpr int kMaxParts = 15;
    int count = 0;
    uint8_t* done = nullptr; // the owner's done byte
    EffectPart parts[kMaxParts];

    // False (nothing added) once the list is full.
    bool Add(const EffectPart& part);
    // Part i, or null when the list is shorter.
    EffectPart* Part(int i);
    const EffectPart* Part(int i) const;
    // count kept within 0..kMaxParts.
    int Count() const;
};

// Message commands ("command" of a "message" element); 0 for any other word.
enum EffectCommand : int {
    kCommandNone = 0,
    kCommandStop = 1,
    kCommandStart = 2,
    kCommandResume = 3,
    kCommandPause = 4,
    kCommandCall = 5,
};

struct EffectMessage {
    EffectTimer* timer = nullptr;    // not owned; null when "timer_id" names none
    int command = kCommandNone;
    uint8_t enabled = 1;
    EffectCallback function = nullptr; // "call" only: a message-form export
};

// Binds one effect to one target: numbered parameters into the target,
// timers whose controls call effect functions, and messages that map event
// names to timer commands or calls.
class ScriptObject {
public:
    ScriptObject();
    virtual ~ScriptObject();
    ScriptObject(const ScriptObject&) = delete;
    ScriptObject& operator=(const ScriptObject&) = delete;

    // Reads the timers and messages of one "effect" element.
    void Load(XmlNode effect);

    // False when the key exists (the existing timer stays).
    bool AddTimer(int key);
    EffectTimer* GetTimer(int key) const;
    size_t GetTimerCount() const { return timers_.size(); }

    // Parameters are pointer-sized: a pointer into the target or a plain int.
    bool SetParam(int id, intptr_t value);
    template <class T>
    bool SetParamPtr(int id, T* pointer) { return SetParam(id, reinterpret_cast<intptr_t>(pointer)); }
    void RemoveParam(int id);
    // 0 when absent.
    intptr_t GetParam(int id) const;
    bool HasParam(int id) const;
    // The parameter as a typed pointer; null when absent.
    template <class T>
    T* GetParamPtr(int id) const { return reinterpret_cast<T*>(GetParam(id)); }
    int GetParamInt(int id) const { return static_cast<int>(GetParam(id)); }
    // Parameter 256, or null.
    EffectPartList* GetPartList() const { return GetParamPtr<EffectPartList>(kObjParamParts); }

    // Steps every running, unfinished timer in key order (under gScriptLock).
    void Update(float dt);
    // Runs the messages of the event; false when it has none.
    bool FireMessage(std::string_view name);
    void SetMessageEnabled(std::string_view name, bool enabled);
    // True when the event has messages and all of them are enabled.
    bool IsMessageEnabled(std::string_view name) const;
    bool HasMessage(std::string_view name) const;

    bool IsActive() const { return active_ != 0; }
    const std::multimap<std::string, EffectMessage, std::less<>>& GetMessages() const { return messages_; }

    // Called at the start of every ScriptObject's destruction (e.g. to drop
    // what was registered for it); null for none.
    using DestroyHook = void (*)(ScriptObject*);
    static void SetDestroyHook(DestroyHook hook);

private:
    uint8_t active_ = 1;
    std::map<int, std::unique_ptr<EffectTimer>> timers_;
    std::map<int, intptr_t> params_;
    std::multimap<std::string, EffectMessage, std::less<>> messages_;
};

// "cfg\\effect.xml" and its root element "effects", held for the application's life.
extern std::unique_ptr<XmlDocument> gEffectConfigDoc;
extern XmlNode gEffectConfigRoot;

// Loads "cfg\\effect.xml"; false (and no root) when it cannot be read or has no "effects".
bool OpenEffectConfig();
void CloseEffectConfig();
// A new ScriptObject for the named effect; one with no timers and no messages
// when the configuration has no such effect. Never null.
std::unique_ptr<ScriptObject> CreateScriptObject(std::string_view effectName);
// The same against an "effects" element of the caller's.
std::unique_ptr<ScriptObject> CreateScriptObject(XmlNode effectsRoot, std::string_view effectName);
