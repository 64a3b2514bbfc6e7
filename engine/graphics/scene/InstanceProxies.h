#pragma once
// Safe proxies: objects that answer the instance interfaces themselves while holding only an
// InstanceHandle. Every call resolves the handle afresh and forwards to the same operation of the
// live instance; nothing is cached between calls, so a proxy never dangles. Once the instance is
// gone (its handle released), calls do nothing and answer empty, false or zero, and output
// arguments are set to zero.
//
// Handle_Combined joins a deck leaf and a stage leaf into one object answering both interfaces;
// each leaf keeps its own copy of the handle, and Assign sets both.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"

namespace QuillEngine::HandleEx {

// Each is null when the handle has no table, no longer matches its slot, or names an instance of
// another kind.
IInstanceDeck* ResolveInstanceDeck(const Handle& handle);
IInstanceStage* ResolveInstanceStage(const Handle& handle);
IMovieDeck* ResolveMovieDeck(const Handle& handle);
IMovieStage* ResolveMovieStage(const Handle& handle);
IImageDeck* ResolveImageDeck(const Handle& handle);
IImageStage* ResolveImageStage(const Handle& handle);

class Proxy_Base {
public:
    virtual ~Proxy_Base() = default;
    virtual void SetHandle(const InstanceHandle& handle) { m_handle = handle; }
    const InstanceHandle& GetProxyHandle() const { return m_handle; }

protected:
    Proxy_Base() = default;
    explicit Proxy_Base(const InstanceHandle& handle) : m_handle(handle) {}
    Proxy_Base(const Proxy_Base&) = default;
    Proxy_Base& operator=(const Proxy_Base&) = default;

    InstanceHandle m_handle;
};

class DeckProxy_Base : public IInstanceDeck, public Proxy_Base {
protected:
    using Proxy_Base::Proxy_Base;
};

class StageProxy_Base : public IInstanceStage, public Proxy_Base {
protected:
    using Proxy_Base::Proxy_Base;
};

class DeckProxy_Leaf_SafeInstanceInvoke : public DeckProxy_Base {
public:
    DeckProxy_Leaf_SafeInstanceInvoke() = default;
    explicit DeckProxy_Leaf_SafeInstanceInvoke(const InstanceHandle& handle) : DeckProxy_Base(handle) {}

    void Delete(bool detachHandlers) override;
    bool HasNoIndex() const override;
    InstanceHandle GetParent() const override;
    String GetName() const override;
    String GetPath() const override;
    String GetDefinitionName() const override;
    int32_t GetState() const override;
    int32_t GetType() const override;
    void MoveBefore(const InstanceHandle& sibling) override;
    void MoveAfter(const InstanceHandle& sibling) override;
    void MoveToBack() override;
    void MoveToFront() override;
    void SetDropShadow(float dx, float dy, uint32_t color) override;
    bool GetDropShadow(float& dx, float& dy, uint32_t& color) const override;
    void SetInputEnabled(bool enabled) override;
    bool GetInputEnabled() const override;
    void SetMaterial(uint32_t material) override;
    uint32_t GetMaterial() const override;
    void SetOpacity(float opacity) override;
    float GetOpacity() const override;
    void SetAllowFiltering(bool allow) override;
    bool GetAllowFiltering() const override;
    void SetPosition(float x, float y) override;
    void SetX(float x) override;
    void SetY(float y) override;
    void GetPosition(float& x, float& y) const override;
    float GetX() const override;
    float GetY() const override;
    void SetRegistrationPoint(float x, float y) override;
    void GetRegistrationPoint(float& x, float& y) const override;
    void SetRotation(float radians) override;
    float GetRotation() const override;
    void SetScale(float sx, float sy) override;
    void GetScale(float& sx, float& sy) const override;
    void SetVisible(bool visible) override;
    bool GetVisible() const override;

protected:
    IInstanceDeck* Deck() const { return ResolveInstanceDeck(m_handle); }
};

class StageProxy_Leaf_SafeInstanceInvoke : public StageProxy_Base {
public:
    StageProxy_Leaf_SafeInstanceInvoke() = default;
    explicit StageProxy_Leaf_SafeInstanceInvoke(const InstanceHandle& handle) : StageProxy_Base(handle) {}

    InstanceHandle GetHandle() const override;
    void GetBounds(float& left, float& top, float& right, float& bottom) override;
    void GetSize(float& width, float& height) override;
    void GetLocalMousePosition(float& x, float& y) override;
    InstanceHandle HitTestGlobal(float x, float y, bool solid, bool needInput,
                                 std::vector<InstanceHandle>* list) override;
    InstanceHandle HitTest(float x, float y, bool solid, bool needInput, std::vector<InstanceHandle>* list) override;
    void LocalToGlobal(float& x, float& y) override;
    void GlobalToLocal(float& x, float& y) override;
    void SetExplicitBounds(float x, float y, float width, float height) override;
    void ClearExplicitBounds() override;

protected:
    IInstanceStage* Stage() const { return ResolveInstanceStage(m_handle); }
};

class MovieDeckProxy_Base : public IMovieDeck {
protected:
    ~MovieDeckProxy_Base() = default;
};

class MovieDeckProxy_Leaf_SafeInstanceInvoke : public DeckProxy_Leaf_SafeInstanceInvoke, public MovieDeckProxy_Base {
public:
    using DeckProxy_Leaf_SafeInstanceInvoke::DeckProxy_Leaf_SafeInstanceInvoke;

