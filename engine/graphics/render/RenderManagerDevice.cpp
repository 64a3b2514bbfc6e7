// The renderer's device half: adapter selection, device creation, the device objects that must be
// rebuilt with every device or reset, and the reset itself.

#include <algorithm>
#include <utility>

#include "engine/core/FrameTimer.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/image/Image.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/RenderManagerContext.h"
#include "platform/window/Window.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

constexpr const char16_t* kEngineConfig = u"Engine.xml";
constexpr uint32_t kMinTextureSide = 1024;
constexpr uint32_t kPaceTargetSide = 32;
// Asked for on every system this runs on; a driver that refuses it gets a second attempt without.
constexpr uint32_t kCreateExtraFlag = 0x1000;

int TypeRank(DevType type)
{
    return type == DevTypeHal ? 0 : type == DevTypeSw ? 1 : 2;
}

} // namespace

namespace {

bool EngineConfigAsksSoftware()
{
    XmlCache* cache = XmlCache::Instance();
    const XmlNode* config = cache ? cache->Get(kEngineConfig) : nullptr;
    return config && config->FindChild(u"SoftwareDevice");
}

} // namespace

bool SoftwareDeviceChosen(bool preference, StringView commandLine)
{
    return preference || CommandLineAsksSoftware(commandLine) || EngineConfigAsksSoftware();
}

bool CRenderManager::WantsSoftwareDevice() const
{
    return fallback_ || softwareDevice_ || EngineConfigAsksSoftware() || commandLineSoftware_;
}

std::vector<std::pair<uint32_t, uint32_t>> CRenderManager::ReadAvoidList() const
{
    std::vector<std::pair<uint32_t, uint32_t>> list;
    XmlCache* cache = XmlCache::Instance();
    const XmlNode* config = cache ? cache->Get(kEngineConfig) : nullptr;
    const XmlNode* avoid = config ? config->FindChild(u"SoftwareDeviceAutoDetectList") : nullptr;
    if (!avoid)
        return list;
    for (const auto& child : avoid->Children()) {
        if (child->GetName() != u"Device")
            continue;
        String vendor, device;
        const uint32_t v = child->GetAttribute(u"vendorid", vendor) ? ToUInt(vendor) : 0;
        const uint32_t d = child->GetAttribute(u"deviceid", device) ? ToUInt(device) : 0;
        list.emplace_back(v, d);
    }
    return list;
}

bool CRenderManager::HardwareRuntimeAvailable() const
{
    if (!IsBackendAvailable(hardwareBackend_))
        return false;
    // The OpenGL back end draws only into a window made for OpenGL.
    return hardwareBackend_ != Backend::Gl || !window_ || window_->IsOpenGLCapable();
}

QuillD3D::DeviceWindow* CRenderManager::NativeWindow() const
{
    return window_ ? static_cast<QuillD3D::DeviceWindow*>(window_->NativeHandle()) : nullptr;
}

