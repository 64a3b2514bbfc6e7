#pragma once
// The game program's renderer over the device layer: chooses an adapter (hardware or the
// software rasteriser), makes the device, draws one frame per call, keeps a copy of the last
// frame for repainting, and recovers from lost devices, re-creation requests and exhausted video
// memory. It owns the device-state cache, the quad batcher, the canvas manager, the text
// renderer and the lists of dynamic buffers. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/Singleton.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/render/DeviceResetListener.h"
#include "engine/graphics/render/DynamicBuffers.h"
#include "engine/graphics/render/FrameRuns.h"
#include "platform/d3d/D3dFactory.h"

namespace QuillPlatform {
class Window;
}

namespace QuillEngine {

class CRenderCanvasManager;
class CRenderManagerContext;
class IQuillGame;
class QuadBatcher;
class TextRenderer;

// Whether a command line (without the program name) has the argument "-software" in any
// position, ignoring case. Arguments are split at blanks; double quotes group blanks.
bool CommandLineAsksSoftware(StringView commandLine);
// Whether the software renderer is chosen before any device is tried: by the preference, the
// command line or "Engine.xml". (A failed hardware start falls back to it later as well.)
bool SoftwareDeviceChosen(bool preference, StringView commandLine);

class CRenderManager : public Singleton<CRenderManager> {
public:
    // The device-state word. Values with kStateLost (0x100) set are conditions that RenderFrame
    // handles before it draws; the engine stops its steps while that bit is set.
    static constexpr uint32_t kStateNone = 0;
    static constexpr uint32_t kStateLost = 0x100;
    static constexpr uint32_t kStateOutOfVideoMemory = 0x101;
    static constexpr uint32_t kStateResetNeeded = 0x102;
    static constexpr uint32_t kStateDeviceLost = 0x104;
    static constexpr uint32_t kStateDriverError = 0x110;
    static constexpr uint32_t kStateResetFailed = 0x120;
    static constexpr uint32_t kStateReady = 0x1000;

    static constexpr uint32_t kDefaultWidth = 800;
    static constexpr uint32_t kDefaultHeight = 600;

    // What SelectAdapter found: the factory (one reference, for the caller to release), the
    // adapter's caps and identifier, and whether it came from the software path.
    struct AdapterChoice {
        QuillD3D::IDirect3D* d3d = nullptr;
        QuillD3D::Backend backend = QuillD3D::Backend::Soft;
        QuillD3D::Caps caps;
        QuillD3D::AdapterIdentifier identifier;
        bool software = false;
    };

    struct CursorEntry {
        String name;
        String texture;
        int32_t hotSpotX = 0;
        int32_t hotSpotY = 0;
        uint32_t textureHandle = 0; // texture resource, acquired on first use
    };

    explicit CRenderManager(IQuillGame* game);
    ~CRenderManager();
    CRenderManager(const CRenderManager&) = delete;
    CRenderManager& operator=(const CRenderManager&) = delete;

    // --- set-up by the engine object (before Init) ---
    void SetDevicePreferences(bool softwareDevice, bool autoDetectSoftware);
    void SetCommandLine(StringView commandLine) { commandLineSoftware_ = CommandLineAsksSoftware(commandLine); }
    // The window may be made again for the back end chosen: without OpenGL for the software
    // renderer (also after a failed hardware start), with it for the hardware one. Off, a window
    // not made for OpenGL only ever gets the software renderer.
    void SetWindowRemakeAllowed(bool allowed) { remakeWindow_ = allowed; }
    // Ends the process when video memory runs out on the software device too. Without one, the
    // renderer stops (state 0) instead.
    void SetOutOfVideoMemoryHandler(std::function<void()> handler) { outOfVideoMemory_ = std::move(handler); }
    void SetPauseQuery(std::function<bool()> query) { pauseQuery_ = std::move(query); }
    // Test hooks: the message box, the sleeps of the recovery paths and the back ends that stand
    // for the hardware runtime and the software rasteriser.
    void SetMessageBoxFunction(std::function<void(const String& caption, const String& text)> fn)
    {
        messageBox_ = std::move(fn);
    }
    void SetSleepFunction(std::function<void(uint32_t ms)> fn) { sleep_ = std::move(fn); }
    void SetBackends(QuillD3D::Backend hardware, QuillD3D::Backend software)
    {
        hardwareBackend_ = hardware;
        softwareBackend_ = software;
    }

