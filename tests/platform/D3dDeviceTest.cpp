// Device-layer behaviour apart from pictures: lost devices and Reset, fault injection, adapters,
// locks, read-backs, reference counts and presentation.

#include <gtest/gtest.h>

#include <SDL.h>
#include <cstring>
#include <limits>

#include "tests/platform/D3dTestSupport.h"

using namespace QuillD3D;
using namespace QuillTest;

namespace {

uint32_t Rgb(uint32_t argb)
{
    return argb & 0xFFFFFF;
}

class D3dDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFaults(); }
    void TearDown() override { ResetFaults(); }

    IDevice* Make(Backend backend = Backend::Soft, uint32_t w = 64, uint32_t h = 64)
    {
        d3d_ = Direct3DCreate(backend);
        if (!d3d_) {
            return nullptr;
        }
        PresentParameters pp;
        pp.backBufferWidth = w;
        pp.backBufferHeight = h;
        pp.backBufferFormat = FmtX8R8G8B8;
        pp.enableAutoDepthStencil = true;
        pp.autoDepthStencilFormat = FmtD16;
        params_ = pp;
        EXPECT_EQ(d3d_->CreateDevice(0, DevTypeHal, nullptr, CreateSoftwareVertexProcessing, &pp, &device_), kOk);
        return device_;
    }

    // A soft device of a `width` x `height` picture presenting into a hidden window.
    IDevice* MakeInWindow(int windowWidth, int windowHeight, uint32_t width, uint32_t height)
    {
        video_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        EXPECT_TRUE(video_) << SDL_GetError();
        window_ = SDL_CreateWindow("d3d test", 0, 0, windowWidth, windowHeight, SDL_WINDOW_HIDDEN);
        EXPECT_TRUE(window_) << SDL_GetError();
        d3d_ = Direct3DCreate(Backend::Soft);
        PresentParameters pp;
        pp.backBufferWidth = width;
        pp.backBufferHeight = height;
        pp.deviceWindow = window_;
        EXPECT_EQ(d3d_->CreateDevice(0, DevTypeHal, window_, CreateSoftwareVertexProcessing, &pp, &device_), kOk);
        return device_;
    }

    ~D3dDeviceTest() override
    {
        if (device_) {
            device_->Release();
        }
        if (d3d_) {
            d3d_->Release();
        }
        if (window_) {
            SDL_DestroyWindow(window_);
        }
        if (video_) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }

    IDirect3D* d3d_ = nullptr;
    IDevice* device_ = nullptr;
    SDL_Window* window_ = nullptr;
    bool video_ = false;
    PresentParameters params_;
};

TEST_F(D3dDeviceTest, LostDeviceNeedsResetAfterItsDefaultPoolResourcesAreReleased)
{
    IDevice* d = Make();
    ASSERT_TRUE(d);
    Faults(Backend::Soft).presentsBeforeLoss = 1;
    Faults(Backend::Soft).lostPolls = 2;
    IVertexBuffer* vb = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(280, UsageDynamic | UsageWriteOnly, kFvfSprite, PoolDefault, &vb), kOk);
    ITexture* managed = nullptr;
    ASSERT_EQ(d->CreateTexture(8, 8, 1, 0, FmtA8R8G8B8, PoolManaged, &managed), kOk);
    d->SetTexture(0, managed);
    d->SetRenderState(RsZFunc, CmpGreater);

    EXPECT_EQ(d->Present(), kOk);
    EXPECT_EQ(d->Present(), kErrDeviceLost);
    EXPECT_EQ(d->TestCooperativeLevel(), kErrDeviceLost);
    EXPECT_EQ(d->Reset(&params_), kErrDeviceLost) << "still lost: not yet resettable";
    EXPECT_EQ(d->TestCooperativeLevel(), kErrDeviceLost);
    EXPECT_EQ(d->TestCooperativeLevel(), kErrDeviceNotReset);
    EXPECT_EQ(d->Present(), kErrDeviceLost);
    // Drawing calls succeed quietly while lost.
    EXPECT_EQ(d->Clear(0, nullptr, ClearTarget, 0, 1.0f, 0), kOk);
    EXPECT_EQ(d->Reset(&params_), kErrInvalidCall) << "a default-pool buffer still exists";
    vb->Release();
    EXPECT_EQ(d->Reset(&params_), kOk);
    EXPECT_EQ(d->TestCooperativeLevel(), kOk);
    EXPECT_EQ(d->Present(), kOk);
    // Reset returns every state to its default: the cache above it must forget what it sent.
    uint32_t zfunc = 0;
    d->GetRenderState(RsZFunc, &zfunc);
    EXPECT_EQ(zfunc, static_cast<uint32_t>(CmpLessEqual));
    // The binding was dropped: the managed texture is held only by us now.
    EXPECT_EQ(managed->Release(), 0u);
}

TEST_F(D3dDeviceTest, InjectedResetFailureHappensOnce)
{
    IDevice* d = Make();
    ASSERT_TRUE(d);
    Faults(Backend::Soft).resetFailure = kErrDriverInternalError;
    EXPECT_EQ(d->Reset(&params_), kErrDriverInternalError);
    EXPECT_EQ(d->TestCooperativeLevel(), kErrDeviceNotReset);
    EXPECT_EQ(d->Reset(&params_), kOk);
    EXPECT_EQ(d->TestCooperativeLevel(), kOk);
}

