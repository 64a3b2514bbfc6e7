#include "engine/graphics/canvas/RenderCanvas.h"

#include <algorithm>

#include <cmath>

#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/RenderManagerContext.h"
#include "engine/graphics/render/ResourceTexture.h"
#include "engine/graphics/text/TextRenderer.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

Vec2 RingPoint(const Vec2& centre, float radius, float turn)
{
    Vec2 p{radius, 0.0f};
    TransformPoint(p, p, Transform2D::Rotation(turn * CRenderCanvas::kTwoPi));
    return Vec2{centre.x + p.x, centre.y + p.y};
}

// The blend presets of the quad batcher, as a canvas batch uses them. An untextured batch takes
// the vertex colour alone.
void ApplyPreset(IRenderManagerContext& c, uint32_t mode, bool textured, bool filter)
{
    uint32_t preset = mode & 0xFFFFu;
    if (preset > QuadBatcher::kDebug)
        preset = QuadBatcher::kAlpha;
    const bool maskedOut = (mode & QuadBatcher::kMaskedOut) != 0;
    if (preset == QuadBatcher::kMaskLayer) {
        c.SetRenderState(RsAlphaTestEnable, 1);
        c.SetRenderState(RsAlphaBlendEnable, 1);
        c.SetRenderState(RsSrcBlend, BlendZero);
        c.SetRenderState(RsDestBlend, BlendOne);
        c.SetRenderState(RsZEnable, 1);
        c.SetRenderState(RsZWriteEnable, 1);
        c.SetRenderState(RsZFunc, CmpAlways);
    } else {
        const bool blend = preset != QuadBatcher::kNoBlend;
        c.SetRenderState(RsAlphaTestEnable, blend ? 1 : 0);
        c.SetRenderState(RsAlphaBlendEnable, blend ? 1 : 0);
        if (blend) {
            c.SetRenderState(RsSrcBlend, BlendSrcAlpha);
            c.SetRenderState(RsDestBlend, preset == QuadBatcher::kAdditive ? BlendOne : BlendInvSrcAlpha);
        }
        c.SetRenderState(RsZEnable, (mode & (QuadBatcher::kMaskedIn | QuadBatcher::kMaskedOut)) ? 1 : 0);
        c.SetRenderState(RsZWriteEnable, 0);
        c.SetRenderState(RsZFunc, maskedOut ? CmpLess : CmpGreater);
    }
    SetFilter(c, filter ? FilterLinear : FilterPoint);
    if (textured && preset != QuadBatcher::kNoTexture)
        SetStage0(c, TopModulate, TaTexture, TaDiffuse);
    else
        SetStage0(c, TopSelectArg2, TaTexture, TaDiffuse);
}

} // namespace

CRenderCanvas::~CRenderCanvas()
{
    Clear();
}

void CRenderCanvas::SetVisible(bool visible)
{
    edited_ = edited_ || visible != visible_;
    visible_ = visible;
}

uint64_t CRenderCanvas::Fingerprint() const
{
    // FNV-1a over what a draw of the canvas reads: its visibility, both lists, the vertices and
    // the indices.
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i)
            hash = (hash ^ bytes[i]) * 1099511628211ull;
    };
    const unsigned char visible = visible_ ? 1 : 0;
    mix(&visible, 1);
    for (const std::vector<Batch>& list : lists_) {
        const uint64_t count = list.size();
        mix(&count, sizeof count);
        for (const Batch& b : list) {
            const uint32_t fields[] = {b.blendMode,   b.texture,    static_cast<uint32_t>(b.type), b.primitives,
                                       b.firstVertex, b.vertexCount, b.firstIndex,                  b.indexCount};
            mix(fields, sizeof fields);
        }
    }
    mix(vertices_.data(), vertices_.size() * sizeof(QuadVertex));
    mix(indices_.data(), indices_.size() * sizeof(uint16_t));
    return hash;
}

bool CRenderCanvas::TakeChange()
{
    if (!edited_)
        return false;
    edited_ = false;
    const uint64_t now = Fingerprint();
    if (now == shownFingerprint_)
        return false;
    shownFingerprint_ = now;
    return true;
}

