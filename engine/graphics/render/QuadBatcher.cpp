#include "engine/graphics/render/QuadBatcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/render/FrameRuns.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/RenderManagerContext.h"
#include "engine/graphics/render/ResourceTexture.h"
#include "engine/graphics/render/TextureFactory.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

constexpr uint32_t kInitialVertices = 64;
constexpr uint32_t kGrowVertices = 128;
constexpr uint32_t kPresetMask = 0xFFFF;
constexpr uint32_t kDebugFactor = 0x20FFFFFF; // white at alpha 0x20

void SetBlend(IRenderManagerContext& c, bool alphaTest, bool blend, uint32_t src, uint32_t dest)
{
    c.SetRenderState(RsAlphaTestEnable, alphaTest ? 1 : 0);
    c.SetRenderState(RsAlphaBlendEnable, blend ? 1 : 0);
    c.SetRenderState(RsSrcBlend, src);
    c.SetRenderState(RsDestBlend, dest);
}

} // namespace

QuadBatcher::~QuadBatcher()
{
    DropPending();
    if (indices_)
        indices_->Release();
}

IRenderManagerContext* QuadBatcher::Context() const
{
    if (contextOverride_)
        return contextOverride_;
    return renderer_ ? renderer_->GetContext() : nullptr;
}

bool QuadBatcher::Create()
{
    IDevice* device = renderer_ ? renderer_->GetDevice() : nullptr;
    if (!device)
        return false;
    if (!cpu_) {
        cpu_.reset(new (std::nothrow) QuadVertex[kInitialVertices]);
        if (!cpu_)
            return false;
        capacity_ = kInitialVertices;
    }
    vertices_ = renderer_->CreateDynamicVertexBuffer(kVertexCapacity, kVertexStride, kFvfSprite);
    if (Failed(device->CreateIndexBuffer(kMaxQuads * 6 * 2, UsageWriteOnly, FmtIndex16, PoolManaged, &indices_)))
        return false;
    void* data = nullptr;
    if (Failed(indices_->Lock(0, 0, &data, 0)) || !data)
        return false;
    auto* idx = static_cast<uint16_t*>(data);
    for (uint32_t q = 0; q < kMaxQuads; ++q) {
        const auto v = static_cast<uint16_t>(4 * q);
        const uint16_t pattern[6] = {v, static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v + 2),
                                     v, static_cast<uint16_t>(v + 2), static_cast<uint16_t>(v + 3)};
        std::memcpy(idx + 6 * q, pattern, sizeof pattern);
    }
    indices_->Unlock();
    if (IRenderManagerContext* context = Context())
        ApplyDefaults(*context);
    return true;
}

void QuadBatcher::Restore()
{
    IRenderManagerContext* context = Context();
    if (!context || !vertices_)
        return;
    ApplyDefaults(*context);
    context->SetForce(true);
    vertices_->Bind(*context, 0);
    context->SetIndices(indices_);
    context->SetForce(false);
    TextureFactory::OnDeviceRestored(ResourceCache::Instance());
}

void QuadBatcher::ApplyDefaults(IRenderManagerContext& c)
{
    c.SetForce(true);
    c.SetRenderState(RsAlphaTestEnable, 1);
    c.SetRenderState(RsAlphaBlendEnable, 1);
    c.SetRenderState(RsSrcBlend, BlendSrcAlpha);
    c.SetRenderState(RsDestBlend, BlendInvSrcAlpha);
    c.SetRenderState(RsZEnable, 0);
    c.SetRenderState(RsZWriteEnable, 0);
    c.SetRenderState(RsZFunc, CmpGreater);
    c.SetRenderState(RsTextureFactor, kDebugFactor);
    SetFilter(c, FilterPoint);
    c.SetSamplerState(0, SampAddressU, AddressClamp);
    c.SetSamplerState(0, SampAddressV, AddressClamp);
    SetStage0(c, TopModulate, TaTexture, TaDiffuse);
    c.SetTextureStageState(1, TssColorOp, TopDisable);
    c.SetTextureStageState(1, TssAlphaOp, TopDisable);
    c.SetForce(false);
}

