// Frames, lost devices, painting, display changes and cursors on the software back end.

#include <SDL.h>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "platform/window/Window.h"
#include "tests/graphics/render/RenderTestFixture.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
using namespace QuillD3D;
using QuillTest::MakeAdapter;

namespace {

constexpr uint32_t kGrey = 0xFF606060u;

class RenderFrameTest : public QuillTest::RendererTest {
protected:
    CRenderManager& MakeSoftware()
    {
        CRenderManager& r = MakeRenderer();
        r.SetDevicePreferences(true, false);
        r.SetClearColor(kGrey);
        return r;
    }
};

TEST_F(RenderFrameTest, AFrameClearsToTheClearColourAndIsCounted)
{
    UserInterface ui;
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
    const uint32_t frames = r.FramesPresented();

    r.RenderFrame(true);
    EXPECT_EQ(r.FramesPresented(), frames + 1);
    EXPECT_EQ(ui.Renders(), 1u);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 0, 0), kGrey);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 799, 599), kGrey);

    r.SetClearEnabled(false); // only depth is cleared: the picture keeps what was there
    r.SetClearColor(0xFF0000FFu);
    r.RenderFrame(true);
    EXPECT_NE(PresentedPixel(r.GetDevice(), 400, 300), 0xFF0000FFu);
}

TEST_F(RenderFrameTest, ALostDeviceIsPolledThenResetAndAFailedPresentIsNotCounted)
{
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    CRenderManagerContext* context = r.GetContext();
    context->SetRenderState(RsFogEnable, 1);
    const uint32_t frames = r.FramesPresented();

    Faults(Backend::Soft).presentsBeforeLoss = 0;
    Faults(Backend::Soft).lostPolls = 1;
    r.RenderFrame(true);
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateDeviceLost);
    EXPECT_EQ(r.FramesPresented(), frames);

    r.RenderFrame(true); // still lost: wait
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateDeviceLost);
    EXPECT_EQ(sleeps, 1);

    r.RenderFrame(true); // not reset: reset, ready, nothing drawn yet
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
    EXPECT_EQ(r.FramesPresented(), frames);
    EXPECT_EQ(r.GetContext(), context);
    EXPECT_NE(r.GetFrameTexture(), nullptr);

    // The reset put the device back to its defaults; the renderer's own defaults are applied
    // again, and the cache forgot what it had sent before (fog: a state neither the renderer
    // nor the batcher sets).
    uint32_t value = 0;
    r.GetDevice()->GetRenderState(RsAlphaRef, &value);
    EXPECT_EQ(value, 1u);
    r.GetDevice()->GetRenderState(RsFogEnable, &value);
    EXPECT_EQ(value, 0u);
    context->SetRenderState(RsFogEnable, 1);
    r.GetDevice()->GetRenderState(RsFogEnable, &value);
    EXPECT_EQ(value, 1u);

    r.RenderFrame(true);
    EXPECT_EQ(r.FramesPresented(), frames + 1);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 10, 10), kGrey);
}

TEST_F(RenderFrameTest, EveryHolderOfDeviceObjectsHearsOfTheLossAndTheRestore)
{
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    // The renderer's own canvases follow the device like any other listener.
    std::unique_ptr<CRenderCanvas> canvas = r.GetCanvasManager()->CreateCanvas();
    canvas->DrawRect(10, 10, 20, 20, 0xFFFF0000u, true);
    ASSERT_FALSE(canvas->IsEmpty());

    struct Recorder : IDeviceResetListener {
        Recorder(std::vector<std::string>& log, const char* name) : log(log), name(name) {}
        void OnDeviceLost() override
        {
            log.push_back(name + " lost");
            if (then)
                then();
        }
        bool OnDeviceRestored() override
        {
            log.push_back(name + " restored");
            return true;
        }
        std::vector<std::string>& log;
        std::string name;
        std::function<void()> then;
    };
    std::vector<std::string> log;
    Recorder a(log, "a"), b(log, "b"), c(log, "c");
    r.AddDeviceResetListener(&a);
    r.AddDeviceResetListener(&b);
    r.AddDeviceResetListener(&a); // no duplicate
    r.AddDeviceResetListener(&c);
    // "a" removes "b" before its turn: "b" hears nothing of this loss.
    a.then = [&] { r.RemoveDeviceResetListener(&b); };

    Faults(Backend::Soft).presentsBeforeLoss = 0;
    r.RenderFrame(true); // lost
    r.RenderFrame(true); // reset
    ASSERT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
    EXPECT_EQ(log, (std::vector<std::string>{"a lost", "c lost", "a restored", "c restored"}));
    EXPECT_TRUE(canvas->IsEmpty());

    r.RemoveDeviceResetListener(&a);
    r.RemoveDeviceResetListener(&c);
}

