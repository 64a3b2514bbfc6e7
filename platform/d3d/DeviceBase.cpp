#include "platform/d3d/DeviceBase.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>
#include <utility>

namespace QuillD3D::Detail {

namespace {

// Vertices a draw of `count` primitives reads.
uint64_t VerticesFor(PrimitiveType type, uint32_t count)
{
    switch (type) {
    case PtPointList:
        return count;
    case PtLineList:
        return 2ull * count;
    case PtLineStrip:
        return count + 1ull;
    case PtTriangleList:
        return 3ull * count;
    case PtTriangleStrip:
    case PtTriangleFan:
        return count + 2ull;
    }
    return 0;
}

bool KnownPrimitive(PrimitiveType type)
{
    return type >= PtLineList && type <= PtTriangleFan;
}

} // namespace

bool AlphaTestChangesNothing(const uint32_t* rs, bool depthWrites)
{
    if (!rs[RsAlphaTestEnable]) {
        return true;
    }
    const uint32_t func = rs[RsAlphaFunc], ref = rs[RsAlphaRef] & 255;
    if (func == CmpAlways || (func == CmpGreaterEqual && ref == 0)) {
        return true;
    }
    const bool dropsOnlyZero =
        (func == CmpGreaterEqual && ref == 1) || (func == CmpGreater && ref == 0) || (func == CmpNotEqual && ref == 0);
    const bool zeroLeavesTarget = rs[RsAlphaBlendEnable] && rs[RsSrcBlend] == BlendSrcAlpha &&
                                  (rs[RsDestBlend] == BlendInvSrcAlpha || rs[RsDestBlend] == BlendOne);
    return dropsOnlyZero && zeroLeavesTarget && !depthWrites;
}

VertexLayout DescribeFvf(uint32_t fvf)
{
    VertexLayout l;
    const uint32_t texCount = (fvf >> 8) & 0xF;
    if ((fvf & 0x00E) != FvfXyzRhw || texCount > 1 || (fvf & ~(0x00Eu | FvfDiffuse | 0xF00u)) != 0) {
        return l;
    }
    l.size = 16;
    if (fvf & FvfDiffuse) {
        l.colorOffset = static_cast<int>(l.size);
        l.size += 4;
    }
    if (texCount == 1) {
        l.texOffset = static_cast<int>(l.size);
        l.size += 8;
    }
    l.valid = true;
    return l;
}

CDeviceBase::CDeviceBase(Backend backend, const AdapterInfo& adapter, const PresentParameters& params)
    : backend_(backend), adapter_(adapter), params_(params), faults_(Faults(backend)),
      link_(std::make_shared<DeviceLink>())
{
    link_->device = this;
}

CDeviceBase::~CDeviceBase()
{
    if (sdlCursor_) {
        SDL_FreeCursor(static_cast<SDL_Cursor*>(sdlCursor_));
    }
    link_->device = nullptr;
}

void CDeviceBase::Shutdown()
{
    ReleaseBindings();
    DestroySurfaces();
}

namespace {

Arg ToArg(uint32_t ta)
{
    switch (ta & 0xF) {
    case TaDiffuse:
    case TaCurrent:
        return Arg::Diffuse;
    case TaTexture:
        return Arg::Texture;
    case TaTFactor:
        return Arg::Factor;
    default:
        return Arg::White;
    }
}

CombinerTerm ToTerm(uint32_t op, uint32_t arg1, uint32_t arg2)
{
    switch (op) {
    case TopDisable:
        return {Arg::Diffuse, Arg::White};
    case TopSelectArg1:
        return {ToArg(arg1), Arg::White};
    case TopSelectArg2:
        return {ToArg(arg2), Arg::White};
    default: // MODULATE; other operations are not supported and modulate
        return {ToArg(arg1), ToArg(arg2)};
    }
}

} // namespace

void CDeviceBase::StageTerms(CombinerTerm* color, CombinerTerm* alpha) const
{
    const auto& st = stageStates_[0];
    *color = ToTerm(st[TssColorOp], st[TssColorArg1], st[TssColorArg2]);
    *alpha = st[TssColorOp] == TopDisable ? CombinerTerm{Arg::Diffuse, Arg::White}
                                          : ToTerm(st[TssAlphaOp], st[TssAlphaArg1], st[TssAlphaArg2]);
}

bool CDeviceBase::LinearFilter() const
{
    return samplerStates_[0][SampMagFilter] >= FilterLinear || samplerStates_[0][SampMinFilter] >= FilterLinear;
}

uint32_t CDeviceBase::Release()
{
    const uint32_t left = --refs_;
    if (left == 0) {
        IUnknownLike* factory = factory_;
        delete this;
        if (factory) {
            factory->Release(); // last: the device's teardown may still need what it keeps
        }
    }
    return left;
}

void CDeviceBase::SetFactory(IUnknownLike* factory)
{
    if (factory) {
        factory->AddRef();
    }
    if (factory_) {
        factory_->Release();
    }
    factory_ = factory;
}

Result CDeviceBase::Initialise()
{
    if (params_.backBufferFormat == FmtUnknown) {
        params_.backBufferFormat = adapter_.desc.mode.format;
    }
    if (!IsTargetFormat(params_.backBufferFormat) || params_.backBufferCount > 1 || params_.multiSampleType != 0 ||
        (params_.enableAutoDepthStencil && params_.autoDepthStencilFormat != FmtD16)) {
        return kErrInvalidCall;
    }
    if (Result r = ApplyWindowMode(); Failed(r)) {
        return r;
    }
    if (Result r = CreateSurfaces(); Failed(r)) {
        return r;
    }
    ResetStates();
    renderTarget_ = backBuffer_;
    renderTarget_->Bind();
    return kOk;
}

Result CDeviceBase::ApplyWindowMode()
{
    if (params_.deviceWindow) {
        SDL_SetWindowFullscreen(params_.deviceWindow, params_.windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (params_.backBufferWidth == 0 || params_.backBufferHeight == 0) {
        int w = 800, h = 600;
        if (params_.deviceWindow) {
            SDL_GetWindowSize(params_.deviceWindow, &w, &h);
        }
        params_.backBufferWidth = params_.backBufferWidth ? params_.backBufferWidth : static_cast<uint32_t>(w);
        params_.backBufferHeight = params_.backBufferHeight ? params_.backBufferHeight : static_cast<uint32_t>(h);
    }
    if (Failed(CheckTextureSize(params_.backBufferWidth, params_.backBufferHeight))) {
        return kErrInvalidCall;
    }
    return kOk;
}

void CDeviceBase::ResetStates()
{
    std::fill(std::begin(renderStates_), std::end(renderStates_), 0u);
    renderStates_[RsZEnable] = params_.enableAutoDepthStencil ? 1 : 0;
    renderStates_[RsFillMode] = 3;
    renderStates_[RsShadeMode] = 2;
    renderStates_[RsZWriteEnable] = 1;
    renderStates_[RsLastPixel] = 1;
    renderStates_[RsSrcBlend] = BlendOne;
    renderStates_[RsDestBlend] = BlendZero;
    renderStates_[RsCullMode] = CullCcw;
    renderStates_[RsZFunc] = CmpLessEqual;
    renderStates_[RsAlphaFunc] = CmpAlways;
    renderStates_[RsTextureFactor] = 0xFFFFFFFFu;
    renderStates_[RsLighting] = 1;
    renderStates_[RsColorWriteEnable] = 0xF;
    renderStates_[RsBlendOp] = 1;
    for (auto& sampler : samplerStates_) {
        std::fill(std::begin(sampler), std::end(sampler), 0u);
        sampler[SampAddressU] = sampler[SampAddressV] = sampler[SampAddressW] = AddressWrap;
        sampler[SampMagFilter] = sampler[SampMinFilter] = FilterPoint;
        sampler[SampMipFilter] = FilterNone;
    }
    for (uint32_t s = 0; s < kTextureStageCount; ++s) {
        auto& st = stageStates_[s];
        std::fill(std::begin(st), std::end(st), 0u);
        st[TssColorOp] = s == 0 ? TopModulate : TopDisable;
        st[TssColorArg1] = TaTexture;
        st[TssColorArg2] = TaCurrent;
        st[TssAlphaOp] = s == 0 ? TopSelectArg1 : TopDisable;
        st[TssAlphaArg1] = TaTexture;
        st[TssAlphaArg2] = TaCurrent;
        st[TssTexCoordIndex] = s;
    }
    fvf_ = 0;
}

void CDeviceBase::ReleaseBindings()
{
    for (auto& t : textures_) {
        if (t) {
            std::exchange(t, nullptr)->ReleaseBinding();
        }
    }
    for (auto& s : streams_) {
        if (s.buffer) {
            std::exchange(s.buffer, nullptr)->ReleaseBinding();
        }
        s.offset = s.stride = 0;
    }
    if (indices_) {
        std::exchange(indices_, nullptr)->ReleaseBinding();
    }
    if (renderTarget_) {
        std::exchange(renderTarget_, nullptr)->Unbind();
    }
}

Result CDeviceBase::CheckTextureSize(uint32_t width, uint32_t height) const
{
    uint32_t maxW = adapter_.desc.caps.maxTextureWidth, maxH = adapter_.desc.caps.maxTextureHeight;
    if (faults_.maxTextureSize) {
        maxW = std::min(maxW, faults_.maxTextureSize);
        maxH = std::min(maxH, faults_.maxTextureSize);
    }
    if (width == 0 || height == 0 || width > maxW || height > maxH) {
        return kErrInvalidCall;
    }
    return kOk;
}

// --- lost device, reset, present --------------------------------------------------------------

Result CDeviceBase::TestCooperativeLevel()
{
    switch (lost_) {
    case Lost::No:
        return kOk;
    case Lost::Lost:
        if (lostPollsLeft_ > 0) {
            --lostPollsLeft_;
            return kErrDeviceLost;
        }
        lost_ = Lost::NotReset;
        return kErrDeviceNotReset;
    case Lost::NotReset:
        return kErrDeviceNotReset;
    }
    return kOk;
}

Result CDeviceBase::Reset(PresentParameters* params)
{
    if (!params) {
        return kErrInvalidCall;
    }
    if (lost_ == Lost::Lost && lostPollsLeft_ > 0) {
        return kErrDeviceLost;
    }
    // As with the classic device, everything of the default pool must be released first.
    if (liveDefaultResources_ > 0) {
        lost_ = Lost::NotReset;
        return kErrInvalidCall;
    }
    if (faults_.resetFailure != kOk) {
        const Result r = std::exchange(faults_.resetFailure, kOk);
        lost_ = r == kErrDeviceLost ? Lost::Lost : Lost::NotReset;
        lostPollsLeft_ = 0;
        return r;
    }
    ReleaseBindings();
    DestroySurfaces();
    const PresentParameters old = params_;
    params_ = *params;
    if (params_.backBufferFormat == FmtUnknown) {
        params_.backBufferFormat = adapter_.desc.mode.format;
    }
    Result r = kOk;
    if (!IsTargetFormat(params_.backBufferFormat) || params_.multiSampleType != 0 ||
        (params_.enableAutoDepthStencil && params_.autoDepthStencilFormat != FmtD16)) {
        r = kErrInvalidCall;
    } else {
        r = ApplyWindowMode();
    }
    if (Succeeded(r)) {
        r = CreateSurfaces();
    }
    if (Failed(r)) {
        // Keep a usable back buffer of the old shape so that the device stays consistent.
        params_ = old;
        if (Failed(CreateSurfaces())) {
            return kErrDriverInternalError;
        }
        renderTarget_ = backBuffer_;
        renderTarget_->Bind();
        lost_ = Lost::NotReset;
        return r;
    }
    *params = params_;
    ResetStates();
    renderTarget_ = backBuffer_;
    renderTarget_->Bind();
    lost_ = Lost::No;
    inScene_ = false;
    return kOk;
}

Result CDeviceBase::Present()
{
    return PresentRects(0, nullptr);
}

Result CDeviceBase::SetClipRect(const Rect* rect)
{
    if (rect && (rect->left > rect->right || rect->top > rect->bottom)) {
        return kErrInvalidCall;
    }
    return DoSetClipRect(rect) ? kOk : kErrInvalidCall;
}

Result CDeviceBase::PresentRects(uint32_t count, const Rect* rects)
{
    if (count > 0 && !rects) {
        return kErrInvalidCall;
    }
    if (lost_ != Lost::No) {
        return kErrDeviceLost;
    }
    if (inScene_) {
        return kErrInvalidCall;
    }
    if (faults_.presentsBeforeLoss == 0) {
        faults_.presentsBeforeLoss = -1;
        lost_ = Lost::Lost;
        lostPollsLeft_ = faults_.lostPolls;
        return kErrDeviceLost;
    }
    if (faults_.presentsBeforeLoss > 0) {
        --faults_.presentsBeforeLoss;
    }
    return count > 0 ? DoPresentRects(count, rects) : DoPresent();
}

Result CDeviceBase::GetDeviceCaps(Caps* caps)
{
    if (!caps) {
        return kErrInvalidCall;
    }
    *caps = adapter_.desc.caps;
    if (faults_.maxTextureSize) {
        caps->maxTextureWidth = std::min(caps->maxTextureWidth, faults_.maxTextureSize);
        caps->maxTextureHeight = std::min(caps->maxTextureHeight, faults_.maxTextureSize);
    }
    return kOk;
}

Result CDeviceBase::GetDisplayMode(uint32_t swapChain, DisplayMode* mode)
{
    if (swapChain != 0 || !mode) {
        return kErrInvalidCall;
    }
    *mode = adapter_.desc.mode;
    return kOk;
}

Result CDeviceBase::GetBackBuffer(uint32_t swapChain, uint32_t index, BackBufferType type, ISurface** surface)
{
    if (swapChain != 0 || index != 0 || type != BackBufferMono || !surface || !backBuffer_) {
        return kErrInvalidCall;
    }
    backBuffer_->AddRef();
    *surface = backBuffer_;
    return kOk;
}

Result CDeviceBase::GetFrontBufferData(uint32_t swapChain, ISurface* destination)
{
    auto* dst = static_cast<CSurface*>(destination);
    if (swapChain != 0 || !dst || dst->Container() || dst->Desc().pool != PoolSystemMem ||
        dst->Width() != params_.backBufferWidth || dst->Height() != params_.backBufferHeight ||
        dst->Desc().format != params_.backBufferFormat) {
        return kErrInvalidCall;
    }
    if (lost_ != Lost::No) {
        return kErrDeviceLost;
    }
    return DoReadFrontBuffer(dst);
}

// --- scene, clear, states ---------------------------------------------------------------------

Result CDeviceBase::BeginScene()
{
    if (inScene_) {
        return kErrInvalidCall;
    }
    inScene_ = true;
    return kOk;
}

Result CDeviceBase::EndScene()
{
    if (!inScene_) {
        return kErrInvalidCall;
    }
    inScene_ = false;
    return kOk;
}

Result CDeviceBase::Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z, uint32_t)
{
    if ((rectCount > 0 && !rects) || flags == 0 || (flags & ~(ClearTarget | ClearZBuffer)) ||
        ((flags & ClearZBuffer) && !params_.enableAutoDepthStencil) || !(z >= 0.0f && z <= 1.0f)) {
        return kErrInvalidCall;
    }
    if (lost_ != Lost::No) {
        return kOk;
    }
    if (flags & ClearTarget) {
        NoteTargetWrite();
    }
    DoClear(rectCount, rects, flags, color, z);
    return kOk;
}

Result CDeviceBase::SetRenderState(uint32_t state, uint32_t value)
{
    if (state >= kRenderStateCount) {
        return kErrInvalidCall;
    }
    renderStates_[state] = value;
    return kOk;
}

Result CDeviceBase::GetRenderState(uint32_t state, uint32_t* value)
{
    if (state >= kRenderStateCount || !value) {
        return kErrInvalidCall;
    }
    *value = renderStates_[state];
    return kOk;
}

Result CDeviceBase::SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value)
{
    if (sampler >= kSamplerCount || type >= kSamplerStateCount) {
        return kErrInvalidCall;
    }
    samplerStates_[sampler][type] = value;
    return kOk;
}

Result CDeviceBase::SetTexture(uint32_t stage, ITexture* texture)
{
    if (stage >= kSamplerCount) {
        return kErrInvalidCall;
    }
    auto* t = static_cast<CTexture*>(texture);
    if (t) {
        t->AddBinding();
    }
    if (textures_[stage]) {
        textures_[stage]->ReleaseBinding();
    }
    textures_[stage] = t;
    return kOk;
}

Result CDeviceBase::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value)
{
    if (stage >= kTextureStageCount || type >= kTextureStageStateCount) {
        return kErrInvalidCall;
    }
    stageStates_[stage][type] = value;
    return kOk;
}