TEST_F(D3dDeviceTest, TextureCreationFaultsAndSizeLimit)
{
    Faults(Backend::Soft).maxTextureSize = 512;
    IDevice* d = Make();
    ASSERT_TRUE(d);
    Caps caps;
    ASSERT_EQ(d3d_->GetDeviceCaps(0, DevTypeHal, &caps), kOk);
    EXPECT_EQ(caps.maxTextureWidth, 512u);
    ASSERT_EQ(d->GetDeviceCaps(&caps), kOk);
    EXPECT_EQ(caps.maxTextureHeight, 512u);
    ITexture* t = nullptr;
    EXPECT_EQ(d->CreateTexture(1024, 16, 1, 0, FmtA8R8G8B8, PoolManaged, &t), kErrInvalidCall);
    EXPECT_EQ(t, nullptr);
    ASSERT_EQ(d->CreateTexture(512, 512, 1, 0, FmtA8R8G8B8, PoolManaged, &t), kOk);
    t->Release();

    Faults(Backend::Soft).textureFailures = 1;
    EXPECT_EQ(d->CreateTexture(16, 16, 1, 0, FmtA8R8G8B8, PoolManaged, &t), kErrOutOfVideoMemory);
    EXPECT_EQ(t, nullptr);
    Faults(Backend::Soft).textureFailures = 1;
    Faults(Backend::Soft).textureFailure = kErrDeviceLost;
    EXPECT_EQ(d->CreateTexture(16, 16, 1, 0, FmtA8R8G8B8, PoolManaged, &t), kErrDeviceLost);
    ASSERT_EQ(d->CreateTexture(16, 16, 1, 0, FmtA8R8G8B8, PoolManaged, &t), kOk);
    t->Release();
}

TEST_F(D3dDeviceTest, InjectedAdaptersDescribeAndFailAsTold)
{
    AdapterDesc broken;
    broken.identifier.vendorId = 0x10DE;
    broken.identifier.deviceId = 0x0042;
    std::strcpy(broken.identifier.description, "broken card");
    broken.caps.maxTextureWidth = broken.caps.maxTextureHeight = 2048;
    broken.mode = {1280, 1024, 60, FmtX8R8G8B8};
    broken.monitor = 2;
    broken.createDeviceResult = kErrNotAvailable;
    AdapterDesc picky = broken;
    picky.identifier.deviceId = 0x0043;
    picky.createDeviceResult = kOk;
    picky.rejectedBehaviorFlags = 0x1000;
    picky.refusedAdapterFormats = {FmtX8R8G8B8};
    picky.caps.deviceType = DevTypeSw;
    Faults(Backend::Soft).adapters = std::vector<AdapterDesc>{broken, picky};

    d3d_ = Direct3DCreate(Backend::Soft);
    ASSERT_TRUE(d3d_);
    ASSERT_EQ(d3d_->GetAdapterCount(), 2u);
    AdapterIdentifier id;
    ASSERT_EQ(d3d_->GetAdapterIdentifier(1, 0, &id), kOk);
    EXPECT_EQ(id.deviceId, 0x43u);
    EXPECT_TRUE(id == picky.identifier);
    EXPECT_FALSE(id == broken.identifier);
    EXPECT_EQ(d3d_->GetAdapterMonitor(0), 2u);
    EXPECT_EQ(d3d_->GetAdapterIdentifier(2, 0, &id), kErrInvalidCall);
    DisplayMode mode;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), kOk);
    EXPECT_EQ(mode.width, 1280u);
    Caps caps;
    ASSERT_EQ(d3d_->GetDeviceCaps(1, DevTypeHal, &caps), kOk);
    EXPECT_EQ(caps.deviceType, DevTypeSw);
    EXPECT_EQ(d3d_->GetDeviceCaps(1, DevTypeRef, &caps), kErrNotAvailable);

    EXPECT_EQ(d3d_->CheckDeviceFormat(0, DevTypeHal, FmtX8R8G8B8, 0, RTypeTexture, FmtA8R8G8B8), kOk);
    EXPECT_EQ(d3d_->CheckDeviceFormat(1, DevTypeHal, FmtX8R8G8B8, 0, RTypeTexture, FmtA8R8G8B8), kErrNotAvailable);
    EXPECT_EQ(d3d_->CheckDeviceFormat(1, DevTypeHal, FmtR5G6B5, 0, RTypeTexture, FmtR5G6B5), kOk);
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, DevTypeHal, FmtX8R8G8B8, UsageRenderTarget, RTypeSurface, FmtR5G6B5),
              kErrNotAvailable);

    PresentParameters pp;
    pp.backBufferWidth = 32;
    pp.backBufferHeight = 32;
    EXPECT_EQ(d3d_->CreateDevice(0, DevTypeHal, nullptr, CreateHardwareVertexProcessing, &pp, &device_),
              kErrNotAvailable);
    EXPECT_EQ(device_, nullptr);
    EXPECT_EQ(d3d_->CreateDevice(1, DevTypeHal, nullptr, CreateHardwareVertexProcessing | 0x1000, &pp, &device_),
              kErrInvalidCall);
    ASSERT_EQ(d3d_->CreateDevice(1, DevTypeHal, nullptr, CreateHardwareVertexProcessing, &pp, &device_), kOk);
    EXPECT_EQ(pp.backBufferFormat, FmtX8R8G8B8) << "creation reports the format it chose";
}

TEST_F(D3dDeviceTest, UnavailableBackEndsMakeNoFactory)
{
    Faults(Backend::Gl).unavailable = true;
    EXPECT_FALSE(IsBackendAvailable(Backend::Gl));
    EXPECT_EQ(Direct3DCreate(Backend::Gl), nullptr);
    Faults(Backend::Soft).createFails = true;
    EXPECT_TRUE(IsBackendAvailable(Backend::Soft));
    EXPECT_EQ(Direct3DCreate(Backend::Soft), nullptr);
    Faults(Backend::Soft).createFails = false;
    EXPECT_EQ(Direct3DCreate(Backend::Soft, 31), nullptr) << "wrong interface version";
}