void CRenderCanvas::Clear()
{
    if (!lists_[0].empty() || !lists_[1].empty())
        edited_ = true;
    lists_[0].clear();
    lists_[1].clear();
    vertices_.clear();
    indices_.clear();
    hitTriangles_.clear();
    hitRects_.clear();
    hitCircles_.clear();
    if (!pinned_.empty()) {
        if (ResourceCache* cache = ResourceCache::Instance()) {
            for (uint32_t id : pinned_)
                cache->Unpin(id);
        }
        pinned_.clear();
    }
}

float CRenderCanvas::Depth() const
{
    return (blendMode_ & 0xFFFFu) == QuadBatcher::kMaskLayer ? kMaskDepth : kDepth;
}

void CRenderCanvas::Pin(uint32_t texture)
{
    ResourceCache* cache = ResourceCache::Instance();
    ResourceBase* resource = cache ? cache->Acquire(texture, true) : nullptr;
    // One pin per canvas; a texture its owner keeps by other means is not the canvas's to pin.
    if (!resource || std::find(pinned_.begin(), pinned_.end(), texture) != pinned_.end() ||
        (resource->IsKept() && resource->GetPinCount() == 0))
        return;
    cache->Pin(texture);
    pinned_.push_back(texture);
}

CRenderCanvas::Batch& CRenderCanvas::CurrentBatch(PrimitiveType type, uint32_t texture, uint32_t vertices,
                                                  uint32_t indices)
{
    edited_ = true;
    std::vector<Batch>& list = lists_[targetList_ ? 1 : 0];
    if (!list.empty()) {
        Batch& last = list.back();
        if (last.type == type && last.blendMode == blendMode_ && last.texture == texture &&
            last.vertexCount + vertices <= CRenderCanvasManager::kVertexCapacity &&
            last.indexCount + indices <= CRenderCanvasManager::kIndexCapacity &&
            last.firstVertex + last.vertexCount == vertices_.size() &&
            last.firstIndex + last.indexCount == indices_.size())
            return last;
    }
    if (texture)
        Pin(texture);
    list.push_back(Batch{blendMode_, texture, type, 0, static_cast<uint32_t>(vertices_.size()), 0,
                         static_cast<uint32_t>(indices_.size()), 0});
    return list.back();
}

uint16_t CRenderCanvas::AddVertex(Batch& batch, float x, float y, uint32_t color, float u, float v)
{
    vertices_.push_back(QuadVertex{x, y, Depth(), 0.5f, color, u, v});
    return static_cast<uint16_t>(batch.vertexCount++);
}

void CRenderCanvas::AddIndices(Batch& batch, std::initializer_list<uint16_t> indices)
{
    indices_.insert(indices_.end(), indices);
    batch.indexCount += static_cast<uint32_t>(indices.size());
}

void CRenderCanvas::DrawLine(const Vec2& p1, const Vec2& p2, uint32_t color1, uint32_t color2)
{
    Batch& b = CurrentBatch(PtLineList, 0, 2, 2);
    const uint16_t a = AddVertex(b, p1.x, p1.y, color1);
    const uint16_t c = AddVertex(b, p2.x, p2.y, color2);
    AddIndices(b, {a, c});
    ++b.primitives;
}

void CRenderCanvas::DrawPolyline(uint32_t count, const Vec2* points, const uint32_t* colors)
{
    if (count < 2 || !points || !colors || count > CRenderCanvasManager::kVertexCapacity)
        return;
    Batch& b = CurrentBatch(PtLineList, 0, count, (count - 1) * 2);
    const uint16_t first = static_cast<uint16_t>(b.vertexCount);
    for (uint32_t i = 0; i < count; ++i)
        AddVertex(b, points[i].x, points[i].y, colors[i]);
    for (uint32_t i = 0; i + 1 < count; ++i)
        AddIndices(b, {static_cast<uint16_t>(first + i), static_cast<uint16_t>(first + i + 1)});
    b.primitives += count - 1;
}

void CRenderCanvas::DrawPolyline(uint32_t count, const Vec2* points, uint32_t color)
{
    if (count < 2 || count > CRenderCanvasManager::kVertexCapacity)
        return;
    std::vector<uint32_t> colors(count, color);
    DrawPolyline(count, points, colors.data());
}

