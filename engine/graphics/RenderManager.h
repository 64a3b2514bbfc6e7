#pragma once
// The renderer as the engine object and the window see it.
//
// Seam: this null renderer stands in until the device layer and the real renderer land. It
// keeps the device-state word, counts frames, reports each "presented" frame to the game and
// paints the window with the clear colour through the platform window, so the program shows
// a window of the right colour.

#include <cstdint>

#include "engine/core/Singleton.h"

namespace QuillPlatform {
class Window;
}

namespace QuillEngine {

class IQuillGame;

class CRenderManager : public Singleton<CRenderManager> {
public:
    // Device-state word bits.
    static constexpr uint32_t kStateLost = 0x100;
    static constexpr uint32_t kStateResetNeeded = 0x102;
    static constexpr uint32_t kStateReady = 0x1000;

    explicit CRenderManager(IQuillGame* game);
    ~CRenderManager();

    void SetDevicePreferences(bool softwareDevice, bool autoDetectSoftware);
    bool Init(QuillPlatform::Window* window, bool fullscreen);
    void RenderFrame(bool present);
    void Paint();
    void CheckMonitorChange();
    void ApplyDisplayMode(bool fullscreen);
    bool SetSoftwareDevice(bool on);
    void SetFrameDirty() { frameDirty_ = true; }
    uint32_t GetCursor() const { return 0; }

    uint32_t GetDeviceState() const { return deviceState_; }
    void SetDeviceState(uint32_t state) { deviceState_ = state; }
    bool IsReady() const { return (deviceState_ & kStateReady) != 0; }
    bool IsWindowed() const { return windowed_; }
    bool IsSoftwareDevice() const { return softwareDevice_; }

    void SetClearColor(uint32_t argb) { clearColor_ = argb; }
    void SetClearEnabled(bool on) { clearEnabled_ = on; }

    uint64_t FramesPresented() const { return framesPresented_; }

private:
    IQuillGame* game_;
    QuillPlatform::Window* window_ = nullptr;
    uint32_t deviceState_ = 0;
    bool windowed_ = true;
    bool softwareDevice_ = false;
    bool autoDetectSoftware_ = false;
    bool frameDirty_ = true;
    bool clearEnabled_ = false;
    uint32_t clearColor_ = 0xFF000000;
    uint64_t framesPresented_ = 0;
};

} // namespace QuillEngine
