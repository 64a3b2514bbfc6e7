// Effect files read into emitter definitions by the particle manager: values and defaults, keys,
// failures, sanitised values, the pictures' textures, and particles drawn on the software device.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/particles/ParticleEmitter.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/scene/UserInterface.h"
#include "tests/graphics/render/RenderTestFixture.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kGrey = 0xFF606060u;

std::string MakeWhiteTga(uint32_t side)
{
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = char(side);
    file[14] = char(side);
    file[16] = 32;
    for (uint32_t i = 0; i < side * side * 4; ++i)
        file.push_back(char(0xFF));
    return file;
}

std::string Emitter(const std::string& name, const std::string& body)
{
    return "<Emitter Name=\"" + name + "\">" + body + "</Emitter>";
}

class ParticleDefinitionTest : public QuillTest::RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        std::filesystem::create_directories(folder / "Emitters");
        WriteData("dot.tga", MakeWhiteTga(4));
        cache = std::make_unique<ResourceCache>();
        ui = std::make_unique<UserInterface>();
        ASSERT_TRUE(ui->CreateRoot());
        ui->SetScreenSize(800, 600);
        ASSERT_TRUE(ui->GetDefinitionLibrary()->AddImageDefinition(u"Dot", u"dot.tga"));
        auto library = XmlNode::ParseDocument(
            R"(<library><Definition type="movie" name="Clip" fps="30" frames="1"/></library>)", false);
        ASSERT_NE(library, nullptr);
        int32_t added = 0, existing = 0;
        ui->GetDefinitionLibrary()->ImportLibrary(*library, nullptr, added, existing);
        particles = std::make_unique<ParticleManager>();
        particles->SetSoftwareRatesForTest(false);
    }
    void TearDown() override
    {
        ui.reset();
        particles.reset();
        cache.reset();
        RendererTest::TearDown();
    }

    void WriteEmitter(const std::string& file, const std::string& text) { WriteData("Emitters/" + file, text); }

    std::unique_ptr<ResourceCache> cache;
    std::unique_ptr<UserInterface> ui;
    std::unique_ptr<ParticleManager> particles;
};

} // namespace

TEST_F(ParticleDefinitionTest, AFileGivesItsValuesAndTheDefaultsFillTheRest)
{
    WriteEmitter("fire.xml", Emitter("Fire", "<OffsetX>4</OffsetX><Width>20</Width><Gravity>9.5</Gravity>"
                                             "<Life>2</Life>"
                                             "<Particle><TextureName>Dot</TextureName><Rate>12</Rate>"
                                             "<StartCount>0x10</StartCount><StartColor>0xFF8000</StartColor>"
                                             "<AdditiveBlend>true</AdditiveBlend><MaskedIn>1</MaskedIn>"
                                             "<SoftwareRate>3</SoftwareRate></Particle>"
                                             "<Particle><TextureName>Dot</TextureName><AdditiveBlend>1</AdditiveBlend>"
                                             "<SoftwareStartCount>2</SoftwareStartCount></Particle>"));
    ASSERT_TRUE(particles->LoadEmitter(u"fire.xml"));
    const EmitterDefinition* fire = particles->FindDefinition(u"FIRE");
    ASSERT_NE(fire, nullptr);
    EXPECT_EQ(fire->name, u"Fire");
    EXPECT_FLOAT_EQ(fire->offsetX, 4);
    EXPECT_FLOAT_EQ(fire->width, 20);
    EXPECT_FLOAT_EQ(fire->gravity, 9.5f);
    EXPECT_FLOAT_EQ(fire->life, 2);
    EXPECT_FLOAT_EQ(fire->height, 0);
    ASSERT_EQ(fire->layers.size(), 2u);

    const ParticleLayer& first = fire->layers[0];
    EXPECT_FLOAT_EQ(first.rate, 12);
    EXPECT_FLOAT_EQ(first.softwareRate, 3);
    EXPECT_EQ(first.startCount, 16u);
    EXPECT_EQ(first.softwareStartCount, 16u); // absent: the StartCount
    EXPECT_EQ(first.startColor, 0xFF8000u);
    EXPECT_FALSE(first.additiveBlend); // only the number 1 sets a flag
    EXPECT_TRUE(first.maskedIn);
    EXPECT_FLOAT_EQ(first.startAlpha, 1);
    EXPECT_FLOAT_EQ(first.targetStartTime, -1);
    EXPECT_FLOAT_EQ(first.targetSpeed, 1);
    EXPECT_NE(first.texture.Id(), 0u);

    const ParticleLayer& second = fire->layers[1];
    EXPECT_TRUE(second.additiveBlend);
    EXPECT_FLOAT_EQ(second.rate, 1);
    EXPECT_FLOAT_EQ(second.softwareRate, 1); // absent: the Rate
    EXPECT_EQ(second.startCount, 0u);
    EXPECT_EQ(second.softwareStartCount, 2u);
    EXPECT_EQ(second.endColor, 0u);
}

