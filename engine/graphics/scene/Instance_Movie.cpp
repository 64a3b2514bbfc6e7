#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Definition_Movie.h"

#include "engine/graphics/canvas/RenderCanvas.h"

#include <algorithm>

#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/particles/ParticleEmitter.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"

namespace QuillEngine {

Instance_Movie::Instance_Movie(UserInterface* userInterface, const String& name)
    : Instance_Base(userInterface, name, Type_Movie)
{
}

Instance_Movie::~Instance_Movie()
{
    DeleteAllParticleEmitters();
    m_drawList.clear();
    while (!m_pendingDeletes.empty())
        m_pendingDeletes.pop_back();
    while (!m_children.empty())
        m_children.pop_back();
}

// --- children ---

Instance_Base* Instance_Movie::FindDirectChild(StringView name) const
{
    for (const auto& child : m_children)
        if (child->Name() == name)
            return child.get();
    return nullptr;
}

bool Instance_Movie::AdoptChild(std::unique_ptr<Instance_Base> child, bool copyMaterial)
{
    // A movie being deleted takes no new children: nothing could reach them, and marking its
    // subtree must not see the child list grow.
    if (!child || !IsAlive() || HasChild(child->Name()))
        return false;
    child->SetParent(GetHandle());
    if (copyMaterial)
        child->SetMaterial(GetMaterial());
    if (UserInterface* ui = GetUserInterface())
        ui->RegisterInstance(child.get());
    child->SetState(State_Alive);
    m_drawList.push_back(child.get());
    m_children.push_back(std::move(child));
    InvalidateTransform();
    return true;
}

InstanceHandle Instance_Movie::CreateEmptyChild(const String& name)
{
    auto child = std::make_unique<Instance_Movie>(GetUserInterface(), name);
    Instance_Movie* raw = child.get();
    if (!AdoptChild(std::move(child), false))
        return {};
    const InstanceHandle handle = raw->GetHandle();
    raw->ApplyFrame();
    raw->QueueEvent(Event_Load);
    raw->CallScript("OnLoad");
    return handle;
}

InstanceHandle Instance_Movie::CreateChild(const String& definitionName, const String& instanceName)
{
    if (!IsAlive() || HasChild(instanceName))
        return {};
    UserInterface* ui = GetUserInterface();
    DefinitionLibrary* library = ui ? ui->GetDefinitionLibrary() : nullptr;
    const Definition_Base* definition = library ? library->GetDefinition(definitionName, -1) : nullptr;
    if (!definition)
        return {};
    std::unique_ptr<Instance_Base> child(definition->CreateInstance(ui, instanceName));
    if (!child)
        return {};
    Instance_Base* raw = child.get();
    if (!AdoptChild(std::move(child), true))
        return {};
    const InstanceHandle handle = raw->GetHandle();
    if (raw->GetType() == Type_Movie) {
        auto* movie = static_cast<Instance_Movie*>(raw);
        if (IInstanceEventHandler* handler = movie->GetEventHandler())
            handler->OnLoaded(movie->GetHandlerHandle());
        // The handler may have deleted it again.
        if (HandleEx::ResolveMovie(handle) == movie) {
            movie->ApplyFrame();
            movie->QueueEvent(Event_Load);
            movie->CallScript("OnLoad");
        }
    }
    return handle;
}

void Instance_Movie::RemoveChild(StringView name)
{
    Instance_Base* child = FindDirectChild(name);
    if (child && child->HasNoIndex() && child->IsAlive())
        RemoveChildInstance(child);
}

void Instance_Movie::RemoveCodeChild(Instance_Base* child)
{
    if (!child->HasNoIndex() || !child->IsAlive())
        return;
    for (const auto& c : m_children)
        if (c.get() == child) {
            RemoveChildInstance(child);
            return;
        }
}

void Instance_Movie::RemoveChildInstance(Instance_Base* child)
{
    auto it = std::find_if(m_children.begin(), m_children.end(), [child](const auto& c) { return c.get() == child; });
    if (it == m_children.end())
        return;
    // Out of both lists first: marking a movie calls its handler, which must already see the
    // tree without it.
    m_pendingDeletes.push_back(std::move(*it));
    m_children.erase(it);
    m_drawList.erase(std::remove(m_drawList.begin(), m_drawList.end(), child), m_drawList.end());
    InvalidateTransform();
    if (child->GetType() == Type_Movie)
        static_cast<Instance_Movie*>(child)->MarkDeleted();
    else
        child->SetState(State_Deleting);
}

void Instance_Movie::MarkDeleted()
{
    if (!IsAlive())
        return;
    // The state changes first, so that a handler reacting to a deletion below cannot start this
    // one again.
    SetState(State_Deleting);
    // Handlers may add or remove children of this movie while it is being marked: walk by index
    // and repeat until a pass finds nothing alive.
    for (bool marked = true; marked;) {
        marked = false;
        for (size_t i = 0; i < m_children.size(); ++i) {
            Instance_Base* child = m_children[i].get();
            if (!child->IsAlive())
                continue;
            marked = true;
            if (child->GetType() == Type_Movie)
                static_cast<Instance_Movie*>(child)->MarkDeleted();
            else
                child->SetState(State_Deleting);
        }
    }
    if (IInstanceEventHandler* handler = m_handler)
        handler->OnDelete(m_handlerHandle);
    if (UserInterface* ui = GetUserInterface())
        ui->ReleaseInstance(this);
}

void Instance_Movie::DestroyPendingDeletes()
{
    while (!m_pendingDeletes.empty()) {
        std::unique_ptr<Instance_Base> doomed = std::move(m_pendingDeletes.back());
        m_pendingDeletes.pop_back();
        doomed.reset();
    }
}

void Instance_Movie::SetEventHandler(IInstanceEventHandler* handler)
{
    // The handler is never owned: its owner clears it (or deletes the movie) before it goes.
    m_handler = handler;
    if (!handler)
        m_events.clear();
}

void Instance_Movie::DetachHandlersRecursive()
{
    SetEventHandler(nullptr);
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i]->GetType() == Type_Movie)
            static_cast<Instance_Movie*>(m_children[i].get())->DetachHandlersRecursive();
}