Result CDeviceBase::SetFVF(uint32_t fvf)
{
    fvf_ = fvf;
    return kOk;
}

Result CDeviceBase::SetStreamSource(uint32_t stream, IVertexBuffer* buffer, uint32_t offset, uint32_t stride)
{
    auto* b = static_cast<CVertexBuffer*>(buffer);
    if (stream >= kStreamCount || (b && (stride == 0 || offset > b->Size()))) {
        return kErrInvalidCall;
    }
    if (b) {
        b->AddBinding();
    }
    if (streams_[stream].buffer) {
        streams_[stream].buffer->ReleaseBinding();
    }
    streams_[stream] = {b, offset, stride};
    return kOk;
}

Result CDeviceBase::SetIndices(IIndexBuffer* buffer)
{
    auto* b = static_cast<CIndexBuffer*>(buffer);
    if (b) {
        b->AddBinding();
    }
    if (indices_) {
        indices_->ReleaseBinding();
    }
    indices_ = b;
    return kOk;
}

Result CDeviceBase::SetPixelShader(IPixelShader* shader)
{
    return shader ? kErrInvalidCall : kOk;
}

Result CDeviceBase::SetVertexShader(IVertexShader* shader)
{
    return shader ? kErrInvalidCall : kOk;
}

Result CDeviceBase::SetPixelShaderConstantF(uint32_t first, const float* data, uint32_t count)
{
    return (!data && count) || first > 224 || count > 224 - first ? kErrInvalidCall : kOk;
}

