#pragma once
// Handles to scene instances. Code outside the instance tree never keeps an instance pointer: it
// keeps an InstanceHandle and resolves it at each use. A handle stops resolving when its instance
// is released from the UserInterface (a movie when it is marked for deletion, any other instance
// when it is destroyed), so a stale handle is always detected, never followed.

#include <cstdint>

#include "engine/core/strings/EngineString.h"
#include "engine/core/Handle.h"

namespace QuillEngine {

class Instance_Base;
class Instance_Image;
class Instance_Movie;

struct InstanceHandle : Handle {
    InstanceHandle() = default;
    InstanceHandle(const Handle& handle) : Handle(handle) {}

    // The instance, or null for an empty or stale handle.
    Instance_Base* Resolve() const;

    // The same handle when it resolves to an instance of that kind (or state), else empty.
    InstanceHandle AsMovie() const;
    InstanceHandle AsImage() const;
    InstanceHandle AsText() const;
    InstanceHandle AsLive() const;
    InstanceHandle AsLiveMovie() const { return AsLive().AsMovie(); }

    // Forwarding calls; each does nothing (or answers empty) when the handle does not resolve.
    void Delete(bool detachHandlers) const;
    InstanceHandle GetParent() const;
    void MoveBefore(const InstanceHandle& sibling) const;
    void SetInputEnabled(bool enabled) const;
    void SetOpacity(float opacity) const;
    void SetPosition(float x, float y) const;
    void SetRotation(float radians) const;
    void SetScale(float sx, float sy) const;
    void SetVisible(bool visible) const;
    // A child of a movie made from a library definition; empty when the handle names no movie.
    InstanceHandle CreateChild(const String& definitionName, const String& instanceName) const;
    // Movie operations; nothing when the handle names no movie.
    void SetFrame(int32_t frame) const;
    void SetEventHandler(class IInstanceEventHandler* handler) const;
    void SetPlaying(bool playing) const;
};

// Receives a movie's events (implemented by game objects). Every call names the movie by its
// handle. A movie never deletes its handler: the object that sets itself as a handler owns itself
// and clears the handler (or deletes the movie) before it goes.
class IInstanceEventHandler {
public:
    virtual ~IInstanceEventHandler() = default;
    // True stops the hover list at this movie: movies under it get no pointer events.
    virtual bool ConsumesMouse(const InstanceHandle& /*handle*/) { return false; }
    virtual void OnFrameChanged(const InstanceHandle& /*handle*/) {}
    virtual void OnChar(const InstanceHandle& /*handle*/, uint32_t /*character*/) {}
    virtual void OnKeyDown(const InstanceHandle& /*handle*/, uint32_t /*key*/) {}
    virtual void OnKeyUp(const InstanceHandle& /*handle*/, uint32_t /*key*/) {}
    virtual void OnLabelHit(const InstanceHandle& /*handle*/, const String& /*label*/) {}
    virtual void OnLoad(const InstanceHandle& /*handle*/) {}
    virtual void OnMouseDown(const InstanceHandle& /*handle*/, bool /*notLeft*/) {}
    virtual void OnMouseEnter(const InstanceHandle& /*handle*/) {}
    virtual void OnMouseLeave(const InstanceHandle& /*handle*/) {}
    virtual void OnMouseUp(const InstanceHandle& /*handle*/, bool /*notLeft*/) {}
    virtual void OnMouseUpOutside(const InstanceHandle& /*handle*/, bool /*notLeft*/) {}
    virtual void OnMouseOver(const InstanceHandle& /*handle*/) {}
    virtual void OnUpdate(const InstanceHandle& /*handle*/) {}
    virtual void OnTimelineStop(const InstanceHandle& /*handle*/) {}
    // The movie has been marked for deletion; its handle no longer resolves after this call.
    virtual void OnDelete(const InstanceHandle& /*handle*/) {}
    // A newly created child movie that already had a handler.
    virtual void OnLoaded(const InstanceHandle& /*handle*/) {}
};

namespace HandleEx {

// Null when the handle has no table or its id no longer matches the table's slot.
Instance_Base* ResolveInstance(const Handle& handle);
Instance_Movie* ResolveMovie(const Handle& handle);
Instance_Image* ResolveImage(const Handle& handle);

} // namespace HandleEx

} // namespace QuillEngine