void CRenderCanvas::DrawTriangle(const Vec2& p1, const Vec2& p2, const Vec2& p3, uint32_t color, bool filled)
{
    if (!filled) {
        DrawLine(p1, p2, color);
        DrawLine(p2, p3, color);
        DrawLine(p3, p1, color);
        return;
    }
    Batch& b = CurrentBatch(PtTriangleList, 0, 3, 3);
    const uint16_t a = AddVertex(b, p1.x, p1.y, color);
    const uint16_t c = AddVertex(b, p2.x, p2.y, color);
    const uint16_t d = AddVertex(b, p3.x, p3.y, color);
    AddIndices(b, {a, c, d});
    ++b.primitives;
}

void CRenderCanvas::DrawRect(const Vec2& p1, const Vec2& p2, uint32_t color, bool filled)
{
    const Vec2 a{p1.x, p1.y}, b{p2.x, p1.y}, c{p2.x, p2.y}, d{p1.x, p2.y};
    if (!filled) {
        DrawLine(a, b, color);
        DrawLine(b, c, color);
        DrawLine(c, d, color);
        DrawLine(d, a, color);
        return;
    }
    Batch& batch = CurrentBatch(PtTriangleList, 0, 4, 6);
    const uint16_t ia = AddVertex(batch, a.x, a.y, color);
    const uint16_t ib = AddVertex(batch, b.x, b.y, color);
    const uint16_t ic = AddVertex(batch, c.x, c.y, color);
    const uint16_t id = AddVertex(batch, d.x, d.y, color);
    AddIndices(batch, {ia, ib, ic, ia, ic, id});
    batch.primitives += 2;
}

void CRenderCanvas::DrawTexturedRect(const Vec2& p1, const Vec2& p2, uint32_t color, uint32_t texture,
                                     const QuadTexRect* rect)
{
    const QuadTexRect r = rect ? *rect : QuadTexRect{};
    Batch& batch = CurrentBatch(PtTriangleList, texture, 4, 6);
    const uint16_t ia = AddVertex(batch, p1.x - 0.5f, p1.y - 0.5f, color, r.uA, r.vA);
    const uint16_t ib = AddVertex(batch, p2.x - 0.5f, p1.y - 0.5f, color, r.uB, r.vA);
    const uint16_t ic = AddVertex(batch, p2.x - 0.5f, p2.y - 0.5f, color, r.uB, r.vB);
    const uint16_t id = AddVertex(batch, p1.x - 0.5f, p2.y - 0.5f, color, r.uA, r.vB);
    AddIndices(batch, {ia, ib, ic, ia, ic, id});
    batch.primitives += 2;
}

void CRenderCanvas::DrawCircle(const Vec2& centre, float radius, uint32_t color, bool filled, uint32_t segments)
{
    if (segments < 3 || segments + 1 > CRenderCanvasManager::kVertexCapacity ||
        segments * 3 > CRenderCanvasManager::kIndexCapacity)
        return;
    if (!filled) {
        Batch& b = CurrentBatch(PtLineList, 0, segments, segments * 2);
        const uint16_t first = static_cast<uint16_t>(b.vertexCount);
        for (uint32_t i = 0; i < segments; ++i) {
            const Vec2 p = RingPoint(centre, radius, static_cast<float>(i) / static_cast<float>(segments));
            AddVertex(b, p.x, p.y, color);
        }
        for (uint32_t i = 0; i < segments; ++i)
            AddIndices(b, {static_cast<uint16_t>(first + i), static_cast<uint16_t>(first + (i + 1) % segments)});
        b.primitives += segments;
        return;
    }
    Batch& b = CurrentBatch(PtTriangleList, 0, segments + 1, segments * 3);
    const uint16_t mid = AddVertex(b, centre.x, centre.y, color);
    const uint16_t first = static_cast<uint16_t>(b.vertexCount);
    for (uint32_t i = 0; i < segments; ++i) {
        const Vec2 p = RingPoint(centre, radius, static_cast<float>(i) / static_cast<float>(segments));
        AddVertex(b, p.x, p.y, color);
    }
    for (uint32_t i = 0; i < segments; ++i)
        AddIndices(b, {static_cast<uint16_t>(first + i), static_cast<uint16_t>(first + (i + 1) % segments), mid});
    b.primitives += segments;
}

