#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include "framework/graphics/color.h"

namespace Zephra {
class Graphics;
class Image;
} // namespace Zephra

class ScriptObject;

// One colour key of a particle's life: age as a fraction of the life (the
// first key at 0 or below, the last above 1).
struct ParticleColorKey {
    float age = 0.0f;
    Zephra::Color color{0, 0, 0, 0};
};

enum ParticleShape : int {
    kParticleShapePoint = 0,
    kParticleShapeRect = 1,
    kParticleShapeDisc = 2,
};

// ParticleParams::varyFlags: which values vary by the spread.
enum ParticleVaryFlags : int {
    kVaryStartSize = 1,
    kVaryEndSize = 2,
    kVarySpeed = 4,
    kVaryLife = 8,
};

// What an effect fills to make a particle system; copied whole into the system.
struct ParticleParams {
    static constexpr int kMaxColorKeys = 8;

    std::string imageName;  // a texture of the texture table
    int colorKeyCount = 0;  // 0 (opaque white) or 2..8
    ParticleColorKey colorKeys[kMaxColorKeys];
    float rate = 0.0f;      // particles per second
    float speed = 0.0f;     // units per second
    float startSize = 0.0f; // multiples of the image size
    float endSize = 0.0f;
    float life = 0.0f;      // seconds
    int shape = kParticleShapePoint;
    float rectWidth = 0.0f;
    float rectHeight = 0.0f;
    float discRadius = 0.0f;
    float emitterX = 0.0f;
    float emitterY = 0.0f;
    double gravityX = 0.0;  // constant drift, units per second
    double gravityY = 0.0;
    float baseAngle = 0.0f; // degrees; 0 points down the screen
    float angleRange = 0.0f;
    float speedDecayTime = 0.0f; // seconds
    float spread = 0.0f;         // relative variation
    int varyFlags = 0;           // ParticleVaryFlags
    int capacity = 0;            // computed by the system: ceil(rate * life)
};

struct Particle {
    double x = 0.0;
    double y = 0.0;
    float age = 0.0f;
    Zephra::Color color{0, 0, 0, 0};
    float size = 0.0f;
    int colorKey = 0;
    float startSize = 0.0f;
    float endSize = 0.0f;
    float lifetime = 0.0f;
    double dirX = 0.0;
    double dirY = 0.0;
    float speed = 0.0f;
    float remainingDecay = 0.0f;
};

// A fixed block of particles with a stack of the free ones. Past the block,
// elements come from the heap and are counted as overflow.
class ParticlePool {
public:
    explicit ParticlePool(size_t count);
    ~ParticlePool();
    ParticlePool(const ParticlePool&) = delete;
    ParticlePool& operator=(const ParticlePool&) = delete;

    Particle* Alloc();
    void Free(Particle* particle);
    bool Owns(const Particle* particle) const;

    size_t GetCount() const { return block_.size(); }
    size_t GetInUse() const { return inUse_; }
    size_t GetFreeCount() const { return free_.size(); }
    int GetOverflow() const { return overflow_; }

private:
    std::vector<Particle> block_;
    std::vector<Particle*> free_;
    size_t inUse_ = 0;
    int overflow_ = 0;
};

// Where systems take their images from: the game's texture table, or a test's.
class ParticleImageSource {
public:
    virtual ~ParticleImageSource() = default;
    // The image of that name with its use count raised, or null.
    virtual Zephra::Image* AcquireParticleImage(const std::string& name) = 0;
    virtual void ReleaseParticleImage(const std::string& name) = 0;
};

class TextureTable;

// Particle images from a texture table.
class TextureTableImageSource : public ParticleImageSource {
public:
    explicit TextureTableImageSource(TextureTable* table = nullptr) : table_(table) {}
    void SetTable(TextureTable* table) { table_ = table; }
    TextureTable* GetTable() const { return table_; }
    Zephra::Image* AcquireParticleImage(const std::string& name) override;
    void ReleaseParticleImage(const std::string& name) override;

private:
    TextureTable* table_;
};