TEST_F(D3dDeviceTest, DynamicBufferLocksFollowTheirRules)
{
    IDevice* d = Make();
    ASSERT_TRUE(d);
    IVertexBuffer* dyn = nullptr;
    IVertexBuffer* fixed = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(28 * 8, UsageDynamic | UsageWriteOnly, kFvfSprite, PoolDefault, &dyn), kOk);
    ASSERT_EQ(d->CreateVertexBuffer(28 * 8, UsageWriteOnly, kFvfSprite, PoolManaged, &fixed), kOk);
    void* p = nullptr;
    void* q = nullptr;
    EXPECT_EQ(dyn->Lock(28 * 4, 28 * 4, &p, LockNoOverwrite), kOk);
    EXPECT_EQ(dyn->Lock(0, 28, &q, 0), kErrInvalidCall) << "already locked";
    EXPECT_EQ(dyn->Unlock(), kOk);
    EXPECT_EQ(dyn->Unlock(), kErrInvalidCall);
    EXPECT_EQ(dyn->Lock(0, 28 * 8, &q, LockDiscard), kOk);
    EXPECT_EQ(static_cast<uint8_t*>(p) - static_cast<uint8_t*>(q), 28 * 4) << "offsets address the buffer";
    dyn->Unlock();
    EXPECT_EQ(dyn->Lock(28 * 6, 28 * 3, &p, LockNoOverwrite), kErrInvalidCall) << "past the end";
    EXPECT_EQ(fixed->Lock(0, 28, &p, LockNoOverwrite), kErrInvalidCall) << "only dynamic buffers take the hints";
    EXPECT_EQ(fixed->Lock(0, 28, &p, LockDiscard), kErrInvalidCall);
    BufferDesc desc;
    ASSERT_EQ(dyn->GetDesc(&desc), kOk);
    EXPECT_EQ(desc.size, 28u * 8);
    EXPECT_EQ(desc.fvf, kFvfSprite);
    dyn->Release();
    fixed->Release();
}

TEST_F(D3dDeviceTest, NoOverwriteAppendsKeepEarlierDrawsIntact)
{
    // Draw from the first half of a dynamic buffer, append behind it without overwriting, draw
    // again, and wrap with a discard: every draw shows what was written for it.
    D3dPainter painter;
    ASSERT_TRUE(painter.Open(Backend::Soft, 32, 32));
    IDevice* d = painter.Device();
    d->Clear(0, nullptr, ClearTarget, 0, 1.0f, 0);
    d->BeginScene();
    painter.SpriteStates();
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    for (int i = 0; i < 1100; ++i) { // 4400 vertices: more than the painter's 4096, so it wraps
        const float x = static_cast<float>(i % 32);
        painter.Rect(x - 0.5f, -0.5f, x + 0.5f, 31.5f, 0xFF000000u | static_cast<uint32_t>(i));
    }
    d->EndScene();
    const Picture pic = painter.Read();
    for (int x = 0; x < 32; ++x) {
        const int base = 1100 - 1100 % 32; // the last full round of 32 columns
        const uint32_t last = static_cast<uint32_t>(x < 1100 % 32 ? base + x : base - 32 + x);
        EXPECT_EQ(Rgb(pic.At(x, 5)), last & 0xFFFFFF) << x;
    }
}

TEST_F(D3dDeviceTest, LockRectGivesPitchAndRefusesWhatCannotBeLocked)
{
    IDevice* d = Make();
    ASSERT_TRUE(d);
    ITexture* t565 = nullptr;
    ASSERT_EQ(d->CreateTexture(10, 4, 1, 0, FmtR5G6B5, PoolManaged, &t565), kOk);
    LockedRect whole, part;
    ASSERT_EQ(t565->LockRect(0, &whole, nullptr, LockReadOnly), kOk);
    EXPECT_EQ(whole.pitch, 20);
    EXPECT_EQ(t565->LockRect(0, &part, nullptr, 0), kErrInvalidCall) << "already locked";
    t565->UnlockRect(0);
    const Rect r{3, 2, 7, 4};
    ASSERT_EQ(t565->LockRect(0, &part, &r, 0), kOk);
    EXPECT_EQ(static_cast<uint8_t*>(part.bits) - static_cast<uint8_t*>(whole.bits), 2 * 20 + 3 * 2);
    t565->UnlockRect(0);
    const Rect outside{8, 0, 11, 1};
    EXPECT_EQ(t565->LockRect(0, &part, &outside, 0), kErrInvalidCall);

    ITexture* target = nullptr;
    ASSERT_EQ(d->CreateTexture(16, 16, 1, UsageRenderTarget, FmtX8R8G8B8, PoolDefault, &target), kOk);
    EXPECT_EQ(target->LockRect(0, &part, nullptr, LockReadOnly), kErrInvalidCall);
    ITexture* plainDefault = nullptr;
    ASSERT_EQ(d->CreateTexture(16, 16, 1, 0, FmtA8R8G8B8, PoolDefault, &plainDefault), kOk);
    EXPECT_EQ(plainDefault->LockRect(0, &part, nullptr, 0), kErrInvalidCall);
    ITexture* refused = nullptr;
    EXPECT_EQ(d->CreateTexture(16, 16, 1, UsageRenderTarget, FmtR5G6B5, PoolDefault, &refused), kErrInvalidCall);
    EXPECT_EQ(d->CreateTexture(16, 16, 1, UsageRenderTarget, FmtX8R8G8B8, PoolManaged, &refused), kErrInvalidCall);
    EXPECT_EQ(d->CreateTexture(16, 16, 2, 0, FmtA8R8G8B8, PoolManaged, &refused), kErrInvalidCall) << "one level";
    EXPECT_EQ(refused, nullptr);
    target->Release();
    plainDefault->Release();
    t565->Release();
}

