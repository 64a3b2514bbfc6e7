// Device selection and creation: adapters, the avoid list, the software fall-back, failures.

#include "tests/graphics/render/RenderTestFixture.h"

using namespace QuillEngine;
using namespace QuillD3D;
using QuillTest::MakeAdapter;

namespace {

using RenderSelectionTest = QuillTest::RendererTest;

TEST(RenderCommandLine, TheSoftwareSwitchIsFoundInAnyPositionAndCase)
{
    EXPECT_TRUE(CommandLineAsksSoftware(u"-software"));
    EXPECT_TRUE(CommandLineAsksSoftware(u"-startscript intro.lua -SOFTWARE"));
    EXPECT_TRUE(CommandLineAsksSoftware(u"a  -Software\tb"));
    EXPECT_TRUE(CommandLineAsksSoftware(u"\"-software\""));
    EXPECT_FALSE(CommandLineAsksSoftware(u""));
    EXPECT_FALSE(CommandLineAsksSoftware(u"-softwarex"));
    EXPECT_FALSE(CommandLineAsksSoftware(u"x-software"));
    EXPECT_FALSE(CommandLineAsksSoftware(u"\"my -software\""));
}

TEST_F(RenderSelectionTest, SmallTexturesOnEveryAdapterEndOnSoftwareForGood)
{
    Faults(Backend::Gl).adapters = std::vector{MakeAdapter(0, 0x10DE, 1, 512)};
    CRenderManager& r = MakeRenderer();
    ASSERT_TRUE(r.Init(nullptr, false));
    EXPECT_TRUE(r.IsSoftwareDevice());
    EXPECT_TRUE(r.HasFallenBack());
    EXPECT_EQ(r.GetBackend(), Backend::Soft);

    EXPECT_FALSE(r.SetSoftwareDevice(false));
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
    EXPECT_TRUE(r.IsSoftwareDevice());
    EXPECT_EQ(boxes, 0);
}

TEST_F(RenderSelectionTest, TheAvoidListSkipsAVendorOrOneDevice)
{
    WriteData("Engine.xml", "<Engine><SoftwareDeviceAutoDetectList>"
                            "<Device vendorid=\"0x10DE\" deviceid=\"0\"/>"
                            "<Device vendorid=\"0x8086\" deviceid=\"0x22\"/>"
                            "</SoftwareDeviceAutoDetectList></Engine>");
    Faults(Backend::Gl).adapters = std::vector{MakeAdapter(0, 0x10DE, 1), MakeAdapter(1, 0x10DE, 2),
                                               MakeAdapter(2, 0x8086, 0x22), MakeAdapter(3, 0x8086, 0x23)};
    CRenderManager& r = MakeRenderer();

    r.SetDevicePreferences(false, true);
    CRenderManager::AdapterChoice choice;
    ASSERT_TRUE(r.SelectAdapter(false, {}, choice));
    EXPECT_EQ(choice.caps.adapterOrdinal, 3u);
    EXPECT_FALSE(choice.software);
    choice.d3d->Release();

    // With automatic detection off the list is not read.
    r.SetDevicePreferences(false, false);
    ASSERT_TRUE(r.SelectAdapter(false, {}, choice));
    EXPECT_EQ(choice.caps.adapterOrdinal, 0u);
    choice.d3d->Release();

    // Every adapter avoided: the software path, without locking software on.
    auto adapters = *Faults(Backend::Gl).adapters;
    adapters.pop_back();
    Faults(Backend::Gl).adapters = adapters;
    r.SetDevicePreferences(false, true);
    ASSERT_TRUE(r.SelectAdapter(false, {}, choice));
    EXPECT_TRUE(choice.software);
    EXPECT_EQ(choice.backend, Backend::Soft);
    EXPECT_FALSE(r.HasFallenBack());
    choice.d3d->Release();
}

TEST_F(RenderSelectionTest, CandidatesAreOrderedByTypeThenHardwareVertexProcessing)
{
    auto software = MakeAdapter(0, 1, 1);
    software.caps.deviceType = DevTypeSw;
    software.caps.devCaps = DevCapsHwTransformAndLight;
    auto plain = MakeAdapter(1, 1, 2);
    auto tnl = MakeAdapter(2, 1, 3);
    tnl.caps.devCaps = DevCapsHwTransformAndLight;
    auto small = MakeAdapter(3, 1, 4, 512);
    small.caps.devCaps = DevCapsHwTransformAndLight;
    Faults(Backend::Gl).adapters = std::vector{software, plain, tnl, small};
    CRenderManager& r = MakeRenderer();

    CRenderManager::AdapterChoice choice;
    ASSERT_TRUE(r.SelectAdapter(false, {}, choice));
    EXPECT_EQ(choice.caps.adapterOrdinal, 2u);
    choice.d3d->Release();

    // Adapters on another monitor than the window's are not for the hardware path.
    Faults(Backend::Gl).adapters->at(2).monitor = 2;
    ASSERT_TRUE(r.SelectAdapter(false, {}, choice));
    EXPECT_EQ(choice.caps.adapterOrdinal, 1u);
    choice.d3d->Release();
}

TEST_F(RenderSelectionTest, AnAdapterThatFailsCreationIsSkippedNextTime)
{
    Faults(Backend::Gl).adapters = FailingAdapters({MakeAdapter(0, 0x1002, 1), MakeAdapter(1, 0x1002, 2)});
    CRenderManager& r = MakeRenderer();
    ASSERT_TRUE(r.Init(nullptr, false));
    EXPECT_EQ(r.FailedAdapterCount(), 2u);
    EXPECT_TRUE(r.IsSoftwareDevice());
    EXPECT_FALSE(r.HasFallenBack()); // no usable hardware adapter is not a lock
    EXPECT_EQ(boxes, 0);
    EXPECT_NE(r.GetDevice(), nullptr);
}

TEST_F(RenderSelectionTest, ADriverRefusingTheExtraFlagGetsASecondAttempt)
{
    auto picky = MakeAdapter(0, 0x1002, 1);
    picky.rejectedBehaviorFlags = 0x1000;
    Faults(Backend::Soft).adapters = std::vector{picky};
    CRenderManager& r = MakeRenderer();
    r.SetDevicePreferences(true, false);
    ASSERT_TRUE(r.Init(nullptr, false));
    EXPECT_EQ(r.FailedAdapterCount(), 0u);
}

TEST_F(RenderSelectionTest, NoPathAtAllShowsTheMessageOnceAndFails)
{
    Faults(Backend::Gl).adapters = FailingAdapters({MakeAdapter(0, 0x1002, 1)});
    Faults(Backend::Soft).adapters = FailingAdapters({MakeAdapter(0, 0x5151, 1), MakeAdapter(1, 0x5151, 2)});
    CRenderManager& r = MakeRenderer();
    EXPECT_FALSE(r.Init(nullptr, false));
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(boxCaption, u"Critical Error");
    EXPECT_EQ(boxText.rfind(u"We are unable to find a way to display the game adequately.", 0), 0u);
    EXPECT_EQ(r.FailedAdapterCount(), 3u);
    EXPECT_EQ(r.GetDevice(), nullptr);
    EXPECT_EQ(exits, 0); // at start-up the engine ends the program itself
}

TEST_F(RenderSelectionTest, SoftwareIsAskedForByPreferenceDataOrCommandLine)
{
    CRenderManager& r = MakeRenderer();
    EXPECT_FALSE(r.WantsSoftwareDevice());
    r.SetCommandLine(u"-nosound -SoftWare");
    EXPECT_TRUE(r.WantsSoftwareDevice());
    r.SetCommandLine(u"");
    WriteData("engine.xml", "<Engine><SoftwareDevice/></Engine>");
    EXPECT_TRUE(r.WantsSoftwareDevice()); // found whatever the name's case
    xml->Clear();
    WriteData("engine.xml", "<Engine/>");
    EXPECT_FALSE(r.WantsSoftwareDevice());
    r.SetDevicePreferences(true, false);
    EXPECT_TRUE(r.WantsSoftwareDevice());
}

TEST_F(RenderSelectionTest, ARecreationThatFindsNoPathEndsTheProgramAfterOneMessage)
{
    CRenderManager& r = MakeRenderer();
    ASSERT_TRUE(r.Init(nullptr, false));
    Faults(Backend::Gl).unavailable = true;
    Faults(Backend::Soft).adapters = FailingAdapters({MakeAdapter(0, 0x5151, 1)});

    r.SetDeviceState(CRenderManager::kStateResetNeeded);
    r.RenderFrame(true);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(r.GetDevice(), nullptr);
    EXPECT_EQ(r.GetContext(), nullptr);
    EXPECT_EQ(r.GetBatcher(), nullptr);
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateNone);