bool CRenderManager::SelectAdapter(bool software, const std::vector<AdapterIdentifier>& failed, AdapterChoice& out)
{
    bool softwarePath = software || !HardwareRuntimeAvailable();
    for (;;) {
        const Backend backend = softwarePath ? softwareBackend_ : hardwareBackend_;
        if (softwarePath && !IsBackendAvailable(backend))
            return false;
        IDirect3D* d3d = Direct3DCreate(backend);
        if (!d3d) {
            if (softwarePath)
                return false;
            fallback_ = true;
            softwarePath = true;
            continue;
        }

        std::vector<std::pair<uint32_t, uint32_t>> avoid;
        if (autoDetect_ && !softwarePath)
            avoid = ReadAvoidList();
        const Monitor windowMonitor = MonitorFromWindow(NativeWindow());

        struct Candidate {
            Caps caps;
            AdapterIdentifier identifier;
        };
        std::vector<Candidate> candidates;
        const uint32_t count = d3d->GetAdapterCount();
        for (uint32_t i = 0; i < count; ++i) {
            AdapterIdentifier id;
            if (Failed(d3d->GetAdapterIdentifier(i, 0, &id)))
                continue;
            if (std::find(failed.begin(), failed.end(), id) != failed.end())
                continue;
            if (!softwarePath) {
                if (d3d->GetAdapterMonitor(i) != windowMonitor)
                    continue;
                const bool avoided = std::any_of(avoid.begin(), avoid.end(), [&](const auto& entry) {
                    return entry.first == id.vendorId && (entry.second == 0 || entry.second == id.deviceId);
                });
                if (avoided)
                    continue;
            }
            Caps caps;
            if (Succeeded(d3d->GetDeviceCaps(i, DevTypeHal, &caps)))
                candidates.push_back({caps, id});
        }
        std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            const int ra = TypeRank(a.caps.deviceType), rb = TypeRank(b.caps.deviceType);
            if (ra != rb)
                return ra < rb;
            const bool ta = (a.caps.devCaps & DevCapsHwTransformAndLight) != 0;
            const bool tb = (b.caps.devCaps & DevCapsHwTransformAndLight) != 0;
            return ta && !tb;
        });
        for (const Candidate& c : candidates) {
            if (c.caps.maxTextureWidth >= kMinTextureSide && c.caps.maxTextureHeight >= kMinTextureSide) {
                out.d3d = d3d;
                out.backend = backend;
                out.caps = c.caps;
                out.identifier = c.identifier;
                out.software = softwarePath;
                softwareDevice_ = softwarePath;
                return true;
            }
        }
        d3d->Release();
        if (softwarePath)
            return false;
        // Adapters too small for our textures: the software rasteriser for good.
        if (!candidates.empty())
            fallback_ = true;
        softwarePath = true;
    }
}

bool CRenderManager::TryCreateOn(AdapterChoice& choice)
{
    IDirect3D* d3d = choice.d3d;
    const uint32_t adapter = choice.caps.adapterOrdinal;
    DisplayMode mode;
    if (Succeeded(d3d->GetAdapterDisplayMode(adapter, &mode)))
        displayFormat_ = mode.format;

    const DevType type = choice.caps.deviceType;
    if (Succeeded(d3d->CheckDeviceFormat(adapter, type, FmtX8R8G8B8, 0, RTypeTexture, FmtA8R8G8B8)))
        fullscreenFormat_ = FmtX8R8G8B8;
    else if (Succeeded(d3d->CheckDeviceFormat(adapter, type, FmtR5G6B5, 0, RTypeTexture, FmtR5G6B5)))
        fullscreenFormat_ = FmtR5G6B5;
    else
        return false;

    params_.backBufferFormat = params_.windowed ? displayFormat_ : fullscreenFormat_;
    params_.presentationInterval = params_.windowed ? PresentIntervalDefault : PresentIntervalOne;

    const bool hardwareTnl = (choice.caps.devCaps & DevCapsHwTransformAndLight) && type == DevTypeHal;
    uint32_t flags = hardwareTnl ? CreateHardwareVertexProcessing : CreateSoftwareVertexProcessing;
    flags |= kCreateExtraFlag;
    PresentParameters pp = params_;
    IDevice* device = nullptr;
    Result r = d3d->CreateDevice(adapter, type, NativeWindow(), flags, &pp, &device);
    if (r == kErrInvalidCall) {
        pp = params_;
        r = d3d->CreateDevice(adapter, type, NativeWindow(), flags & ~kCreateExtraFlag, &pp, &device);
    }
    if (Failed(r) || !device)
        return false;
    params_ = pp;
    device_ = device;
    backend_ = choice.backend;
    caps_ = choice.caps;
    adapterMonitor_ = d3d->GetAdapterMonitor(adapter);
    return true;
}