void QuadBatcher::ApplyPreset(IRenderManagerContext& c, uint32_t mode, bool filter)
{
    uint32_t preset = mode & kPresetMask;
    // Presets above the table have no meaning of their own; they draw as plain alpha blending.
    if (preset > kDebug)
        preset = kAlpha;
    const bool maskedOut = (mode & kMaskedOut) != 0;
    const uint32_t testFunc = maskedOut ? CmpLess : CmpGreater;
    const uint32_t sampling = filter ? FilterLinear : FilterPoint;

    switch (preset) {
    case kMaskLayer:
        SetBlend(c, true, true, BlendZero, BlendOne);
        c.SetRenderState(RsZEnable, 1);
        c.SetRenderState(RsZWriteEnable, 1);
        c.SetRenderState(RsZFunc, CmpAlways);
        SetFilter(c, FilterPoint);
        SetStage0(c, TopModulate, TaTexture, TaDiffuse);
        return;
    case kDebug:
        c.SetRenderState(RsAlphaTestEnable, 0);
        c.SetRenderState(RsAlphaBlendEnable, 1);
        c.SetRenderState(RsSrcBlend, BlendSrcAlpha);
        c.SetRenderState(RsDestBlend, BlendInvSrcAlpha);
        c.SetRenderState(RsZEnable, 0);
        c.SetRenderState(RsZWriteEnable, 0);
        c.SetRenderState(RsZFunc, testFunc);
        SetFilter(c, sampling);
        c.SetTextureStageState(0, TssColorOp, TopSelectArg1);
        c.SetTextureStageState(0, TssColorArg1, TaTFactor);
        c.SetTextureStageState(0, TssAlphaOp, TopSelectArg1);
        c.SetTextureStageState(0, TssAlphaArg1, TaTFactor);
        c.SetRenderState(RsTextureFactor, kDebugFactor);
        return;
    default:
        break;
    }

    // NoBlend, Alpha, Additive and NoTexture share the depth rule of the mask flags.
    if (preset == kNoBlend) {
        c.SetRenderState(RsAlphaTestEnable, 0);
        c.SetRenderState(RsAlphaBlendEnable, 0);
    } else {
        SetBlend(c, true, true, BlendSrcAlpha, preset == kAdditive ? BlendOne : BlendInvSrcAlpha);
    }
    c.SetRenderState(RsZEnable, (mode & (kMaskedIn | kMaskedOut)) ? 1 : 0);
    c.SetRenderState(RsZWriteEnable, 0);
    c.SetRenderState(RsZFunc, testFunc);
    if (preset == kNoTexture) {
        SetStage0(c, TopSelectArg2, TaTexture, TaDiffuse);
    } else {
        SetFilter(c, sampling);
        SetStage0(c, TopModulate, TaTexture, TaDiffuse);
    }
}

void QuadBatcher::SetPendingTexture(ITexture* texture)
{
    if (texture == texture_)
        return;
    if (texture)
        texture->AddRef();
    if (texture_)
        texture_->Release();
    texture_ = texture;
}

bool QuadBatcher::Grow()
{
    const uint32_t bigger = capacity_ + kGrowVertices;
    std::unique_ptr<QuadVertex[]> grown(new (std::nothrow) QuadVertex[bigger]);
    if (!grown)
        return false;
    if (pending_)
        std::memcpy(grown.get(), cpu_.get(), size_t(pending_) * sizeof(QuadVertex));
    cpu_ = std::move(grown);
    capacity_ = bigger;
    return true;
}

void QuadBatcher::DrawQuad(const Transform2D& m, const QuadTexRect& rect, uint32_t textureHandle, uint32_t color,
                           uint32_t mode, bool filter, bool halfPixel)
{
    ITexture* texture = nullptr;
    if (mode == kNoTexture) {
        filter = false;
    } else {
        ResourceCache* cache = ResourceCache::Instance();
        ResourceBase* resource = cache ? cache->Acquire(textureHandle) : nullptr;
        if (resource && (resource->GetType() == ResourceBase::kTypeTexture ||
                         resource->GetType() == ResourceBase::kTypeDynamicTexture))
            texture = static_cast<ResourceTexture*>(resource)->GetTexture();
        // A stale handle, or a picture that could not be loaded: a plain magenta quad shows where
        // it should have been.
        if (!texture) {
            color = kMissingTextureColor;
            mode = kNoTexture;
            filter = false;
        }
    }

    if (pending_ && (texture != texture_ || mode != mode_ || filter != filter_ || pending_ >= kVertexCapacity))
        Flush();
    if (!pending_) {
        SetPendingTexture(texture);
        mode_ = mode;
        filter_ = filter;
    }
    if (capacity_ - pending_ < 4 && !Grow())
        return;

    const float z = mode == kMaskLayer ? kMaskDepth : kDepth;
    const float shift = halfPixel ? 0.5f : 0.0f;
    static constexpr float kCorners[4][2] = {{-0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}};
    const float us[4] = {rect.uA, rect.uB, rect.uB, rect.uA};
    const float vs[4] = {rect.vB, rect.vB, rect.vA, rect.vA};
    QuadVertex* out = cpu_.get() + pending_;
    for (int i = 0; i < 4; ++i) {
        const float x = kCorners[i][0], y = kCorners[i][1];
        out[i].x = x * m.m11 + y * m.m21 + m.m31 - shift;
        out[i].y = x * m.m12 + y * m.m22 + m.m32 - shift;
        out[i].z = z;
        out[i].rhw = 0.5f;
        out[i].color = color;
        out[i].u = us[i];
        out[i].v = vs[i];
    }
    if (mode == kMaskLayer) {
        for (int i = 0; i < 4; ++i) {
            if (!maskArea_.any) {
                maskArea_.minX = maskArea_.maxX = out[i].x;
                maskArea_.minY = maskArea_.maxY = out[i].y;
                maskArea_.any = true;
            }
            maskArea_.minX = std::min(maskArea_.minX, out[i].x);
            maskArea_.maxX = std::max(maskArea_.maxX, out[i].x);
            maskArea_.minY = std::min(maskArea_.minY, out[i].y);
            maskArea_.maxY = std::max(maskArea_.maxY, out[i].y);
        }
    }
    pending_ += 4;
}

