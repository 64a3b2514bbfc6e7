// Live emitters: emission by burst, rate and time window, particle motion (gravity, drift,
// alignment, targets), finishing, drawing values, the bounds on emission, and emitters owned by
// movies and by the manager.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/core/EngineRand.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/particles/ParticleEmitter.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/scene/UserInterface.h"

using namespace QuillEngine;

namespace {

constexpr float kStep = 1.0f / 60.0f;

EmitterDefinition OneLayer(float emitterLife, float particleLife, float rate, uint32_t startCount)
{
    EmitterDefinition definition;
    definition.life = emitterLife;
    ParticleLayer& layer = definition.layers.emplace_back();
    layer.life = particleLife;
    layer.rate = layer.softwareRate = rate;
    layer.startCount = layer.softwareStartCount = startCount;
    return definition;
}

// Steps until the emitter finishes; the number of steps taken, or -1 after `limit`.
int RunToEnd(ParticleEmitter& emitter, int limit)
{
    for (int steps = 1; steps <= limit; ++steps)
        if (!emitter.Update(kStep, false))
            return steps;
    return -1;
}

class ParticleEmitterTest : public ::testing::Test {
protected:
    void SetUp() override { Srand(1234); }
};

} // namespace

TEST_F(ParticleEmitterTest, ABurstThenTheRateForTheEmittersLifeThenItFinishesWithItsLastParticle)
{
    ParticleEmitter emitter(OneLayer(1.0f, 0.5f, 10.0f, 5), 1);
    ASSERT_TRUE(emitter.Update(kStep, false));
    EXPECT_EQ(emitter.AliveCount(), 5u);
    size_t emitted = 5;
    size_t lastAlive = emitter.AliveCount();
    for (int i = 1; i < 60; ++i) {
        ASSERT_TRUE(emitter.Update(kStep, false));
        if (emitter.AliveCount() > lastAlive)
            emitted += emitter.AliveCount() - lastAlive;
        lastAlive = emitter.AliveCount();
    }
    // Particles of 0.5 s: the burst is gone after half a second, the rate keeps about 5 alive.
    EXPECT_GE(emitter.AliveCount(), 4u);
    EXPECT_LE(emitter.AliveCount(), 6u);
    EXPECT_GE(emitted, 13u); // some births hide behind deaths of the same step
    // Dead records are reused: the array holds the peak, not every particle ever emitted.
    EXPECT_LE(emitter.Particles().size(), 10u);
    const size_t records = emitter.Particles().size();
    // No emission after the life; finished when the last one dies, about half a second on.
    const int steps = RunToEnd(emitter, 120);
    EXPECT_GE(steps, 25);
    EXPECT_LE(steps, 32);
    EXPECT_EQ(emitter.Particles().size(), records);
    EXPECT_EQ(emitter.AliveCount(), 0u);
}

TEST_F(ParticleEmitterTest, TheTimeWindowAndTheSoftwareRatesChooseWhatIsEmitted)
{
    EmitterDefinition definition = OneLayer(2.0f, 5.0f, 10.0f, 0);
    definition.layers[0].startTime = 0.5f;
    definition.layers[0].endTime = 1.0f;
    definition.layers[0].softwareRate = 2.0f;
    definition.layers[0].softwareStartCount = 3;
    ParticleEmitter hardware(definition, 1);
    ParticleEmitter software(definition, 1);
    for (int i = 0; i < 29; ++i) {
        hardware.Update(kStep, false);
        software.Update(kStep, true);
    }
    EXPECT_EQ(hardware.AliveCount(), 0u);
    EXPECT_EQ(software.AliveCount(), 3u); // the software burst
    for (int i = 0; i < 90; ++i) {
        hardware.Update(kStep, false);
        software.Update(kStep, true);
    }
    // Emission from 0 s of emitter time accumulates: by the end of the window, 10 per second
    // over a second, or 2 per second on the software rasteriser.
    EXPECT_GE(hardware.AliveCount(), 9u);
    EXPECT_LE(hardware.AliveCount(), 10u);
    EXPECT_GE(software.AliveCount(), 4u);
    EXPECT_LE(software.AliveCount(), 5u);
}