Result CDeviceBase::SetVertexShaderConstantF(uint32_t first, const float* data, uint32_t count)
{
    return (!data && count) || first > 256 || count > 256 - first ? kErrInvalidCall : kOk;
}

// --- drawing ----------------------------------------------------------------------------------

Result CDeviceBase::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount)
{
    const Stream& s = streams_[0];
    const VertexLayout layout = DescribeFvf(fvf_);
    if (!inScene_ || !KnownPrimitive(type) || !s.buffer || !layout.valid || s.stride < layout.size) {
        return kErrInvalidCall;
    }
    const uint64_t available = (s.buffer->Size() - s.offset) / s.stride;
    if (static_cast<uint64_t>(startVertex) + VerticesFor(type, primitiveCount) > available) {
        return kErrInvalidCall;
    }
    if (lost_ != Lost::No || primitiveCount == 0) {
        return kOk;
    }
    DrawCall call{};
    call.type = type;
    call.primitiveCount = primitiveCount;
    call.vertices = s.buffer->Data() + s.offset;
    call.stride = s.stride;
    call.vertexCount = static_cast<uint32_t>(available);
    call.fvf = fvf_;
    call.baseVertex = static_cast<int32_t>(startVertex);
    call.vertexBuffer = s.buffer;
    call.vertexByteOffset = s.offset;
    NoteTargetWrite();
    if (observer_) {
        Observe(call);
    }
    DoDraw(call);
    return kOk;
}