TEST_F(RenderFrameTest, ResetFailuresChooseTheRecovery)
{
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    Faults(Backend::Soft).presentsBeforeLoss = 0;
    r.RenderFrame(true);
    Faults(Backend::Soft).resetFailure = kErrDriverInternalError;
    r.RenderFrame(true);
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateDriverError);
    r.RenderFrame(true); // made anew
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);

    Faults(Backend::Soft).presentsBeforeLoss = 0;
    r.RenderFrame(true);
    Faults(Backend::Soft).resetFailure = kErrNotAvailable;
    r.RenderFrame(true);
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateResetFailed);

    r.RenderFrame(true);
    Faults(Backend::Soft).presentsBeforeLoss = 0;
    r.RenderFrame(true);
    Faults(Backend::Soft).resetFailure = kErrOutOfVideoMemory;
    r.RenderFrame(true);
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateOutOfVideoMemory);
}

TEST_F(RenderFrameTest, DynamicBuffersFollowTheDevice)
{
    CRenderManager& r = MakeSoftware();
    auto early = r.CreateDynamicVertexBuffer(64, 28, kFvfSprite);
    ASSERT_TRUE(r.Init(nullptr, false));
    EXPECT_NE(early->DeviceBuffer(), nullptr);
    auto indices = r.CreateDynamicIndexBuffer(32);
    EXPECT_EQ(indices->DeviceBuffer(), nullptr); // made with the next restore
    ASSERT_NE(r.GetBatcher(), nullptr);
    EXPECT_NE(r.GetBatcher()->VertexBuffer()->DeviceBuffer(), nullptr);

    const uint16_t some[4] = {0, 1, 2, 3};
    Faults(Backend::Soft).presentsBeforeLoss = 0;
    r.RenderFrame(true);
    EXPECT_EQ(indices->Append(4, some), kAppendFailed); // still no device buffer
    r.RenderFrame(true);
    EXPECT_NE(indices->DeviceBuffer(), nullptr);
    EXPECT_EQ(indices->Append(4, some), 0u);

    r.SetDeviceState(CRenderManager::kStateResetNeeded);
    r.RenderFrame(true);
    EXPECT_NE(early->DeviceBuffer(), nullptr);
    EXPECT_EQ(indices->GetUsed(), 0u); // a new device buffer starts at 0
    early.reset();
    indices.reset();
    r.RenderFrame(true); // the lists no longer hold them
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
}

TEST_F(RenderFrameTest, PaintShowsTheLastFrameAndRedrawsOnlyWhenDirty)
{
    UserInterface ui;
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    r.Paint();
    EXPECT_EQ(ui.Renders(), 1u);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 5, 5), kGrey);

    r.Paint();
    EXPECT_EQ(ui.Renders(), 1u); // nothing changed: the frame texture is shown again
    r.SetFrameDirty();
    r.Paint();
    EXPECT_EQ(ui.Renders(), 2u);

    r.SetDeviceState(CRenderManager::kStateDeviceLost);
    r.Paint();
    EXPECT_EQ(ui.Renders(), 2u);
}

TEST_F(RenderFrameTest, AFrameIsWantedAfterAChangeOnScreenOrAfterTheQuietInterval)
{
    UserInterface ui;
    ASSERT_TRUE(ui.CreateRoot());
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    r.RenderFrame(true);
    // At rest: no drawing until the interval comes round.
    for (int32_t i = 1; i < CRenderManager::kQuietRedrawSteps; ++i)
        ASSERT_FALSE(r.WantsFrame()) << i;
    EXPECT_TRUE(r.WantsFrame());
    EXPECT_FALSE(r.WantsFrame());
    // The interval is counted in steps: a tick that caught up on many counts for all of them.
    EXPECT_FALSE(r.WantsFrame(CRenderManager::kQuietRedrawSteps - 2));
    EXPECT_TRUE(r.WantsFrame(1));
    EXPECT_TRUE(r.WantsFrame(CRenderManager::kQuietRedrawSteps));
    // An instance that moves wants the next step drawn, once.
    ui.GetRoot()->SetPosition(10.0f, 20.0f);
    EXPECT_TRUE(r.WantsFrame());
    r.RenderFrame(true);
    EXPECT_FALSE(r.WantsFrame());
}