void CRenderCanvas::DrawPie(const Vec2& centre, float radius, const std::vector<CanvasPieSlice>& slices)
{
    if (slices.empty())
        return;
    // Each step's colour and centre vertex: slices in order up to 100 steps, then the leftover in
    // black with the last slice's alpha.
    const uint32_t leftover = slices.back().color & 0xFF000000u;
    uint32_t stepSlice[kPieSteps];
    uint32_t steps = 0;
    for (uint32_t s = 0; s < slices.size() && steps < kPieSteps; ++s) {
        for (uint32_t n = 0; n < slices[s].count && steps < kPieSteps; ++n)
            stepSlice[steps++] = s;
    }
    const uint32_t centres = static_cast<uint32_t>(slices.size()) + 1;
    if (centres + kPieSteps * 2 > CRenderCanvasManager::kVertexCapacity)
        return;
    Batch& b = CurrentBatch(PtTriangleList, 0, centres + kPieSteps * 2, kPieSteps * 3);
    const uint16_t firstCentre = static_cast<uint16_t>(b.vertexCount);
    for (const CanvasPieSlice& slice : slices)
        AddVertex(b, centre.x, centre.y, slice.color);
    AddVertex(b, centre.x, centre.y, leftover);
    for (uint32_t s = 0; s < kPieSteps; ++s) {
        const uint32_t slice = s < steps ? stepSlice[s] : static_cast<uint32_t>(slices.size());
        const uint32_t color = s < steps ? slices[slice].color : leftover;
        const Vec2 p1 = RingPoint(centre, radius, static_cast<float>(s) / kPieSteps);
        const Vec2 p2 = RingPoint(centre, radius, static_cast<float>((s + 1) % kPieSteps) / kPieSteps);
        const uint16_t r1 = AddVertex(b, p1.x, p1.y, color);
        const uint16_t r2 = AddVertex(b, p2.x, p2.y, color);
        AddIndices(b, {r1, r2, static_cast<uint16_t>(firstCentre + slice)});
    }
    b.primitives += kPieSteps;
}

bool CRenderCanvas::ConsoleFont(int32_t size, TextRenderer*& text, int32_t& font) const
{
    CRenderManager* renderer = manager_ ? manager_->GetRenderer() : nullptr;
    text = renderer ? renderer->GetTextRenderer() : nullptr;
    font = text ? manager_->GetConsoleFont(text, size) : -1;
    return font >= 0;
}

void CRenderCanvas::MeasureText(int32_t& width, int32_t& height, int32_t size, StringView text)
{
    width = height = 0;
    TextRenderer* renderer = nullptr;
    int32_t font = -1;
    if (ConsoleFont(size, renderer, font))
        renderer->MeasureText(font, text.substr(0, kMaxTextLength), width, height);
}

void CRenderCanvas::DrawText(const Vec2& position, int32_t size, uint32_t color, StringView text)
{
    TextRenderer* renderer = nullptr;
    int32_t font = -1;
    if (text.empty() || !ConsoleFont(size, renderer, font))
        return;
    text = text.substr(0, kMaxTextLength);
    int32_t w = 0, h = 0;
    renderer->MeasureText(font, text, w, h);
    if (w <= 0 || h <= 0)
        return;
    const TextQuad q = renderer->GetString(font, text, w, h, 0);
    if (q.texture == 0)
        return;
    const float x2 = position.x + static_cast<float>(w), y2 = position.y + static_cast<float>(h);
    Batch& batch = CurrentBatch(PtTriangleList, q.texture, 4, 6);
    const uint16_t ia = AddVertex(batch, position.x, position.y, color, q.leftU, q.topV);
    const uint16_t ib = AddVertex(batch, x2, position.y, color, q.rightU, q.topV);
    const uint16_t ic = AddVertex(batch, x2, y2, color, q.rightU, q.bottomV);
    const uint16_t id = AddVertex(batch, position.x, y2, color, q.leftU, q.bottomV);
    AddIndices(batch, {ia, ib, ic, ia, ic, id});
    batch.primitives += 2;
}

void CRenderCanvas::AddHitTriangle(const Vec2& p1, const Vec2& p2, const Vec2& p3, const uint32_t values[4])
{
    hitTriangles_.push_back(HitTriangle{{values[0], values[1], values[2], values[3]}, {p1, p2, p3}});
}

void CRenderCanvas::AddHitRect(const Vec2& p1, const Vec2& p2, const uint32_t values[4])
{
    hitRects_.push_back(HitRect{{values[0], values[1], values[2], values[3]}, p1.x, p1.y, p2.x, p2.y});
}