    for (int i = 0; i < 3; ++i) {
        r.RenderFrame(true);
        r.Paint();
    }
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(exits, 1);
}

TEST_F(RenderSelectionTest, AFailedRecreationLeavesNoDeviceAndIsRetried)
{
    CRenderManager& r = MakeRenderer();
    r.SetDevicePreferences(true, false);
    ASSERT_TRUE(r.Init(nullptr, false));
    const uint32_t frames = r.FramesPresented();

    // Both frame-texture attempts fail: the device is made but cannot be completed.
    Faults(Backend::Soft).textureFailures = 2;
    Faults(Backend::Soft).textureFailure = kErrDriverInternalError;
    r.SetDeviceState(CRenderManager::kStateResetNeeded);
    r.RenderFrame(true);
    EXPECT_EQ(r.GetDevice(), nullptr);
    EXPECT_EQ(r.GetContext(), nullptr);
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateResetNeeded);
    EXPECT_EQ(sleeps, 1);
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(r.FramesPresented(), frames);

    r.RenderFrame(true); // made anew and drawn
    EXPECT_NE(r.GetDevice(), nullptr);
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
    EXPECT_EQ(r.FramesPresented(), frames + 1);
}

TEST_F(RenderSelectionTest, AFrameTextureRefusedAtItsOwnSizeIsMadeAtPowersOfTwo)
{
    Faults(Backend::Soft).textureFailures = 1;
    Faults(Backend::Soft).textureFailure = kErrInvalidCall;
    CRenderManager& r = MakeRenderer();
    r.SetDevicePreferences(true, false);
    ASSERT_TRUE(r.Init(nullptr, false));
    EXPECT_EQ(r.FrameTextureWidth(), 1024u);
    EXPECT_EQ(r.FrameTextureHeight(), 1024u);
    EXPECT_EQ(r.GetPresentParameters().backBufferWidth, 800u);

    // The frame drawn into the larger texture still fills the whole picture: the layer draws the
    // target where the 800x600 depth buffer also exists.
    r.SetClearColor(0xFF336699u);
    r.SetFrameDirty();
    r.Paint();
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 0, 0), 0xFF336699u);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 799, 599), 0xFF336699u);
}

