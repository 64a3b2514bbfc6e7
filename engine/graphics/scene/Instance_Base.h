#pragma once
// The common base of every scene instance (movies, images, texts): name and parent link, the 2D
// transform, opacity, visibility, input and material flags, a drop shadow, and the bounds, hit
// testing and coordinate conversions of the instance tree.
//
// The tree: every instance but the root has a parent movie, which owns it. Instances are reached
// from outside the tree through InstanceHandle only; inside the tree, links upwards are handles
// too, so an instance whose parent is being torn down finds no parent instead of a dangling one.
//
// Matrices act on row vectors. The local matrix is T(-registration) · S(scale) · R(rotation) with
// the position added to the translation row; the global matrix is the local matrix times the
// parent's global matrix, up to the root (drawn with the identity).

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/render/Geometry2D.h"
#include "engine/graphics/scene/InstanceTree.h"

namespace QuillEngine {

class CRenderCanvas;

class QuadBatcher;
class UserInterface;

namespace HandleEx {

// What game code and scripts change on an instance.
class IInstanceDeck {
public:
    // Removes the instance from its parent (a movie is marked and destroyed at the parent's next
    // update). With detachHandlers, the event handlers of a movie and of every movie below it are
    // cleared first, so that none hears of the deletion. Nothing for the root, or when the
    // instance's parent is already gone.
    virtual void Delete(bool detachHandlers) = 0;
    virtual bool HasNoIndex() const = 0;
    virtual InstanceHandle GetParent() const = 0;
    virtual String GetName() const = 0;
    // Names from the root down joined by ".", the root's own name first.
    virtual String GetPath() const = 0;
    virtual String GetDefinitionName() const = 0;
    virtual int32_t GetState() const = 0;
    virtual int32_t GetType() const = 0;
    // Draw-order moves within the parent's draw list (first entry drawn first, at the back). The
    // first two do nothing when the sibling has another parent.
    virtual void MoveBefore(const InstanceHandle& sibling) = 0;
    virtual void MoveAfter(const InstanceHandle& sibling) = 0;
    virtual void MoveToBack() = 0;
    virtual void MoveToFront() = 0;
    virtual void SetDropShadow(float dx, float dy, uint32_t color) = 0;
    // True when a shadow offset is set (dx or dy not 0).
    virtual bool GetDropShadow(float& dx, float& dy, uint32_t& color) const = 0;
    virtual void SetInputEnabled(bool enabled) = 0;
    virtual bool GetInputEnabled() const = 0;
    virtual void SetMaterial(uint32_t material) = 0;
    virtual uint32_t GetMaterial() const = 0;
    virtual void SetOpacity(float opacity) = 0;
    virtual float GetOpacity() const = 0;
    virtual void SetAllowFiltering(bool allow) = 0;
    virtual bool GetAllowFiltering() const = 0;
    virtual void SetPosition(float x, float y) = 0;
    virtual void SetX(float x) = 0;
    virtual void SetY(float y) = 0;
    virtual void GetPosition(float& x, float& y) const = 0;
    virtual float GetX() const = 0;
    virtual float GetY() const = 0;
    virtual void SetRegistrationPoint(float x, float y) = 0;
    virtual void GetRegistrationPoint(float& x, float& y) const = 0;
    virtual void SetRotation(float radians) = 0;
    virtual float GetRotation() const = 0;
    virtual void SetScale(float sx, float sy) = 0;
    virtual void GetScale(float& sx, float& sy) const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool GetVisible() const = 0;

protected:
    ~IInstanceDeck() = default;
};

// Geometry, hit testing and coordinate conversion.
class IInstanceStage {
public:
    virtual InstanceHandle GetHandle() const = 0;
    // The axis-aligned box of the instance in global (screen) space.
    virtual void GetBounds(float& left, float& top, float& right, float& bottom) = 0;
    virtual void GetSize(float& width, float& height) = 0;
    // The UserInterface's pointer position in this instance's local space.
    virtual void GetLocalMousePosition(float& x, float& y) = 0;
    // Hit test with a point in global space; see HitTest.
    virtual InstanceHandle HitTestGlobal(float x, float y, bool solid, bool needInput,
                                         std::vector<InstanceHandle>* list) = 0;
    // Hit test with a point in the parent's space. The result names the deepest movie hit (an
    // image or text counts for its parent movie). `list`, when given, collects the movies hit,
    // deepest first, each once. A movie that is not solid and has no explicit bounds is hit only
    // where one of its children is.
    virtual InstanceHandle HitTest(float x, float y, bool solid, bool needInput, std::vector<InstanceHandle>* list) = 0;
    virtual void LocalToGlobal(float& x, float& y) = 0;
    virtual void GlobalToLocal(float& x, float& y) = 0;
    // Local-space rectangle that replaces the content's bounds (hit tests and bounds queries).
    virtual void SetExplicitBounds(float x, float y, float width, float height) = 0;
    // The cached bounds keep the explicit rectangle until the transform is next invalidated.
    virtual void ClearExplicitBounds() = 0;

protected:
    ~IInstanceStage() = default;
};

} // namespace HandleEx

// What the scripting layer keeps on an instance (its script table); the instance owns it and
// drops it when it is destroyed.
class IInstanceScriptObject {
public:
    virtual ~IInstanceScriptObject() = default;
};

// The vertex colour of a drawn instance: its 24-bit colour (or, for a drop shadow, the shadow's
// colour and alpha) with the opacity as the top byte; opacities outside 0..1 are clamped rather
// than wrapped round.
inline uint32_t VertexColor(uint32_t rgb, float opacity, const uint32_t* shadowColor)
{
    if (shadowColor)
        opacity *= float(*shadowColor >> 24) / 255.0f;
    const uint32_t alpha = static_cast<uint32_t>(std::clamp(opacity, 0.0f, 1.0f) * 255.0f + 0.5f);
    return (alpha << 24) | ((shadowColor ? *shadowColor : rgb) & 0xFFFFFF);
}

class Instance_Base : public HandleEx::IInstanceDeck, public HandleEx::IInstanceStage {
public:
    enum Type : int32_t { Type_Movie = 0, Type_Image = 1, Type_Text = 2 };
    enum State : int32_t { State_Alive = 1, State_Deleting = 2 };