    // --- the engine's calls ---
    // `window` none: the device presents into memory (tests).
    bool Init(QuillPlatform::Window* window, bool fullscreen);
    void RenderFrame(bool present);
    void Paint();
    void CheckMonitorChange();
    void ApplyDisplayMode(bool fullscreen);
    // False (nothing changed) once the renderer has fallen back to software by itself.
    bool SetSoftwareDevice(bool on);
    void SetFrameDirty()
    {
        frameDrawn_ = true;
        sceneChanged_ = true;
    }
    // Whether the main loop draws after a tick of `steps` game steps: when something on screen
    // changed since the last drawing, and in any case every kQuietRedrawSteps steps (counted in
    // steps, so a tick that catches up several counts for all of them); a scene at rest costs no drawing.
    static constexpr int32_t kQuietRedrawSteps = 120;
    bool WantsFrame(int32_t steps = 1);

    // --- cursors ---
    // name none: no custom cursor. Otherwise the first entry of "Cursors\Cursors.xml" with that
    // exact name becomes current, and with `apply` the device shows it.
    bool LoadCursors(const String* name, bool apply);
    bool ApplyHardwareCursor();
    // 1-based index of the current cursor; 0 = none.
    uint32_t GetCursor() const { return currentCursor_; }
    const std::vector<CursorEntry>& Cursors() const { return cursors_; }
    // The window's cursor request: shows the device's cursor when one is current and the device
    // is ready and not being reset. True when handled.
    bool ShowDeviceCursor();

    // --- state ---
    uint32_t GetDeviceState() const { return deviceState_; }
    void SetDeviceState(uint32_t state)
    {
        deviceState_ = state;
        frameDrawn_ = true;
    }
    bool IsReady() const { return (deviceState_ & kStateReady) != 0; }
    bool IsWindowed() const { return params_.windowed; }
    bool IsSoftwareDevice() const { return softwareDevice_; }
    bool HasFallenBack() const { return fallback_; }
    bool IsResetting() const { return resetting_; }
    void SetClearColor(uint32_t argb) { clearColor_ = argb; }
    void SetClearEnabled(bool on) { clearTarget_ = on; }
    // On a device that can limit drawing to a rectangle (both back ends can), a frame draws and
    // presents only where it differs from the last one, with the same pixels as a whole frame.
    // Off, every frame is drawn whole.
    void SetPartialRedraw(bool on)
    {
        partialRedraw_ = on;
        ForgetLastFrame();
    }
    // The area the last frame drew and presented (the whole picture for a whole frame; empty when
    // nothing differed). For tests and benchmarks.
    const PixelBox& LastDrawnArea() const { return lastDrawnArea_; }
    uint32_t FramesPresented() const { return frameCount_; }

    // Texture creation reports a lost device or exhausted video memory; the frame in progress
    // then skips the batch flush.
    void OnTextureDeviceLost();
    void OnTextureOutOfVideoMemory();
    bool SkipSceneFlush() const { return skipSceneFlush_; }

    // Listeners are not owned and are told of every release and restore of the device objects
    // until removed; no duplicates. Either call may come from inside a notification: a listener
    // removed there hears nothing more of it.
    void AddDeviceResetListener(IDeviceResetListener* listener);
    void RemoveDeviceResetListener(IDeviceResetListener* listener);

    // --- accessors: each is none while no device exists; callers test ---
    QuillD3D::IDevice* GetDevice() const { return device_; }
    CRenderManagerContext* GetContext() const { return context_.get(); }
    QuadBatcher* GetBatcher() const { return batcher_.get(); }
    CRenderCanvasManager* GetCanvasManager() const { return canvasManager_.get(); }
    TextRenderer* GetTextRenderer() const { return textRenderer_.get(); }
    const QuillD3D::PresentParameters& GetPresentParameters() const { return params_; }
    const QuillD3D::Caps& GetCaps() const { return caps_; }
    QuillD3D::ITexture* GetFrameTexture() const { return frameTexture_; }
    uint32_t FrameTextureWidth() const { return frameTextureWidth_; }
    uint32_t FrameTextureHeight() const { return frameTextureHeight_; }
    QuillD3D::Backend GetBackend() const { return backend_; }
    size_t FailedAdapterCount() const { return failedAdapters_.size(); }

    // Buffer objects linked into the renderer's lists; their device buffers are made by
    // RestoreDeviceObjects and released with the device objects.
    std::unique_ptr<CDynamicVertexBuffer> CreateDynamicVertexBuffer(uint32_t capacity, uint32_t stride, uint32_t fvf);
    std::unique_ptr<CDynamicIndexBuffer> CreateDynamicIndexBuffer(uint32_t capacity);