TEST_F(D3dDeviceTest, R5G6B5TexturesSampleTheirExpandedColours)
{
    D3dPainter painter;
    ASSERT_TRUE(painter.Open(Backend::Soft, 8, 8));
    IDevice* d = painter.Device();
    ITexture* t = nullptr;
    ASSERT_EQ(d->CreateTexture(2, 1, 1, 0, FmtR5G6B5, PoolManaged, &t), kOk);
    LockedRect lr;
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), kOk);
    const uint16_t texels[2] = {0xF800, 0x07E0}; // red, green
    std::memcpy(lr.bits, texels, sizeof texels);
    t->UnlockRect(0);
    d->Clear(0, nullptr, ClearTarget, 0, 1.0f, 0);
    d->BeginScene();
    painter.SpriteStates();
    d->SetTexture(0, t);
    painter.Rect(-0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
    d->SetTexture(0, nullptr);
    d->EndScene();
    const Picture pic = painter.Read();
    EXPECT_EQ(Rgb(pic.At(1, 1)), 0xFF0000u);
    EXPECT_EQ(Rgb(pic.At(6, 1)), 0x00FF00u);
    t->Release();
}

TEST_F(D3dDeviceTest, RenderTargetDataCopiesOnlyIntoMatchingSystemMemory)
{
    IDevice* d = Make(Backend::Soft, 16, 8);
    ASSERT_TRUE(d);
    ISurface* bb = nullptr;
    ASSERT_EQ(d->GetBackBuffer(0, 0, BackBufferMono, &bb), kOk);
    ISurface* good = nullptr;
    ISurface* small = nullptr;
    ISurface* other = nullptr;
    ASSERT_EQ(d->CreateOffscreenPlainSurface(16, 8, FmtX8R8G8B8, PoolSystemMem, &good), kOk);
    ASSERT_EQ(d->CreateOffscreenPlainSurface(8, 8, FmtX8R8G8B8, PoolSystemMem, &small), kOk);
    ASSERT_EQ(d->CreateOffscreenPlainSurface(16, 8, FmtA8R8G8B8, PoolSystemMem, &other), kOk);
    d->Clear(0, nullptr, ClearTarget, 0xFF123456, 1.0f, 0);
    const Rect corner{12, 4, 16, 8};
    d->Clear(1, &corner, ClearTarget, 0xFFABCDEF, 1.0f, 0);
    EXPECT_EQ(d->GetRenderTargetData(bb, small), kErrInvalidCall);
    EXPECT_EQ(d->GetRenderTargetData(bb, other), kErrInvalidCall);
    EXPECT_EQ(d->GetRenderTargetData(good, good), kErrInvalidCall) << "the source must be a render target";
    ASSERT_EQ(d->GetRenderTargetData(bb, good), kOk);
    LockedRect lr;
    ASSERT_EQ(good->LockRect(&lr, nullptr, LockReadOnly), kOk);
    EXPECT_EQ(lr.pitch, 64);
    const auto* px = static_cast<const uint32_t*>(lr.bits);
    EXPECT_EQ(px[0] & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(px[7 * 16 + 15] & 0xFFFFFF, 0xABCDEFu);
    EXPECT_EQ(px[3 * 16 + 15] & 0xFFFFFF, 0x123456u);
    good->UnlockRect();
    for (ISurface* s : {bb, good, small, other}) {
        s->Release();
    }
}

class D3dBothBackendsTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ResetFaults();
        if (GetParam() == Backend::Gl && !IsBackendAvailable(Backend::Gl)) {
            GTEST_SKIP() << "no OpenGL 3.3 core context can be made here";
        }
    }
};

