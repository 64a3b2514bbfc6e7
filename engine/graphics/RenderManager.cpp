#include "engine/graphics/RenderManager.h"

#include "engine/core/IQuillGame.h"
#include "platform/window/WindowSurface.h"

namespace QuillEngine {

CRenderManager::CRenderManager(IQuillGame* game) : game_(game) {}

CRenderManager::~CRenderManager() = default;

void CRenderManager::SetDevicePreferences(bool softwareDevice, bool autoDetectSoftware)
{
    softwareDevice_ = softwareDevice;
    autoDetectSoftware_ = autoDetectSoftware;
}

bool CRenderManager::Init(QuillPlatform::Window* window, bool fullscreen)
{
    window_ = window;
    windowed_ = !fullscreen;
    deviceState_ = kStateReady;
    RenderFrame(true);
    return true;
}

void CRenderManager::RenderFrame(bool present)
{
    if (!IsReady())
        deviceState_ = kStateReady;   // nothing to restore without a device
    if (!present)
        return;
    if (window_)
        QuillPlatform::FillWindow(*window_, clearEnabled_ ? clearColor_ : 0xFF000000);
    ++framesPresented_;
    frameDirty_ = false;
    if (game_)
        game_->OnFrameRendered();
}

void CRenderManager::Paint()
{
    if (window_ && IsReady())
        QuillPlatform::FillWindow(*window_, clearEnabled_ ? clearColor_ : 0xFF000000);
}

void CRenderManager::CheckMonitorChange() {}

void CRenderManager::ApplyDisplayMode(bool fullscreen)
{
    windowed_ = !fullscreen;
}

bool CRenderManager::SetSoftwareDevice(bool on)
{
    softwareDevice_ = on;
    return true;
}

} // namespace QuillEngine