TEST_F(ParticleDefinitionTest, NamesDifferingInCaseShareAKeyThatOnlyTheReplaceFlagOverwrites)
{
    WriteEmitter("a.xml", Emitter("Glow", "<Life>1</Life><Particle><TextureName>Dot</TextureName></Particle>"));
    WriteEmitter("b.xml", Emitter("GLOW", "<Life>5</Life><Particle><TextureName>Dot</TextureName></Particle>"));
    ASSERT_TRUE(particles->LoadEmitter(u"a.xml"));
    EXPECT_FALSE(particles->LoadEmitter(u"b.xml"));
    EXPECT_FLOAT_EQ(particles->FindDefinition(u"glow")->life, 1);

    // A running emitter keeps its copy when the definition is replaced.
    const EmitterHandle running = particles->Create(u"Glow");
    ASSERT_TRUE(particles->LoadEmitter(u"b.xml", true));
    EXPECT_EQ(particles->DefinitionCount(), 1u);
    EXPECT_FLOAT_EQ(particles->FindDefinition(u"glow")->life, 5);
    ASSERT_NE(running.Get(), nullptr);
    EXPECT_FLOAT_EQ(running.Get()->Definition().life, 1);

    // The file is read afresh on every load, not taken from the document cache.
    WriteEmitter("b.xml", Emitter("glow", "<Life>7</Life><Particle><TextureName>Dot</TextureName></Particle>"));
    ASSERT_TRUE(particles->LoadEmitter(u"b.xml", true));
    EXPECT_FLOAT_EQ(particles->FindDefinition(u"Glow")->life, 7);
}

TEST_F(ParticleDefinitionTest, AnyFaultInAFileStoresNothing)
{
    const std::string layer = "<Particle><TextureName>Dot</TextureName></Particle>";
    WriteEmitter("root.xml", "<Effect Name=\"X\">" + layer + "</Effect>");
    WriteEmitter("noname.xml", "<Emitter>" + layer + "</Emitter>");
    WriteEmitter("nolayer.xml", Emitter("X", "<Life>1</Life>"));
    WriteEmitter("nopicture.xml", Emitter("X", layer + "<Particle><TextureName>Nowhere</TextureName></Particle>"));
    WriteEmitter("movie.xml", Emitter("X", "<Particle><TextureName>Clip</TextureName></Particle>"));
    WriteEmitter("broken.xml", "<Emitter Name=\"X\"><Particle>");
    // Element names are case-sensitive: a lower-case `particle` is no layer.
    WriteEmitter("case.xml", Emitter("X", "<particle><TextureName>Dot</TextureName></particle>"));
    for (const char16_t* file : {u"missing.xml", u"root.xml", u"noname.xml", u"nolayer.xml", u"nopicture.xml",
                                 u"movie.xml", u"broken.xml", u"case.xml"})
        EXPECT_FALSE(particles->LoadEmitter(file)) << ToUtf8(file);
    EXPECT_EQ(particles->DefinitionCount(), 0u);
    EXPECT_TRUE(particles->Create(u"X").IsEmpty());
}