TEST_F(RenderFrameTest, OnlyAValueThatChangesWantsAFrame)
{
    UserInterface ui;
    ASSERT_TRUE(ui.CreateRoot());
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    Instance_Movie& root = *ui.GetRoot();
    root.SetPosition(10.0f, 20.0f);
    root.SetScale(2.0f, 3.0f);
    root.SetRotation(0.5f);
    root.SetOpacity(0.5f);
    root.SetDropShadow(1.0f, 2.0f, 0x80000000u);
    r.RenderFrame(true);
    ASSERT_FALSE(r.WantsFrame());

    // Each setter given the value it holds: no frame.
    const std::vector<std::pair<const char*, std::function<void()>>> same = {
        {"position", [&] { root.SetPosition(10.0f, 20.0f); }},
        {"x and y", [&] { root.SetX(10.0f); root.SetY(20.0f); }},
        {"scale", [&] { root.SetScale(2.0f, 3.0f); }},
        {"rotation", [&] { root.SetRotation(0.5f); }},
        {"registration", [&] { root.SetRegistrationPoint(0.0f, 0.0f); }},
        {"opacity", [&] { root.SetOpacity(0.5f); }},
        {"visibility", [&] { root.SetVisible(true); }},
        {"material", [&] { root.SetMaterial(root.GetMaterial()); }},
        {"filtering", [&] { root.SetAllowFiltering(root.GetAllowFiltering()); }},
        {"shadow", [&] { root.SetDropShadow(1.0f, 2.0f, 0x80000000u); }},
    };
    for (const auto& [name, set] : same) {
        set();
        EXPECT_FALSE(r.WantsFrame()) << name;
    }
    // And each given a new value: one frame.
    const std::vector<std::pair<const char*, std::function<void()>>> changed = {
        {"position", [&] { root.SetPosition(11.0f, 20.0f); }},
        {"y", [&] { root.SetY(21.0f); }},
        {"scale", [&] { root.SetScale(2.0f, 3.5f); }},
        {"rotation", [&] { root.SetRotation(0.25f); }},
        {"registration", [&] { root.SetRegistrationPoint(1.0f, 0.0f); }},
        {"opacity", [&] { root.SetOpacity(0.75f); }},
        {"visibility", [&] { root.SetVisible(false); }},
        {"shadow", [&] { root.SetDropShadow(1.0f, 2.0f, 0x40000000u); }},
    };
    for (const auto& [name, set] : changed) {
        set();
        EXPECT_TRUE(r.WantsFrame()) << name;
        r.RenderFrame(true);
        EXPECT_FALSE(r.WantsFrame()) << name;
    }
}

TEST_F(RenderFrameTest, ACanvasRecordedAgainAsItWasWantsNoFrame)
{
    UserInterface ui;
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    r.RenderFrame(true);
    std::unique_ptr<CRenderCanvas> canvas = r.GetCanvasManager()->CreateCanvas();
    auto record = [&](uint32_t color) {
        canvas->Clear();
        canvas->DrawRect(10, 10, 20, 20, color, true);
        canvas->DrawLine(Vec2{0, 0}, Vec2{5, 5}, color);
    };
    record(0xFFFF0000u);
    EXPECT_TRUE(r.WantsFrame());
    canvas->Render(Transform2D(), 1);
    r.RenderFrame(true);

    record(0xFFFF0000u);
    EXPECT_FALSE(r.WantsFrame()) << "the same shapes again";
    record(0xFF00FF00u);
    EXPECT_TRUE(r.WantsFrame()) << "a new colour";
    r.RenderFrame(true);
    EXPECT_FALSE(r.WantsFrame()) << "reported once";
    canvas->SetVisible(false);
    EXPECT_TRUE(r.WantsFrame());
    r.RenderFrame(true);
    canvas->SetVisible(false);
    EXPECT_FALSE(r.WantsFrame());

    // A canvas that empties itself after drawing and is recorded the same each step is at rest;
    // one no longer recorded leaves the picture, which is a change.
    canvas->SetVisible(true);
    canvas->SetClearAfterRender(true);
    record(0xFF0000FFu);
    EXPECT_TRUE(r.WantsFrame());
    canvas->Render(Transform2D(), 1);
    r.RenderFrame(true);
    EXPECT_TRUE(canvas->IsEmpty());
    record(0xFF0000FFu);
    EXPECT_FALSE(r.WantsFrame());
    canvas->Render(Transform2D(), 1);
    EXPECT_TRUE(r.WantsFrame());
}