TEST_P(D3dBothBackendsTest, RenderTargetTexturesStretchOntoTheBackBuffer)
{
    D3dPainter painter;
    ASSERT_TRUE(painter.Open(GetParam(), 32, 32));
    IDevice* d = painter.Device();
    ITexture* frame = nullptr;
    ASSERT_EQ(d->CreateTexture(32, 32, 1, UsageRenderTarget, FmtX8R8G8B8, PoolDefault, &frame), kOk);
    ISurface* level = nullptr;
    ISurface* back = nullptr;
    ASSERT_EQ(frame->GetSurfaceLevel(0, &level), kOk);
    ASSERT_EQ(d->GetRenderTarget(0, &back), kOk);
    ASSERT_EQ(d->SetRenderTarget(0, level), kOk);
    d->Clear(0, nullptr, ClearTarget | ClearZBuffer, 0xFF0000FF, 1.0f, 0);
    d->BeginScene();
    painter.SpriteStates();
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    painter.Rect(7.5f, 7.5f, 15.5f, 15.5f, 0xFFFF0000);
    d->EndScene();
    ASSERT_EQ(d->SetRenderTarget(0, back), kOk);
    d->Clear(0, nullptr, ClearTarget, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    const Rect all{0, 0, 32, 32};
    EXPECT_EQ(d->StretchRect(level, &all, back, nullptr, FilterNone), kOk);
    EXPECT_EQ(d->StretchRect(back, &all, back, nullptr, FilterNone), kErrInvalidCall);
    const Rect tooBig{0, 0, 33, 32};
    EXPECT_EQ(d->StretchRect(level, &tooBig, back, nullptr, FilterNone), kErrInvalidCall);
    d->EndScene();
    const Picture pic = painter.Read();
    EXPECT_EQ(Rgb(pic.At(2, 2)), 0x0000FFu);
    EXPECT_EQ(Rgb(pic.At(8, 8)), 0xFF0000u);
    EXPECT_EQ(Rgb(pic.At(16, 16)), 0x0000FFu);
    level->Release();
    back->Release();
    frame->Release();
}

TEST_P(D3dBothBackendsTest, ATargetLargerThanTheDepthBufferIsDrawnOnlyWhereBothExist)
{
    D3dPainter painter;
    ASSERT_TRUE(painter.Open(GetParam(), 32, 24));
    IDevice* d = painter.Device();
    ITexture* big = nullptr;
    ASSERT_EQ(d->CreateTexture(64, 64, 1, UsageRenderTarget, FmtX8R8G8B8, PoolDefault, &big), kOk);
    ISurface* level = nullptr;
    ISurface* back = nullptr;
    big->GetSurfaceLevel(0, &level);
    d->GetRenderTarget(0, &back);
    d->SetRenderTarget(0, level);
    d->Clear(0, nullptr, ClearTarget | ClearZBuffer, 0xFF00FF00, 1.0f, 0);
    d->BeginScene();
    painter.SpriteStates();
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    d->SetRenderState(RsZEnable, 1);
    d->SetRenderState(RsZFunc, CmpLess);
    painter.Rect(-0.5f, -0.5f, 63.5f, 63.5f, 0xFFFF0000, 0.5f);
    d->EndScene();
    const Picture pic = painter.Read(level);
    EXPECT_EQ(Rgb(pic.At(31, 23)), 0xFF0000u);
    EXPECT_NE(Rgb(pic.At(40, 10)), 0xFF0000u);
    EXPECT_NE(Rgb(pic.At(10, 30)), 0xFF0000u);
    d->SetRenderTarget(0, back);
    level->Release();
    back->Release();
    big->Release();
}

TEST_P(D3dBothBackendsTest, MemoryPresentationKeepsThePresentedPicture)
{
    D3dPainter painter;
    ASSERT_TRUE(painter.Open(GetParam(), 16, 16));
    IDevice* d = painter.Device();
    ISurface* copy = nullptr;
    ASSERT_EQ(d->CreateOffscreenPlainSurface(16, 16, FmtX8R8G8B8, PoolSystemMem, &copy), kOk);
    EXPECT_EQ(d->GetFrontBufferData(0, copy), kErrInvalidCall) << "nothing presented yet";
    d->Clear(0, nullptr, ClearTarget, 0xFF445566, 1.0f, 0);
    d->BeginScene();
    EXPECT_EQ(d->Present(), kErrInvalidCall) << "inside a scene";
    d->EndScene();
    ASSERT_EQ(d->Present(), kOk);
    d->Clear(0, nullptr, ClearTarget, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(d->GetFrontBufferData(0, copy), kOk);
    LockedRect lr;
    ASSERT_EQ(copy->LockRect(&lr, nullptr, LockReadOnly), kOk);
    EXPECT_EQ(static_cast<const uint32_t*>(lr.bits)[5 * 16 + 5] & 0xFFFFFF, 0x445566u);
    copy->UnlockRect();

    // Presenting rectangles shows at least each of them, to its last column and row; soft shows
    // only them; an empty rectangle shows nothing.
    const Rect part{3, 2, 9, 7}, empty{5, 5, 5, 9};
    ASSERT_EQ(d->PresentRects(1, &part), kOk);
    d->Clear(0, nullptr, ClearTarget, 0xFF00FF00, 1.0f, 0);
    ASSERT_EQ(d->PresentRects(1, &empty), kOk);
    ASSERT_EQ(d->GetFrontBufferData(0, copy), kOk);
    ASSERT_EQ(copy->LockRect(&lr, nullptr, LockReadOnly), kOk);
    const auto* shown = static_cast<const uint32_t*>(lr.bits);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= part.left && x < part.right && y >= part.top && y < part.bottom;
            if (inside || GetParam() == Backend::Soft) {
                ASSERT_EQ(shown[y * (lr.pitch / 4) + x] & 0xFFFFFF, inside ? 0u : 0x445566u) << x << ", " << y;
            }
        }
    }
    copy->UnlockRect();
    copy->Release();
}

TEST_P(D3dBothBackendsTest, TheClipRectangleLimitsClearsAndDraws)
{
    D3dPainter painter;
    ASSERT_TRUE(painter.Open(GetParam(), 320, 16));
    IDevice* d = painter.Device();
    d->Clear(0, nullptr, ClearTarget | ClearZBuffer, 0xFF0000FF, 1.0f, 0);
    const Rect clip{100, 4, 200, 12};
    ASSERT_EQ(d->SetClipRect(&clip), kOk);
    d->Clear(0, nullptr, ClearTarget, 0xFFFF0000, 1.0f, 0);
    d->BeginScene();
    painter.SpriteStates();
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    painter.Rect(-0.5f, -0.5f, 149.5f, 16.5f, 0xFF00FF00); // pixels 0..149, over the clip's left edge
    ASSERT_EQ(d->SetClipRect(nullptr), kOk);
    painter.Rect(300, 0, 310, 16, 0xFFFFFFFF);
    d->EndScene();
    const Picture pic = painter.Read();
    EXPECT_EQ(Rgb(pic.At(99, 8)), 0x0000FFu) << "left of the clip";
    EXPECT_EQ(Rgb(pic.At(0, 8)), 0x0000FFu);
    EXPECT_EQ(Rgb(pic.At(100, 8)), 0x00FF00u);
    EXPECT_EQ(Rgb(pic.At(150, 8)), 0xFF0000u) << "cleared, not drawn";
    EXPECT_EQ(Rgb(pic.At(199, 11)), 0xFF0000u);
    EXPECT_EQ(Rgb(pic.At(200, 8)), 0x0000FFu) << "right of the clip";
    EXPECT_EQ(Rgb(pic.At(120, 3)), 0x0000FFu) << "above it";
    EXPECT_EQ(Rgb(pic.At(120, 4)), 0x00FF00u);
    EXPECT_EQ(Rgb(pic.At(120, 12)), 0x0000FFu) << "below it";
    EXPECT_EQ(Rgb(pic.At(305, 8)), 0xFFFFFFu) << "no clip once cleared";
}

