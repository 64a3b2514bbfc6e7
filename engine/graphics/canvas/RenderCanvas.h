#pragma once
// A render canvas: a retained list of vector drawing (lines, polylines, triangles, rectangles,
// circles, pies and textured rectangles) in the canvas's own space, plus hit areas. Shapes go
// into one of two draw lists; consecutive shapes of one primitive type, blend mode and texture
// share a batch, and so one draw call. The owner draws a list under its transform each frame.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/render/DynamicBuffers.h"
#include "engine/graphics/render/Geometry2D.h"
#include "engine/graphics/render/QuadBatcher.h"

namespace QuillEngine {

class CRenderCanvasManager;
class IRenderManagerContext;
class TextRenderer;

struct CanvasPieSlice {
    uint32_t color;
    uint32_t count; // steps of the 100 that make the full turn
};

class IRenderCanvas {
public:
    virtual ~IRenderCanvas() = default;

    // Empties both lists, the vertices, indices and hit areas, and gives back every texture pin.
    virtual void Clear() = 0;
    virtual bool IsEmpty() const = 0;
    virtual bool IsListEmpty(uint32_t list) const = 0;
    virtual void SetClearAfterRender(bool clear) = 0;
    virtual bool GetClearAfterRender() const = 0;
    // Applies to shapes recorded afterwards.
    virtual void SetBlendMode(uint32_t mode) = 0;
    virtual uint32_t GetBlendMode() const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool GetVisible() const = 0;
    // 0 records into list 0, anything else into list 1.
    virtual void SetTargetList(uint32_t list) = 0;
    virtual uint32_t GetTargetList() const = 0;
    virtual void Render(const Transform2D& transform, uint32_t list) = 0;

    virtual void DrawLine(const Vec2& p1, const Vec2& p2, uint32_t color) = 0;
    virtual void DrawLine(const Vec2& p1, const Vec2& p2, uint32_t color1, uint32_t color2) = 0;
    virtual void DrawPolyline(uint32_t count, const Vec2* points, const uint32_t* colors) = 0;
    virtual void DrawPolyline(uint32_t count, const Vec2* points, uint32_t color) = 0;
    virtual void DrawTriangle(const Vec2& p1, const Vec2& p2, const Vec2& p3, uint32_t color, bool filled) = 0;
    virtual void DrawRect(float x, float y, float width, float height, uint32_t color, bool filled) = 0;
    virtual void DrawRect(const Vec2& p1, const Vec2& p2, uint32_t color, bool filled) = 0;
    virtual void DrawTexturedRect(float x, float y, float width, float height, uint32_t color, uint32_t texture,
                                  const QuadTexRect* rect) = 0;
    // `rect` none shows the whole texture.
    virtual void DrawTexturedRect(const Vec2& p1, const Vec2& p2, uint32_t color, uint32_t texture,
                                  const QuadTexRect* rect) = 0;
    virtual void DrawCircle(const Vec2& centre, float radius, uint32_t color, bool filled, uint32_t segments) = 0;
    virtual void DrawPie(const Vec2& centre, float radius, const std::vector<CanvasPieSlice>& slices) = 0;
    // Text in the console font of `size` pixels, its top left corner at `position`. The text is
    // formatted by the caller (Format.h); at most kMaxTextLength characters are drawn.
    virtual void DrawText(const Vec2& position, int32_t size, uint32_t color, StringView text) = 0;
    virtual void MeasureText(int32_t& width, int32_t& height, int32_t size, StringView text) = 0;

    virtual void AddHitTriangle(const Vec2& p1, const Vec2& p2, const Vec2& p3, const uint32_t values[4]) = 0;
    virtual void AddHitRect(const Vec2& p1, const Vec2& p2, const uint32_t values[4]) = 0;
    virtual void AddHitCircle(const Vec2& centre, float radius, const uint32_t values[4]) = 0;
    // The first hit wins: triangles, then circles, then rectangles, each in the order added.
    virtual bool HitTest(const Vec2& point, uint32_t first[2], uint32_t second[2]) const = 0;
};

class CRenderCanvas final : public IRenderCanvas, public TListItem<CRenderCanvas> {
public:
    struct Batch {
        uint32_t blendMode;
        uint32_t texture; // resource id, 0 untextured
        QuillD3D::PrimitiveType type;
        uint32_t primitives;
        uint32_t firstVertex, vertexCount;
        uint32_t firstIndex, indexCount;
    };

    static constexpr float kDepth = 0.51f;
    static constexpr float kMaskDepth = 0.4f;
    static constexpr float kTwoPi = 2.0f * 3.1415925f;
    static constexpr uint32_t kPieSteps = 100;
    static constexpr size_t kMaxTextLength = 1023;

    explicit CRenderCanvas(CRenderCanvasManager* manager) : manager_(manager) {}
    ~CRenderCanvas() override;