Result CDeviceBase::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                         uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount)
{
    const Stream& s = streams_[0];
    const VertexLayout layout = DescribeFvf(fvf_);
    if (!inScene_ || !KnownPrimitive(type) || !s.buffer || !indices_ || !layout.valid || s.stride < layout.size) {
        return kErrInvalidCall;
    }
    const uint64_t available = (s.buffer->Size() - s.offset) / s.stride;
    const int64_t firstReachable = static_cast<int64_t>(baseVertex) + minIndex;
    if (firstReachable < 0 || static_cast<uint64_t>(firstReachable) + vertexCount > available) {
        return kErrInvalidCall;
    }
    const uint64_t indexCount = VerticesFor(type, primitiveCount);
    if (static_cast<uint64_t>(startIndex) + indexCount > indices_->Size() / 2) {
        return kErrInvalidCall;
    }
    const auto* idx = reinterpret_cast<const uint16_t*>(indices_->Data()) + startIndex;
    // An index outside the promised range would read outside the buffer: refuse the call.
    for (uint64_t i = 0; i < indexCount; ++i) {
        if (idx[i] < minIndex || idx[i] - minIndex >= vertexCount) {
            return kErrInvalidCall;
        }
    }
    if (lost_ != Lost::No || primitiveCount == 0) {
        return kOk;
    }
    DrawCall call{};
    call.type = type;
    call.primitiveCount = primitiveCount;
    call.vertices = s.buffer->Data() + s.offset;
    call.stride = s.stride;
    call.vertexCount = static_cast<uint32_t>(available);
    call.fvf = fvf_;
    call.indices = idx;
    call.baseVertex = baseVertex;
    call.vertexBuffer = s.buffer;
    call.vertexByteOffset = s.offset;
    call.indexBuffer = indices_;
    call.startIndex = startIndex;
    NoteTargetWrite();
    if (observer_) {
        Observe(call);
    }
    DoDraw(call);
    return kOk;
}

} // namespace QuillD3D::Detail