TEST_F(RenderFrameTest, ADisplayModeChangeResetsInPlace)
{
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    IDevice* device = r.GetDevice();
    r.ApplyDisplayMode(true);
    EXPECT_FALSE(r.IsWindowed());
    EXPECT_FALSE(r.IsResetting());
    EXPECT_EQ(r.GetDevice(), device);
    EXPECT_NE(r.GetFrameTexture(), nullptr);
    r.ApplyDisplayMode(false);
    EXPECT_TRUE(r.IsWindowed());
    r.RenderFrame(true);
    EXPECT_EQ(PresentedPixel(r.GetDevice(), 1, 1), kGrey);
}

class RenderWindowFrameTest : public RenderFrameTest {
protected:
    void SetUp() override
    {
        RenderFrameTest::SetUp();
        ASSERT_TRUE(QuillPlatform::InitVideo());
        ASSERT_TRUE(window.Create("render test", 800, 600, false));
    }
    void TearDown() override
    {
        renderer.reset();
        window.Destroy();
        QuillPlatform::QuitVideo();
        RenderFrameTest::TearDown();
    }
    QuillPlatform::Window window;
};

TEST_F(RenderWindowFrameTest, TheSoftDevicePresentsIntoTheWindow)
{
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(&window, false));
    r.RenderFrame(true);
    SDL_Surface* surface = SDL_GetWindowSurface(static_cast<SDL_Window*>(window.NativeHandle()));
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(SDL_LockSurface(surface), 0);
    const auto* row = static_cast<const uint8_t*>(surface->pixels) + 300 * surface->pitch;
    uint32_t pixel = 0;
    std::memcpy(&pixel, row + 400 * surface->format->BytesPerPixel, 4);
    SDL_UnlockSurface(surface);
    uint8_t red = 0, green = 0, blue = 0;
    SDL_GetRGB(pixel, surface->format, &red, &green, &blue);
    EXPECT_EQ(red, 0x60);
    EXPECT_EQ(green, 0x60);
    EXPECT_EQ(blue, 0x60);
}

TEST_F(RenderWindowFrameTest, AWindowNotMadeForOpenGlGetsTheSoftwareDevice)
{
    CRenderManager& r = MakeRenderer();
    ASSERT_TRUE(r.Init(&window, false));
    EXPECT_EQ(r.GetBackend(), Backend::Soft);
    EXPECT_TRUE(r.IsSoftwareDevice());
    EXPECT_FALSE(r.HasFallenBack());
}

TEST_F(RenderWindowFrameTest, TheOptionsSwitchMovesOneWindowBetweenBackEnds)
{
    if (!IsBackendAvailable(Backend::Gl))
        GTEST_SKIP() << "no OpenGL here";
    QuillPlatform::Window glWindow;
    ASSERT_TRUE(glWindow.Create("render gl test", 800, 600, true));
    ASSERT_TRUE(glWindow.IsOpenGLCapable());
    {
        CRenderManager& r = MakeRenderer();
        r.SetClearColor(kGrey);
        ASSERT_TRUE(r.Init(&glWindow, false));
        EXPECT_EQ(r.GetBackend(), Backend::Gl);
        r.RenderFrame(true);
        r.Paint();
        ASSERT_TRUE(r.SetSoftwareDevice(true));
        r.RenderFrame(true);
        EXPECT_EQ(r.GetBackend(), Backend::Soft);
        EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
        r.Paint();
        ASSERT_TRUE(r.SetSoftwareDevice(false));
        r.RenderFrame(true);
        EXPECT_EQ(r.GetBackend(), Backend::Gl);
        EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
        EXPECT_EQ(boxes, 0);
        EXPECT_EQ(r.FailedAdapterCount(), 0u);
        renderer.reset();
    }
    glWindow.Destroy();
}

TEST_F(RenderWindowFrameTest, LeavingTheAdaptersMonitorMakesTheDeviceAnew)
{
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(&window, false));
    r.CheckMonitorChange(); // the window is on the adapter's monitor
    EXPECT_EQ(r.GetDeviceState(), CRenderManager::kStateReady);
    renderer.reset();

    auto elsewhere = MakeAdapter(0, 0x5151, 1);
    elsewhere.monitor = 9; // a monitor that does not exist here
    Faults(Backend::Soft).adapters = std::vector{elsewhere};
    CRenderManager& moved = MakeSoftware();
    ASSERT_TRUE(moved.Init(&window, false));
    moved.CheckMonitorChange();
    EXPECT_EQ(moved.GetDeviceState(), CRenderManager::kStateResetNeeded);
}

