#pragma once
// The container of the instance tree: a movie owns its children, keeps them in creation order
// (the child list) and in drawing order (the draw list), plays the timeline of its movie
// definition (frames, labels, frame events, children that live over a range of frames), raises
// its events to one event handler, updates its child movies once per step and draws its subtree
// through the quad batcher.
//
// Removal is deferred: a removed child leaves both lists at once, is marked (a movie's handle is
// released there and then), and is destroyed at the end of this movie's next update. Anything
// that walks the tree while handlers run therefore never meets a destroyed instance, and a handler
// may delete its own movie.

#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "engine/graphics/scene/Instance_Base.h"
#include "engine/graphics/particles/ParticleHandle.h"

namespace QuillEngine {

class Definition_Movie;

namespace HandleEx {

// Child creation on a movie.
class IMovieDeck {
public:
    // A new, definition-less child movie; empty when the name is taken.
    virtual InstanceHandle CreateEmptyChild(const String& name) = 0;
    // A child made from the last library definition of `definitionName`; empty when the name is
    // taken or the definition is missing or makes nothing.
    virtual InstanceHandle CreateChild(const String& definitionName, const String& instanceName) = 0;
    virtual bool HasChild(StringView name) const = 0;
    virtual IInstanceEventHandler* GetEventHandler() const = 0;
    virtual void SetEventHandler(IInstanceEventHandler* handler) = 0;
    // The definition's frame count; 0 when the definition is not found.
    virtual int32_t GetNumFrames() const = 0;
    // Sets the target frame and builds it: timeline children, frame events, label, keys.
    virtual void SetFrame(int32_t frame) = 0;
    virtual int32_t GetFrame() const = 0;
    virtual void SetFrameMultiplier(float multiplier) = 0;
    // The movie and each direct child.
    virtual void SetInputEnabledRecursive(bool enabled) = 0;
    virtual void SetPlaying(bool playing) = 0;
    // The movie and every movie below it.
    virtual void SetPlayingRecursive(bool playing) = 0;
    // A paused movie runs nothing of its subtree in a step.
    virtual void SetPaused(bool paused) = 0;
    virtual void SetPausedRecursive(bool paused) = 0;
    virtual void SetReverse(bool reverse) = 0;
    virtual void SetReverseRecursive(bool reverse) = 0;

protected:
    ~IMovieDeck() = default;
};

// Child lookup on a movie.
class IMovieStage {
public:
    virtual int32_t GetChildCount() const = 0;
    // Empty for an index outside the child list.
    virtual InstanceHandle GetChild(int32_t index) const = 0;
    // A dotted path through child movies ("scene.button"); names compare case-sensitively.
    virtual InstanceHandle FindChild(StringView path) const = 0;
    virtual InstanceHandle FindChildByPrefix(StringView prefix) const = 0;
    // Clears `out` and fills it with the children's handles, in drawing or creation order.
    virtual void CollectChildren(std::vector<InstanceHandle>& out, bool inDrawOrder) const = 0;
    // Removes the child of that name when it was made by code; timeline children stay.
    virtual void RemoveChild(StringView name) = 0;
    // SetFrame with the frame of the label named exactly `label`; false when there is none.
    virtual bool SetFrameFromLabel(StringView label) = 0;

protected:
    ~IMovieStage() = default;
};

} // namespace HandleEx

class Instance_Movie : public Instance_Base, public HandleEx::IMovieDeck, public HandleEx::IMovieStage {
public:
    // Codes of the event queue.
    enum EventCode : int32_t {
        Event_Load = 2,
        Event_Label = 4,
        Event_FrameChanged = 5,
        Event_Update = 6,
        Event_TimelineStop = 7,
    };
    // Frames one update may advance at most, whatever the multiplier asks.
    static constexpr int32_t kMaxFramesPerUpdate = 10000;

    Instance_Movie(UserInterface* userInterface, const String& name);
    ~Instance_Movie() override;

    // --- IMovieDeck ---
    InstanceHandle CreateEmptyChild(const String& name) override;
    InstanceHandle CreateChild(const String& definitionName, const String& instanceName) override;
    bool HasChild(StringView name) const override { return FindDirectChild(name) != nullptr; }
    IInstanceEventHandler* GetEventHandler() const override { return m_handler; }
    void SetEventHandler(IInstanceEventHandler* handler) override;
    void SetInputEnabledRecursive(bool enabled) override;
    int32_t GetNumFrames() const override;
    void SetFrame(int32_t frame) override;
    int32_t GetFrame() const override { return m_targetFrame; }
    // A multiplier that is not a finite number would freeze the timeline: it counts as 1.
    void SetFrameMultiplier(float multiplier) override
    {
        m_frameMultiplier = std::isfinite(multiplier) ? multiplier : 1.0f;
    }
    void SetPlaying(bool playing) override { m_playing = playing; }
    void SetPlayingRecursive(bool playing) override;
    void SetPaused(bool paused) override { m_paused = paused; }
    void SetPausedRecursive(bool paused) override;
    void SetReverse(bool reverse) override { m_reverse = reverse; }
    void SetReverseRecursive(bool reverse) override;

    // --- IMovieStage ---
    int32_t GetChildCount() const override { return static_cast<int32_t>(m_children.size()); }
    InstanceHandle GetChild(int32_t index) const override;
    InstanceHandle FindChild(StringView path) const override;
    InstanceHandle FindChildByPrefix(StringView prefix) const override;
    void CollectChildren(std::vector<InstanceHandle>& out, bool inDrawOrder) const override;
    void RemoveChild(StringView name) override;
    bool SetFrameFromLabel(StringView label) override;

