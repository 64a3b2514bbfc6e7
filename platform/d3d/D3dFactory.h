#pragma once
// Entry points of the device layer: the two back ends, the factory call, and the fault injection
// that lets tests play adapters, lost devices and exhausted video memory on either back end.

#include <optional>
#include <string>
#include <vector>

#include "platform/d3d/D3dInterfaces.h"

namespace QuillD3D {

enum class Backend {
    Soft, // our rasteriser: the reference, and the headless device of the tests
    Gl,   // OpenGL 3.3 core through SDL
};

// An adapter as the factory reports it. Tests build these to play machines the code must handle.
struct AdapterDesc {
    AdapterIdentifier identifier;
    Caps caps;
    DisplayMode mode;
    Monitor monitor = 1;
    Result createDeviceResult = kOk;           // CreateDevice on this adapter fails with this when it is a failure
    uint32_t rejectedBehaviorFlags = 0;        // CreateDevice answers kErrInvalidCall when these flags are asked
    std::vector<Format> refusedAdapterFormats; // CheckDeviceFormat fails for these display formats
};

struct FaultInjection {
    bool unavailable = false; // the back end cannot be loaded: IsBackendAvailable false, no factory
    bool createFails = false; // Direct3DCreate answers none
    std::optional<std::vector<AdapterDesc>> adapters; // replaces the back end's own adapters
    uint32_t maxTextureSize = 0;                      // non-zero: caps report it and larger textures are refused
    int presentsBeforeLoss = -1; // >= 0: that many further Presents succeed, then the device is lost
    int lostPolls = 0;           // TestCooperativeLevel answers lost this often before "not reset"
    Result resetFailure = kOk;   // the next Reset fails with this code (once)
    int textureFailures = 0;     // the next N CreateTexture calls fail with textureFailure
    Result textureFailure = kErrOutOfVideoMemory;
};

// Process-wide injection per back end; devices consult it on every call that can fail.
FaultInjection& Faults(Backend backend);
void ResetFaults();

const char* BackendName(Backend backend);

// Stand-in for loading a runtime library: false when the back end cannot run here (no OpenGL
// 3.3 context can be made, or injected unavailable). The answer for gl is probed once.
bool IsBackendAvailable(Backend backend);

// Makes a factory with one reference, or none when the back end is unavailable.
IDirect3D* Direct3DCreate(Backend backend, uint32_t sdkVersion = kSdkVersion);

// The monitor a window is on (its SDL display index plus one); 1 without a window.
Monitor MonitorFromWindow(SDL_Window* window);

// The desktop rectangle of a monitor; false for a monitor that does not exist.
bool GetMonitorRect(Monitor monitor, Rect* rect);

// Which back end made a device; tests use it to label their output.
Backend DeviceBackend(IDevice* device);

} // namespace QuillD3D
