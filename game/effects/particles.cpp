#include "game/effects/particles.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include "framework/graphics/graphics.h"
#include "framework/graphics/image.h"
#include "framework/graphics/memory_image.h"
#include "game/app/game_util.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"
#include "game/effects/script_object.h"
#include "platform/random.h"

namespace {

// A rate times a life beyond this is a data error, not a particle effect.
constexpr int kMaxCapacity = 1 << 16;

// Truncation toward zero that stays defined for values out of range.
int TruncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

float Vary(float v, float spread) {
    return v + v * spread * (2.0f * static_cast<float>(platform::Rand()) / 32767.0f - 1.0f);
}

float Scaled(float v) { return static_cast<float>(platform::Rand()) * v / 32767.0f; }

std::vector<ParticleRegistry*>& LiveRegistries() {
    static std::vector<ParticleRegistry*> registries;
    return registries;
}

// An owner that outlives its system must not keep it in a slot.
void DropSlots(ScriptObject* owner, const ParticleSystem* system) {
    if (!owner) return;
    for (int id = kObjParamParticles0; id <= kObjParamParticles3; ++id) {
        if (owner->GetParamPtr<ParticleSystem>(id) == system) owner->RemoveParam(id);
    }
}

// A script object going away takes its particle systems with it, so that no
// registry hands them to a new object born at the same address.
void OnScriptObjectDestroyed(ScriptObject* owner) {
    for (ParticleRegistry* registry : LiveRegistries()) registry->RemoveOwner(owner);
}

} // namespace

// ---- TextureTableImageSource ----

Zephra::Image* TextureTableImageSource::AcquireParticleImage(const std::string& name) {
    return table_ ? table_->Acquire(name) : nullptr;
}

void TextureTableImageSource::ReleaseParticleImage(const std::string& name) {
    if (table_) table_->Release(name);
}

// ---- ParticlePool ----

ParticlePool::ParticlePool(size_t count) : block_(count) {
    free_.reserve(count);
    for (size_t i = count; i > 0; --i) free_.push_back(&block_[i - 1]);
}

ParticlePool::~ParticlePool() = default;

Particle* ParticlePool::Alloc() {
    ++inUse_;
    if (!free_.empty()) {
        Particle* p = free_.back();
        free_.pop_back();
        *p = Particle{};
        return p;
    }
    ++overflow_;
    return new Particle{};
}

void ParticlePool::Free(Particle* particle) {
    if (!particle) return;
    if (inUse_ > 0) --inUse_;
    if (Owns(particle)) {
        free_.push_back(particle);
    } else {
        delete particle;
        --overflow_;
    }
}

bool ParticlePool::Owns(const Particle* particle) const {
    if (block_.empty() || !particle) return false;
    // Compare as addresses: the pointer may belong to another allocation.
    auto p = reinterpret_cast<uintptr_t>(particle);
    auto first = reinterpret_cast<uintptr_t>(block_.data());
    auto end = reinterpret_cast<uintptr_t>(block_.data() + block_.size());
    return p >= first && p < end;
}

// ---- ParticleSystem ----

ParticleSystem::ParticleSystem(const ParticleParams* params, ScriptObject* owner, ParticleRegistry* registry)
    : owner_(owner), registry_(registry) {
    SetParams(params);
    if (registry) registry->Register(owner, this);
}

ParticleSystem::~ParticleSystem() {
    if (registry_) registry_->Unregister(this);
    Clear();
}

bool ParticleSystem::SetParams(const ParticleParams* params) {
    if (!params) return true;
    Clear();
    accumulator_ = 0.0f;
    params_ = *params;
    params_.capacity = 0;

    const int count = params_.colorKeyCount;
    if (count != 0) {
        const char* error = nullptr;
        if (count < 2) {
            error = "ERROR: [PS: ] age color count less than 2 !..";
        } else if (count > ParticleParams::kMaxColorKeys) {
            error = "ERROR: [PS: ] age color count greater than 8 !..";
        } else if (!(params_.colorKeys[0].age <= 0.0f)) {
            error = "ERROR: [PS: ] first color age must be equal to 0!..";
        } else if (!(params_.colorKeys[count - 1].age > 1.0f)) {
            error = "ERROR: [PS: ] last color age must be greater than 1!..";
        }
        if (error) {
            DebugTrace("%s", error);
            return false;
        }
    }

    const float capacity = std::ceil(params_.rate * params_.life);
    if (capacity > 0.0f) params_.capacity = capacity >= kMaxCapacity ? kMaxCapacity : static_cast<int>(capacity);
    CreatePool();
    AcquireImage();
    return true;
}

void ParticleSystem::ReleaseParticles() {
    for (Particle* p : live_) {
        if (pool_) pool_->Free(p);
    }
    live_.clear();
}