TEST_F(ParticleEmitterTest, ParticlesFallDriftAlignAndHeadForTheirTarget)
{
    EmitterDefinition falling = OneLayer(0.02f, 10.0f, 0, 1);
    falling.layers[0].velocityX = 60;
    falling.layers[0].gravity = 120;
    ParticleEmitter fall(falling, 1);
    fall.SetPosition(100, 200);
    fall.Update(kStep, false);
    for (int i = 0; i < 60; ++i)
        fall.Update(kStep, false);
    const Particle& p = fall.Particles()[0];
    EXPECT_NEAR(p.x, 160, 0.01);
    EXPECT_NEAR(p.velocityY, 120, 0.01);
    EXPECT_NEAR(p.y, 261, 0.5);

    EmitterDefinition drifting = falling;
    drifting.layers[0].driftX = 10;
    drifting.layers[0].driftRate = 3;
    ParticleEmitter drift(drifting, 1);
    drift.SetPosition(100, 200);
    float lowest = 1e9f, highest = -1e9f;
    for (int i = 0; i < 180; ++i) {
        drift.Update(kStep, false);
        lowest = std::min(lowest, drift.Particles()[0].x);
        highest = std::max(highest, drift.Particles()[0].x);
        ASSERT_FLOAT_EQ(drift.Particles()[0].y, 200); // no gravity while drifting
    }
    EXPECT_GE(lowest, 95.0f);
    EXPECT_LE(highest, 105.0f);
    EXPECT_GT(highest - lowest, 0.0f);

    EmitterDefinition aligned = OneLayer(0.02f, 10.0f, 0, 1);
    aligned.layers[0].alignToVelocity = true;
    aligned.layers[0].velocityY = 5;
    ParticleEmitter upright(aligned, 1);
    upright.Update(kStep, false);
    EXPECT_FLOAT_EQ(upright.Particles()[0].rotation, 0);
    aligned.layers[0].velocityX = 5;
    ParticleEmitter diagonal(aligned, 1);
    diagonal.Update(kStep, false);
    EXPECT_NEAR(diagonal.Particles()[0].rotation, 2.356, 0.001);

    EmitterDefinition homing = OneLayer(0.02f, 100.0f, 0, 1);
    homing.layers[0].targetStartTime = 0;
    homing.layers[0].targetSpeed = 3600;
    ParticleEmitter seeker(homing, 1);
    seeker.SetTarget(50, -30);
    seeker.Update(kStep, false);
    const int steps = RunToEnd(seeker, 600);
    ASSERT_GT(steps, 0);
    const Particle& last = seeker.Particles()[0];
    EXPECT_LT(std::fabs(last.x - 50), 2.0f);
    EXPECT_LT(std::fabs(last.y + 30), 2.0f);
}

TEST_F(ParticleEmitterTest, AStoppedEmitterFinishesOnlyWhenItsParticlesHaveLived)
{
    ParticleEmitter emitter(OneLayer(100.0f, 1.0f, 30.0f, 4), 1);
    for (int i = 0; i < 10; ++i)
        emitter.Update(kStep, false);
    const size_t alive = emitter.AliveCount();
    ASSERT_GT(alive, 4u);
    emitter.Stop();
    ASSERT_TRUE(emitter.Update(kStep, false));
    EXPECT_EQ(emitter.AliveCount(), alive); // none emitted, none dead yet
    // The youngest particle was born at step 10 and lives 60 steps.
    const int steps = RunToEnd(emitter, 120);
    EXPECT_GE(steps, 57);
    EXPECT_LE(steps, 61);
}