void CRenderCanvas::AddHitCircle(const Vec2& centre, float radius, const uint32_t values[4])
{
    hitCircles_.push_back(HitCircle{{values[0], values[1], values[2], values[3]}, centre, radius});
}

bool CRenderCanvas::HitTest(const Vec2& point, uint32_t first[2], uint32_t second[2]) const
{
    auto report = [&](const uint32_t values[4]) {
        first[0] = values[0];
        first[1] = values[1];
        second[0] = values[2];
        second[1] = values[3];
        return true;
    };
    for (const HitTriangle& t : hitTriangles_) {
        // A triangle without area (equal or collinear corners) covers nothing.
        const float area = (t.p[1].x - t.p[0].x) * (t.p[2].y - t.p[0].y) - (t.p[2].x - t.p[0].x) * (t.p[1].y - t.p[0].y);
        if (!(std::fabs(area) > 1e-6f))
            continue;
        const int s1 = SideOfLine(t.p[0], t.p[1], point);
        if (s1 == SideOfLine(t.p[1], t.p[2], point) && s1 == SideOfLine(t.p[2], t.p[0], point))
            return report(t.values);
    }
    for (const HitCircle& c : hitCircles_) {
        if (std::hypot(point.x - c.centre.x, point.y - c.centre.y) <= c.radius)
            return report(c.values);
    }
    for (const HitRect& r : hitRects_) {
        if (r.x1 <= point.x && point.x <= r.x2 && r.y1 <= point.y && point.y <= r.y2)
            return report(r.values);
    }
    return false;
}

void CRenderCanvas::RenderInOrder(const Transform2D& transform, uint32_t list)
{
    CRenderManager* renderer = manager_ ? manager_->GetRenderer() : nullptr;
    if (visible_ && !IsListEmpty(list) && renderer) {
        if (QuadBatcher* batcher = renderer->GetBatcher())
            batcher->Flush();
    }
    Render(transform, list);
}

void CRenderCanvas::Render(const Transform2D& transform, uint32_t list)
{
    CRenderManager* renderer = manager_ ? manager_->GetRenderer() : nullptr;
    IRenderManagerContext* context = renderer ? renderer->GetContext() : nullptr;
    if (context)
        Render(*context, transform, list);
    else if (clearAfterRender_)
        Clear();
}

void CRenderCanvas::Render(IRenderManagerContext& context, const Transform2D& transform, uint32_t list)
{
    const std::vector<Batch>& batches = lists_[list ? 1 : 0];
    CDynamicVertexBuffer* vb = manager_ ? manager_->GetVertexBuffer() : nullptr;
    CDynamicIndexBuffer* ib = manager_ ? manager_->GetIndexBuffer() : nullptr;
    if (visible_ && !batches.empty() && vb && ib) {
        vb->Bind(context, 0);
        ib->Bind(context);
        const bool linear = !IsIdentityLinear(transform);
        ResourceCache* cache = ResourceCache::Instance();
        CRenderManager* renderer = manager_->GetRenderer();
        for (const Batch& b : batches) {
            // A masking layer of the canvas writes depth where the batcher does not look.
            if ((b.blendMode & 0xFFFFu) == QuadBatcher::kMaskLayer && renderer && renderer->GetBatcher())
                renderer->GetBatcher()->NoteUnknownMaskArea();
            const uint32_t baseVertex = vb->Append(b.vertexCount, &vertices_[b.firstVertex], &transform);
            if (baseVertex == kAppendFailed)
                continue;
            const uint32_t startIndex = ib->Append(b.indexCount, &indices_[b.firstIndex]);
            if (startIndex == kAppendFailed)
                continue;
            ApplyPreset(context, b.blendMode, b.texture != 0, b.texture != 0 && linear);
            ITexture* texture = nullptr;
            if (b.texture && cache) {
                if (auto* resource = dynamic_cast<ResourceTexture*>(cache->Acquire(b.texture)))
                    texture = resource->GetTexture();
            }
            context.SetTexture(0, texture);
            context.DrawIndexedPrimitive(b.type, static_cast<int32_t>(baseVertex), 0, b.vertexCount, startIndex,
                                         b.primitives);
        }
    }
    // What was drawn is what the next change is measured against: content cleared here and
    // recorded again unchanged draws nothing new.
    shownFingerprint_ = Fingerprint();
    edited_ = false;
    if (clearAfterRender_)
        Clear();
}

} // namespace QuillEngine
