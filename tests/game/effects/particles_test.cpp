#include <gtest/gtest.h>
#include <cmath>
#include <map>
#include <memory>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"
#include "platform/random.h"

namespace {

// Hands out one white 4x4 picture under any name and counts the holds.
class FakeImages : public ParticleImageSource {
public:
    FakeImages() {
        image.Create(4, 4);
        uint32_t* bits = image.GetBits();
        for (int i = 0; i < 16; ++i) bits[i] = 0xFFFFFFFF;
    }
    Zephra::Image* AcquireParticleImage(const std::string& name) override {
        if (name == "missing") return nullptr;
        ++held[name];
        return &image;
    }
    void ReleaseParticleImage(const std::string& name) override { --held[name]; }

    Zephra::MemoryImage image;
    std::map<std::string, int> held;
};

ParticleParams Plain(float rate, float life) {
    ParticleParams params;
    params.rate = rate;
    params.life = life;
    params.speed = 0.0f;
    params.startSize = 1.0f;
    params.endSize = 1.0f;
    params.speedDecayTime = 1.0f;
    return params;
}

TEST(ParticlePool, HandsOutTheBlockThenCountsOverflow) {
    ParticlePool pool(3);
    Particle* a = pool.Alloc();
    Particle* b = pool.Alloc();
    Particle* c = pool.Alloc();
    EXPECT_TRUE(pool.Owns(a) && pool.Owns(b) && pool.Owns(c));
    EXPECT_EQ(pool.GetInUse(), 3u);
    EXPECT_EQ(pool.GetFreeCount(), 0u);
    EXPECT_EQ(pool.GetOverflow(), 0);

    Particle* extra = pool.Alloc();
    EXPECT_FALSE(pool.Owns(extra));
    EXPECT_EQ(pool.GetOverflow(), 1);
    pool.Free(extra);
    EXPECT_EQ(pool.GetOverflow(), 0);
    pool.Free(b);
    EXPECT_EQ(pool.GetFreeCount(), 1u);
    EXPECT_EQ(pool.Alloc(), b);
}

TEST(ParticleSystem, CapacityIsRateTimesLifeRoundedUp) {
    ParticleParams a = Plain(30.0f, 1.0f);
    ParticleSystem sa(&a, nullptr, nullptr);
    EXPECT_EQ(sa.GetParams().capacity, 30);
    ASSERT_NE(sa.GetPool(), nullptr);
    EXPECT_EQ(sa.GetPool()->GetCount(), 31u);

    ParticleParams b = Plain(5.0f, 1.5f);
    ParticleSystem sb(&b, nullptr, nullptr);
    EXPECT_EQ(sb.GetParams().capacity, 8);

    // A nonsense rate gives an empty system, not a huge or negative pool.
    ParticleParams d = Plain(NAN, 1.0f);
    ParticleSystem sd(&d, nullptr, nullptr);
    EXPECT_EQ(sd.GetParams().capacity, 0);
    sd.Start();
    sd.Update(1.0f);
    EXPECT_EQ(sd.GetLiveCount(), 0u);
}

TEST(ParticleSystem, EmitsByRateWithStaggeredAges) {
    ParticleParams params = Plain(4.0f, 10.0f);
    ParticleSystem system(&params, nullptr, nullptr);
    system.Update(0.5f);
    EXPECT_EQ(system.GetLiveCount(), 0u) << "not started";
    system.Start();
    system.Update(0.5f);
    ASSERT_EQ(system.GetLiveCount(), 2u);
    EXPECT_FLOAT_EQ(system.GetParticles()[0]->age, 0.0f);
    EXPECT_FLOAT_EQ(system.GetParticles()[1]->age, 0.25f);
    EXPECT_NEAR(system.GetAccumulator(), 0.0f, 1e-6);
    EXPECT_EQ(system.GetPool()->GetInUse(), 2u);
}

TEST(ParticleSystem, AgesAndReturnsParticlesAtTheEndOfLife) {
    ParticleParams params = Plain(1.0f, 0.5f);
    ParticleSystem system(&params, nullptr, nullptr);
    system.Start();
    system.Update(1.0f);
    ASSERT_EQ(system.GetLiveCount(), 1u);
    system.Stop();
    system.Update(0.5f); // age == lifetime: still alive
    EXPECT_EQ(system.GetLiveCount(), 1u);
    system.Update(0.25f);
    EXPECT_EQ(system.GetLiveCount(), 0u);
    EXPECT_EQ(system.GetPool()->GetInUse(), 0u);
}

TEST(ParticleSystem, StopKeepsParticlesKillRemovesThem) {
    ParticleParams params = Plain(10.0f, 5.0f);
    ParticleSystem system(&params, nullptr, nullptr);
    system.Start();
    system.Update(0.35f);
    ASSERT_EQ(system.GetLiveCount(), 3u);
    system.Stop();
    EXPECT_FALSE(system.IsEmitting());
    EXPECT_FLOAT_EQ(system.GetAccumulator(), 0.0f);
    system.Update(0.5f);
    EXPECT_EQ(system.GetLiveCount(), 3u);
    system.Kill();
    EXPECT_EQ(system.GetLiveCount(), 0u);
}

// A new pool with particles alive takes them back first: none is left
// pointing into the old block.
TEST(ParticleSystem, NewPoolTakesTheLiveParticlesBack) {
    ParticleParams params = Plain(10.0f, 5.0f);
    ParticleSystem system(&params, nullptr, nullptr);
    system.Start();
    system.Update(0.35f);
    ASSERT_EQ(system.GetLiveCount(), 3u);
    system.CreatePool();
    EXPECT_EQ(system.GetLiveCount(), 0u);
    EXPECT_EQ(system.GetPool()->GetInUse(), 0u);
    EXPECT_TRUE(system.IsEmitting());
    system.Update(0.25f); // 0.05 s left over from before
    EXPECT_EQ(system.GetLiveCount(), 3u);
}

TEST(ParticleSystem, FullSystemEmitsNothingMoreAndKeepsTheAccumulator) {
    ParticleParams params = Plain(2.0f, 1.0f); // capacity 2
    ParticleSystem system(&params, nullptr, nullptr);
    system.Start();
    system.Update(0.9f); // one particle; the second is due at 1.0
    system.Update(4.1f); // ages reach 5: the first dies, the rest are capped
    EXPECT_LE(system.GetLiveCount(), 2u);
    EXPECT_GT(system.GetAccumulator(), 1.0f);
    EXPECT_EQ(system.GetPool()->GetOverflow(), 0);
}

TEST(ParticleSystem, InterpolatesColourKeys) {
    ParticleParams params = Plain(1.0f, 1.0f);
    params.colorKeyCount = 3;
    params.colorKeys[0] = {0.0f, Zephra::Color(0x01FFFFFFu)};
    params.colorKeys[1] = {0.1f, Zephra::Color(0xFFFFFFFFu)};
    params.colorKeys[2] = {1.01f, Zephra::Color(0x01000000u)};
    ParticleSystem system(&params, nullptr, nullptr);
    system.Start();
    system.Update(1.0f);
    system.Stop();
    ASSERT_EQ(system.GetLiveCount(), 1u);
    const Particle* p = system.GetParticles()[0];

    system.Update(0.05f); // halfway between the first two keys
    EXPECT_NEAR(p->color.mAlpha, 128, 1);
    EXPECT_EQ(p->color.mRed, 255);
    EXPECT_EQ(p->colorKey, 1);

    system.Update(0.45f); // f = 0.5: between the last two
    EXPECT_EQ(p->colorKey, 2);
    const float t = (0.5f - 0.1f) / (1.01f - 0.1f);
    EXPECT_NEAR(p->color.mAlpha, static_cast<int>(255 + (1 - 255) * t), 1);
    EXPECT_NEAR(p->color.mRed, static_cast<int>(255 - 255 * t), 1);
}

TEST(ParticleSystem, BadColourKeysLeaveASystemThatEmitsNothing) {
    FakeImages images;
    ParticleRegistry registry(&images);
    ParticleParams bad[4];
    for (auto& b : bad) {
        b = Plain(10.0f, 1.0f);
        b.imageName = "star";
    }
    bad[0].colorKeyCount = 1;
    bad[1].colorKeyCount = 2;
    bad[1].colorKeys[0].age = 0.2f;
    bad[1].colorKeys[1].age = 1.1f;
    bad[2].colorKeyCount = 2;
    bad[2].colorKeys[1].age = 1.0f;
    bad[3].colorKeyCount = 9;
    for (auto& b : bad) {
        ParticleSystem system(nullptr, nullptr, &registry);
        EXPECT_FALSE(system.SetParams(&b));
        EXPECT_EQ(system.GetPool(), nullptr);
        EXPECT_EQ(system.GetImage(), nullptr);
        system.Start();
        system.Update(1.0f);
        EXPECT_EQ(system.GetLiveCount(), 0u);
    }
    EXPECT_EQ(images.held["star"], 0);
    ParticleSystem none(nullptr, nullptr, nullptr);
    EXPECT_TRUE(none.SetParams(nullptr));
}

TEST(ParticleSystem, MovesDownAtAngleZeroWithDecayAndDrift) {
    ParticleParams params = Plain(1.0f, 10.0f);
    params.speed = 10.0f;
    params.speedDecayTime = 1.0f;
    params.gravityX = 2.0;
    params.emitterX = 100.7f;
    params.emitterY = 50.2f;
    ParticleSystem system(&params, nullptr, nullptr);
    system.Start();
    system.Update(1.0f);
    system.Stop();
    const Particle* p = system.GetParticles()[0];
    EXPECT_DOUBLE_EQ(p->x, 100.0);
    EXPECT_DOUBLE_EQ(p->y, 50.0);
    system.Update(0.5f);
    // (0.5 / 1) * 10 * 0.5 down; 0.5 * 2 sideways
    EXPECT_NEAR(p->x, 101.0, 1e-6);
    EXPECT_NEAR(p->y, 52.5, 1e-6);
    system.Update(1.0f); // decay spent: only the drift remains
    EXPECT_NEAR(p->x, 103.0, 1e-6);
    EXPECT_NEAR(p->y, 52.5, 1e-6);
    EXPECT_EQ(p->color, Zephra::Color(255, 255, 255, 255)) << "no keys: opaque white";
}

TEST(ParticleSystem, ZeroDecayTimeGivesNoNaN) {
    ParticleParams params = Plain(4.0f, 2.0f);
    params.speed = 50.0f;
    params.speedDecayTime = 0.0f;
    params.life = 0.0f; // and a zero life
    params.varyFlags = kVaryLife;
    params.spread = 0.0f;
    ParticleSystem system(&params, nullptr, nullptr);
    system.Start();
    for (int i = 0; i < 5; ++i) system.Update(0.25f);
    params.life = 2.0f;
    system.SetParams(&params);
    system.Start();
    for (int i = 0; i < 5; ++i) system.Update(0.25f);
    ASSERT_GT(system.GetLiveCount(), 0u);
    for (const Particle* p : system.GetParticles()) {
        EXPECT_TRUE(std::isfinite(p->x) && std::isfinite(p->y));
        EXPECT_TRUE(std::isfinite(p->size));
    }
}

TEST(ParticleSystem, ShapesAndVariationStayInTheirBounds) {
    platform::SeedRand(1234);
    ParticleParams params = Plain(100.0f, 1.0f);
    params.shape = kParticleShapeDisc;
    params.discRadius = 20.0f;
    params.spread = 0.5f;
    params.speed = 10.0f;
    params.varyFlags = kVaryStartSize | kVaryEndSize | kVarySpeed | kVaryLife;
    ParticleSystem disc(&params, nullptr, nullptr);
    disc.Start();
    disc.Update(0.5f);
    ASSERT_EQ(disc.GetLiveCount(), 50u);
    for (const Particle* p : disc.GetParticles()) {
        EXPECT_GE(p->y, 0.0) << "a half disc below the emitter";
        EXPECT_LE(std::hypot(p->x, p->y), 20.0);
        EXPECT_TRUE(p->speed >= 5.0f && p->speed <= 15.0f);
        EXPECT_TRUE(p->lifetime >= 0.5f && p->lifetime <= 1.5f);
    }

    params.shape = kParticleShapeRect;
    params.rectWidth = 40.0f;
    params.rectHeight = 10.0f;
    params.spread = 0.0f;
    ParticleSystem rect(&params, nullptr, nullptr);
    rect.Start();
    rect.Update(0.05f);
    ASSERT_EQ(rect.GetLiveCount(), 5u);
    for (const Particle* p : rect.GetParticles()) {
        EXPECT_DOUBLE_EQ(p->x, 20.0); // vary(w) - w / 2 without spread
        EXPECT_DOUBLE_EQ(p->y, 5.0);
    }
}

TEST(ParticleSystem, DrawsTheImageScaledAndTinted) {
    FakeImages images;
    ParticleRegistry registry(&images);
    ParticleParams params = Plain(1.0f, 10.0f);
    params.imageName = "star";
    params.startSize = 2.0f;
    params.endSize = 2.0f;
    params.emitterX = 10.0f;
    params.emitterY = 10.0f;
    params.colorKeyCount = 2;
    params.colorKeys[0] = {0.0f, Zephra::Color(255, 0, 0, 255)};
    params.colorKeys[1] = {1.5f, Zephra::Color(255, 0, 0, 255)};
    auto* system = new ParticleSystem(&params, nullptr, &registry);
    EXPECT_EQ(images.held["star"], 1);
    EXPECT_EQ(system->GetImage(), &images.image);

    Zephra::MemoryImage dest;
    dest.Create(20, 20);
    Zephra::Graphics g(&dest);
    system->Draw(&g); // nothing alive yet
    system->Start();
    system->Update(1.0f);
    system->Update(0.01f); // colour and size applied
    g.SetColorizeImages(false);
    system->Draw(&g);
    EXPECT_FALSE(g.GetColorizeImages());
    const uint32_t* bits = dest.GetBits();
    EXPECT_EQ(bits[10 * 20 + 10] & 0x00FFFFFF, 0x00FF0000u); // inside the 8x8 square at (6, 6)
    EXPECT_EQ(bits[7 * 20 + 7] & 0x00FFFFFF, 0x00FF0000u);
    EXPECT_EQ(bits[5 * 20 + 5], 0u);
    EXPECT_EQ(bits[14 * 20 + 14], 0u);

    registry.Clear();
    EXPECT_EQ(images.held["star"], 0) << "the image goes back with the system";
}

TEST(ParticleRegistry, SystemsGoWithTheirOwner) {
    ParticleRegistry registry;
    ParticleParams params = Plain(10.0f, 1.0f);
    auto owner = std::make_unique<ScriptObject>();
    ScriptObject* address = owner.get();
    auto* a = new ParticleSystem(&params, address, &registry);
    new ParticleSystem(&params, address, &registry);
    auto other = std::make_unique<ScriptObject>();
    auto* c = new ParticleSystem(&params, other.get(), &registry);
    EXPECT_EQ(registry.GetCount(address), 2u);
    EXPECT_TRUE(registry.Contains(a));

    a->Start();
    c->Start();
    registry.UpdateOwner(address, 0.25f);
    EXPECT_GT(a->GetLiveCount(), 0u);
    EXPECT_EQ(c->GetLiveCount(), 0u);
    registry.UpdateAll(0.25f);
    EXPECT_GT(c->GetLiveCount(), 0u);
    registry.KillAll();
    EXPECT_EQ(a->GetLiveCount(), 0u);
    EXPECT_EQ(c->GetLiveCount(), 0u);

    owner.reset();
    EXPECT_EQ(registry.GetCount(), 1u);
    EXPECT_FALSE(registry.Contains(a));
    // Whatever address a new object gets, nothing is registered for it.
    for (int i = 0; i < 8; ++i) {
        auto fresh = std::make_unique<ScriptObject>();
        EXPECT_EQ(registry.GetCount(fresh.get()), 0u);
    }
    EXPECT_EQ(registry.GetCount(other.get()), 1u);
}

// A system handed to a second registry leaves the first, so only one deletes it;
// removing an owner's systems empties the slots that held them.
TEST(ParticleRegistry, OneRegistryOwnsASystemAndRemovalEmptiesSlots) {
    ParticleParams params = Plain(10.0f, 1.0f);
    ScriptObject owner;
    {
        ParticleRegistry first;
        ParticleRegistry second;
        auto* system = new ParticleSystem(&params, &owner, &first);
        second.Register(&owner, system);
        EXPECT_FALSE(first.Contains(system));
        EXPECT_TRUE(second.Contains(system));
        EXPECT_EQ(system->GetRegistry(), &second);

        owner.SetParamPtr(kObjParamParticles2, system);
        second.RemoveOwner(&owner);
        EXPECT_EQ(second.GetCount(), 0u);
        EXPECT_FALSE(owner.HasParam(kObjParamParticles2));
    }
}

TEST(ParticleRegistry, OwnerOutlivingTheRegistryLosesItsSlots) {
    auto owner = std::make_unique<ScriptObject>();
    {
        ParticleRegistry registry;
        EXPECT_EQ(ParticleRegistry::Current(), &registry);
        ParticleParams params = Plain(10.0f, 1.0f);
        owner->SetParamPtr(kObjParamParticles0, new ParticleSystem(&params, owner.get(), &registry));
        owner->SetParam(kObjParamParticles1, 12345); // not one of its systems
    }
    EXPECT_EQ(ParticleRegistry::Current(), nullptr);
    EXPECT_FALSE(owner->HasParam(kObjParamParticles0));
    EXPECT_EQ(owner->GetParam(kObjParamParticles1), 12345);
}

} // namespace
