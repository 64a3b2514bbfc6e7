#pragma once
// One findable object of a hidden-object scene: a named child of the scene movie, the alpha mask
// that decides whether a click really touches it, and its found animation (grow, shrink, hide).

#include <cstdint>
#include <memory>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/states/StateMachine.h"

// What an item tells the board it lies on.
class IItemOwner {
public:
    virtual void OnBluebirdFound(const QuillEngine::String& instanceName) = 0;
    // The item finished its found animation.
    virtual void CheckComplete() = 0;

protected:
    ~IItemOwner() = default;
};

class Item : public StateMachine, public QuillEngine::IInstanceEventHandler {
public:
    enum State : int32_t { State_Ready = 0, State_Found = 2, State_Shrinking = 3, State_Hidden = 4 };

    static constexpr float kScaleStep = 0.017f;
    // Alpha above this counts as the object; the window looked at is 6 x 6 pixels.
    static constexpr uint8_t kAlphaThreshold = 60;
    static constexpr int32_t kWindowReach = 3;

    explicit Item(IItemOwner* board) : m_board(board) {}
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    // Binds the scene child that shows the item: the item hears its events, and the alpha of its
    // first child (an image) becomes the mask. `sortKey` is the child's index among its siblings.
    void Bind(const QuillEngine::InstanceHandle& instance, int32_t sortKey);

    void SetName(const QuillEngine::String& name);
    void SetGroup(const QuillEngine::String& group) { m_group = group; }
    void SetPlural(const QuillEngine::String& plural) { m_plural = plural; }
    void SetDifficulty(uint32_t difficulty) { m_difficulty = difficulty; }
    void SetActive(bool active) { m_active = active; }

    const QuillEngine::String& GetName() const { return m_name; }
    const QuillEngine::String& GetGroup() const { return m_group; }
    const QuillEngine::String& GetPlural() const { return m_plural; }
    // The name a find-list entry carries for this item: its group for a group entry, else its name.
    const QuillEngine::String& CompareName(bool groupEntry) const { return groupEntry ? m_group : m_name; }
    QuillEngine::String GetInstanceName() const;
    const QuillEngine::InstanceHandle& GetInstance() const { return m_instance; }
    uint32_t GetDifficulty() const { return m_difficulty; }
    bool IsActive() const { return m_active; }
    bool IsBluebird() const { return m_bluebird; }
    bool IsVisible() const;
    int32_t SortKey() const { return m_sortKey; }
    int32_t MaskWidth() const { return m_maskWidth; }
    // Some pixel of the picture is solid enough to take a click (false without a picture).
    bool HasSolidPixel() const;
    int32_t MaskHeight() const { return m_maskHeight; }

    // Whether the point (in the scene's space) lies on the item's opaque pixels, looking at a
    // 6 x 6 window around it.
    bool HitTest(float x, float y) const;
    // The same on a mask of 32-bit pixels whose fourth byte is the alpha, at the rounded local
    // point (px, py).
    static bool MaskHit(const uint32_t* mask, int32_t width, int32_t height, int32_t px, int32_t py);
    // The alpha of the one pixel under the point (scene space): what the item draws there.
    uint8_t AlphaAt(float x, float y) const;
    // The alpha of a mask's pixel under the local point (x, y); 0 off the mask.
    static uint8_t MaskAlpha(const uint32_t* mask, int32_t width, int32_t height, float x, float y);

    // A click took the item: sound (or the bluebird count), report, then the found animation.
    void OnFound();
    void Hide();
    void StartSparkle();
    // One step of the found animation.
    void Tick() { StateMachine::Update(); }

    // IInstanceEventHandler's per-step hook is not the state hook of that name.
    using QuillEngine::IInstanceEventHandler::OnUpdate;

    // Tests: an alpha mask of the given size, as if read from the picture.
    void SetMask(std::unique_ptr<uint32_t[]> mask, int32_t width, int32_t height);

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t state) override;
    void OnUpdate(int32_t state) override;

private:
    void ReadMask();

    QuillEngine::InstanceHandle m_instance;
    QuillEngine::String m_name;
    QuillEngine::String m_group;
    QuillEngine::String m_plural;
    uint32_t m_difficulty = 0;
    float m_maxScale = 1.5f;
    float m_minScale = 1.0f;
    float m_scale = 1.0f;
    bool m_active = false;
    IItemOwner* m_board;
    bool m_bluebird = false;
    std::unique_ptr<uint32_t[]> m_mask;
    int32_t m_maskWidth = 0;
    int32_t m_maskHeight = 0;
    int32_t m_sortKey = 0;
};