void ParticleSystem::CreatePool() {
    // Live particles may sit in the old block.
    ReleaseParticles();
    delete pool_;
    live_.reserve(static_cast<size_t>(params_.capacity));
    pool_ = new ParticlePool(static_cast<size_t>(params_.capacity) + 1);
}

void ParticleSystem::AcquireImage() {
    ReleaseImage();
    if (params_.imageName.empty()) return;
    ParticleImageSource* source = registry_ ? registry_->GetImageSource() : nullptr;
    if (!source) return;
    image_ = source->AcquireParticleImage(params_.imageName);
    if (image_) {
        heldImageName_ = params_.imageName;
        heldSource_ = source;
    }
}

void ParticleSystem::ReleaseImage() {
    if (image_ && heldSource_) heldSource_->ReleaseParticleImage(heldImageName_);
    image_ = nullptr;
    heldSource_ = nullptr;
    heldImageName_.clear();
}

void ParticleSystem::Clear() {
    ReleaseParticles();
    delete pool_;
    pool_ = nullptr;
    ReleaseImage();
}

void ParticleSystem::Stop() {
    emitting_ = 0;
    accumulator_ = 0.0f;
}

void ParticleSystem::Kill() {
    Stop();
    ReleaseParticles();
}

void ParticleSystem::ApplyColor(Particle& p, float f) const {
    const int count = params_.colorKeyCount;
    if (count < 2 || count > ParticleParams::kMaxColorKeys) {
        p.color = Zephra::Color(255, 255, 255, 255);
        return;
    }
    int k = std::max(p.colorKey, 1);
    while (k < count && !(f < params_.colorKeys[k].age)) ++k;
    if (k >= count) {
        // Only reachable past the last key's age: hold its colour.
        p.colorKey = count - 1;
        p.color = params_.colorKeys[count - 1].color;
        return;
    }
    p.colorKey = k;
    const ParticleColorKey& a = params_.colorKeys[k - 1];
    const ParticleColorKey& b = params_.colorKeys[k];
    const float width = b.age - a.age;
    float t = width > 0.0f ? (f - a.age) / width : 1.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    auto lerp = [t](int c0, int c1) {
        return static_cast<int>(static_cast<float>(c0) + static_cast<float>(c1 - c0) * t);
    };
    p.color = Zephra::Color(lerp(a.color.mRed, b.color.mRed), lerp(a.color.mGreen, b.color.mGreen),
                            lerp(a.color.mBlue, b.color.mBlue), lerp(a.color.mAlpha, b.color.mAlpha));
}

void ParticleSystem::Update(float dt) {
    for (size_t i = 0; i < live_.size();) {
        Particle* p = live_[i];
        p->age += dt;
        if (p->age <= p->lifetime) {
            p->remainingDecay = std::max(p->remainingDecay - dt, 0.0f);
            const float f = p->lifetime > 0.0f ? p->age / p->lifetime : 1.0f;
            // Without a decay time the particle has no speed of its own.
            const float decay = params_.speedDecayTime > 0.0f ? p->remainingDecay / params_.speedDecayTime : 0.0f;
            p->x += decay * p->speed * p->dirX * dt;
            p->x += dt * params_.gravityX;
            p->y += decay * p->speed * p->dirY * dt;
            p->y += dt * params_.gravityY;
            ApplyColor(*p, f);
            p->size = p->startSize + (p->endSize - p->startSize) * f;
            ++i;
        } else {
            if (pool_) pool_->Free(p);
            live_[i] = live_.back();
            live_.pop_back();
        }
    }
    if (emitting_) {
        accumulator_ += dt;
        Emit();
    }
}

void ParticleSystem::Emit() {
    if (!pool_ || !(params_.rate > 0.0f)) return;
    const float interval = 1.0f / params_.rate;
    const double due = static_cast<double>(accumulator_ / interval);
    if (!(due >= 1.0)) return;
    // More than the capacity can never be emitted in one call.
    int n = due > params_.capacity + 1.0 ? params_.capacity + 1 : static_cast<int>(due);
    const float spread = params_.spread;
    const int vary = params_.varyFlags;
    for (int k = 0; n >= 1; ++k, --n) {
        if (live_.size() >= static_cast<size_t>(params_.capacity) || pool_->GetFreeCount() == 0) break;
        Particle* p = pool_->Alloc();
        p->speed = (vary & kVarySpeed) ? Vary(params_.speed, spread) : params_.speed;
        p->x = TruncToInt(params_.emitterX);
        p->y = TruncToInt(params_.emitterY);
        p->age = static_cast<float>(k) * interval;
        p->remainingDecay = params_.speedDecayTime;
        p->color = Zephra::Color(0, 0, 0, 0);
        p->size = 0.0f;
        p->colorKey = 0;
        p->startSize = (vary & kVaryStartSize) ? Vary(params_.startSize, spread) : params_.startSize;
        p->endSize = (vary & kVaryEndSize) ? Vary(params_.endSize, spread) : params_.endSize;
        p->lifetime = (vary & kVaryLife) ? Vary(params_.life, spread) : params_.life;

        if (params_.shape == kParticleShapeRect) {
            p->x += TruncToInt(Vary(params_.rectWidth, spread) - params_.rectWidth * 0.5f);
            p->y += TruncToInt(Vary(params_.rectHeight, spread) - params_.rectHeight * 0.5f);
        } else if (params_.shape == kParticleShapeDisc) {
            const float a = Scaled(3.1415927f);
            const float r = Scaled(params_.discRadius);
            p->x += TruncToInt(r * std::cos(a));
            p->y += TruncToInt(r * std::sin(a));
        }

        const float degrees = (Scaled(1.0f) - 0.5f) * params_.angleRange + params_.baseAngle;
        const float angle = degrees * 0.017453292f;
        p->dirX = -std::sin(angle);
        p->dirY = std::cos(angle);

        live_.push_back(p);
        accumulator_ -= interval;
    }
}