TEST_F(ParticleEmitterTest, DrawingValuesFollowAgeAndStayInRangeForAnyLife)
{
    EmitterDefinition definition = OneLayer(0.02f, 1.0f, 0, 1);
    ParticleLayer& layer = definition.layers[0];
    layer.startColor = 0xFF8000;
    layer.endColor = 0x0000FF;
    layer.startAlpha = 0.5f;
    layer.endAlpha = 0.5f;
    layer.startScale = 2;
    layer.endScale = 2;
    layer.registrationX = 1;
    layer.maskingLayer = true;
    layer.maskedOut = true;
    ParticleEmitter emitter(definition, 1);
    emitter.SetPosition(10, 20);
    emitter.Update(kStep, false);
    Particle particle = emitter.Particles()[0];
    ParticleQuad quad;
    emitter.BuildQuad(particle, Transform2D::Translation(100, 0), 0.5f, quad);
    EXPECT_EQ(quad.color, 0x3FFF8000u); // orange at a quarter opacity
    EXPECT_EQ(quad.mode, QuadBatcher::kMaskLayer | QuadBatcher::kMaskedOut);
    // The unit quad's centre, moved left by the registration, doubled, then placed.
    Vec2 centre;
    TransformPoint(centre, Vec2{0, 0}, quad.transform);
    EXPECT_NEAR(centre.x, 108, 0.001);
    EXPECT_NEAR(centre.y, 20, 0.001);

    particle.age = 0.5f;
    emitter.BuildQuad(particle, Transform2D{}, 1.0f, quad);
    EXPECT_EQ(quad.color, 0x7F7F407Fu);

    // A layer without a life (or an opacity out of range) still gives colours in range.
    definition.layers[0].life = 0;
    definition.layers[0].startAlpha = 5;
    definition.layers[0].endAlpha = 5;
    definition.layers[0].additiveBlend = true;
    ParticleEmitter lifeless(definition, 1);
    particle.age = 0;
    lifeless.BuildQuad(particle, Transform2D{}, 1.0f, quad);
    EXPECT_EQ(quad.color, 0xFF0000FFu); // the end colour, fully opaque
    EXPECT_EQ(quad.mode, QuadBatcher::kAdditive | QuadBatcher::kMaskedOut);
    EXPECT_FALSE(lifeless.Update(kStep, false) && lifeless.Update(kStep, false));
}

TEST_F(ParticleEmitterTest, EmissionIsBoundedWhateverTheRateOrTheStep)
{
    EmitterDefinition definition = OneLayer(10.0f, 100.0f, std::numeric_limits<float>::infinity(), 0);
    ParticleEmitter flood(definition, 1);
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(flood.Update(kStep, false));
    EXPECT_LE(flood.Particles().size(), ParticleEmitter::kMaxParticles);
    EXPECT_EQ(flood.Particles().size(), ParticleEmitter::kMaxParticles);

    // A stalled frame of five seconds does not emit its whole backlog at once.
    ParticleEmitter steady(OneLayer(100.0f, 100.0f, 1000.0f, 0), 1);
    steady.Update(5.0f, false);
    EXPECT_EQ(steady.AliveCount(), ParticleEmitter::kMaxEmitsPerUpdate);
    steady.Update(kStep, false);
    EXPECT_LE(steady.AliveCount(), ParticleEmitter::kMaxEmitsPerUpdate + 17u);
}