void QuadBatcher::DropPending()
{
    pending_ = 0;
    SetPendingTexture(nullptr);
}

void QuadBatcher::Flush()
{
    if (!pending_)
        return;
    if (record_) {
        QuadRun& run = record_->runs.emplace_back();
        run.texture = texture_;
        run.identity = texture_;
        if (run.texture)
            run.texture->AddRef();
        run.mode = mode_;
        run.filter = filter_;
        run.first = static_cast<uint32_t>(record_->vertices.size());
        run.count = pending_;
        record_->vertices.insert(record_->vertices.end(), cpu_.get(), cpu_.get() + pending_);
        if ((mode_ & kEndMask) && maskArea_.unknown) {
            run.depthClear = QuadRun::DepthClear::Whole;
        } else if ((mode_ & kEndMask) && maskArea_.any) {
            run.depthClear = QuadRun::DepthClear::Rect;
            run.depthRect = MaskClearRect();
        }
        if (mode_ & kEndMask)
            maskArea_ = {};
        DropPending();
        return;
    }
    IRenderManagerContext* context = Context();
    if (!context || !vertices_) {
        DropPending();
        return;
    }
    vertices_->Bind(*context, 0);
    context->SetIndices(indices_);
    ApplyPreset(*context, mode_, filter_);
    context->SetTexture(0, texture_);
    const uint32_t start = vertices_->Append(pending_, cpu_.get(), nullptr);
    if (start != kAppendFailed) {
        context->DrawIndexedPrimitive(PtTriangleList, static_cast<int32_t>(start), 0, pending_, 0, pending_ / 2);
        ++drawCalls_;
    }
    // The mask scope ends even when its last run could not be drawn. Only what masking layers
    // covered is cleared (a pixel beyond on each side); a whole-buffer clear per mask cost a good
    // part of a software frame.
    if ((mode_ & kEndMask) && maskArea_.unknown) {
        context->Clear(0, nullptr, ClearZBuffer, 0, 1.0f, 0);
    } else if ((mode_ & kEndMask) && maskArea_.any) {
        const Rect covered = MaskClearRect();
        context->Clear(1, &covered, ClearZBuffer, 0, 1.0f, 0);
    }
    if (mode_ & kEndMask)
        maskArea_ = {};
    DropPending();
}

void QuadBatcher::StartRecording(FrameRecord* record)
{
    record_ = record;
    if (record_)
        record_->Clear();
}

Rect QuadBatcher::MaskClearRect() const
{
    return Rect{
        static_cast<int32_t>(std::floor(maskArea_.minX)) - 1, static_cast<int32_t>(std::floor(maskArea_.minY)) - 1,
        static_cast<int32_t>(std::ceil(maskArea_.maxX)) + 1, static_cast<int32_t>(std::ceil(maskArea_.maxY)) + 1};
}

void QuadBatcher::DrawRun(const FrameRecord& frame, const QuadRun& run)
{
    IRenderManagerContext* context = Context();
    const uint32_t count = run.count;
    if (!context || !vertices_ || count == 0)
        return;
    // Runs longer than a draw (a record can hold no such run today) would overrun the indices.
    if (count > kVertexCapacity)
        return;
    vertices_->Bind(*context, 0);
    context->SetIndices(indices_);
    ApplyPreset(*context, run.mode, run.filter);
    context->SetTexture(0, run.texture);
    const uint32_t start = vertices_->Append(count, frame.VerticesOf(run), nullptr);
    if (start != kAppendFailed) {
        context->DrawIndexedPrimitive(PtTriangleList, static_cast<int32_t>(start), 0, count, 0, count / 2);
        ++drawCalls_;
    }
    if (run.depthClear == QuadRun::DepthClear::Whole)
        context->Clear(0, nullptr, ClearZBuffer, 0, 1.0f, 0);
    else if (run.depthClear == QuadRun::DepthClear::Rect)
        context->Clear(1, &run.depthRect, ClearZBuffer, 0, 1.0f, 0);
}

} // namespace QuillEngine