    static constexpr uint32_t kDefaultShadowColor = 0xFF000000u;
    // The material word every instance starts with: the alpha-blended preset of the quad batcher.
    // (Word 0 selects the preset without blending or alpha test, which would draw transparent
    // texels opaque and ignore every fade.)
    static constexpr uint32_t kDefaultMaterial = 1;

    virtual ~Instance_Base();
    Instance_Base(const Instance_Base&) = delete;
    Instance_Base& operator=(const Instance_Base&) = delete;

    // --- IInstanceDeck ---
    void Delete(bool detachHandlers) override;
    bool HasNoIndex() const override { return m_timelineIndex == -1; }
    InstanceHandle GetParent() const override { return m_parent; }
    String GetName() const override { return m_name; }
    String GetPath() const override;
    String GetDefinitionName() const override { return m_definitionName; }
    int32_t GetState() const override { return m_state; }
    int32_t GetType() const override { return m_type; }
    void MoveBefore(const InstanceHandle& sibling) override;
    void MoveAfter(const InstanceHandle& sibling) override;
    void MoveToBack() override;
    void MoveToFront() override;
    void SetDropShadow(float dx, float dy, uint32_t color) override;
    bool GetDropShadow(float& dx, float& dy, uint32_t& color) const override;
    void SetInputEnabled(bool enabled) override { m_inputEnabled = enabled; }
    bool GetInputEnabled() const override { return m_inputEnabled; }
    void SetMaterial(uint32_t material) override;
    uint32_t GetMaterial() const override { return m_material; }
    void SetOpacity(float opacity) override;
    float GetOpacity() const override { return m_opacity; }
    void SetAllowFiltering(bool allow) override;
    bool GetAllowFiltering() const override { return m_filtering; }
    void SetPosition(float x, float y) override;
    void SetX(float x) override;
    void SetY(float y) override;
    void GetPosition(float& x, float& y) const override;
    float GetX() const override { return m_posX; }
    float GetY() const override { return m_posY; }
    void SetRegistrationPoint(float x, float y) override;
    void GetRegistrationPoint(float& x, float& y) const override;
    void SetRotation(float radians) override;
    float GetRotation() const override { return m_rotation; }
    void SetScale(float sx, float sy) override;
    void GetScale(float& sx, float& sy) const override;
    void SetVisible(bool visible) override;
    bool GetVisible() const override { return m_visible; }
    // The instance's drawing canvas, drawn under its transform before it (list 0) and after it
    // (list 1); made on first use when `create` is set (null when no renderer makes canvases).
    CRenderCanvas* GetCanvas(bool create);

    // The base keeps no colour; images and texts keep the low 24 bits, movies pass it on.
    virtual void SetColor(uint32_t /*color*/) {}

    // --- IInstanceStage ---
    InstanceHandle GetHandle() const override { return m_handle; }
    void GetBounds(float& left, float& top, float& right, float& bottom) override;
    void GetSize(float& width, float& height) override;
    void GetLocalMousePosition(float& x, float& y) override;
    InstanceHandle HitTestGlobal(float x, float y, bool solid, bool needInput,
                                 std::vector<InstanceHandle>* list) override;
    InstanceHandle HitTest(float x, float y, bool solid, bool needInput, std::vector<InstanceHandle>* list) override;
    void LocalToGlobal(float& x, float& y) override;
    void GlobalToLocal(float& x, float& y) override;
    void SetExplicitBounds(float x, float y, float width, float height) override;
    void ClearExplicitBounds() override { m_explicitBounds = false; }