class ParticleRegistry;

// A sprite particle emitter. Made by an effect function; owned by the
// registry it was registered in.
class ParticleSystem {
public:
    // Takes the params (null: none yet) and registers with the registry, when
    // one is given, under the owner.
    ParticleSystem(const ParticleParams* params, ScriptObject* owner, ParticleRegistry* registry);
    ~ParticleSystem();
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // False (after a trace, leaving no pool and no image) for bad colour keys.
    // Null changes nothing.
    bool SetParams(const ParticleParams* params);
    void CreatePool();
    void AcquireImage();
    void ReleaseImage();
    // Every particle back, the pool deleted, the image released.
    void Clear();

    void Start() { emitting_ = 1; }
    // Emitting off; the live particles live out their lives.
    void Stop();
    // Stop, and every live particle gone at once.
    void Kill();

    void Update(float dt);
    void Emit();
    void Draw(Zephra::Graphics* g);

    bool IsEmitting() const { return emitting_ != 0; }
    const ParticleParams& GetParams() const { return params_; }
    const std::vector<Particle*>& GetParticles() const { return live_; }
    size_t GetLiveCount() const { return live_.size(); }
    const ParticlePool* GetPool() const { return pool_; }
    Zephra::Image* GetImage() const { return image_; }
    float GetAccumulator() const { return accumulator_; }
    ScriptObject* GetOwner() const { return owner_; }
    ParticleRegistry* GetRegistry() const { return registry_; }

private:
    // Every live particle back to the pool.
    void ReleaseParticles();
    // The first key at or after the particle's key index whose age lies above f.
    void ApplyColor(Particle& p, float f) const;

    std::vector<Particle*> live_;
    ParticlePool* pool_ = nullptr;
    ParticleParams params_;
    float accumulator_ = 0.0f;
    uint8_t emitting_ = 0;
    Zephra::Image* image_ = nullptr;
    std::string heldImageName_;
    ParticleImageSource* heldSource_ = nullptr;
    ScriptObject* owner_ = nullptr;
    ParticleRegistry* registry_ = nullptr;

    friend class ParticleRegistry;
};

// The particle systems of the running game, by the script object they were
// made for. Owns them; an owner's systems go when the owner goes.
class ParticleRegistry {
public:
    // Images come from the source (null: from the application's texture table).
    explicit ParticleRegistry(ParticleImageSource* images = nullptr);
    ~ParticleRegistry();
    ParticleRegistry(const ParticleRegistry&) = delete;
    ParticleRegistry& operator=(const ParticleRegistry&) = delete;

    // The registry effect functions make their systems in: the application's,
    // else the last one made that is still alive; null when none.
    static ParticleRegistry* Current();

    void Register(ScriptObject* owner, ParticleSystem* system);
    void UpdateOwner(ScriptObject* owner, float dt);
    void UpdateAll(float dt);
    void KillAll();
    // Deletes every system of that owner (and empties the owner's slots that held them).
    void RemoveOwner(ScriptObject* owner);
    // Deletes every system.
    void Clear();
    // Forgets the system without deleting it (a system deleted elsewhere
    // leaves its registry this way).
    void Unregister(ParticleSystem* system);

    size_t GetCount() const { return systems_.size(); }
    size_t GetCount(ScriptObject* owner) const { return systems_.count(owner); }
    bool Contains(const ParticleSystem* system) const;

    // The source given, else the application's texture table; null when none.
    ParticleImageSource* GetImageSource();
    void SetImageSource(ParticleImageSource* images) { images_ = images; }

private:
    std::multimap<ScriptObject*, ParticleSystem*> systems_;
    ParticleImageSource* images_ = nullptr;
    TextureTableImageSource appTextures_;
};

// The application's registry (OfficeApp::SetParticleRegistry), made when the
// application is.
ParticleRegistry* MakeParticleRegistry();
void DestroyParticleRegistry(ParticleRegistry* registry);