TEST_F(ParticleEmitterTest, TheManagerOwnsEmittersByHandleAndMoviesTakeTheirsAlong)
{
    UserInterface ui;
    ASSERT_TRUE(ui.CreateRoot());
    ASSERT_TRUE(ui.GetDefinitionLibrary()->AddImageDefinition(u"Dot", u"dot.tga"));
    auto manager = std::make_unique<ParticleManager>();
    manager->SetSoftwareRatesForTest(false);
    auto document = XmlNode::ParseDocument(
        "<Emitter Name=\"Spark\"><Life>0.1</Life><Particle><TextureName>Dot</TextureName><Life>0.1</Life>"
        "<StartCount>2</StartCount></Particle></Emitter>",
        false);
    ASSERT_TRUE(manager->AddDefinition(*document, false));
    EXPECT_TRUE(manager->Create(u"nothing").IsEmpty());

    const EmitterHandle loose = manager->Create(u"SPARK");
    ASSERT_TRUE(loose.IsValid());
    EXPECT_EQ(manager->Handles().ValueOf(loose.handle), ParticleManager::kHandleType);
    int steps = 0;
    while (loose.Step(kStep))
        ++steps;
    EXPECT_LE(steps, 8);
    EXPECT_FALSE(loose.IsValid());
    EXPECT_EQ(manager->LiveEmitterCount(), 0u);
    loose.Stop(); // stale: nothing happens

    Instance_Movie* movie = HandleEx::ResolveMovie(ui.GetRoot()->CreateEmptyChild(u"m"));
    ASSERT_NE(movie, nullptr);
    // A finished emitter drops out of its movie's list.
    const EmitterHandle brief = manager->CreateAndAttach(u"spark", movie->GetHandle());
    ASSERT_EQ(movie->Emitters().size(), 1u);
    for (int i = 0; i < 10; ++i)
        ui.Update();
    EXPECT_FALSE(brief.IsValid());
    EXPECT_TRUE(movie->Emitters().empty());

    // A second emitter from an already loaded definition still comes; a deleted movie destroys its
    // emitters.
    const EmitterHandle a = manager->CreateAndAttach(u"spark", movie->GetHandle());
    const EmitterHandle b = manager->CreateAndAttach(u"spark", movie->GetHandle());
    ASSERT_TRUE(a.IsValid() && b.IsValid());
    EXPECT_TRUE(manager->CreateAndAttach(u"spark", Handle{}).IsEmpty());
    EXPECT_EQ(manager->LiveEmitterCount(), 2u);
    ui.GetRoot()->RemoveChild(u"m");
    ui.Update();
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(manager->LiveEmitterCount(), 0u);

    // The manager may go before the tree: a movie destroyed later finds nothing to resolve.
    Instance_Movie* late = HandleEx::ResolveMovie(ui.GetRoot()->CreateEmptyChild(u"late"));
    ASSERT_NE(late, nullptr);
    const EmitterHandle orphan = manager->CreateAndAttach(u"spark", late->GetHandle());
    ASSERT_TRUE(orphan.IsValid());
    manager.reset();
    EXPECT_FALSE(orphan.IsValid());
    EXPECT_FALSE(orphan.Step(kStep));
}

TEST_F(ParticleEmitterTest, AnEmitterTakesOneSeedFromTheGameSequenceHoweverManyParticlesItMakes)
{
    // The software renderer's thinner particles must not move the game's random sequence: a
    // seeded replay deals the same items on either renderer.
    UserInterface ui;
    ASSERT_TRUE(ui.CreateRoot());
    ASSERT_TRUE(ui.GetDefinitionLibrary()->AddImageDefinition(u"Dot", u"dot.tga"));
    auto document = XmlNode::ParseDocument(
        "<Emitter Name=\"Spark\"><Life>1</Life><Particle><TextureName>Dot</TextureName><Life>0.5</Life>"
        "<StartCount>40</StartCount><SoftwareStartCount>4</SoftwareStartCount><Rate>60</Rate>"
        "<SoftwareRate>6</SoftwareRate><VelocityRand>10</VelocityRand></Particle></Emitter>",
        false);
    int next[2] = {0, 0};
    size_t alive[2] = {0, 0};
    for (const bool software : {false, true}) {
        auto manager = std::make_unique<ParticleManager>();
        manager->SetSoftwareRatesForTest(software);
        ASSERT_TRUE(manager->AddDefinition(*document, false));
        Srand(77);
        const EmitterHandle spark = manager->Create(u"Spark");
        ASSERT_TRUE(spark.IsValid());
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(spark.Step(kStep));
        alive[software] = spark.Get()->AliveCount();
        next[software] = Rand();
    }
    EXPECT_GT(alive[0], 2 * alive[1]);
    EXPECT_EQ(next[0], next[1]);
}