    float GetWidth();
    float GetHeight();
    float GlobalToLocalX(float x);
    float GlobalToLocalY(float y);

    // --- the tree's own operations ---
    UserInterface* GetUserInterface() const { return m_userInterface; }
    const String& Name() const { return m_name; }
    int32_t GetDefinitionIndex() const { return m_definitionIndex; }
    void SetDefinition(const String& name, int32_t index)
    {
        m_definitionName = name;
        m_definitionIndex = index;
    }
    int32_t GetTimelineIndex() const { return m_timelineIndex; }
    void SetTimelineIndex(int32_t index) { m_timelineIndex = index; }
    void SetParent(const InstanceHandle& parent) { m_parent = parent; }
    // Set by the UserInterface when it registers the instance.
    void SetOwnHandle(const InstanceHandle& handle) { m_handle = handle; }
    void SetState(int32_t state) { m_state = state; }
    bool IsAlive() const { return m_state == State_Alive; }

    // The cached local matrix (recomputed after any change of position, scale, rotation or
    // registration point).
    const Transform2D& GetLocalMatrix();
    // The content's corners taken through the local matrix: the bounds in the parent's space.
    const Vec2* GetBoundsQuad();
    // Clears the cached matrix and bounds of this instance and of every ancestor.
    void InvalidateTransform();

    // Draws an image or text through the batcher with `matrix` as its global matrix and `alpha`
    // as the opacity inherited from above (its own opacity not yet applied). With a shadow colour
    // the instance is drawn flat in that colour instead. Movies draw through their own Render.
    virtual void Draw(QuadBatcher& /*batcher*/, const Transform2D& /*matrix*/, float /*alpha*/,
                      const uint32_t* /*shadowColor*/)
    {
    }

    void SetScriptObject(std::unique_ptr<IInstanceScriptObject> object) { m_scriptObject = std::move(object); }
    IInstanceScriptObject* GetScriptObject() const { return m_scriptObject.get(); }

    // Marks the renderer's frame for redraw.
    static void MarkRedraw();

    // Hit-marker access for the hit test of the parent movie.
    bool HitMarker() const { return m_hitMarker; }
    void SetHitMarker(bool on) { m_hitMarker = on; }

protected:
    Instance_Base(UserInterface* userInterface, const String& name, int32_t type);

    // The content rectangle's four corners in local units (before the local matrix), in the
    // order (left, top), (left, bottom), (right, top), (right, bottom).
    virtual void ComputeContentQuad(Vec2 corners[4]) = 0;
    // Steps shared by every hit test: the input test and the box test. False: no hit.
    bool HitBox(float x, float y, bool needInput);
    Instance_Movie* ResolveParentMovie() const;

    bool m_explicitBounds = false;

private:
    void DetachHandlersForDelete();

    bool m_hitMarker = false;
    bool m_boundsValid = false;
    bool m_matrixValid = false;
    InstanceHandle m_handle;
    bool m_inputEnabled = true;
    uint32_t m_material = kDefaultMaterial;
    String m_name;
    float m_opacity = 1.0f;
    bool m_filtering = true;
    float m_boundsX = 0, m_boundsY = 0, m_boundsW = 0, m_boundsH = 0;
    InstanceHandle m_parent;
    float m_regX = 0, m_regY = 0;
    float m_rotation = 0;
    float m_scaleX = 1, m_scaleY = 1;
    int32_t m_state = State_Alive;
    String m_definitionName;
    int32_t m_definitionIndex = 0;
    int32_t m_timelineIndex = -1;
    Vec2 m_quad[4];
    Transform2D m_local;
    int32_t m_type;
    UserInterface* m_userInterface;
    float m_posX = 0, m_posY = 0;
    bool m_visible = true;
    std::unique_ptr<CRenderCanvas> m_canvas;
    float m_shadowDx = 0, m_shadowDy = 0;
    uint32_t m_shadowColor = kDefaultShadowColor;
    std::unique_ptr<IInstanceScriptObject> m_scriptObject;

protected:
    // Movies override the setters that pass values down their subtree; they store through these.
    void StoreDropShadow(float dx, float dy, uint32_t color)
    {
        m_shadowDx = dx;
        m_shadowDy = dy;
        m_shadowColor = color;
    }
    void StoreMaterial(uint32_t material) { m_material = material; }
    void StoreFiltering(bool allow) { m_filtering = allow; }
};

} // namespace QuillEngine