    // --- values passed down the subtree ---
    void SetDropShadow(float dx, float dy, uint32_t color) override;
    void SetMaterial(uint32_t material) override;
    void SetAllowFiltering(bool allow) override;
    void SetColor(uint32_t color) override;

    // Movies are hit where their children are (or anywhere in their explicit bounds, or anywhere
    // in their box when solid).
    InstanceHandle HitTest(float x, float y, bool solid, bool needInput, std::vector<InstanceHandle>* list) override;

    // One step: the timeline advances by fps / 60 x multiplier frames, child movies are updated in
    // creation order, queued events go to the handler, then removed children are destroyed.
    void Update();
    // Delivers the queued events to the handler, in order.
    void DispatchTimelineEvents();
    // Queues an event for the handler; without a handler nothing is queued, and a load is
    // remembered to be delivered once a handler is there.
    void QueueEvent(int32_t code, const String* label = nullptr);
    // Draws the subtree. `matrix` is this movie's global matrix (the root is drawn with the
    // identity), `parentAlpha` the opacity inherited from above.
    void Render(const Transform2D& matrix, float parentAlpha);

    // Takes an instance made elsewhere (a definition) as a child made by code: parent link,
    // material word, registration, both lists. False (the instance is destroyed) when the name is
    // taken.
    bool AdoptChild(std::unique_ptr<Instance_Base> child, bool copyMaterial);
    // Takes the child out of both lists into the pending deletes, marking it first.
    void RemoveChildInstance(Instance_Base* child);
    // Removes `child` when it is a child made by code of this movie.
    void RemoveCodeChild(Instance_Base* child);
    // Marks the subtree for deletion (children first), tells the handler, then releases the own
    // handle: handles to this movie stop resolving from here on.
    void MarkDeleted();
    // Clears the event handler of this movie and of every movie below it.
    void DetachHandlersRecursive();

    // --- particle emitters: stepped with this movie's updates, drawn after its children ---
    void AddEmitterHandle(const EmitterHandle& emitter);
    // Destroys every emitter that still resolves and empties the list.
    void DeleteAllParticleEmitters();
    // Loads "Emitters\" + `file` (an existing definition of the same name stays), makes the
    // emitter `emitterName` on this movie and places it at (x, y). Empty on failure.
    EmitterHandle CreateParticleEmitter(const String& file, const String& emitterName, int32_t x, int32_t y);
    const std::vector<EmitterHandle>& Emitters() const { return m_emitters; }
    bool HasEmitters() const { return !m_emitters.empty(); }

    std::vector<Instance_Base*>& DrawList() { return m_drawList; }
    bool GetPlaying() const { return m_playing; }
    bool GetPaused() const { return m_paused; }
    bool GetReverse() const { return m_reverse; }
    float GetFrameMultiplier() const { return m_frameMultiplier; }
    int32_t GetCurrentFrame() const { return m_currentFrame; }
    float GetFrameAccumulator() const { return m_accumulator; }
    size_t QueuedEventCount() const { return m_events.size(); }
    const String& GetUserData() const { return m_userData; }
    void SetUserData(const String& data) { m_userData = data; }
    size_t PendingDeleteCount() const { return m_pendingDeletes.size(); }
    const InstanceHandle& GetHandlerHandle() const { return m_handlerHandle; }
    void SetHandlerHandle(const InstanceHandle& handle) { m_handlerHandle = handle; }

protected:
    void ComputeContentQuad(Vec2 corners[4]) override;

private:
    struct QueuedEvent {
        int32_t code;
        String label;
    };

    Instance_Base* FindDirectChild(StringView name) const;
    void DestroyPendingDeletes();
    // The movie definition by name and index; null when it is gone or is no movie.
    const Definition_Movie* FindDefinition() const;
    // Builds the target frame (see SetFrame).
    void ApplyFrame();
    void RemoveDeadTimelineChildren(const Definition_Movie& definition);
    void CreateTimelineChildren(const Definition_Movie& definition);
    void InsertByDepth(Instance_Base* child, const Definition_Movie& definition);
    // Advances the timeline; false when the movie was deleted on the way.
    bool AdvanceTimeline(const Definition_Movie& definition);
    // Calls the named handler of this movie's script table through the UserInterface's script
    // handlers; the argument (a label) is passed in the ANSI code page.
    void CallScript(const char* handler, const String* argument = nullptr);

    void StepEmitters();
    void DrawEmitters(const Transform2D& matrix, float alpha);

    std::vector<std::unique_ptr<Instance_Base>> m_children;
    std::vector<std::unique_ptr<Instance_Base>> m_pendingDeletes;
    int32_t m_currentFrame = -1;
    float m_accumulator = 0;
    IInstanceEventHandler* m_handler = nullptr; // not owned
    std::deque<QueuedEvent> m_events;
    bool m_pendingLoad = false;
    bool m_dispatching = false;
    float m_frameMultiplier = 1.0f;
    InstanceHandle m_handlerHandle;
    int32_t m_targetFrame = 0;
    bool m_playing = false;
    bool m_paused = false;
    std::vector<Instance_Base*> m_drawList;
    bool m_reverse = false;
    // Nesting of frame events that jump (goto): a chain of jumps that comes back on itself is cut.
    int32_t m_gotoDepth = 0;
    String m_userData;
    // Handles of the child movies being updated; reused from step to step.
    std::vector<InstanceHandle> m_updateScratch;
    std::vector<EmitterHandle> m_emitters;
};

} // namespace QuillEngine