void ParticleSystem::Draw(Zephra::Graphics* g) {
    if (!g || live_.empty() || !image_) return;
    const int imageWidth = image_->GetWidth();
    const int imageHeight = image_->GetHeight();
    for (const Particle* p : live_) {
        const int w = TruncToInt(static_cast<float>(imageWidth) * p->size);
        const int h = TruncToInt(static_cast<float>(imageHeight) * p->size);
        if (w <= 0 || h <= 0) continue;
        const bool colorize = g->GetColorizeImages();
        g->SetColor(p->color);
        g->SetColorizeImages(true);
        g->DrawImageStretched(image_, TruncToInt(p->x) - w / 2, TruncToInt(p->y) - h / 2, w, h);
        g->SetColorizeImages(colorize);
    }
}

// ---- ParticleRegistry ----

ParticleRegistry::ParticleRegistry(ParticleImageSource* images) : images_(images) {
    LiveRegistries().push_back(this);
    ScriptObject::SetDestroyHook(&OnScriptObjectDestroyed);
}

ParticleRegistry::~ParticleRegistry() {
    Clear();
    auto& live = LiveRegistries();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (live.empty()) ScriptObject::SetDestroyHook(nullptr);
}

ParticleRegistry* ParticleRegistry::Current() {
    if (OfficeApp* app = GetApp()) {
        if (ParticleRegistry* registry = app->GetParticleRegistry()) return registry;
    }
    auto& live = LiveRegistries();
    return live.empty() ? nullptr : live.back();
}

void ParticleRegistry::Register(ScriptObject* owner, ParticleSystem* system) {
    if (!system || Contains(system)) return;
    // One owning registry only: another one would delete the system a second time.
    if (system->registry_ && system->registry_ != this) system->registry_->Unregister(system);
    system->registry_ = this;
    system->owner_ = owner;
    systems_.emplace(owner, system);
}

void ParticleRegistry::UpdateOwner(ScriptObject* owner, float dt) {
    auto range = systems_.equal_range(owner);
    for (auto it = range.first; it != range.second; ++it) it->second->Update(dt);
}

void ParticleRegistry::UpdateAll(float dt) {
    for (auto& entry : systems_) entry.second->Update(dt);
}

void ParticleRegistry::KillAll() {
    for (auto& entry : systems_) entry.second->Kill();
}

void ParticleRegistry::RemoveOwner(ScriptObject* owner) {
    auto range = systems_.equal_range(owner);
    std::vector<ParticleSystem*> doomed;
    for (auto it = range.first; it != range.second; ++it) doomed.push_back(it->second);
    systems_.erase(range.first, range.second);
    for (ParticleSystem* system : doomed) {
        DropSlots(owner, system);
        delete system;
    }
}

void ParticleRegistry::Clear() {
    auto systems = std::move(systems_);
    systems_.clear();
    for (auto& [owner, system] : systems) {
        DropSlots(owner, system);
        delete system;
    }
}

void ParticleRegistry::Unregister(ParticleSystem* system) {
    for (auto it = systems_.begin(); it != systems_.end(); ++it) {
        if (it->second == system) {
            systems_.erase(it);
            return;
        }
    }
}

bool ParticleRegistry::Contains(const ParticleSystem* system) const {
    for (const auto& entry : systems_) {
        if (entry.second == system) return true;
    }
    return false;
}

ParticleImageSource* ParticleRegistry::GetImageSource() {
    if (images_) return images_;
    OfficeApp* app = GetApp();
    TextureTable* table = app ? app->GetTextureTable() : nullptr;
    if (!table) return nullptr;
    appTextures_.SetTable(table);
    return &appTextures_;
}

ParticleRegistry* MakeParticleRegistry() { return new ParticleRegistry(); }
void DestroyParticleRegistry(ParticleRegistry* registry) { delete registry; }
