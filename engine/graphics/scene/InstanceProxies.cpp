#include "engine/graphics/scene/InstanceProxies.h"

namespace QuillEngine::HandleEx {

IInstanceDeck* ResolveInstanceDeck(const Handle& handle)
{
    return ResolveInstance(handle);
}

IInstanceStage* ResolveInstanceStage(const Handle& handle)
{
    return ResolveInstance(handle);
}

IMovieDeck* ResolveMovieDeck(const Handle& handle)
{
    return ResolveMovie(handle);
}

IMovieStage* ResolveMovieStage(const Handle& handle)
{
    return ResolveMovie(handle);
}

IImageDeck* ResolveImageDeck(const Handle& handle)
{
    return ResolveImage(handle);
}

IImageStage* ResolveImageStage(const Handle& handle)
{
    return ResolveImage(handle);
}

// --- any instance: deck ---

// The caller's detachHandlers is passed on: a caller that asks for it may be tearing down the
// objects that serve as handlers below the instance, which must then hear nothing.
void DeckProxy_Leaf_SafeInstanceInvoke::Delete(bool detachHandlers)
{
    if (auto* target = Deck())
        target->Delete(detachHandlers);
}

bool DeckProxy_Leaf_SafeInstanceInvoke::HasNoIndex() const
{
    auto* target = Deck();
    return target ? target->HasNoIndex() : false;
}

InstanceHandle DeckProxy_Leaf_SafeInstanceInvoke::GetParent() const
{
    auto* target = Deck();
    return target ? target->GetParent() : InstanceHandle();
}

String DeckProxy_Leaf_SafeInstanceInvoke::GetName() const
{
    auto* target = Deck();
    return target ? target->GetName() : String();
}

String DeckProxy_Leaf_SafeInstanceInvoke::GetPath() const
{
    auto* target = Deck();
    return target ? target->GetPath() : String();
}

String DeckProxy_Leaf_SafeInstanceInvoke::GetDefinitionName() const
{
    auto* target = Deck();
    return target ? target->GetDefinitionName() : String();
}

int32_t DeckProxy_Leaf_SafeInstanceInvoke::GetState() const
{
    auto* target = Deck();
    return target ? target->GetState() : 0;
}

int32_t DeckProxy_Leaf_SafeInstanceInvoke::GetType() const
{
    auto* target = Deck();
    return target ? target->GetType() : 0;
}

void DeckProxy_Leaf_SafeInstanceInvoke::MoveBefore(const InstanceHandle& sibling)
{
    if (auto* target = Deck())
        target->MoveBefore(sibling);
}

void DeckProxy_Leaf_SafeInstanceInvoke::MoveAfter(const InstanceHandle& sibling)
{
    if (auto* target = Deck())
        target->MoveAfter(sibling);
}

void DeckProxy_Leaf_SafeInstanceInvoke::MoveToBack()
{
    if (auto* target = Deck())
        target->MoveToBack();
}

void DeckProxy_Leaf_SafeInstanceInvoke::MoveToFront()
{
    if (auto* target = Deck())
        target->MoveToFront();
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetDropShadow(float dx, float dy, uint32_t color)
{
    if (auto* target = Deck())
        target->SetDropShadow(dx, dy, color);
}

bool DeckProxy_Leaf_SafeInstanceInvoke::GetDropShadow(float& dx, float& dy, uint32_t& color) const
{
    if (auto* target = Deck())
        return target->GetDropShadow(dx, dy, color);
    dx = dy = 0;
    color = 0;
    return false;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetInputEnabled(bool enabled)
{
    if (auto* target = Deck())
        target->SetInputEnabled(enabled);
}

bool DeckProxy_Leaf_SafeInstanceInvoke::GetInputEnabled() const
{
    auto* target = Deck();
    return target ? target->GetInputEnabled() : false;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetMaterial(uint32_t material)
{
    if (auto* target = Deck())
        target->SetMaterial(material);
}

uint32_t DeckProxy_Leaf_SafeInstanceInvoke::GetMaterial() const
{
    auto* target = Deck();
    return target ? target->GetMaterial() : 0u;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetOpacity(float opacity)
{
    if (auto* target = Deck())
        target->SetOpacity(opacity);
}

float DeckProxy_Leaf_SafeInstanceInvoke::GetOpacity() const
{
    auto* target = Deck();
    return target ? target->GetOpacity() : 0.0f;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetAllowFiltering(bool allow)
{
    if (auto* target = Deck())
        target->SetAllowFiltering(allow);
}

bool DeckProxy_Leaf_SafeInstanceInvoke::GetAllowFiltering() const
{
    auto* target = Deck();
    return target ? target->GetAllowFiltering() : false;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetPosition(float x, float y)
{
    if (auto* target = Deck())
        target->SetPosition(x, y);
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetX(float x)
{
    if (auto* target = Deck())
        target->SetX(x);
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetY(float y)
{
    if (auto* target = Deck())
        target->SetY(y);
}

void DeckProxy_Leaf_SafeInstanceInvoke::GetPosition(float& x, float& y) const
{
    if (auto* target = Deck()) {
        target->GetPosition(x, y);
        return;
    }
    x = y = 0;
}

float DeckProxy_Leaf_SafeInstanceInvoke::GetX() const
{
    auto* target = Deck();
    return target ? target->GetX() : 0.0f;
}

float DeckProxy_Leaf_SafeInstanceInvoke::GetY() const
{
    auto* target = Deck();
    return target ? target->GetY() : 0.0f;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetRegistrationPoint(float x, float y)
{
    if (auto* target = Deck())
        target->SetRegistrationPoint(x, y);
}

void DeckProxy_Leaf_SafeInstanceInvoke::GetRegistrationPoint(float& x, float& y) const
{
    if (auto* target = Deck()) {
        target->GetRegistrationPoint(x, y);
        return;
    }
    x = y = 0;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetRotation(float radians)
{
    if (auto* target = Deck())
        target->SetRotation(radians);
}

float DeckProxy_Leaf_SafeInstanceInvoke::GetRotation() const
{
    auto* target = Deck();
    return target ? target->GetRotation() : 0.0f;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetScale(float sx, float sy)
{
    if (auto* target = Deck())
        target->SetScale(sx, sy);
}

void DeckProxy_Leaf_SafeInstanceInvoke::GetScale(float& sx, float& sy) const
{
    if (auto* target = Deck()) {
        target->GetScale(sx, sy);
        return;
    }
    sx = sy = 0;
}

void DeckProxy_Leaf_SafeInstanceInvoke::SetVisible(bool visible)
{
    if (auto* target = Deck())
        target->SetVisible(visible);
}

bool DeckProxy_Leaf_SafeInstanceInvoke::GetVisible() const
{
    auto* target = Deck();
    return target ? target->GetVisible() : false;
}

// --- any instance: stage ---

InstanceHandle StageProxy_Leaf_SafeInstanceInvoke::GetHandle() const
{
    auto* target = Stage();
    return target ? target->GetHandle() : InstanceHandle();
}

void StageProxy_Leaf_SafeInstanceInvoke::GetBounds(float& left, float& top, float& right, float& bottom)
{
    if (auto* target = Stage()) {
        target->GetBounds(left, top, right, bottom);
        return;
    }
    left = top = right = bottom = 0;
}

void StageProxy_Leaf_SafeInstanceInvoke::GetSize(float& width, float& height)
{
    if (auto* target = Stage()) {
        target->GetSize(width, height);
        return;
    }
    width = height = 0;
}

void StageProxy_Leaf_SafeInstanceInvoke::GetLocalMousePosition(float& x, float& y)
{
    if (auto* target = Stage()) {
        target->GetLocalMousePosition(x, y);
        return;
    }
    x = y = 0;
}

InstanceHandle StageProxy_Leaf_SafeInstanceInvoke::HitTestGlobal(float x, float y, bool solid, bool needInput,
                                                                 std::vector<InstanceHandle>* list)
{
    auto* target = Stage();
    return target ? target->HitTestGlobal(x, y, solid, needInput, list) : InstanceHandle();
}

InstanceHandle StageProxy_Leaf_SafeInstanceInvoke::HitTest(float x, float y, bool solid, bool needInput,
                                                           std::vector<InstanceHandle>* list)
{
    auto* target = Stage();
    return target ? target->HitTest(x, y, solid, needInput, list) : InstanceHandle();
}

void StageProxy_Leaf_SafeInstanceInvoke::LocalToGlobal(float& x, float& y)
{
    if (auto* target = Stage())
        target->LocalToGlobal(x, y);
}

void StageProxy_Leaf_SafeInstanceInvoke::GlobalToLocal(float& x, float& y)
{
    if (auto* target = Stage())
        target->GlobalToLocal(x, y);
}

void StageProxy_Leaf_SafeInstanceInvoke::SetExplicitBounds(float x, float y, float width, float height)
{
    if (auto* target = Stage())
        target->SetExplicitBounds(x, y, width, height);
}

void StageProxy_Leaf_SafeInstanceInvoke::ClearExplicitBounds()
{
    if (auto* target = Stage())
        target->ClearExplicitBounds();
}

// --- movies ---

InstanceHandle MovieDeckProxy_Leaf_SafeInstanceInvoke::CreateEmptyChild(const String& name)
{
    auto* target = MovieDeck();
    return target ? target->CreateEmptyChild(name) : InstanceHandle();
}

InstanceHandle MovieDeckProxy_Leaf_SafeInstanceInvoke::CreateChild(const String& definitionName,
                                                                   const String& instanceName)
{
    auto* target = MovieDeck();
    return target ? target->CreateChild(definitionName, instanceName) : InstanceHandle();
}

bool MovieDeckProxy_Leaf_SafeInstanceInvoke::HasChild(StringView name) const
{
    auto* target = MovieDeck();
    return target ? target->HasChild(name) : false;
}

IInstanceEventHandler* MovieDeckProxy_Leaf_SafeInstanceInvoke::GetEventHandler() const
{
    auto* target = MovieDeck();
    return target ? target->GetEventHandler() : nullptr;
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetEventHandler(IInstanceEventHandler* handler)
{
    if (auto* target = MovieDeck())
        target->SetEventHandler(handler);
}

int32_t MovieDeckProxy_Leaf_SafeInstanceInvoke::GetNumFrames() const
{
    auto* target = MovieDeck();
    return target ? target->GetNumFrames() : 0;
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetFrame(int32_t frame)
{
    if (auto* target = MovieDeck())
        target->SetFrame(frame);
}

int32_t MovieDeckProxy_Leaf_SafeInstanceInvoke::GetFrame() const
{
    auto* target = MovieDeck();
    return target ? target->GetFrame() : 0;
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetFrameMultiplier(float multiplier)
{
    if (auto* target = MovieDeck())
        target->SetFrameMultiplier(multiplier);
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetInputEnabledRecursive(bool enabled)
{
    if (auto* target = MovieDeck())
        target->SetInputEnabledRecursive(enabled);
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetPlaying(bool playing)
{
    if (auto* target = MovieDeck())
        target->SetPlaying(playing);
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetPlayingRecursive(bool playing)
{
    if (auto* target = MovieDeck())
        target->SetPlayingRecursive(playing);
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetPaused(bool paused)
{
    if (auto* target = MovieDeck())
        target->SetPaused(paused);
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetPausedRecursive(bool paused)
{
    if (auto* target = MovieDeck())
        target->SetPausedRecursive(paused);
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetReverse(bool reverse)
{
    if (auto* target = MovieDeck())
        target->SetReverse(reverse);
}

void MovieDeckProxy_Leaf_SafeInstanceInvoke::SetReverseRecursive(bool reverse)
{
    if (auto* target = MovieDeck())
        target->SetReverseRecursive(reverse);
}

int32_t MovieStageProxy_Leaf_SafeInstanceInvoke::GetChildCount() const
{
    auto* target = MovieStage();
    return target ? target->GetChildCount() : 0;
}

InstanceHandle MovieStageProxy_Leaf_SafeInstanceInvoke::GetChild(int32_t index) const
{
    auto* target = MovieStage();
    return target ? target->GetChild(index) : InstanceHandle();
}

InstanceHandle MovieStageProxy_Leaf_SafeInstanceInvoke::FindChild(StringView path) const
{
    auto* target = MovieStage();
    return target ? target->FindChild(path) : InstanceHandle();
}

InstanceHandle MovieStageProxy_Leaf_SafeInstanceInvoke::FindChildByPrefix(StringView prefix) const
{
    auto* target = MovieStage();
    return target ? target->FindChildByPrefix(prefix) : InstanceHandle();
}

void MovieStageProxy_Leaf_SafeInstanceInvoke::CollectChildren(std::vector<InstanceHandle>& out, bool inDrawOrder) const
{
    if (auto* target = MovieStage()) {
        target->CollectChildren(out, inDrawOrder);
        return;
    }
    out.clear();
}

void MovieStageProxy_Leaf_SafeInstanceInvoke::RemoveChild(StringView name)
{
    if (auto* target = MovieStage())
        target->RemoveChild(name);
}

bool MovieStageProxy_Leaf_SafeInstanceInvoke::SetFrameFromLabel(StringView label)
{
    auto* target = MovieStage();
    return target ? target->SetFrameFromLabel(label) : false;
}

// --- images ---

void ImageDeckProxy_Leaf_SafeInstanceInvoke::SetColorRGB(int32_t r, int32_t g, int32_t b)
{
    if (auto* target = ImageDeck())
        target->SetColorRGB(r, g, b);
}

void ImageDeckProxy_Leaf_SafeInstanceInvoke::SetColor(uint32_t color)
{
    if (auto* target = ImageDeck())
        target->SetColor(color);
}

void ImageDeckProxy_Leaf_SafeInstanceInvoke::GetColorRGB(int32_t& r, int32_t& g, int32_t& b) const
{
    if (auto* target = ImageDeck()) {
        target->GetColorRGB(r, g, b);
        return;
    }
    r = g = b = 0;
}

uint32_t ImageDeckProxy_Leaf_SafeInstanceInvoke::GetColor() const
{
    auto* target = ImageDeck();
    return target ? target->GetColor() : 0u;
}

void ImageDeckProxy_Leaf_SafeInstanceInvoke::GetImageInfo(QuadTexRect* textureRect, int32_t* size) const
{
    if (auto* target = ImageDeck()) {
        target->GetImageInfo(textureRect, size);
        return;
    }
    if (textureRect)
        *textureRect = QuadTexRect{0, 0, 0, 0};
    if (size)
        size[0] = size[1] = 0;
}

std::unique_ptr<uint32_t[]> ImageStageProxy_Leaf_SafeInstanceInvoke::ReadPixels(uint32_t& width, uint32_t& height)
{
    if (auto* target = ResolveImageStage(m_handle))
        return target->ReadPixels(width, height);
    width = height = 0;
    return nullptr;
}

} // namespace QuillEngine::HandleEx
