#include "engine/graphics/render/RenderManager.h"

#include <algorithm>
#include <utility>

#include "engine/core/IQuillGame.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/strings/StringTable.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/render/RenderManagerContext.h"
#include "engine/graphics/text/TextRenderer.h"
#include "engine/graphics/scene/UserInterface.h"
#include "platform/system/Clock.h"
#include "platform/window/Window.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

constexpr uint32_t kStrCriticalError = 901;
constexpr uint32_t kStrNoDisplay = 902;
constexpr const char* kTextCriticalError = "Critical Error";
constexpr const char* kTextNoDisplay =
    "We are unable to find a way to display the game adequately.\n\nThis may be due to other running graphically "
    "intensive applications, or a computer that is below our minimum system requirements.";
constexpr uint32_t kRetrySleepMs = 100;

String TableText(uint32_t id, const char* fallback)
{
    if (StringTable* table = StringTable::Instance()) {
        const String& text = table->Get(id);
        if (!text.empty())
            return text;
    }
    return FromUtf8(fallback);
}

bool EqualsIgnoreAsciiCase(StringView a, StringView b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z')
            x = static_cast<char16_t>(x - u'A' + u'a');
        if (y >= u'A' && y <= u'Z')
            y = static_cast<char16_t>(y - u'A' + u'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

bool CommandLineAsksSoftware(StringView commandLine)
{
    String arg;
    bool quoted = false, inArg = false;
    auto finish = [&] {
        const bool match = inArg && EqualsIgnoreAsciiCase(arg, u"-software");
        arg.clear();
        inArg = false;
        return match;
    };
    for (char16_t c : commandLine) {
        if (c == u'"') {
            quoted = !quoted;
            inArg = true;
        } else if (!quoted && (c == u' ' || c == u'\t')) {
            if (finish())
                return true;
        } else {
            arg.push_back(c);
            inArg = true;
        }
    }
    return finish();
}

CRenderManager::CRenderManager(IQuillGame* game) : game_(game) {}

CRenderManager::~CRenderManager()
{
    if (frameTexture_)
        std::exchange(frameTexture_, nullptr)->Release();
    RemoveDeviceResetListener(canvasManager_.get());
    canvasManager_.reset();
    batcher_.reset();
    RemoveDeviceResetListener(textRenderer_.get());
    textRenderer_.reset();
    ReleaseDeviceObjects();
    if (paceCopy_)
        std::exchange(paceCopy_, nullptr)->Release();
    context_.reset();
    ReleaseCursorTextures();
    if (device_)
        std::exchange(device_, nullptr)->Release();
    if (d3d_)
        std::exchange(d3d_, nullptr)->Release();
    deviceState_ = kStateNone;
    cursors_.clear();
}

void CRenderManager::SetDevicePreferences(bool softwareDevice, bool autoDetectSoftware)
{
    softwareDevice_ = softwareDevice;
    autoDetect_ = autoDetectSoftware;
}

void CRenderManager::Sleep(uint32_t ms)
{
    if (sleep_)
        sleep_(ms);
    else
        QuillPlatform::SleepMilliseconds(ms);
}

void CRenderManager::ShowNoDisplayMessage()
{
    const String caption = TableText(kStrCriticalError, kTextCriticalError);
    const String text = TableText(kStrNoDisplay, kTextNoDisplay);
    if (messageBox_)
        messageBox_(caption, text);
    else
        QuillPlatform::ShowMessageBox(ToUtf8(caption), ToUtf8(text));
}

void CRenderManager::ExitOutOfVideoMemory()
{
    if (outOfVideoMemory_)
        outOfVideoMemory_();
    // Only reached when the handler returns (or none is set): the renderer stops for good.
    ReleaseDevice();
    deviceState_ = kStateNone;
}

void CRenderManager::OnTextureDeviceLost()
{
    SetDeviceState(kStateDeviceLost);
    skipSceneFlush_ = true;
}

void CRenderManager::OnTextureOutOfVideoMemory()
{
    SetDeviceState(kStateOutOfVideoMemory);
    skipSceneFlush_ = true;
}

bool CRenderManager::Init(QuillPlatform::Window* window, bool fullscreen)
{
    window_ = window;
    const UserInterface* ui = UserInterface::Instance();
    const bool uiSized = ui && ui->ScreenWidth() > 0 && ui->ScreenHeight() > 0;
    params_ = PresentParameters{};
    params_.backBufferWidth = uiSized ? static_cast<uint32_t>(ui->ScreenWidth()) : kDefaultWidth;
    params_.backBufferHeight = uiSized ? static_cast<uint32_t>(ui->ScreenHeight()) : kDefaultHeight;
    params_.backBufferFormat = displayFormat_;
    params_.backBufferCount = 1;
    params_.swapEffect = SwapEffectDiscard;
    params_.deviceWindow = NativeWindow();
    params_.windowed = !fullscreen;
    params_.enableAutoDepthStencil = true;
    params_.autoDepthStencilFormat = FmtD16;
    params_.presentationInterval = fullscreen ? PresentIntervalOne : PresentIntervalDefault;

    if (!textRenderer_) {
        textRenderer_ = std::make_unique<TextRenderer>();
        AddDeviceResetListener(textRenderer_.get());
    }
    if (CreateDevice() != CreateResult::Created)
        return false;
    device_->Clear(0, nullptr, ClearTarget, clearColor_, 0.0f, 0);
    if (Succeeded(device_->Present()))
        ++frameCount_;
    SetDeviceState(kStateReady);
    return true;
}

void CRenderManager::HandleCondition()
{
    switch (deviceState_) {
    case kStateOutOfVideoMemory:
        if (softwareDevice_)
            ExitOutOfVideoMemory();
        else
            SetSoftwareDevice(true);
        return;
    case kStateResetNeeded:
    case kStateDriverError:
    case kStateResetFailed: {
        ReleaseDevice();
        const CreateResult result = CreateDevice();
        if (result == CreateResult::Created) {
            SetDeviceState(kStateReady);
            return;
        }
        // Half-made devices are not handed out: every user finds none until a re-creation works.
        ReleaseDevice();
        if (result == CreateResult::NoAdapter) {
            // The message has been shown once; no path can display the game any more.
            ExitOutOfVideoMemory();
            return;
        }
        Sleep(kRetrySleepMs);
        return;
    }
    case kStateDeviceLost: {
        if (!device_) {
            SetDeviceState(kStateResetNeeded);
            return;
        }
        const Result r = device_->TestCooperativeLevel();
        if (r == kErrDeviceNotReset) {
            ReleaseDeviceObjects();
            if (!ResetDevice() || !RestoreDeviceObjects())
                return;
            SetDeviceState(kStateReady);
        } else if (Failed(r)) {
            Sleep(kRetrySleepMs);
        } else {
            ReleaseDeviceObjects();
            if (!RestoreDeviceObjects())
                return;
            SetDeviceState(kStateReady);
        }
        return;
    }
    default:
        return;
    }
}

bool CRenderManager::WantsFrame(int32_t steps)
{
    if (canvasManager_ && canvasManager_->TakeCanvasChanges())
        SetFrameDirty();
    quietSteps_ += std::max(steps, 1);
    if (sceneChanged_ || quietSteps_ >= kQuietRedrawSteps) {
        quietSteps_ = 0;
        return true;
    }
    return false;
}

void CRenderManager::RenderFrame(bool present)
{
    if (deviceState_ == kStateNone)
        return;
    if (deviceState_ & kStateLost) {
        const bool wasLost = deviceState_ == kStateDeviceLost;
        HandleCondition();
        if (wasLost)
            return;
    }
    if (!(deviceState_ & kStateReady) || !device_ || !context_)
        return;
    DrawScene(present);
}

void CRenderManager::DrawScene(bool present)
{
    frameDrawn_ = true;
    sceneChanged_ = false;
    if (CanDrawPartially(present)) {
        DrawSceneChanges();
        return;
    }
    // Drawn whole, or not into the back buffer: the next partial frame has nothing to compare with.
    ForgetLastFrame();
    if (Failed(device_->BeginScene()))
        return;
    context_->SetRenderState(RsCullMode, CullNone);
    // Quads queued outside a scene (or left by a frame that skipped its flush) are not drawn here.
    if (batcher_)
        batcher_->BeginScene();
    if (clearTarget_)
        device_->Clear(0, nullptr, ClearTarget | ClearZBuffer, clearColor_, 1.0f, 0);
    else
        device_->Clear(0, nullptr, ClearZBuffer, 0, 1.0f, 0);

    skipSceneFlush_ = false;
    if (UserInterface* ui = UserInterface::Instance())
        ui->Render();
    if (!skipSceneFlush_) {
        if (batcher_)
            batcher_->Flush();
        if (canvasManager_)
            canvasManager_->UpdateFonts();
    } else if (batcher_) {
        // Their textures may be gone with the device: the pending quads are dropped, not kept.
        batcher_->DropPending();
    }
    PaceFrame();

    if (device_->EndScene() == kErrDeviceLost)
        SetDeviceState(kStateDeviceLost);
    if (ResourceCache* cache = ResourceCache::Instance())
        cache->UnloadIdle();

    bool presentFailed = false;
    if (present) {
        const Result r = device_->Present();
        presentFailed = Failed(r);
        if (r == kErrDeviceLost)
            SetDeviceState(kStateDeviceLost);
    }
    if (game_)
        game_->OnFrameRendered();
    if (!presentFailed)
        ++frameCount_;
}

// Clears one small target each frame and reads back the one cleared a frame earlier: the read
// waits for the device, so the CPU never runs more than a frame ahead of it.
void CRenderManager::PaceFrame()
{
    if (!paceTargets_[0] || !paceTargets_[1] || !paceCopy_)
        return;
    ISurface* previous = nullptr;
    if (Failed(device_->GetRenderTarget(0, &previous)))
        return;
    device_->SetRenderTarget(0, paceTargets_[paceToggle_]);
    device_->Clear(0, nullptr, ClearTarget, 0, 0.0f, 0);
    device_->GetRenderTargetData(paceTargets_[paceToggle_ ^ 1], paceCopy_);
    paceToggle_ ^= 1;
    device_->SetRenderTarget(0, previous);
    previous->Release();
}

void CRenderManager::RenderToFrameTexture()
{
    if (!frameDrawn_ || !frameTexture_ || !device_)
        return;
    ISurface* level = nullptr;
    ISurface* previous = nullptr;
    if (Succeeded(frameTexture_->GetSurfaceLevel(0, &level)) && Succeeded(device_->GetRenderTarget(0, &previous))) {
        device_->SetRenderTarget(0, level);
        RenderFrame(false);
        // The frame may have lost or released the device.
        if (device_)
            device_->SetRenderTarget(0, previous);
    }
    if (previous)
        previous->Release();
    if (level)
        level->Release();
    if (deviceState_ != kStateDeviceLost)
        frameDrawn_ = false;
}

void CRenderManager::Paint()
{
    if (!(deviceState_ & kStateReady))
        return;
    RenderToFrameTexture();
    if (!frameTexture_ || !device_) {
        RenderFrame(true);
        return;
    }
    if (deviceState_ != kStateDeviceLost) {
        if (Failed(device_->BeginScene()))
            return;
        ISurface* level = nullptr;
        ISurface* back = nullptr;
        if (Succeeded(frameTexture_->GetSurfaceLevel(0, &level)) &&
            Succeeded(device_->GetBackBuffer(0, 0, BackBufferMono, &back))) {
            const Rect whole{0, 0, static_cast<int32_t>(params_.backBufferWidth),
                             static_cast<int32_t>(params_.backBufferHeight)};
            device_->StretchRect(level, &whole, back, nullptr, FilterNone);
            ForgetLastFrame(); // the back buffer now shows the frame texture's picture
        }
        if (back)
            back->Release();
        if (level)
            level->Release();
        const Result end = device_->EndScene();
        if (end == kErrDeviceLost) {
            SetDeviceState(kStateDeviceLost);
        } else if (Failed(end)) {
            return;
        } else {
            const Result r = device_->Present();
            if (r == kErrDeviceLost) {
                Sleep(kRetrySleepMs);
                SetDeviceState(kStateDeviceLost);
            } else if (Failed(r)) {
                return;
            }
        }
    }
    if (deviceState_ == kStateDeviceLost && !(pauseQuery_ && pauseQuery_())) {
        Sleep(kRetrySleepMs);
        if (window_)
            window_->Invalidate();
    }
}

void CRenderManager::CheckMonitorChange()
{
    if (!window_ || !device_)
        return;
    const Monitor now = MonitorFromWindow(NativeWindow());
    if (now == adapterMonitor_)
        return;
    Rect monitor{};
    bool overlaps = false;
    if (GetMonitorRect(adapterMonitor_, &monitor)) {
        int32_t x = 0, y = 0, w = 0, h = 0;
        window_->GetPosition(x, y);
        window_->GetClientSize(w, h);
        overlaps = x < monitor.right && x + w > monitor.left && y < monitor.bottom && y + h > monitor.top;
    }
    // A monitor that no longer exists shares nothing with the window either.
    if (!overlaps)
        SetDeviceState(kStateResetNeeded);
}

bool CRenderManager::SetSoftwareDevice(bool on)
{
    if (fallback_)
        return false;
    softwareDevice_ = on;
    SetDeviceState(kStateResetNeeded);
    if (on && currentCursor_ != 0)
        LoadCursors(nullptr, false);
    return true;
}

void CRenderManager::ApplyDisplayMode(bool fullscreen)
{
    if (params_.windowed && !fullscreen)
        return;
    params_.windowed = !fullscreen;
    if (!device_)
        return; // the next device is made with the new mode
    resetting_ = true;
    ReleaseDeviceObjects();
    if (ResetDevice())
        RestoreDeviceObjects();
    resetting_ = false;
    frameDrawn_ = true;
}

} // namespace QuillEngine
