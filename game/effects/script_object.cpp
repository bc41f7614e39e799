#include "game/effects/script_object.h"
#include <string>
#include "game/app/game_util.h"

std::unique_ptr<XmlDocument> gEffectConfigDoc;
XmlNode gEffectConfigRoot;

namespace {

ScriptObject::DestroyHook gDestroyHook = nullptr;

int CommandFromWord(const std::string& word) {
    if (word == "stop") return kCommandStop;
    if (word == "start") return kCommandStart;
    if (word == "resume") return kCommandResume;
    if (word == "pause") return kCommandPause;
    if (word == "call") return kCommandCall;
    return kCommandNone;
}

struct LoadState {
    ScriptObject* script;
    std::map<std::string, EffectTimer*> byName;
    int ordinal = 0;
};

} // namespace

bool EffectPartList::Add(const EffectPart& part) {
    if (count < 0) count = 0;
    if (count >= kMaxParts) return false;
    parts[count++] = part;
    return true;
}

int EffectPartList::Count() const { return count < 0 ? 0 : (count > kMaxParts ? kMaxParts : count); }

EffectPart* EffectPartList::Part(int i) { return (i >= 0 && i < Count()) ? &parts[i] : nullptr; }

const EffectPart* EffectPartList::Part(int i) const { return (i >= 0 && i < Count()) ? &parts[i] : nullptr; }

ScriptObject::ScriptObject() = default;

ScriptObject::~ScriptObject() {
    if (gDestroyHook) gDestroyHook(this);
    timers_.clear();
    active_ = 0;
    messages_.clear();
    params_.clear();
}

void ScriptObject::SetDestroyHook(DestroyHook hook) { gDestroyHook = hook; }

void ScriptObject::Load(XmlNode effect) {
    if (!effect) return;
    LoadState state{this, {}, 0};

    XmlForEachNode(
        effect, "timers/timer",
        [](XmlNode node, void* a, void*) {
            auto* st = static_cast<LoadState*>(a);
            ScriptObject* so = st->script;
            const int key = st->ordinal++;
            auto timer = std::make_unique<EffectTimer>(so);
            timer->Load(node);
            EffectTimer* raw = timer.get();
            // A key taken before loading keeps its timer; the file's timer is dropped.
            if (!so->timers_.emplace(key, std::move(timer)).second) raw = so->GetTimer(key);
            std::string name;
            XmlGetAttrString(node, "name", name);
            st->byName[name] = raw;
            return true;
        },
        &state, nullptr);

    XmlForEachNode(
        effect, "messages/message",
        [](XmlNode node, void* a, void*) {
            auto* st = static_cast<LoadState*>(a);
            EffectMessage message;
            std::string timerId, command, name;
            XmlGetAttrString(node, "timer_id", timerId);
            auto it = st->byName.find(timerId);
            message.timer = (it != st->byName.end()) ? it->second : nullptr;
            XmlGetAttrString(node, "command", command);
            message.command = CommandFromWord(command);
            if (message.command == kCommandCall)
                message.function = ResolveEffectFunction(timerId, EffectCallForm::Message);
            XmlGetAttrString(node, "name", name);
            message.enabled = 1;
            st->script->messages_.emplace(std::move(name), message);
            return true;
        },
        &state, nullptr);
}

bool ScriptObject::AddTimer(int key) {
    if (timers_.count(key)) return false;
    timers_.emplace(key, std::make_unique<EffectTimer>(this));
    return true;
}

EffectTimer* ScriptObject::GetTimer(int key) const {
    auto it = timers_.find(key);
    return it != timers_.end() ? it->second.get() : nullptr;
}

bool ScriptObject::SetParam(int id, intptr_t value) {
    params_[id] = value;
    return true;
}

void ScriptObject::RemoveParam(int id) { params_.erase(id); }

intptr_t ScriptObject::GetParam(int id) const {
    auto it = params_.find(id);
    return it != params_.end() ? it->second : 0;
}

bool ScriptObject::HasParam(int id) const { return params_.count(id) != 0; }

void ScriptObject::Update(float dt) {
    if (!active_) return;
    CritSectLock lock(gScriptLock);
    for (auto& [key, timer] : timers_) {
        if (!timer->IsFinished() && timer->IsRunning()) timer->Update(dt);
    }
}

bool ScriptObject::FireMessage(std::string_view name) {
    auto [first, last] = messages_.equal_range(name);
    if (first == last) return false;
    for (auto it = first; it != last; ++it) {
        const EffectMessage& m = it->second;
        if (!m.enabled) continue;
        switch (m.command) {
        case kCommandStop:
            if (m.timer) {
                m.timer->SetRunning(false);
                m.timer->Reset();
            }
            break;
        case kCommandStart:
            if (m.timer) {
                m.timer->Reset();
                m.timer->SetRunning(true);
            }
            break;
        case kCommandResume:
            if (m.timer) m.timer->SetRunning(true);
            break;
        case kCommandPause:
            if (m.timer) m.timer->SetRunning(false);
            break;
        case kCommandCall:
            if (m.function) m.function(this);
            break;
        default:
            break;
        }
    }
    if (active_) Update(0.0f);
    return true;
}

void ScriptObject::SetMessageEnabled(std::string_view name, bool enabled) {
    auto [first, last] = messages_.equal_range(name);
    for (auto it = first; it != last; ++it) it->second.enabled = enabled ? 1 : 0;
}

bool ScriptObject::IsMessageEnabled(std::string_view name) const {
    auto [first, last] = messages_.equal_range(name);
    if (first == last) return false;
    for (auto it = first; it != last; ++it) {
        if (!it->second.enabled) return false;
    }
    return true;
}

bool ScriptObject::HasMessage(std::string_view name) const {
    return messages_.find(name) != messages_.end();
}

bool OpenEffectConfig() {
    CloseEffectConfig();
    std::unique_ptr<XmlDocument> doc;
    if (!XmlLoadDocument(doc, "cfg\\effect.xml") || !doc) return false;
    XmlNode root = XmlSelectNode(*doc, "effects");
    if (!root) return false;
    gEffectConfigDoc = std::move(doc);
    gEffectConfigRoot = root;
    return true;
}

void CloseEffectConfig() {
    gEffectConfigRoot = XmlNode();
    gEffectConfigDoc.reset();
}

std::unique_ptr<ScriptObject> CreateScriptObject(XmlNode effectsRoot, std::string_view effectName) {
    auto script = std::make_unique<ScriptObject>();
    if (!effectsRoot) return script;
    // The name is bound as a variable: quotes in it cannot change the query.
    const XmlVars vars{{"name", std::string(effectName)}};
    XmlNode effect = XmlSelectNode(effectsRoot, "effect[@name = $name]", &vars);
    if (effect) script->Load(effect);
    return script;
}

std::unique_ptr<ScriptObject> CreateScriptObject(std::string_view effectName) {
    return CreateScriptObject(gEffectConfigRoot, effectName);
}