TEST_F(ParticleDefinitionTest, RatesCountsAndRealsFromFilesAreHeldToSaneValues)
{
    WriteEmitter("wild.xml",
                 Emitter("Wild", "<Life>nan</Life><Width>inf</Width>"
                                 "<Particle><TextureName>Dot</TextureName><Rate>-5</Rate><StartCount>-1</StartCount>"
                                 "<Life>-inf</Life><SoftwareRate>1e30</SoftwareRate></Particle>"));
    ASSERT_TRUE(particles->LoadEmitter(u"wild.xml"));
    const EmitterDefinition* wild = particles->FindDefinition(u"wild");
    ASSERT_NE(wild, nullptr);
    EXPECT_FLOAT_EQ(wild->life, 1.0f);
    EXPECT_FLOAT_EQ(wild->width, 0.0f);
    const ParticleLayer& layer = wild->layers[0];
    EXPECT_FLOAT_EQ(layer.rate, 0.0f);
    EXPECT_FLOAT_EQ(layer.softwareRate, EmitterDefinition::kMaxRate);
    EXPECT_EQ(layer.startCount, EmitterDefinition::kMaxStartCount);
    EXPECT_FLOAT_EQ(layer.life, 1.0f);

    // The burst is bounded and the emitter still finishes.
    const EmitterHandle emitter = particles->Create(u"wild");
    ASSERT_TRUE(emitter.Step(1.0f / 60));
    EXPECT_EQ(emitter.Get()->Particles().size(), EmitterDefinition::kMaxStartCount);
    int steps = 0;
    while (emitter.Step(1.0f / 60) && steps < 1000)
        ++steps;
    EXPECT_LT(steps, 200);
    EXPECT_FALSE(emitter.IsValid());
}

TEST_F(ParticleDefinitionTest, ALayerKeepsItsPictureLoadedAfterTheInstanceItWasTakenFromIsGone)
{
    WriteEmitter("dot.xml", Emitter("Dot", "<Particle><TextureName>Dot</TextureName></Particle>"));
    ASSERT_TRUE(particles->LoadEmitter(u"dot.xml"));
    const uint32_t texture = particles->FindDefinition(u"dot")->layers[0].texture.Id();
    ASSERT_NE(texture, 0u);
    ResourceBase* resource = cache->Acquire(texture, true);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->GetUseCount(), 1u);

    // A live emitter's copy holds a use of its own.
    const EmitterHandle emitter = particles->Create(u"dot");
    EXPECT_EQ(resource->GetUseCount(), 2u);
    emitter.Destroy();
    EXPECT_EQ(resource->GetUseCount(), 1u);

    particles.reset();
    EXPECT_EQ(cache->Acquire(texture, true), nullptr);
}

TEST_F(ParticleDefinitionTest, AMovieDrawsItsParticlesThroughTheBatcher)
{
    CRenderManager& r = MakeRenderer();
    r.SetDevicePreferences(true, false);
    r.SetClearColor(kGrey);
    ASSERT_TRUE(r.Init(nullptr, false));
    particles->SetSoftwareRatesForTest(true);
    // One still, opaque red particle, 4 units across, scaled up 5 times.
    WriteEmitter("dot.xml",
                 Emitter("Dot", "<Life>10</Life><Particle><TextureName>Dot</TextureName><StartCount>0</StartCount>"
                                "<SoftwareStartCount>1</SoftwareStartCount><Rate>0</Rate><Life>10</Life>"
                                "<StartColor>0xFF0000</StartColor><EndColor>0xFF0000</EndColor>"
                                "<EndAlpha>1</EndAlpha><StartScale>5</StartScale><EndScale>5</EndScale>"
                                "</Particle>"));
    // The movie itself lies wholly left of the screen; its emitter still draws.
    Instance_Movie* movie = HandleEx::ResolveMovie(ui->GetRoot()->CreateEmptyChild(u"fx"));
    ASSERT_NE(movie, nullptr);
    movie->SetPosition(-100, 100);
    const EmitterHandle emitter = movie->CreateParticleEmitter(u"dot.xml", u"dot", 350, 50);
    ASSERT_TRUE(emitter.IsValid());
    ui->Update(); // a step starts the particle
    r.RenderFrame(true);
    EXPECT_EQ(emitter.Get()->AliveCount(), 1u);
    // The picture's 4 x 4 square from (250, 150), five times as large.
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 252, 152), 0xFFFF0000u);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 267, 167), 0xFFFF0000u);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 247, 160), kGrey);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 273, 160), kGrey);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 260, 173), kGrey);

    // Deleting the movie takes its emitter with it.
    ui->GetRoot()->RemoveChild(u"fx");
    ui->GetRoot()->Update();
    EXPECT_FALSE(emitter.IsValid());
    EXPECT_EQ(particles->LiveEmitterCount(), 0u);
    r.RenderFrame(true);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 260, 160), kGrey);
    renderer.reset();
}