TEST_P(D3dBothBackendsTest, ADeviceOutlivesTheFactoryThatMadeIt)
{
    IDirect3D* d3d = Direct3DCreate(GetParam());
    ASSERT_NE(d3d, nullptr);
    PresentParameters pp;
    pp.backBufferWidth = 16;
    pp.backBufferHeight = 16;
    pp.backBufferFormat = FmtX8R8G8B8;
    IDevice* d = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, DevTypeHal, nullptr, CreateSoftwareVertexProcessing, &pp, &d), kOk);
    EXPECT_EQ(d3d->Release(), 1u) << "the device keeps a reference of its own";
    ISurface* copy = nullptr;
    ASSERT_EQ(d->CreateOffscreenPlainSurface(16, 16, FmtX8R8G8B8, PoolSystemMem, &copy), kOk);
    ASSERT_EQ(d->Clear(0, nullptr, ClearTarget, 0xFF102030, 1.0f, 0), kOk);
    ASSERT_EQ(d->Present(), kOk);
    ASSERT_EQ(d->GetFrontBufferData(0, copy), kOk);
    LockedRect lr;
    ASSERT_EQ(copy->LockRect(&lr, nullptr, LockReadOnly), kOk);
    EXPECT_EQ(static_cast<const uint32_t*>(lr.bits)[0] & 0xFFFFFF, 0x102030u);
    copy->UnlockRect();
    copy->Release();
    EXPECT_EQ(d->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Backends, D3dBothBackendsTest, ::testing::Values(Backend::Soft, Backend::Gl),
                         [](const ::testing::TestParamInfo<Backend>& info) { return BackendName(info.param); });

TEST_F(D3dDeviceTest, DrawCallsAreCheckedBeforeTheyReadBuffers)
{
    D3dPainter painter;
    ASSERT_TRUE(painter.Open(Backend::Soft, 16, 16));
    IDevice* d = painter.Device();
    IVertexBuffer* vb = nullptr;
    IIndexBuffer* ib = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(4 * sizeof(D3dVertex), UsageWriteOnly, kFvfSprite, PoolManaged, &vb), kOk);
    ASSERT_EQ(d->CreateIndexBuffer(6 * 2, UsageWriteOnly, FmtIndex16, PoolManaged, &ib), kOk);
    void* p = nullptr;
    ib->Lock(0, 0, &p, 0);
    const uint16_t idx[6] = {0, 1, 2, 0, 2, 9}; // 9 is past the four vertices
    std::memcpy(p, idx, sizeof idx);
    ib->Unlock();
    d->SetStreamSource(0, vb, 0, sizeof(D3dVertex));
    d->SetIndices(ib);
    d->SetFVF(kFvfSprite);
    EXPECT_EQ(d->DrawIndexedPrimitive(PtTriangleList, 0, 0, 4, 0, 1), kErrInvalidCall) << "outside a scene";
    d->BeginScene();
    EXPECT_EQ(d->DrawIndexedPrimitive(PtTriangleList, 0, 0, 4, 0, 1), kOk);
    EXPECT_EQ(d->DrawIndexedPrimitive(PtTriangleList, 0, 0, 4, 0, 2), kErrInvalidCall) << "index 9";
    EXPECT_EQ(d->DrawIndexedPrimitive(PtTriangleList, 0, 0, 10, 0, 2), kErrInvalidCall) << "range past the buffer";
    EXPECT_EQ(d->DrawIndexedPrimitive(PtTriangleList, -1, 0, 4, 0, 1), kErrInvalidCall) << "negative vertex";
    EXPECT_EQ(d->DrawIndexedPrimitive(PtTriangleList, 0, 0, 4, 3, 2), kErrInvalidCall) << "indices past the end";
    EXPECT_EQ(d->DrawPrimitive(PtTriangleList, 2, 1), kErrInvalidCall);
    EXPECT_EQ(d->DrawPrimitive(PtPointList, 0, 1), kErrInvalidCall);
    d->SetFVF(0x142); // position without rhw is not something the layer draws
    EXPECT_EQ(d->DrawPrimitive(PtTriangleList, 0, 1), kErrInvalidCall);
    d->EndScene();
    EXPECT_EQ(d->SetRenderState(300, 1), kErrInvalidCall);
    EXPECT_EQ(d->SetSamplerState(16, SampMagFilter, 1), kErrInvalidCall);
    EXPECT_EQ(d->SetTextureStageState(8, TssColorOp, 1), kErrInvalidCall);
    EXPECT_EQ(d->EndScene(), kErrInvalidCall);
    d->SetStreamSource(0, nullptr, 0, 0);
    d->SetIndices(nullptr);
    vb->Release();
    ib->Release();
}