TEST_F(RenderFrameTest, CursorsAreReadInOrderAndChosenByExactName)
{
    WriteData("Cursors/Cursors.xml",
              "<Cursors>"
              "<Cursor name=\"Hand\" texture=\"Cursors\\Hand.tga\" hotspotx=\"-3\" hotspoty=\"0x10\"/>"
              "<Cursor name=\"NoPicture\"/>"
              "<Cursor texture=\"Cursors\\Nameless.tga\"/>"
              "<Pointer name=\"Other\" texture=\"x.tga\"/>"
              "<Cursor name=\"Look\" texture=\"Cursors\\Look.tga\"/>"
              "<Cursor name=\"Hand\" texture=\"Cursors\\Second.tga\"/>"
              "</Cursors>");
    CRenderManager& r = MakeSoftware();
    const String hand = u"Hand";
    EXPECT_FALSE(r.LoadCursors(&hand, false)); // no device yet
    ASSERT_EQ(r.Cursors().size(), 3u);
    EXPECT_EQ(r.Cursors()[0].hotSpotX, -3);
    EXPECT_EQ(r.Cursors()[0].hotSpotY, 16);
    EXPECT_EQ(r.Cursors()[1].name, u"Look");
    EXPECT_EQ(r.Cursors()[1].hotSpotX, 0);

    ASSERT_TRUE(r.Init(nullptr, false));
    const String look = u"Look", lower = u"look";
    EXPECT_TRUE(r.LoadCursors(&hand, false));
    EXPECT_EQ(r.GetCursor(), 1u);
    EXPECT_FALSE(r.LoadCursors(&lower, false));
    EXPECT_EQ(r.GetCursor(), 1u);
    EXPECT_TRUE(r.LoadCursors(&look, false));
    EXPECT_EQ(r.GetCursor(), 2u);
    EXPECT_TRUE(r.ShowDeviceCursor());
    EXPECT_TRUE(r.LoadCursors(nullptr, false));
    EXPECT_EQ(r.GetCursor(), 0u);
    EXPECT_FALSE(r.ShowDeviceCursor());
    EXPECT_EQ(r.Cursors().size(), 3u); // read once
}

TEST_F(RenderFrameTest, TheSampleCursorReachesTheDeviceAndSoftwareDropsIt)
{
    // The sample data's own cursor list and pictures.
    const std::filesystem::path data =
        QuillTest::SourceRoot() / "data/input/Cursors";
    for (const char* name : {"Cursors.xml", "Arrow.tga", "Look.tga"})
        WriteData(std::string("Cursors/") + name, QuillTest::ReadFile(data / name));
    ResourceCache cache; // cursor pictures are texture resources
    CRenderManager& r = MakeRenderer();
    r.SetBackends(Backend::Soft, Backend::Soft);
    ASSERT_TRUE(r.Init(nullptr, false));
    const String arrow = u"Arrow";
    ASSERT_TRUE(r.LoadCursors(&arrow, true));
    ASSERT_FALSE(r.Cursors().empty());
    EXPECT_NE(r.Cursors()[0].textureHandle, 0u);
    EXPECT_TRUE(r.ApplyHardwareCursor());

    EXPECT_TRUE(r.SetSoftwareDevice(true));
    EXPECT_EQ(r.GetCursor(), 0u);
}

TEST_F(RenderFrameTest, ADeviceWithoutCursorSupportDropsTheCursor)
{
    WriteData("Cursors/Cursors.xml", "<Cursors><Cursor name=\"A\" texture=\"a.tga\"/></Cursors>");
    auto plain = MakeAdapter(0, 0x5151, 1);
    plain.caps.cursorCaps = 0;
    Faults(Backend::Soft).adapters = std::vector{plain};
    CRenderManager& r = MakeSoftware();
    ASSERT_TRUE(r.Init(nullptr, false));
    const String a = u"A";
    EXPECT_TRUE(r.LoadCursors(&a, false));
    EXPECT_FALSE(r.ApplyHardwareCursor());
    EXPECT_EQ(r.GetCursor(), 0u);
}

} // namespace
