// The renderer's partial frames: on a device that can limit drawing to a rectangle, the scene is
// recorded instead of drawn, compared with the last frame, and only the rectangle where the two
// differ is cleared, drawn again and presented. Inside that rectangle every run is drawn as in a
// whole frame; outside it the back buffer already holds the same pixels.

#include <utility>

#include "engine/core/IQuillGame.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/RenderManagerContext.h"
#include "engine/graphics/scene/UserInterface.h"

namespace QuillEngine {

using namespace QuillD3D;

bool CRenderManager::CanDrawPartially(bool present) const
{
    // Canvases draw straight to the device, out of the recorded order: such frames are whole.
    // Clearing the clip also asks whether the device can clip at all.
    return partialRedraw_ && present && batcher_ && device_ && !(canvasManager_ && canvasManager_->AnyToDraw()) &&
           Succeeded(device_->SetClipRect(nullptr));
}

void CRenderManager::ForgetLastFrame()
{
    lastFrameKept_ = false;
    lastFrame_.Clear();
    frame_.Clear();
}

void CRenderManager::DrawSceneChanges()
{
    if (Failed(device_->BeginScene()))
        return;
    context_->SetRenderState(RsCullMode, CullNone);
    batcher_->BeginScene();
    batcher_->StartRecording(&frame_);
    skipSceneFlush_ = false;
    if (UserInterface* ui = UserInterface::Instance())
        ui->Render();
    if (!skipSceneFlush_)
        batcher_->Flush();
    else
        batcher_->DropPending();
    batcher_->StopRecording();
    if (!skipSceneFlush_ && canvasManager_)
        canvasManager_->UpdateFonts();

    const int32_t width = static_cast<int32_t>(params_.backBufferWidth);
    const int32_t height = static_cast<int32_t>(params_.backBufferHeight);
    const uint64_t textureWrites = device_->TextureWriteCount();
    const bool comparable = lastFrameKept_ && !skipSceneFlush_ && textureWrites == lastTextureWrites_ &&
                            clearColor_ == lastClearColor_ && clearTarget_ == lastClearTarget_;
    const PixelBox whole{0, 0, width, height};
    const PixelBox area = comparable ? ChangedArea(lastFrame_, frame_, width, height) : whole;
    const Rect areaRect{area.left, area.top, area.right, area.bottom};
    const bool clipped = !area.Empty() && Succeeded(device_->SetClipRect(&areaRect));
    if (!area.Empty()) {
        // With no clip (refused), the whole picture is drawn: still the same pixels.
        const uint32_t flags = clearTarget_ ? (ClearTarget | ClearZBuffer) : ClearZBuffer;
        device_->Clear(0, nullptr, flags, clearColor_, 1.0f, 0);
        if (!skipSceneFlush_)
            for (const QuadRun& run : frame_.runs)
                batcher_->DrawRun(frame_, run);
    }
    if (clipped)
        device_->SetClipRect(nullptr);
    PaceFrame();
    if (device_->EndScene() == kErrDeviceLost)
        SetDeviceState(kStateDeviceLost);
    if (ResourceCache* cache = ResourceCache::Instance())
        cache->UnloadIdle();

    // A frame that changed nothing still presents (nothing): device loss is learnt from presents.
    const bool part =
        area.Empty() || (clipped && (area.left > 0 || area.top > 0 || area.right < width || area.bottom < height));
    const Result presented = part ? device_->PresentRects(1, &areaRect) : device_->Present();
    if (presented == kErrDeviceLost)
        SetDeviceState(kStateDeviceLost);
    lastDrawnArea_ = clipped ? area : area.Empty() ? PixelBox{} : whole;

    // The frame before last is recorded over next time, keeping its storage (unless far larger
    // than the frame just drawn needed). No recorded frame holds textures between frames: those
    // a scene lets go (a board left, its pictures unloaded) are freed before the next one loads.
    frame_.ReleaseTextures();
    std::swap(lastFrame_, frame_);
    frame_.ClearFor(lastFrame_.runs.size(), lastFrame_.vertices.size());
    lastFrameKept_ = !skipSceneFlush_ && Succeeded(presented);
    lastTextureWrites_ = textureWrites;
    lastClearColor_ = clearColor_;
    lastClearTarget_ = clearTarget_;
    if (game_)
        game_->OnFrameRendered();
    if (Succeeded(presented))
        ++frameCount_;
}

} // namespace QuillEngine