void Instance_Movie::SetPlayingRecursive(bool playing)
{
    m_playing = playing;
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i]->GetType() == Type_Movie)
            static_cast<Instance_Movie*>(m_children[i].get())->SetPlayingRecursive(playing);
}

void Instance_Movie::SetPausedRecursive(bool paused)
{
    m_paused = paused;
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i]->GetType() == Type_Movie)
            static_cast<Instance_Movie*>(m_children[i].get())->SetPausedRecursive(paused);
}

void Instance_Movie::SetReverseRecursive(bool reverse)
{
    m_reverse = reverse;
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i]->GetType() == Type_Movie)
            static_cast<Instance_Movie*>(m_children[i].get())->SetReverseRecursive(reverse);
}

void Instance_Movie::SetInputEnabledRecursive(bool enabled)
{
    SetInputEnabled(enabled);
    for (const auto& child : m_children)
        child->SetInputEnabled(enabled);
}

// --- lookup ---

InstanceHandle Instance_Movie::GetChild(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_children.size())
        return {};
    return m_children[static_cast<size_t>(index)]->GetHandle();
}

InstanceHandle Instance_Movie::FindChild(StringView path) const
{
    const Instance_Movie* movie = this;
    for (;;) {
        if (path.empty())
            return {};
        const Instance_Movie* next = nullptr;
        for (const auto& child : movie->m_children) {
            const String& name = child->Name();
            if (name.size() > path.size() || path.compare(0, name.size(), name) != 0)
                continue;
            if (name.size() == path.size())
                return child->GetHandle();
            if (path[name.size()] != u'.')
                continue;
            if (child->GetType() != Type_Movie)
                return {};
            next = static_cast<const Instance_Movie*>(child.get());
            path.remove_prefix(name.size() + 1);
            break;
        }
        if (!next)
            return {};
        movie = next;
    }
}

InstanceHandle Instance_Movie::FindChildByPrefix(StringView prefix) const
{
    for (const auto& child : m_children)
        if (StringView(child->Name()).starts_with(prefix))
            return child->GetHandle();
    return {};
}

void Instance_Movie::CollectChildren(std::vector<InstanceHandle>& out, bool inDrawOrder) const
{
    out.clear();
    if (inDrawOrder) {
        for (const Instance_Base* child : m_drawList)
            out.push_back(child->GetHandle());
    } else {
        for (const auto& child : m_children)
            out.push_back(child->GetHandle());
    }
}