CRenderManager::CreateResult CRenderManager::CreateDevice()
{
    const bool software = WantsSoftwareDevice();
    failedAdapters_.clear();
    if (remakeWindow_ && window_ && !software && hardwareBackend_ == Backend::Gl && !window_->IsOpenGLCapable())
        window_->Remake(true); // when that fails the window stays as it is, and draws in software
    for (;;) {
        AdapterChoice choice;
        if (!SelectAdapter(software, failedAdapters_, choice)) {
            ShowNoDisplayMessage();
            return CreateResult::NoAdapter;
        }
        // The software renderer presents through the window system: a window made for OpenGL
        // (left from a failed hardware start or from the other renderer) is made again without.
        if (remakeWindow_ && window_ && choice.software && window_->IsOpenGLCapable())
            window_->Remake(false);
        params_.deviceWindow = NativeWindow();
        if (TryCreateOn(choice)) {
            d3d_ = choice.d3d;
            break;
        }
        choice.d3d->Release();
        failedAdapters_.push_back(choice.identifier);
    }
    autoDetect_ = false;

    context_ = std::make_unique<CRenderManagerContext>(device_, true);
    ApplyDefaultRenderStates();
    batcher_ = std::make_unique<QuadBatcher>(this);
    if (!batcher_->Create())
        return CreateResult::Failed;
    if (!canvasManager_) {
        canvasManager_ = std::make_unique<CRenderCanvasManager>(this);
        AddDeviceResetListener(canvasManager_.get());
        if (!canvasManager_->Init())
            return CreateResult::Failed;
    }
    if (Failed(device_->CreateOffscreenPlainSurface(kPaceTargetSide, kPaceTargetSide, params_.backBufferFormat,
                                                    PoolSystemMem, &paceCopy_)))
        paceCopy_ = nullptr;
    if (ResourceCache* cache = ResourceCache::Instance())
        cache->ReloadQueued();
    if (FrameTimer* timer = FrameTimer::Instance())
        timer->Resync();
    return RestoreDeviceObjects() ? CreateResult::Created : CreateResult::Failed;
}

void CRenderManager::ApplyDefaultRenderStates()
{
    if (!context_)
        return;
    context_->SetForce(true);
    context_->SetRenderState(RsCullMode, CullNone);
    context_->SetRenderState(RsLighting, 0);
    context_->SetRenderState(RsZEnable, 0);
    context_->SetRenderState(RsAlphaTestEnable, 1);
    context_->SetRenderState(RsAlphaRef, 1);
    context_->SetRenderState(RsAlphaFunc, CmpGreaterEqual);
    context_->SetRenderState(RsZFunc, CmpGreater);
    context_->SetForce(false);
}

void CRenderManager::AddDeviceResetListener(IDeviceResetListener* listener)
{
    if (listener && std::find(resetListeners_.begin(), resetListeners_.end(), listener) == resetListeners_.end())
        resetListeners_.push_back(listener);
}

void CRenderManager::RemoveDeviceResetListener(IDeviceResetListener* listener)
{
    resetListeners_.erase(std::remove(resetListeners_.begin(), resetListeners_.end(), listener), resetListeners_.end());
}

bool CRenderManager::IsDeviceResetListener(IDeviceResetListener* listener) const
{
    return std::find(resetListeners_.begin(), resetListeners_.end(), listener) != resetListeners_.end();
}

void CRenderManager::NotifyDeviceLost()
{
    // A snapshot, each entry re-checked before its call: a listener may remove itself or another.
    const std::vector<IDeviceResetListener*> listeners = resetListeners_;
    for (IDeviceResetListener* listener : listeners)
        if (IsDeviceResetListener(listener))
            listener->OnDeviceLost();
}

bool CRenderManager::NotifyDeviceRestored()
{
    bool ok = true;
    const std::vector<IDeviceResetListener*> listeners = resetListeners_;
    for (IDeviceResetListener* listener : listeners)
        if (IsDeviceResetListener(listener))
            ok = listener->OnDeviceRestored() && ok;
    return ok;
}

bool CRenderManager::RestoreDeviceObjects()
{
    if (!device_)
        return false;
    bool ok = true;
    for (CDynamicVertexBuffer* b = vertexBuffers_.Next(); b; b = b->Next())
        ok = b->CreateDeviceBuffer(device_) && ok;
    for (CDynamicIndexBuffer* b = indexBuffers_.Next(); b; b = b->Next())
        ok = b->CreateDeviceBuffer(device_) && ok;
    if (batcher_)
        batcher_->Restore();
    ok = NotifyDeviceRestored() && ok;
    for (ISurface*& target : paceTargets_) {
        if (!target && Failed(device_->CreateRenderTarget(kPaceTargetSide, kPaceTargetSide, params_.backBufferFormat, 0,
                                                          0, false, &target))) {
            target = nullptr;
            ok = false;
        }
    }
    // A cursor that cannot be shown leaves the system pointer; it does not make the device unusable.
    ApplyHardwareCursor();
    return CreateFrameTexture() && ok;
}