TEST_F(RenderSelectionTest, OutOfVideoMemoryMovesToSoftwareThenEndsTheProgram)
{
    CRenderManager& r = MakeRenderer();
    r.SetBackends(Backend::Soft, Backend::Soft); // the hardware path played by the soft back end
    ASSERT_TRUE(r.Init(nullptr, false));
    EXPECT_FALSE(r.IsSoftwareDevice());

    r.OnTextureOutOfVideoMemory();
    EXPECT_TRUE(r.SkipSceneFlush());
    r.RenderFrame(true); // asks for the software device
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateResetNeeded);
    r.RenderFrame(true); // makes it
    EXPECT_TRUE(r.IsSoftwareDevice());
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
    EXPECT_EQ(exits, 0);

    r.OnTextureOutOfVideoMemory();
    r.RenderFrame(true);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(r.GetDevice(), nullptr);
}

TEST_F(RenderSelectionTest, AGlDeviceIsMadeWhenTheHardwareAdapterWorks)
{
    if (!IsBackendAvailable(Backend::Gl))
        GTEST_SKIP() << "no OpenGL here";
    CRenderManager& r = MakeRenderer();
    ASSERT_TRUE(r.Init(nullptr, false));
    EXPECT_EQ(r.GetBackend(), Backend::Gl);
    EXPECT_FALSE(r.IsSoftwareDevice());
    EXPECT_TRUE(r.SetSoftwareDevice(true));
    r.RenderFrame(true);
    EXPECT_EQ(r.GetBackend(), Backend::Soft);
    EXPECT_TRUE(r.SetSoftwareDevice(false));
    r.RenderFrame(true);
    EXPECT_EQ(r.GetBackend(), Backend::Gl);
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
}

} // namespace