// --- values passed down ---

void Instance_Movie::SetDropShadow(float dx, float dy, uint32_t color)
{
    Instance_Base::SetDropShadow(dx, dy, color);
    for (const auto& child : m_children)
        child->SetDropShadow(dx, dy, color);
}

void Instance_Movie::SetMaterial(uint32_t material)
{
    StoreMaterial(material);
    for (const auto& child : m_children)
        child->SetMaterial(material);
}

void Instance_Movie::SetAllowFiltering(bool allow)
{
    StoreFiltering(allow);
    for (const auto& child : m_children)
        child->SetAllowFiltering(allow);
}

void Instance_Movie::SetColor(uint32_t color)
{
    for (const auto& child : m_children)
        child->SetColor(color);
}

// --- geometry ---

void Instance_Movie::ComputeContentQuad(Vec2 corners[4])
{
    if (m_children.empty()) {
        for (int i = 0; i < 4; ++i)
            corners[i] = {0, 0};
        return;
    }
    float minX = 1000000.0f, minY = 1000000.0f, maxX = -1000000.0f, maxY = -1000000.0f;
    for (const auto& child : m_children) {
        const Vec2* quad = child->GetBoundsQuad();
        for (int i = 0; i < 4; ++i) {
            minX = std::min(minX, quad[i].x);
            maxX = std::max(maxX, quad[i].x);
            minY = std::min(minY, quad[i].y);
            maxY = std::max(maxY, quad[i].y);
        }
    }
    corners[0] = {minX, minY};
    corners[1] = {minX, maxY};
    corners[2] = {maxX, minY};
    corners[3] = {maxX, maxY};
}

InstanceHandle Instance_Movie::HitTest(float x, float y, bool solid, bool needInput, std::vector<InstanceHandle>* list)
{
    if (!HitBox(x, y, needInput))
        return {};
    Transform2D inverse;
    if (!InvertTransform(inverse, GetLocalMatrix()))
        return {};
    Vec2 local{x, y};
    TransformPoint(local, local, inverse);

    InstanceHandle firstHit;
    bool anyHit = false;
    for (size_t i = m_drawList.size(); i-- > 0;) {
        InstanceHandle hit = m_drawList[i]->HitTest(local.x, local.y, solid, needInput, list);
        if (hit.IsEmpty())
            continue;
        if (!anyHit)
            firstHit = hit;
        anyHit = true;
        if (!list)
            break;
    }

    if (!solid && !m_explicitBounds) {
        if (!anyHit)
            return {};
        if (!list)
            return firstHit; // the deepest movie hit
        if (!HitMarker()) {
            list->push_back(GetHandle());
            SetHitMarker(true);
        }
        return list->front();
    }
    if (list && !HitMarker()) {
        list->push_back(GetHandle());
        SetHitMarker(true);
    }
    return GetHandle();
}

// --- stepping and drawing ---

void Instance_Movie::Update()
{
    CallScript("OnUpdate");
    if (m_paused)
        return;
    if (m_playing) {
        if (const Definition_Movie* definition = FindDefinition()) {
            // A frame changes the picture only through what it does to the children (their keys,
            // their coming and going), and each of those marks the frame itself when it changes.
            if (!AdvanceTimeline(*definition))
                return;
        }
    }
    if (m_handler)
        QueueEvent(Event_Update);

    // Child movies are named by handle and re-resolved one by one: an update may delete any of
    // them (a deleted movie's handle stops resolving at once) or add new ones (updated from the
    // next step on).
    std::vector<InstanceHandle> movies = std::move(m_updateScratch);
    movies.clear();
    for (const auto& child : m_children)
        if (child->GetType() == Type_Movie && child->IsAlive())
            movies.push_back(child->GetHandle());
    for (const InstanceHandle& handle : movies)
        if (Instance_Movie* movie = HandleEx::ResolveMovie(handle))
            movie->Update();
    movies.clear();
    if (movies.capacity() > m_updateScratch.capacity())
        m_updateScratch = std::move(movies);

    if (IsAlive()) {
        DispatchTimelineEvents();
        if (IsAlive())
            StepEmitters();
    }
    DestroyPendingDeletes();
}