bool CRenderManager::CreateFrameTexture()
{
    if (frameTexture_)
        return true;
    const uint32_t w = params_.backBufferWidth, h = params_.backBufferHeight;
    Result r =
        device_->CreateTexture(w, h, 1, UsageRenderTarget, params_.backBufferFormat, PoolDefault, &frameTexture_);
    if (r == kErrOutOfVideoMemory) {
        SetDeviceState(kStateOutOfVideoMemory);
        return false;
    }
    uint32_t tw = w, th = h;
    if (Failed(r)) {
        // Devices that only take power-of-two textures get the next size up.
        tw = NextPowerOfTwo(w);
        th = NextPowerOfTwo(h);
        r = tw == 0 || th == 0 ? kErrInvalidCall
                               : device_->CreateTexture(tw, th, 1, UsageRenderTarget, params_.backBufferFormat,
                                                        PoolDefault, &frameTexture_);
        if (r == kErrOutOfVideoMemory)
            SetDeviceState(kStateOutOfVideoMemory);
        if (Failed(r)) {
            frameTexture_ = nullptr;
            return false;
        }
    }
    frameTextureWidth_ = tw;
    frameTextureHeight_ = th;
    return true;
}

void CRenderManager::ReleaseDeviceObjects()
{
    ForgetLastFrame(); // the kept runs hold textures of this device
    NotifyDeviceLost();
    for (CDynamicVertexBuffer* b = vertexBuffers_.Next(); b; b = b->Next())
        b->ReleaseDeviceBuffer();
    for (CDynamicIndexBuffer* b = indexBuffers_.Next(); b; b = b->Next())
        b->ReleaseDeviceBuffer();
    for (ISurface*& target : paceTargets_) {
        if (target)
            std::exchange(target, nullptr)->Release();
    }
    if (frameTexture_)
        std::exchange(frameTexture_, nullptr)->Release();
    frameTextureWidth_ = frameTextureHeight_ = 0;
}

void CRenderManager::ReleaseDevice()
{
    ReleaseDeviceObjects();
    if (device_) {
        if (ResourceCache* cache = ResourceCache::Instance())
            cache->QueueDeviceResources();
    }
    batcher_.reset();
    if (paceCopy_)
        std::exchange(paceCopy_, nullptr)->Release();
    context_.reset();
    ReleaseCursorTextures();
    if (device_)
        std::exchange(device_, nullptr)->Release();
    if (d3d_)
        std::exchange(d3d_, nullptr)->Release();
}

bool CRenderManager::ResetDevice()
{
    if (!device_)
        return false;
    PresentParameters pp = params_;
    const Result r = device_->Reset(&pp);
    if (Succeeded(r)) {
        params_ = pp;
        // The device is back at its default state: nothing the cache remembers holds any more.
        if (context_)
            context_->MarkAllUnknown();
        ApplyDefaultRenderStates();
        return true;
    }
    if (r == kErrOutOfVideoMemory)
        SetDeviceState(kStateOutOfVideoMemory);
    else if (r == kErrDriverInternalError)
        SetDeviceState(kStateDriverError);
    else if (r == kErrDeviceLost)
        SetDeviceState(kStateDeviceLost);
    else
        SetDeviceState(kStateResetFailed);
    return false;
}

std::unique_ptr<CDynamicVertexBuffer> CRenderManager::CreateDynamicVertexBuffer(uint32_t capacity, uint32_t stride,
                                                                                uint32_t fvf)
{
    auto buffer = std::make_unique<CDynamicVertexBuffer>(capacity, stride, fvf);
    buffer->LinkAfter(vertexBuffers_);
    return buffer;
}

std::unique_ptr<CDynamicIndexBuffer> CRenderManager::CreateDynamicIndexBuffer(uint32_t capacity)
{
    auto buffer = std::make_unique<CDynamicIndexBuffer>(capacity);
    buffer->LinkAfter(indexBuffers_);
    return buffer;
}

} // namespace QuillEngine
