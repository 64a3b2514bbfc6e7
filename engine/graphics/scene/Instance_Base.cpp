#include "engine/graphics/scene/Instance_Base.h"

#include "engine/graphics/canvas/RenderCanvas.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/render/RenderManager.h"

#include <algorithm>

#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"

namespace QuillEngine {

Instance_Base::Instance_Base(UserInterface* userInterface, const String& name, int32_t type)
    : m_name(name), m_type(type), m_userInterface(userInterface)
{
}

Instance_Base::~Instance_Base()
{
    if (m_userInterface)
        m_userInterface->ReleaseInstance(this);
}

void Instance_Movie::CallScript(const char* handler, const String* argument)
{
    UserInterface* ui = GetUserInterface();
    UserInterface::IScriptHandlers* scripts = ui ? ui->GetScriptHandlers() : nullptr;
    if (!scripts || !handler)
        return;
    if (argument)
        scripts->Call(GetHandle(), handler, ToCp1252(*argument));
    else
        scripts->Call(GetHandle(), handler);
}

void Instance_Base::MarkRedraw()
{
    if (CRenderManager* renderer = CRenderManager::Instance())
        renderer->SetFrameDirty();
}

Instance_Movie* Instance_Base::ResolveParentMovie() const
{
    return HandleEx::ResolveMovie(m_parent);
}

// --- deck ---

void Instance_Base::Delete(bool detachHandlers)
{
    if (detachHandlers && m_type == Type_Movie)
        static_cast<Instance_Movie*>(this)->DetachHandlersRecursive();
    // Removal goes by this instance, not by its name: an instance already removed (still
    // resolving while it waits in the pending deletes) must not take a new sibling of the same
    // name with it.
    if (!IsAlive())
        return;
    if (Instance_Movie* parent = ResolveParentMovie())
        parent->RemoveCodeChild(this);
}

String Instance_Base::GetPath() const
{
    std::vector<const Instance_Base*> chain;
    for (const Instance_Base* p = HandleEx::ResolveInstance(m_parent); p; p = HandleEx::ResolveInstance(p->m_parent))
        chain.push_back(p);
    String path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += (*it)->m_name;
        path += u'.';
    }
    path += m_name;
    return path;
}