void Instance_Movie::Render(const Transform2D& matrix, float parentAlpha)
{
    if (!GetVisible())
        return;
    CRenderManager* renderer = CRenderManager::Instance();
    QuadBatcher* batcher = renderer ? renderer->GetBatcher() : nullptr;
    if (!batcher)
        return;
    const float alpha = GetOpacity() * parentAlpha;
    UserInterface* ui = GetUserInterface();
    const int32_t screenW = ui ? ui->ScreenWidth() : 0;
    const int32_t screenH = ui ? ui->ScreenHeight() : 0;
    float shadowDx, shadowDy;
    uint32_t shadowColor;
    const bool shadow = GetDropShadow(shadowDx, shadowDy, shadowColor);

    auto drawChild = [&](Instance_Base* child, const Transform2D& childMatrix) {
        if (child->GetType() != Type_Movie) {
            if (shadow) {
                Transform2D shifted = childMatrix;
                shifted.m31 += shadowDx;
                shifted.m32 += shadowDy;
                child->Draw(*batcher, shifted, alpha, &shadowColor);
            }
            child->Draw(*batcher, childMatrix, alpha, nullptr);
            return;
        }
        // A movie wholly off the screen is skipped (only when the screen size is known).
        if (screenW > 0 && screenH > 0) {
            const Vec2* quad = child->GetBoundsQuad();
            Vec2 p;
            TransformPoint(p, quad[0], matrix);
            float left = p.x, right = p.x, top = p.y, bottom = p.y;
            for (int i = 1; i < 4; ++i) {
                TransformPoint(p, quad[i], matrix);
                left = std::min(left, p.x);
                right = std::max(right, p.x);
                top = std::min(top, p.y);
                bottom = std::max(bottom, p.y);
            }
            if (!static_cast<Instance_Movie*>(child)->HasEmitters() &&
                (right < 0 || bottom < 0 || left > float(screenW) || top > float(screenH)))
                return;
        }
        static_cast<Instance_Movie*>(child)->Render(childMatrix, alpha);
    };

    for (Instance_Base* child : m_drawList) {
        if (!child->GetVisible())
            continue;
        Transform2D childMatrix;
        MultiplyTransform(childMatrix, child->GetLocalMatrix(), matrix);
        // A child's canvas draws under it (list 0) and over it (list 1).
        CRenderCanvas* canvas = child->GetCanvas(false);
        if (canvas)
            canvas->RenderInOrder(childMatrix, 0);
        drawChild(child, childMatrix);
        if (canvas)
            canvas->RenderInOrder(childMatrix, 1);
    }
    DrawEmitters(matrix, alpha);
}

// --- particle emitters ---

void Instance_Movie::AddEmitterHandle(const EmitterHandle& emitter)
{
    if (!emitter.IsEmpty())
        m_emitters.push_back(emitter);
}

void Instance_Movie::DeleteAllParticleEmitters()
{
    for (const EmitterHandle& emitter : m_emitters)
        emitter.Destroy();
    m_emitters.clear();
}

EmitterHandle Instance_Movie::CreateParticleEmitter(const String& file, const String& emitterName, int32_t x,
                                                    int32_t y)
{
    ParticleManager* manager = ParticleManager::Instance();
    if (!manager || !IsAlive())
        return {};
    // A file already loaded keeps its definition (and running emitters their copies).
    if (!manager->LoadEmitter(file, false) && !manager->FindDefinition(emitterName))
        return {};
    const EmitterHandle emitter = manager->CreateAndAttach(emitterName, GetHandle());
    emitter.SetPosition(float(x), float(y));
    return emitter;
}

void Instance_Movie::StepEmitters()
{
    constexpr float kStep = 1.0f / 60.0f;
    // Stepping calls out to nothing, so the list cannot change underneath; finished emitters and
    // stale handles are dropped.
    if (m_emitters.empty())
        return;
    MarkRedraw(); // live particles move
    std::erase_if(m_emitters, [](const EmitterHandle& emitter) { return !emitter.Step(kStep); });
}

void Instance_Movie::DrawEmitters(const Transform2D& matrix, float alpha)
{
    std::erase_if(m_emitters, [](const EmitterHandle& emitter) { return !emitter.IsValid(); });
    for (const EmitterHandle& emitter : m_emitters)
        emitter.Draw(matrix, alpha);
}

} // namespace QuillEngine
