// The timeline of a movie instance: building frames, advancing in updates, and the event queue.

#include <cmath>

#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Definition_Movie.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"

namespace QuillEngine {

const Definition_Movie* Instance_Movie::FindDefinition() const
{
    UserInterface* ui = GetUserInterface();
    DefinitionLibrary* library = ui ? ui->GetDefinitionLibrary() : nullptr;
    const Definition_Base* definition =
        library ? library->GetDefinition(GetDefinitionName(), GetDefinitionIndex()) : nullptr;
    return definition && definition->GetType() == Definition_Base::Type_Movie
               ? static_cast<const Definition_Movie*>(definition)
               : nullptr;
}

int32_t Instance_Movie::GetNumFrames() const
{
    const Definition_Movie* definition = FindDefinition();
    return definition ? static_cast<int32_t>(definition->GetLength()) : 0;
}

void Instance_Movie::SetFrame(int32_t frame)
{
    m_targetFrame = frame;
    ApplyFrame();
}

bool Instance_Movie::SetFrameFromLabel(StringView label)
{
    const Definition_Movie* definition = FindDefinition();
    uint32_t frame = 0;
    if (!definition || !definition->FindLabelFrame(label, frame))
        return false;
    SetFrame(static_cast<int32_t>(frame));
    return true;
}

void Instance_Movie::RemoveDeadTimelineChildren(const Definition_Movie& definition)
{
    const uint32_t target = static_cast<uint32_t>(m_targetFrame);
    // Removing a movie child tells its handler at once, which may change this list: the index is
    // re-checked on every step.
    for (size_t i = m_children.size(); i-- > 0 && IsAlive();) {
        if (i >= m_children.size())
            continue;
        Instance_Base* child = m_children[i].get();
        if (child->HasNoIndex())
            continue;
        const InstanceTrack* track = definition.GetTrack(child->GetTimelineIndex());
        if (!track || m_targetFrame < 0 || !track->LivesAt(target))
            RemoveChildInstance(child);
    }
}

void Instance_Movie::InsertByDepth(Instance_Base* child, const Definition_Movie& definition)
{
    const InstanceTrack* own = definition.GetTrack(child->GetTimelineIndex());
    const uint32_t depth = own ? own->depth : 0;
    for (auto it = m_drawList.begin(); it != m_drawList.end(); ++it) {
        if ((*it)->HasNoIndex())
            continue;
        const InstanceTrack* track = definition.GetTrack((*it)->GetTimelineIndex());
        if (track && track->depth > depth) {
            m_drawList.insert(it, child);
            return;
        }
    }
    m_drawList.push_back(child);
}

void Instance_Movie::CreateTimelineChildren(const Definition_Movie& definition)
{
    UserInterface* ui = GetUserInterface();
    const uint32_t target = static_cast<uint32_t>(m_targetFrame);
    const bool hadFrame = m_currentFrame >= 0;
    const uint32_t current = static_cast<uint32_t>(m_currentFrame);
    bool created = false;
    const int32_t trackCount = static_cast<int32_t>(definition.GetTracks().size());
    for (int32_t i = 0; i < trackCount && IsAlive(); ++i) {
        const InstanceTrack& track = definition.GetTracks()[static_cast<size_t>(i)];
        if (m_targetFrame < 0 || !track.LivesAt(target) || (hadFrame && track.LivesAt(current)))
            continue;
        std::unique_ptr<Instance_Base> child(definition.CreateTrackInstance(i, ui));
        if (!child)
            continue;
        if (HasChild(child->Name()))
            continue; // the new instance is destroyed unregistered
        child->SetTimelineIndex(i);
        child->SetParent(GetHandle());
        child->SetMaterial(GetMaterial());
        if (ui)
            ui->RegisterInstance(child.get());
        Instance_Base* raw = child.get();
        const InstanceHandle handle = raw->GetHandle();
        InsertByDepth(raw, definition);
        m_children.push_back(std::move(child));
        raw->SetState(State_Alive);
        created = true;
        if (raw->GetType() == Type_Movie) {
            auto* movie = static_cast<Instance_Movie*>(raw);
            if (IInstanceEventHandler* handler = movie->GetEventHandler())
                handler->OnLoaded(movie->GetHandlerHandle());
            if (HandleEx::ResolveMovie(handle) != movie)
                continue; // deleted by its handler
            movie->QueueEvent(Event_Load);
            movie->CallScript("OnLoad");
            movie->ApplyFrame();
        }
    }
    if (created)
        InvalidateTransform();
}

void Instance_Movie::ApplyFrame()
{
    const Definition_Movie* definition = FindDefinition();
    if (!definition)
        return;
    if (IsAlive())
        RemoveDeadTimelineChildren(*definition);
    if (!IsAlive() || m_currentFrame == m_targetFrame)
        return;
    CreateTimelineChildren(*definition);
    if (!IsAlive())
        return;
    m_currentFrame = m_targetFrame;

    if (const FrameEvent* event = definition->FindFrameEvent(static_cast<uint32_t>(m_currentFrame))) {
        // Jumps may chain through frames; a chain longer than the timeline has come back on
        // itself, and no sensible timeline chains more than a few: cut it there instead of
        // recursing until the stack runs out.
        constexpr int32_t kMaxJumpChain = 64;
        const bool canJump =
            m_gotoDepth < kMaxJumpChain && m_gotoDepth <= static_cast<int32_t>(definition->GetLength());
        switch (event->type) {
        case FrameEvent::Stop:
            QueueEvent(Event_TimelineStop);
            CallScript("OnTimelineStop");
            SetPlaying(false);
            break;
        case FrameEvent::GotoAndStop:
            QueueEvent(Event_TimelineStop);
            CallScript("OnTimelineStop");
            if (canJump) {
                ++m_gotoDepth;
                SetFrame(static_cast<int32_t>(event->targetFrame));
                --m_gotoDepth;
            }
            SetPlaying(false);
            break;
        case FrameEvent::GotoAndPlay:
            if (canJump) {
                ++m_gotoDepth;
                SetFrame(static_cast<int32_t>(event->targetFrame));
                --m_gotoDepth;
            }
            SetPlaying(true);
            break;
        default:
            break;
        }
    }
    if (!IsAlive())
        return;

    QueueEvent(Event_FrameChanged);
    CallScript("OnFrameChanged");
    if (const String* label = definition->FindLabel(static_cast<uint32_t>(m_currentFrame))) {
        if (m_handler)
            QueueEvent(Event_Label, label);
        CallScript("OnLabelHit", label);
    }
    const uint32_t frame = static_cast<uint32_t>(m_currentFrame);
    for (size_t i = 0; i < m_children.size(); ++i)
        if (!m_children[i]->HasNoIndex())
            definition->ApplyTrackKey(frame, m_children[i].get());
}

bool Instance_Movie::AdvanceTimeline(const Definition_Movie& definition)
{
    const InstanceHandle self = GetHandle();
    const uint32_t frameCount = definition.GetLength();
    float step = float(definition.GetFps()) / 60.0f * m_frameMultiplier;
    if (m_reverse)
        step = -step;
    step += m_accumulator;
    for (int32_t frames = 0; std::fabs(step) >= 1.0f && frames < kMaxFramesPerUpdate; ++frames) {
        step += step > 0 ? -1.0f : 1.0f;
        int32_t next = m_currentFrame + (m_reverse ? -1 : 1);
        // Forward play loops from the last frame to 0; reverse play stops at 0.
        if (static_cast<uint32_t>(next) >= frameCount)
            next = 0;
        const bool reverse = m_reverse;
        const float multiplier = m_frameMultiplier;
        SetFrame(next);
        if (!m_playing)
            step = 0;
        if (reverse != m_reverse)
            step = -step;
        if (multiplier != m_frameMultiplier && multiplier != 0)
            step *= m_frameMultiplier / multiplier;
        if (HandleEx::ResolveMovie(self) != this)
            return false;
    }
    if (std::fabs(step) >= 1.0f)
        step = 0; // the rest of an absurd multiplier is dropped
    m_accumulator = step;
    return true;
}

void Instance_Movie::QueueEvent(int32_t code, const String* label)
{
    if (!m_handler) {
        if (code == Event_Load)
            m_pendingLoad = true;
        return;
    }
    m_events.push_back(QueuedEvent{code, label ? *label : String()});
}

void Instance_Movie::DispatchTimelineEvents()
{
    // A handler that makes this movie dispatch again adds to the queue this loop is emptying.
    if (m_dispatching)
        return;
    m_dispatching = true;
    bool loadDelivered = false;
    while (!m_events.empty()) {
        QueuedEvent event = std::move(m_events.front());
        m_events.pop_front();
        // Read afresh for each event: a handler may clear or change the handler, or delete the
        // movie, and later events then go to the new handler or nowhere.
        IInstanceEventHandler* handler = m_handler;
        if (!handler || !IsAlive())
            continue;
        switch (event.code) {
        case Event_Load:
            loadDelivered = true;
            handler->OnLoad(m_handlerHandle);
            break;
        case Event_Label:
            handler->OnLabelHit(m_handlerHandle, event.label);
            break;
        case Event_FrameChanged:
            handler->OnFrameChanged(m_handlerHandle);
            break;
        case Event_Update:
            handler->OnUpdate(m_handlerHandle);
            break;
        case Event_TimelineStop:
            handler->OnTimelineStop(m_handlerHandle);
            break;
        default:
            break;
        }
    }
    if (m_pendingLoad) {
        if (loadDelivered) {
            m_pendingLoad = false;
        } else if (m_handler && IsAlive()) {
            // A load raised before any handler was set reaches the first handler once.
            m_pendingLoad = false;
            m_handler->OnLoad(m_handlerHandle);
        }
    }
    m_dispatching = false;
}

} // namespace QuillEngine