    InstanceHandle CreateEmptyChild(const String& name) override;
    InstanceHandle CreateChild(const String& definitionName, const String& instanceName) override;
    bool HasChild(StringView name) const override;
    IInstanceEventHandler* GetEventHandler() const override;
    void SetEventHandler(IInstanceEventHandler* handler) override;
    int32_t GetNumFrames() const override;
    void SetFrame(int32_t frame) override;
    int32_t GetFrame() const override;
    void SetFrameMultiplier(float multiplier) override;
    void SetInputEnabledRecursive(bool enabled) override;
    void SetPlaying(bool playing) override;
    void SetPlayingRecursive(bool playing) override;
    void SetPaused(bool paused) override;
    void SetPausedRecursive(bool paused) override;
    void SetReverse(bool reverse) override;
    void SetReverseRecursive(bool reverse) override;

private:
    IMovieDeck* MovieDeck() const { return ResolveMovieDeck(m_handle); }
};

class MovieStageProxy_Base : public IMovieStage {
protected:
    ~MovieStageProxy_Base() = default;
};

class MovieStageProxy_Leaf_SafeInstanceInvoke : public StageProxy_Leaf_SafeInstanceInvoke, public MovieStageProxy_Base {
public:
    using StageProxy_Leaf_SafeInstanceInvoke::StageProxy_Leaf_SafeInstanceInvoke;

    int32_t GetChildCount() const override;
    InstanceHandle GetChild(int32_t index) const override;
    InstanceHandle FindChild(StringView path) const override;
    InstanceHandle FindChildByPrefix(StringView prefix) const override;
    void CollectChildren(std::vector<InstanceHandle>& out, bool inDrawOrder) const override;
    void RemoveChild(StringView name) override;
    bool SetFrameFromLabel(StringView label) override;

private:
    IMovieStage* MovieStage() const { return ResolveMovieStage(m_handle); }
};

class ImageDeckProxy_Base : public IImageDeck {
protected:
    ~ImageDeckProxy_Base() = default;
};

class ImageDeckProxy_Leaf_SafeInstanceInvoke : public DeckProxy_Leaf_SafeInstanceInvoke, public ImageDeckProxy_Base {
public:
    using DeckProxy_Leaf_SafeInstanceInvoke::DeckProxy_Leaf_SafeInstanceInvoke;

    void SetColorRGB(int32_t r, int32_t g, int32_t b) override;
    void SetColor(uint32_t color) override;
    void GetColorRGB(int32_t& r, int32_t& g, int32_t& b) const override;
    uint32_t GetColor() const override;
    void GetImageInfo(QuadTexRect* textureRect, int32_t* size) const override;

private:
    IImageDeck* ImageDeck() const { return ResolveImageDeck(m_handle); }
};

class ImageStageProxy_Base : public IImageStage {
protected:
    ~ImageStageProxy_Base() = default;
};

class ImageStageProxy_Leaf_SafeInstanceInvoke : public StageProxy_Leaf_SafeInstanceInvoke, public ImageStageProxy_Base {
public:
    using StageProxy_Leaf_SafeInstanceInvoke::StageProxy_Leaf_SafeInstanceInvoke;

    std::unique_ptr<uint32_t[]> ReadPixels(uint32_t& width, uint32_t& height) override;
};

template <class DeckLeaf, class StageLeaf> class Handle_Combined : public DeckLeaf, public StageLeaf {
public:
    Handle_Combined() = default;
    explicit Handle_Combined(const InstanceHandle& handle) : DeckLeaf(handle), StageLeaf(handle) {}
    Handle_Combined(const Handle_Combined&) = default;
    Handle_Combined& operator=(const Handle_Combined&) = default;

    void Assign(const InstanceHandle& handle)
    {
        DeckLeaf::SetHandle(handle);
        StageLeaf::SetHandle(handle);
    }
};

using InstanceProxy = Handle_Combined<DeckProxy_Leaf_SafeInstanceInvoke, StageProxy_Leaf_SafeInstanceInvoke>;
using MovieProxy = Handle_Combined<MovieDeckProxy_Leaf_SafeInstanceInvoke, MovieStageProxy_Leaf_SafeInstanceInvoke>;
using ImageProxy = Handle_Combined<ImageDeckProxy_Leaf_SafeInstanceInvoke, ImageStageProxy_Leaf_SafeInstanceInvoke>;

} // namespace QuillEngine::HandleEx