    // Adapter choice, on the software path or (first) the hardware path; the failed list names
    // adapters on which a device could not be made. False when no path yields an adapter.
    bool SelectAdapter(bool software, const std::vector<QuillD3D::AdapterIdentifier>& failed, AdapterChoice& out);
    bool WantsSoftwareDevice() const;

private:
    enum class CreateResult { Created, NoAdapter, Failed };

    CreateResult CreateDevice();
    bool TryCreateOn(AdapterChoice& choice);
    void ApplyDefaultRenderStates();
    bool RestoreDeviceObjects();
    void ReleaseDeviceObjects();
    bool IsDeviceResetListener(IDeviceResetListener* listener) const;
    void NotifyDeviceLost();
    bool NotifyDeviceRestored();
    void ReleaseDevice();
    bool ResetDevice();
    bool CreateFrameTexture();
    void HandleCondition();
    void DrawScene(bool present);
    // DrawScene's way on a device that clips: record the scene's runs, compare, draw the change.
    bool CanDrawPartially(bool present) const;
    void DrawSceneChanges();
    void ForgetLastFrame();
    void PaceFrame();
    void RenderToFrameTexture();
    void ReleaseCursorTextures();
    void ExitOutOfVideoMemory();
    void ShowNoDisplayMessage();
    void Sleep(uint32_t ms);
    uint64_t AvoidKey(const QuillD3D::AdapterIdentifier& id) const;
    std::vector<std::pair<uint32_t, uint32_t>> ReadAvoidList() const;
    bool HardwareRuntimeAvailable() const;
    QuillD3D::DeviceWindow* NativeWindow() const;

    IQuillGame* game_;
    QuillPlatform::Window* window_ = nullptr;
    std::unique_ptr<CRenderManagerContext> context_;
    std::unique_ptr<TextRenderer> textRenderer_;
    std::unique_ptr<QuadBatcher> batcher_;
    std::unique_ptr<CRenderCanvasManager> canvasManager_;
    std::vector<IDeviceResetListener*> resetListeners_;
    CDynamicVertexBuffer vertexBuffers_{0, 0, 0}; // list heads
    CDynamicIndexBuffer indexBuffers_{0};
    uint32_t clearColor_ = 0;
    bool clearTarget_ = true;
    bool partialRedraw_ = true;
    // The last frame drawn into the back buffer, while it still shows there: its runs, its clear
    // and the device's texture write count after it was recorded.
    bool lastFrameKept_ = false;
    FrameRecord lastFrame_;
    FrameRecord frame_;
    uint32_t lastClearColor_ = 0;
    bool lastClearTarget_ = true;
    uint64_t lastTextureWrites_ = 0;
    PixelBox lastDrawnArea_;
    QuillD3D::Caps caps_;
    QuillD3D::Format displayFormat_ = QuillD3D::FmtX8R8G8B8;
    QuillD3D::Format fullscreenFormat_ = QuillD3D::FmtX8R8G8B8;
    QuillD3D::Monitor adapterMonitor_ = 0;
    QuillD3D::IDevice* device_ = nullptr;
    // The factory that made the device, kept as long as the device: the layer's windowing and
    // OpenGL state live as long as a factory does.
    QuillD3D::IDirect3D* d3d_ = nullptr;
    QuillD3D::Backend backend_ = QuillD3D::Backend::Soft;
    QuillD3D::PresentParameters params_;
    bool softwareDevice_ = false;
    bool autoDetect_ = false;
    bool fallback_ = false;
    bool commandLineSoftware_ = false;
    bool remakeWindow_ = false;
    uint32_t frameCount_ = 0;
    bool skipSceneFlush_ = false;
    bool resetting_ = false;
    uint32_t deviceState_ = kStateNone;
    bool frameDrawn_ = true;
    bool sceneChanged_ = true; // something on screen changed since the last drawing
    int32_t quietSteps_ = 0;
    QuillD3D::ITexture* frameTexture_ = nullptr;
    uint32_t frameTextureWidth_ = 0;
    uint32_t frameTextureHeight_ = 0;
    QuillD3D::ISurface* paceTargets_[2] = {};
    QuillD3D::ISurface* paceCopy_ = nullptr;
    uint32_t paceToggle_ = 0;
    std::vector<CursorEntry> cursors_;
    uint32_t currentCursor_ = 0;
    std::vector<QuillD3D::AdapterIdentifier> failedAdapters_;

    QuillD3D::Backend hardwareBackend_ = QuillD3D::Backend::Gl;
    QuillD3D::Backend softwareBackend_ = QuillD3D::Backend::Soft;
    std::function<void()> outOfVideoMemory_;
    std::function<bool()> pauseQuery_;
    std::function<void(const String&, const String&)> messageBox_;
    std::function<void(uint32_t)> sleep_;
};

} // namespace QuillEngine