TEST_F(D3dDeviceTest, HugeAndBrokenCoordinatesAreClippedOrDropped)
{
    D3dPainter painter;
    ASSERT_TRUE(painter.Open(Backend::Soft, 16, 16));
    IDevice* d = painter.Device();
    d->Clear(0, nullptr, ClearTarget, 0, 1.0f, 0);
    d->BeginScene();
    painter.SpriteStates();
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    const D3dVertex huge[4] = {{-1e9f, 1e9f, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                               {1e9f, 1e9f, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                               {1e9f, -1e9f, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                               {-1e9f, -1e9f, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0}};
    painter.Quad(huge);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const D3dVertex broken[4] = {{nan, 0, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
                                 {16, 0, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
                                 {16, 16, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
                                 {0, 16, 0.5f, 0.5f, 0xFFFF0000, 0, 0}};
    painter.Quad(broken);
    painter.Lines({{-3e38f, 8, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
                   {3e38f, 8, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
                   {nan, 2, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
                   {8, 2, 0.5f, 0.5f, 0xFFFF0000, 0, 0}});
    d->EndScene();
    const Picture pic = painter.Read();
    int white = 0;
    for (uint32_t px : pic.argb) {
        white += Rgb(px) == 0xFFFFFFu;
    }
    EXPECT_GE(white, 16 * 16 - 16 * 2 - 16) << "the huge quad covers the target (the NaN quad draws at most its "
                                               "half, the huge line one row)";
    EXPECT_EQ(Rgb(pic.At(5, 8)), 0xFF0000u) << "the line from far left to far right crosses the target";
    EXPECT_EQ(Rgb(pic.At(0, 0)), 0xFFFFFFu);
}

TEST_F(D3dDeviceTest, ReferenceCountsKeepObjectsAliveAsLongAsNeeded)
{
    IDevice* d = Make();
    ASSERT_TRUE(d);
    ITexture* t = nullptr;
    ASSERT_EQ(d->CreateTexture(4, 4, 1, 0, FmtA8R8G8B8, PoolManaged, &t), kOk);
    ISurface* level = nullptr;
    ASSERT_EQ(t->GetSurfaceLevel(0, &level), kOk);
    EXPECT_EQ(t->AddRef(), 3u) << "the level shares the texture's count";
    EXPECT_EQ(level->Release(), 2u);
    EXPECT_EQ(t->Release(), 1u);
    d->SetTexture(0, t);
    // The device goes first; the texture stays usable as memory.
    device_->Release();
    device_ = nullptr;
    LockedRect lr;
    EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), kOk);
    static_cast<uint32_t*>(lr.bits)[0] = 0xFFFFFFFF;
    EXPECT_EQ(t->UnlockRect(0), kOk);
    EXPECT_EQ(t->Release(), 0u);
}

TEST_F(D3dDeviceTest, WindowPresentationLetterboxesIntoTheWindowSurface)
{
    ASSERT_TRUE(MakeInWindow(200, 100, 100, 100));
    device_->Clear(0, nullptr, ClearTarget, 0xFFFF8000, 1.0f, 0);
    ASSERT_EQ(device_->Present(), kOk);
    SDL_Surface* s = SDL_GetWindowSurface(window_);
    ASSERT_TRUE(s);
    auto pixel = [&](int x, int y) {
        Uint8 r, g, b;
        SDL_GetRGB(*reinterpret_cast<const Uint32*>(static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * 4),
                   s->format, &r, &g, &b);
        return static_cast<uint32_t>(r << 16 | g << 8 | b);
    };
    EXPECT_EQ(pixel(100, 50), 0xFF8000u);
    EXPECT_EQ(pixel(10, 50), 0u) << "bars at the sides of a square picture in a wide window";
    EXPECT_EQ(pixel(190, 50), 0u);
    EXPECT_EQ(device_->GetFrontBufferData(0, nullptr), kErrInvalidCall);
}

TEST_F(D3dDeviceTest, AWindowOfThePicturesSizeIsShownRectanglesAndReadBack)
{
    ASSERT_TRUE(MakeInWindow(40, 30, 40, 30));
    ISurface* copy = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(40, 30, FmtX8R8G8B8, PoolSystemMem, &copy), kOk);
    EXPECT_EQ(device_->GetFrontBufferData(0, copy), kErrInvalidCall) << "nothing presented yet";
    device_->Clear(0, nullptr, ClearTarget, 0xFFFF8000, 1.0f, 0);
    ASSERT_EQ(device_->Present(), kOk);
    device_->Clear(0, nullptr, ClearTarget, 0xFF0080FF, 1.0f, 0);
    const Rect part{10, 5, 21, 17};
    ASSERT_EQ(device_->PresentRects(1, &part), kOk);
    ASSERT_EQ(device_->GetFrontBufferData(0, copy), kOk);
    LockedRect lr;
    ASSERT_EQ(copy->LockRect(&lr, nullptr, LockReadOnly), kOk);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= part.left && x < part.right && y >= part.top && y < part.bottom;
            const uint32_t pixel = static_cast<const uint32_t*>(lr.bits)[y * (lr.pitch / 4) + x];
            ASSERT_EQ(pixel & 0xFFFFFF, inside ? 0x0080FFu : 0xFF8000u) << x << ", " << y;
        }
    }
    copy->UnlockRect();
    copy->Release();
}

TEST_F(D3dDeviceTest, GlNeedsAWindowMadeForOpenGl)
{
    if (!IsBackendAvailable(Backend::Gl)) {
        GTEST_SKIP() << "no OpenGL 3.3 core context can be made here";
    }
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    SDL_Window* plain = SDL_CreateWindow("plain", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    SDL_Window* gl = SDL_CreateWindow("gl", 0, 0, 64, 64, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
    ASSERT_TRUE(plain && gl);
    d3d_ = Direct3DCreate(Backend::Gl);
    ASSERT_TRUE(d3d_);
    PresentParameters pp;
    pp.backBufferWidth = 32;
    pp.backBufferHeight = 32;
    pp.deviceWindow = plain;
    EXPECT_EQ(d3d_->CreateDevice(0, DevTypeHal, plain, CreateHardwareVertexProcessing, &pp, &device_),
              kErrNotAvailable);
    pp.deviceWindow = gl;
    ASSERT_EQ(d3d_->CreateDevice(0, DevTypeHal, gl, CreateHardwareVertexProcessing, &pp, &device_), kOk);
    device_->Clear(0, nullptr, ClearTarget, 0xFF00FF00, 1.0f, 0);
    EXPECT_EQ(device_->Present(), kOk);
    device_->Release();
    device_ = nullptr;
    SDL_DestroyWindow(plain);
    SDL_DestroyWindow(gl);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(D3dDeviceTest, ResetOnEachBackEndGivesAFreshBackBuffer)
{
    for (Backend backend : {Backend::Soft, Backend::Gl}) {
        if (!IsBackendAvailable(backend)) {
            continue;
        }
        SCOPED_TRACE(BackendName(backend));
        IDirect3D* d3d = Direct3DCreate(backend);
        ASSERT_TRUE(d3d);
        PresentParameters pp;
        pp.backBufferWidth = 32;
        pp.backBufferHeight = 32;
        pp.enableAutoDepthStencil = true;
        pp.autoDepthStencilFormat = FmtD16;
        IDevice* d = nullptr;
        ASSERT_EQ(d3d->CreateDevice(0, DevTypeHal, nullptr, 0, &pp, &d), kOk);
        d->Clear(0, nullptr, ClearTarget, 0xFFFF0000, 1.0f, 0);
        ISurface* bb = nullptr;
        ASSERT_EQ(d->GetBackBuffer(0, 0, BackBufferMono, &bb), kOk);
        PresentParameters wide = pp;
        wide.backBufferWidth = 48;
        wide.backBufferHeight = 24;
        EXPECT_EQ(d->Reset(&wide), kErrInvalidCall) << "the caller still holds the back buffer";
        bb->Release();
        ASSERT_EQ(d->Reset(&wide), kOk);
        EXPECT_EQ(wide.backBufferFormat, FmtX8R8G8B8) << "Reset reports the format it chose";
        ASSERT_EQ(d->GetBackBuffer(0, 0, BackBufferMono, &bb), kOk);
        SurfaceDesc desc;
        bb->GetDesc(&desc);
        EXPECT_EQ(desc.width, 48u);
        EXPECT_EQ(desc.height, 24u);
        d->Clear(0, nullptr, ClearTarget, 0xFF00FF00, 1.0f, 0);
        ISurface* copy = nullptr;
        ASSERT_EQ(d->CreateOffscreenPlainSurface(48, 24, FmtX8R8G8B8, PoolSystemMem, &copy), kOk);
        ASSERT_EQ(d->GetRenderTargetData(bb, copy), kOk);
        LockedRect lr;
        copy->LockRect(&lr, nullptr, LockReadOnly);
        EXPECT_EQ(static_cast<const uint32_t*>(lr.bits)[23 * 48 + 47] & 0xFFFFFF, 0x00FF00u);
        copy->UnlockRect();
        copy->Release();
        bb->Release();
        d->Release();
        d3d->Release();
    }
}

TEST_F(D3dDeviceTest, MonitorsAreSdlDisplays)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    SDL_Window* window = SDL_CreateWindow("monitor", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    ASSERT_TRUE(window);
    EXPECT_EQ(MonitorFromWindow(window), 1u);
    Rect r{};
    EXPECT_TRUE(GetMonitorRect(1, &r));
    EXPECT_GT(r.right - r.left, 0);
    EXPECT_FALSE(GetMonitorRect(0, &r));
    EXPECT_FALSE(GetMonitorRect(99, &r));
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(D3dDeviceTest, CursorPicturesMustBeSmallArgbSurfaces)
{
    IDevice* d = Make();
    ASSERT_TRUE(d);
    ISurface* argb = nullptr;
    ISurface* xrgb = nullptr;
    ISurface* large = nullptr;
    ASSERT_EQ(d->CreateOffscreenPlainSurface(32, 32, FmtA8R8G8B8, PoolSystemMem, &argb), kOk);
    ASSERT_EQ(d->CreateOffscreenPlainSurface(32, 32, FmtX8R8G8B8, PoolSystemMem, &xrgb), kOk);
    ASSERT_EQ(d->CreateOffscreenPlainSurface(128, 128, FmtA8R8G8B8, PoolSystemMem, &large), kOk);
    EXPECT_EQ(d->SetCursorProperties(3, 4, argb), kOk);
    EXPECT_EQ(d->SetCursorProperties(40, 4, argb), kErrInvalidCall) << "hot spot outside";
    EXPECT_EQ(d->SetCursorProperties(0, 0, xrgb), kErrInvalidCall);
    EXPECT_EQ(d->SetCursorProperties(0, 0, large), kErrInvalidCall);
    EXPECT_FALSE(d->ShowCursor(true));
    EXPECT_TRUE(d->ShowCursor(false));
    for (ISurface* s : {argb, xrgb, large}) {
        s->Release();
    }
}

} // namespace