namespace {

// This instance's index in its parent's draw list, or -1.
int IndexIn(const std::vector<Instance_Base*>& list, const Instance_Base* instance)
{
    auto it = std::find(list.begin(), list.end(), instance);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

} // namespace

void Instance_Base::MoveBefore(const InstanceHandle& sibling)
{
    Instance_Base* other = HandleEx::ResolveInstance(sibling);
    Instance_Movie* parent = ResolveParentMovie();
    if (!other || !parent || other == this || !(other->m_parent == m_parent))
        return;
    std::vector<Instance_Base*>& list = parent->DrawList();
    const int own = IndexIn(list, this);
    if (own < 0 || IndexIn(list, other) < 0)
        return;
    if (own + 1 == IndexIn(list, other))
        return; // already just before it
    list.erase(list.begin() + own);
    list.insert(list.begin() + IndexIn(list, other), this);
    MarkRedraw();
}

void Instance_Base::MoveAfter(const InstanceHandle& sibling)
{
    Instance_Base* other = HandleEx::ResolveInstance(sibling);
    Instance_Movie* parent = ResolveParentMovie();
    if (!other || !parent || other == this || !(other->m_parent == m_parent))
        return;
    std::vector<Instance_Base*>& list = parent->DrawList();
    const int own = IndexIn(list, this);
    if (own < 0 || IndexIn(list, other) < 0)
        return;
    if (own == IndexIn(list, other) + 1)
        return; // already just after it
    list.erase(list.begin() + own);
    list.insert(list.begin() + IndexIn(list, other) + 1, this);
    MarkRedraw();
}

void Instance_Base::MoveToBack()
{
    Instance_Movie* parent = ResolveParentMovie();
    if (!parent)
        return;
    std::vector<Instance_Base*>& list = parent->DrawList();
    const int own = IndexIn(list, this);
    if (own <= 0)
        return;
    std::rotate(list.begin(), list.begin() + own, list.begin() + own + 1);
    MarkRedraw();
}

void Instance_Base::MoveToFront()
{
    Instance_Movie* parent = ResolveParentMovie();
    if (!parent)
        return;
    std::vector<Instance_Base*>& list = parent->DrawList();
    const int own = IndexIn(list, this);
    if (own < 0 || own + 1 == static_cast<int>(list.size()))
        return;
    std::rotate(list.begin() + own, list.begin() + own + 1, list.end());
    MarkRedraw();
}

void Instance_Base::SetDropShadow(float dx, float dy, uint32_t color)
{
    if (dx == m_shadowDx && dy == m_shadowDy && color == m_shadowColor)
        return;
    StoreDropShadow(dx, dy, color);
    MarkRedraw();
}

bool Instance_Base::GetDropShadow(float& dx, float& dy, uint32_t& color) const
{
    dx = m_shadowDx;
    dy = m_shadowDy;
    color = m_shadowColor;
    return m_shadowDx != 0 || m_shadowDy != 0;
}

void Instance_Base::SetMaterial(uint32_t material)
{
    if (material == m_material)
        return;
    m_material = material;
    MarkRedraw();
}

void Instance_Base::SetOpacity(float opacity)
{
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    MarkRedraw();
}

void Instance_Base::SetAllowFiltering(bool allow)
{
    if (allow == m_filtering)
        return;
    m_filtering = allow;
    MarkRedraw();
}

void Instance_Base::SetPosition(float x, float y)
{
    if (x == m_posX && y == m_posY)
        return;
    m_posX = x;
    m_posY = y;
    InvalidateTransform();
}

void Instance_Base::SetX(float x)
{
    if (x == m_posX)
        return;
    m_posX = x;
    InvalidateTransform();
}

void Instance_Base::SetY(float y)
{
    if (y == m_posY)
        return;
    m_posY = y;
    InvalidateTransform();
}

void Instance_Base::GetPosition(float& x, float& y) const
{
    x = m_posX;
    y = m_posY;
}

void Instance_Base::SetRegistrationPoint(float x, float y)
{
    if (x == m_regX && y == m_regY)
        return;
    m_regX = x;
    m_regY = y;
    InvalidateTransform();
}

void Instance_Base::GetRegistrationPoint(float& x, float& y) const
{
    x = m_regX;
    y = m_regY;
}

void Instance_Base::SetRotation(float radians)
{
    if (radians == m_rotation)
        return;
    m_rotation = radians;
    InvalidateTransform();
}

void Instance_Base::SetScale(float sx, float sy)
{
    if (sx == m_scaleX && sy == m_scaleY)
        return;
    m_scaleX = sx;
    m_scaleY = sy;
    InvalidateTransform();
}

void Instance_Base::GetScale(float& sx, float& sy) const
{
    sx = m_scaleX;
    sy = m_scaleY;
}

void Instance_Base::SetVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    MarkRedraw();
}

// --- transform and bounds ---

const Transform2D& Instance_Base::GetLocalMatrix()
{
    if (!m_matrixValid) {
        Transform2D scaled;
        MultiplyTransform(scaled, Transform2D::Translation(-m_regX, -m_regY), Transform2D::Scale(m_scaleX, m_scaleY));
        MultiplyTransform(m_local, scaled, Transform2D::Rotation(m_rotation));
        m_local.m31 += m_posX;
        m_local.m32 += m_posY;
        m_matrixValid = true;
    }
    return m_local;
}

void Instance_Base::InvalidateTransform()
{
    m_matrixValid = false;
    m_boundsValid = false;
    // An ancestor whose bounds are already invalid has invalid ancestors too: a movie's bounds
    // are only ever computed after its children's, and every invalidation walks upwards.
    for (Instance_Base* p = HandleEx::ResolveInstance(m_parent); p && p->m_boundsValid;
         p = HandleEx::ResolveInstance(p->m_parent)) {
        p->m_boundsValid = false;
        p->m_matrixValid = false;
    }
    MarkRedraw();
}

const Vec2* Instance_Base::GetBoundsQuad()
{
    if (!m_boundsValid) {
        Vec2 corners[4];
        if (m_explicitBounds) {
            corners[0] = {m_boundsX, m_boundsY};
            corners[1] = {m_boundsX, m_boundsY + m_boundsH};
            corners[2] = {m_boundsX + m_boundsW, m_boundsY};
            corners[3] = {m_boundsX + m_boundsW, m_boundsY + m_boundsH};
        } else {
            ComputeContentQuad(corners);
        }
        const Transform2D& m = GetLocalMatrix();
        for (int i = 0; i < 4; ++i)
            TransformPoint(m_quad[i], corners[i], m);
        m_boundsValid = true;
    }
    return m_quad;
}