    void Clear() override;
    bool IsEmpty() const override { return lists_[0].empty() && lists_[1].empty(); }
    bool IsListEmpty(uint32_t list) const override { return lists_[list ? 1 : 0].empty(); }
    void SetClearAfterRender(bool clear) override { clearAfterRender_ = clear; }
    bool GetClearAfterRender() const override { return clearAfterRender_; }
    void SetBlendMode(uint32_t mode) override { blendMode_ = mode; }
    uint32_t GetBlendMode() const override { return blendMode_; }
    void SetVisible(bool visible) override;
    bool GetVisible() const override { return visible_; }
    void SetTargetList(uint32_t list) override { targetList_ = list; }
    uint32_t GetTargetList() const override { return targetList_; }
    // Render after the quads the batcher still holds (flushing them first when this list has
    // anything to draw), so the canvas lands in the scene's drawing order.
    void RenderInOrder(const Transform2D& transform, uint32_t list);
    void Render(const Transform2D& transform, uint32_t list) override;
    // The same through a given device-state cache (tools and tests that watch the calls).
    void Render(IRenderManagerContext& context, const Transform2D& transform, uint32_t list);

    void DrawLine(const Vec2& p1, const Vec2& p2, uint32_t color) override { DrawLine(p1, p2, color, color); }
    void DrawLine(const Vec2& p1, const Vec2& p2, uint32_t color1, uint32_t color2) override;
    void DrawPolyline(uint32_t count, const Vec2* points, const uint32_t* colors) override;
    void DrawPolyline(uint32_t count, const Vec2* points, uint32_t color) override;
    void DrawTriangle(const Vec2& p1, const Vec2& p2, const Vec2& p3, uint32_t color, bool filled) override;
    void DrawRect(float x, float y, float width, float height, uint32_t color, bool filled) override
    {
        DrawRect(Vec2{x, y}, Vec2{x + width, y + height}, color, filled);
    }
    void DrawRect(const Vec2& p1, const Vec2& p2, uint32_t color, bool filled) override;
    void DrawTexturedRect(float x, float y, float width, float height, uint32_t color, uint32_t texture,
                          const QuadTexRect* rect) override
    {
        DrawTexturedRect(Vec2{x, y}, Vec2{x + width, y + height}, color, texture, rect);
    }
    void DrawTexturedRect(const Vec2& p1, const Vec2& p2, uint32_t color, uint32_t texture,
                          const QuadTexRect* rect) override;
    void DrawCircle(const Vec2& centre, float radius, uint32_t color, bool filled, uint32_t segments) override;
    void DrawPie(const Vec2& centre, float radius, const std::vector<CanvasPieSlice>& slices) override;
    void DrawText(const Vec2& position, int32_t size, uint32_t color, StringView text) override;
    void MeasureText(int32_t& width, int32_t& height, int32_t size, StringView text) override;

    void AddHitTriangle(const Vec2& p1, const Vec2& p2, const Vec2& p3, const uint32_t values[4]) override;
    void AddHitRect(const Vec2& p1, const Vec2& p2, const uint32_t values[4]) override;
    void AddHitCircle(const Vec2& centre, float radius, const uint32_t values[4]) override;
    bool HitTest(const Vec2& point, uint32_t first[2], uint32_t second[2]) const override;

    // Whether what the canvas would draw differs from what it last drew (or last reported): a
    // canvas cleared and recorded again the same is no change. Reports each change once.
    bool TakeChange();
    uint64_t Fingerprint() const;

    // The manager is going: the canvas keeps its content but no longer draws.
    void DetachManager() { manager_ = nullptr; }
    CRenderCanvasManager* GetManager() const { return manager_; }

    const std::vector<Batch>& GetList(uint32_t list) const { return lists_[list ? 1 : 0]; }
    const std::vector<QuadVertex>& Vertices() const { return vertices_; }
    const std::vector<uint16_t>& Indices() const { return indices_; }
    const std::vector<uint32_t>& PinnedTextures() const { return pinned_; }

private:
    struct HitTriangle {
        uint32_t values[4];
        Vec2 p[3];
    };
    struct HitRect {
        uint32_t values[4];
        float x1, y1, x2, y2;
    };
    struct HitCircle {
        uint32_t values[4];
        Vec2 centre;
        float radius;
    };

    // The batch the next shape joins: a new one when the type, blend mode or texture differ, or
    // when the shape's vertices or indices would take the batch past what one draw can append.
    Batch& CurrentBatch(QuillD3D::PrimitiveType type, uint32_t texture, uint32_t vertices, uint32_t indices);
    void Pin(uint32_t texture);
    // Appends a vertex and returns its index relative to the batch.
    uint16_t AddVertex(Batch& batch, float x, float y, uint32_t color, float u = 0.0f, float v = 0.0f);
    void AddIndices(Batch& batch, std::initializer_list<uint16_t> indices);
    float Depth() const;
    // The text renderer and console font for `size`; false when either is missing.
    bool ConsoleFont(int32_t size, TextRenderer*& text, int32_t& font) const;

    CRenderCanvasManager* manager_;
    std::vector<Batch> lists_[2];
    std::vector<QuadVertex> vertices_;
    std::vector<uint16_t> indices_;
    std::vector<uint32_t> pinned_;
    std::vector<HitTriangle> hitTriangles_;
    std::vector<HitRect> hitRects_;
    std::vector<HitCircle> hitCircles_;
    uint32_t blendMode_ = QuadBatcher::kAlpha;
    bool clearAfterRender_ = false;
    bool visible_ = true;
    uint32_t targetList_ = 1;
    bool edited_ = false;             // recorded into, cleared or shown/hidden since the last check
    uint64_t shownFingerprint_ = 0;   // of the content last drawn or reported
};

} // namespace QuillEngine
