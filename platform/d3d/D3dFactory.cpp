#include "platform/d3d/D3dFactory.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>

#include "platform/d3d/Backends.h"
#include "platform/system/GraphicsDriver.h"

namespace QuillD3D {

using namespace Detail;

namespace {

FaultInjection g_faults[2];

void CopyText(char* out, size_t size, const std::string& text)
{
    std::snprintf(out, size, "%s", text.c_str());
}

uint32_t VendorFromName(const std::string& vendor)
{
    auto has = [&](const char* s) { return vendor.find(s) != std::string::npos; };
    if (has("Intel")) {
        return 0x8086;
    }
    if (has("NVIDIA")) {
        return 0x10DE;
    }
    if (has("AMD") || has("ATI") || has("Advanced Micro")) {
        return 0x1002;
    }
    return 0;
}

// The adapters a back end has here: one per display, all of one device.
std::vector<AdapterDesc> RealAdapters(Backend backend)
{
    std::vector<AdapterDesc> out;
    const int displays = SDL_WasInit(SDL_INIT_VIDEO) ? std::max(1, SDL_GetNumVideoDisplays()) : 1;
    const GlProbe* gl = backend == Backend::Gl ? &ProbeGl() : nullptr;
    for (int i = 0; i < displays; ++i) {
        AdapterDesc a;
        SDL_DisplayMode dm{};
        if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(i, &dm) == 0) {
            a.mode.width = static_cast<uint32_t>(dm.w);
            a.mode.height = static_cast<uint32_t>(dm.h);
            a.mode.refreshRate = static_cast<uint32_t>(dm.refresh_rate);
            a.mode.format = FmtX8R8G8B8; // our targets are 32-bit whatever the desktop depth
        } else {
            a.mode = {1024, 768, 60, FmtX8R8G8B8};
        }
        a.monitor = static_cast<Monitor>(i + 1);
        auto& id = a.identifier;
        std::snprintf(id.deviceName, sizeof id.deviceName, "display %d", i);
        a.caps.deviceType = DevTypeHal;
        a.caps.adapterOrdinal = static_cast<uint32_t>(i);
        a.caps.cursorCaps = CursorCapsColor | CursorCapsLowRes;
        a.caps.textureFilterCaps = 0x0202'0202; // point and linear, minification and magnification
        a.caps.maxPrimitiveCount = 0xFFFFF;
        a.caps.maxVertexIndex = 0xFFFF;
        a.caps.maxStreams = 1;
        a.caps.presentationIntervals = PresentIntervalOne | 0x80000000u;
        if (gl) {
            CopyText(id.driver, sizeof id.driver, "quill_gl " + gl->version);
            CopyText(id.description, sizeof id.description, gl->renderer);
            id.vendorId = VendorFromName(gl->vendor);
            const char tag[] = "QUILL-GL";
            std::memcpy(id.deviceIdentifier.bytes, tag, sizeof tag - 1);
            a.caps.devCaps = DevCapsHwTransformAndLight;
            a.caps.maxTextureWidth = a.caps.maxTextureHeight = std::min<uint32_t>(gl->maxTextureSize, 8192);
        } else {
            CopyText(id.driver, sizeof id.driver, "quill_soft");
            CopyText(id.description, sizeof id.description, "Quill software rasteriser");
            const char tag[] = "QUILL-SOFT";
            std::memcpy(id.deviceIdentifier.bytes, tag, sizeof tag - 1);
            a.caps.maxTextureWidth = a.caps.maxTextureHeight = 4096;
        }
        out.push_back(a);
    }
    return out;
}

class CDirect3D final : public IDirect3D {
public:
    explicit CDirect3D(Backend backend) : backend_(backend)
    {
        QuillPlatform::PreferDrawingInTheCallingThread();
        videoInit_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        const FaultInjection& f = Faults(backend);
        adapters_ = f.adapters ? *f.adapters : RealAdapters(backend);
    }

    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override
    {
        const uint32_t left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    uint32_t GetAdapterCount() override { return static_cast<uint32_t>(adapters_.size()); }

    Result GetAdapterIdentifier(uint32_t adapter, uint32_t, AdapterIdentifier* identifier) override
    {
        if (adapter >= adapters_.size() || !identifier) {
            return kErrInvalidCall;
        }
        *identifier = adapters_[adapter].identifier;
        return kOk;
    }

    Result GetAdapterDisplayMode(uint32_t adapter, DisplayMode* mode) override
    {
        if (adapter >= adapters_.size() || !mode) {
            return kErrInvalidCall;
        }
        *mode = adapters_[adapter].mode;
        return kOk;
    }

    Monitor GetAdapterMonitor(uint32_t adapter) override
    {
        return adapter < adapters_.size() ? adapters_[adapter].monitor : 0;
    }

    Result GetDeviceCaps(uint32_t adapter, DevType type, Caps* caps) override
    {
        if (adapter >= adapters_.size() || !caps) {
            return kErrInvalidCall;
        }
        if (type != DevTypeHal) {
            return kErrNotAvailable;
        }
        *caps = adapters_[adapter].caps;
        const uint32_t limit = Faults(backend_).maxTextureSize;
        if (limit) {
            caps->maxTextureWidth = std::min(caps->maxTextureWidth, limit);
            caps->maxTextureHeight = std::min(caps->maxTextureHeight, limit);
        }
        return kOk;
    }

    Result CheckDeviceFormat(uint32_t adapter, DevType type, Format adapterFormat, uint32_t usage,
                             ResourceType resourceType, Format checkFormat) override
    {
        if (adapter >= adapters_.size()) {
            return kErrInvalidCall;
        }
        const auto& refused = adapters_[adapter].refusedAdapterFormats;
        if (type != DevTypeHal || (adapterFormat != FmtX8R8G8B8 && adapterFormat != FmtR5G6B5) ||
            std::find(refused.begin(), refused.end(), adapterFormat) != refused.end()) {
            return kErrNotAvailable;
        }
        if (usage & UsageDepthStencil) {
            return checkFormat == FmtD16 && resourceType == RTypeSurface ? kOk : kErrNotAvailable;
        }
        const bool target = checkFormat == FmtA8R8G8B8 || checkFormat == FmtX8R8G8B8;
        if (usage & UsageRenderTarget) {
            return target ? kOk : kErrNotAvailable;
        }
        const bool colour = target || checkFormat == FmtR5G6B5;
        return colour && (resourceType == RTypeTexture || resourceType == RTypeSurface) ? kOk : kErrNotAvailable;
    }

    Result CreateDevice(uint32_t adapter, DevType type, SDL_Window* focusWindow, uint32_t behaviorFlags,
                        PresentParameters* params, IDevice** device) override
    {
        if (!device) {
            return kErrInvalidCall;
        }
        *device = nullptr;
        if (adapter >= adapters_.size() || !params || type != DevTypeHal) {
            return kErrInvalidCall;
        }
        const AdapterDesc& a = adapters_[adapter];
        if (Failed(a.createDeviceResult)) {
            return a.createDeviceResult;
        }
        if (behaviorFlags & a.rejectedBehaviorFlags) {
            return kErrInvalidCall;
        }
        PresentParameters pp = *params;
        if (!pp.deviceWindow) {
            pp.deviceWindow = focusWindow;
        }
        AdapterInfo info{a, adapter};
        CDeviceBase* d = backend_ == Backend::Soft ? NewSoftDevice(info, pp) : NewGlDevice(info, pp);
        if (!d) {
            return kErrNotAvailable;
        }
        if (Result r = d->Initialise(); Failed(r)) {
            d->Release();
            return r;
        }
        d->SetFactory(this);
        *params = d->Params(); // as the classic call does: sizes and formats it chose are reported
        *device = d;
        return kOk;
    }

private:
    ~CDirect3D() override
    {
        if (videoInit_) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }

    Backend backend_;
    uint32_t refs_ = 1;
    bool videoInit_ = false;
    std::vector<AdapterDesc> adapters_;
};

} // namespace

FaultInjection& Faults(Backend backend)
{
    return g_faults[backend == Backend::Soft ? 0 : 1];
}

void ResetFaults()
{
    g_faults[0] = FaultInjection{};
    g_faults[1] = FaultInjection{};
}

const char* BackendName(Backend backend)
{
    return backend == Backend::Soft ? "soft" : "gl";
}

bool IsBackendAvailable(Backend backend)
{
    if (Faults(backend).unavailable) {
        return false;
    }
    // Injected adapters stand for a machine of the test's making; the runtime counts as present.
    if (backend == Backend::Soft || Faults(backend).adapters) {
        return true;
    }
    QuillPlatform::PreferDrawingInTheCallingThread();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    const bool ok = ProbeGl().available;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return ok;
}

IDirect3D* Direct3DCreate(Backend backend, uint32_t sdkVersion)
{
    if (sdkVersion != kSdkVersion || !IsBackendAvailable(backend) || Faults(backend).createFails) {
        return nullptr;
    }
    return new CDirect3D(backend);
}

Monitor MonitorFromWindow(SDL_Window* window)
{
    if (!window) {
        return 1;
    }
    const int index = SDL_GetWindowDisplayIndex(window);
    return static_cast<Monitor>(index < 0 ? 1 : index + 1);
}

bool GetMonitorRect(Monitor monitor, Rect* rect)
{
    SDL_Rect r;
    if (!rect || monitor == 0 || !SDL_WasInit(SDL_INIT_VIDEO) ||
        SDL_GetDisplayBounds(static_cast<int>(monitor - 1), &r) != 0) {
        return false;
    }
    *rect = {r.x, r.y, r.x + r.w, r.y + r.h};
    return true;
}

Backend DeviceBackend(IDevice* device)
{
    return static_cast<CDeviceBase*>(device)->GetBackend();
}

} // namespace QuillD3D