void Instance_Base::SetExplicitBounds(float x, float y, float width, float height)
{
    m_boundsX = x;
    m_boundsY = y;
    m_boundsW = width;
    m_boundsH = height;
    m_explicitBounds = true;
    InvalidateTransform();
}

void Instance_Base::GetBounds(float& left, float& top, float& right, float& bottom)
{
    const Vec2* quad = GetBoundsQuad();
    Instance_Base* parent = HandleEx::ResolveInstance(m_parent);
    for (int i = 0; i < 4; ++i) {
        float x = quad[i].x, y = quad[i].y;
        if (parent)
            parent->LocalToGlobal(x, y);
        if (i == 0) {
            left = right = x;
            top = bottom = y;
        } else {
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
}

void Instance_Base::GetSize(float& width, float& height)
{
    float left, top, right, bottom;
    GetBounds(left, top, right, bottom);
    width = right - left;
    height = bottom - top;
}

float Instance_Base::GetWidth()
{
    float w, h;
    GetSize(w, h);
    return w;
}

float Instance_Base::GetHeight()
{
    float w, h;
    GetSize(w, h);
    return h;
}

void Instance_Base::LocalToGlobal(float& x, float& y)
{
    Vec2 p{x, y};
    TransformPoint(p, p, GetLocalMatrix());
    x = p.x;
    y = p.y;
    if (Instance_Base* parent = HandleEx::ResolveInstance(m_parent))
        parent->LocalToGlobal(x, y);
}

void Instance_Base::GlobalToLocal(float& x, float& y)
{
    if (Instance_Base* parent = HandleEx::ResolveInstance(m_parent))
        parent->GlobalToLocal(x, y);
    Transform2D inverse;
    // A collapsed transform (a scale of 0) maps everything onto a line or a point: the point is
    // left where it is, and hit tests find nothing inside the collapsed box anyway.
    if (!InvertTransform(inverse, GetLocalMatrix()))
        return;
    Vec2 p{x, y};
    TransformPoint(p, p, inverse);
    x = p.x;
    y = p.y;
}

float Instance_Base::GlobalToLocalX(float x)
{
    float y = 0;
    GlobalToLocal(x, y);
    return x;
}

float Instance_Base::GlobalToLocalY(float y)
{
    float x = 0;
    GlobalToLocal(x, y);
    return y;
}

void Instance_Base::GetLocalMousePosition(float& x, float& y)
{
    x = y = 0;
    if (m_userInterface) {
        x = static_cast<float>(m_userInterface->MouseX());
        y = static_cast<float>(m_userInterface->MouseY());
    }
    GlobalToLocal(x, y);
}

// --- hit testing ---

bool Instance_Base::HitBox(float x, float y, bool needInput)
{
    if (needInput && !m_inputEnabled)
        return false;
    const Vec2* q = GetBoundsQuad();
    float left = q[0].x, right = q[0].x, top = q[0].y, bottom = q[0].y;
    for (int i = 1; i < 4; ++i) {
        left = std::min(left, q[i].x);
        right = std::max(right, q[i].x);
        top = std::min(top, q[i].y);
        bottom = std::max(bottom, q[i].y);
    }
    if (!(x >= left && x < right && y >= top && y < bottom))
        return false;
    m_hitMarker = false;
    return true;
}

InstanceHandle Instance_Base::HitTestGlobal(float x, float y, bool solid, bool needInput,
                                            std::vector<InstanceHandle>* list)
{
    if (Instance_Base* parent = HandleEx::ResolveInstance(m_parent))
        parent->GlobalToLocal(x, y);
    return HitTest(x, y, solid, needInput, list);
}

// Images and texts: a hit counts for the parent movie, which is listed in their place.
InstanceHandle Instance_Base::HitTest(float x, float y, bool /*solid*/, bool needInput,
                                      std::vector<InstanceHandle>* list)
{
    if (!HitBox(x, y, needInput))
        return {};
    Instance_Base* parent = HandleEx::ResolveInstance(m_parent);
    if (!parent)
        return {};
    if (list && !parent->m_hitMarker) {
        list->push_back(m_parent);
        parent->m_hitMarker = true;
    }
    return m_parent;
}

CRenderCanvas* Instance_Base::GetCanvas(bool create)
{
    if (!m_canvas && create) {
        CRenderManager* renderer = CRenderManager::Instance();
        if (CRenderCanvasManager* manager = renderer ? renderer->GetCanvasManager() : nullptr)
            m_canvas = manager->CreateCanvas();
    }
    return m_canvas.get();
}

} // namespace QuillEngine
