#include "engine/graphics/scene/UserInterface.h"

#include <algorithm>

#include "engine/graphics/canvas/RenderCanvas.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "platform/window/Window.h"

namespace QuillEngine {

namespace {

bool Contains(const std::vector<InstanceHandle>& list, const InstanceHandle& handle)
{
    return std::find(list.begin(), list.end(), handle) != list.end();
}

void AddUnique(std::vector<InstanceHandle>& list, const InstanceHandle& handle)
{
    if (!Contains(list, handle))
        list.push_back(handle);
}

void Remove(std::vector<InstanceHandle>& list, const InstanceHandle& handle)
{
    list.erase(std::remove(list.begin(), list.end(), handle), list.end());
}

// The handler of the movie a handle names, looked up afresh: null for a stale handle or a movie
// without one.
IInstanceEventHandler* HandlerOf(const InstanceHandle& handle)
{
    const Instance_Movie* movie = HandleEx::ResolveMovie(handle);
    return movie ? movie->GetEventHandler() : nullptr;
}

} // namespace

UserInterface::UserInterface() : showCursor_(&QuillPlatform::ShowCursor) {}

UserInterface::~UserInterface()
{
    // The tree goes first: its instances release their handles and may look definitions up.
    root_.reset();
    library_.reset();
    listeners_.clear();
    globalHandlers_.clear();
}

bool UserInterface::CreateRoot()
{
    if (root_)
        return false;
    if (!library_)
        library_ = std::make_unique<DefinitionLibrary>();
    root_ = std::make_unique<Instance_Movie>(this, u"root");
    RegisterInstance(root_.get());
    return true;
}

InstanceHandle UserInterface::GetRootHandle() const
{
    return root_ ? root_->GetHandle() : InstanceHandle();
}

InstanceHandle UserInterface::RegisterInstance(Instance_Base* instance)
{
    const InstanceHandle handle = handles_.Create(static_cast<void*>(instance));
    instance->SetOwnHandle(handle);
    if (instance->GetType() == Instance_Base::Type_Movie)
        static_cast<Instance_Movie*>(instance)->SetHandlerHandle(handle);
    ++instanceCount_;
    if (scripts_)
        scripts_->OnInstanceRegistered(*instance);
    return handle;
}

void UserInterface::ReleaseInstance(Instance_Base* instance)
{
    const InstanceHandle handle = instance->GetHandle();
    if (handles_.Resolve(handle) != static_cast<void*>(instance))
        return;
    handles_.Release(handle);
    --instanceCount_;
    if (scripts_)
        scripts_->OnInstanceReleased(*instance);
}

void UserInterface::Update()
{
    ++updates_;
    if (root_)
        root_->Update();
}

void UserInterface::FinishStep()
{
    if (Instance_Base* cursor = cursorInstance_.Resolve()) {
        cursor->SetVisible(pointerInside_ && customCursor_);
        cursor->SetPosition(static_cast<float>(mouseX_), static_cast<float>(mouseY_));
    }
    if (root_)
        root_->Update();
    if (overlayDrawer_)
        overlayDrawer_->LayOutOverlay();
}

void UserInterface::Render()
{
    ++renders_;
    if (!root_)
        return;
    // The root's own canvas draws under and over everything else, as any movie's canvas does
    // around that movie (a movie draws its children's canvases, and the root has no parent).
    CRenderCanvas* canvas = root_->GetVisible() ? root_->GetCanvas(false) : nullptr;
    if (canvas)
        canvas->RenderInOrder(Transform2D::Identity(), 0);
    root_->Render(Transform2D::Identity(), 1.0f);
    if (canvas)
        canvas->RenderInOrder(Transform2D::Identity(), 1);
    if (overlayDrawer_)
        overlayDrawer_->DrawOverlay();
}

// --- listeners and global handlers ---

void UserInterface::AddEventListener(IEventListener* listener)
{
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void UserInterface::RemoveEventListener(IEventListener* listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void UserInterface::NotifyListeners(Event_Base& event)
{
    if (listeners_.empty())
        return;
    // A snapshot, each entry checked again before its call: a listener may add or remove
    // listeners (or remove and destroy itself) from inside HandleEvent.
    const std::vector<IEventListener*> snapshot = listeners_;
    for (IEventListener* listener : snapshot)
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
            listener->HandleEvent(event);
}

void UserInterface::AddGlobalHandler(const InstanceHandle& handle)
{
    if (handle.Resolve())
        AddUnique(globalHandlers_, handle);
}

void UserInterface::RemoveGlobalHandler(const InstanceHandle& handle)
{
    Remove(globalHandlers_, handle);
}

void UserInterface::PruneGlobalHandlers()
{
    globalHandlers_.erase(std::remove_if(globalHandlers_.begin(), globalHandlers_.end(),
                                         [](const InstanceHandle& h) { return h.Resolve() == nullptr; }),
                          globalHandlers_.end());
}

template <typename... Args>
void UserInterface::CallScript(const InstanceHandle& movie, const char* handler, const Args&... args)
{
    if (scripts_ && handler && movie.Resolve())
        scripts_->Call(movie, handler, args...);
}

// --- pointer ---

void UserInterface::UpdateHover(bool noHitTest)
{
    // Handlers called below may raise pointer events of their own; the update in progress
    // already accounts for the pointer's position, so a nested one is skipped.
    if (updatingHover_)
        return;
    updatingHover_ = true;

    hitList_.clear();
    if (!noHitTest && root_)
        root_->HitTest(static_cast<float>(mouseX_), static_cast<float>(mouseY_), false, true, &hitList_);

    // The first movie whose handler consumes the mouse hides everything under it.
    size_t accepted = hitList_.size();
    for (size_t i = 0; i < hitList_.size(); ++i) {
        const InstanceHandle hit = hitList_[i];
        IInstanceEventHandler* handler = HandlerOf(hit);
        if (handler && handler->ConsumesMouse(hit)) {
            accepted = i + 1;
            break;
        }
    }
    const auto acceptedEnd = hitList_.begin() + static_cast<std::ptrdiff_t>(accepted);
    const auto wasHit = [&](const InstanceHandle& h) {
        return std::find(hitList_.begin(), acceptedEnd, h) != acceptedEnd;
    };

    std::vector<InstanceHandle> previous = std::move(hoverList_);
    hoverList_ = std::move(hoverSpare_);
    hoverList_.clear();

    for (const InstanceHandle& movie : previous) {
        if (!movie.Resolve() || wasHit(movie))
            continue;
        if (IInstanceEventHandler* handler = HandlerOf(movie))
            handler->OnMouseLeave(movie);
        CallScript(movie, "OnMouseLeave");
        // A movie the pointer leaves while a button is down hears of that button's release
        // outside it, whether or not it took the press: a button dragged across resets its look.
        if (movie.Resolve())
            for (int32_t button = 0; button < kButtons; ++button)
                if (ButtonDown(button))
                    AddUnique(outside_[button], movie);
    }

    for (size_t i = 0; i < accepted && i < hitList_.size(); ++i) {
        const InstanceHandle movie = hitList_[i];
        if (Contains(previous, movie))
            continue;
        for (auto& outside : outside_)
            Remove(outside, movie);
        if (IInstanceEventHandler* handler = HandlerOf(movie))
            handler->OnMouseEnter(movie);
        CallScript(movie, "OnMouseEnter");
    }

    for (size_t i = 0; i < accepted && i < hitList_.size(); ++i)
        if (hitList_[i].Resolve())
            hoverList_.push_back(hitList_[i]);

    previous.clear();
    hoverSpare_ = std::move(previous);
    updatingHover_ = false;

    // By index, each entry copied before its call: the list stays valid whatever a handler does.
    for (size_t i = 0; i < hoverList_.size(); ++i) {
        const InstanceHandle movie = hoverList_[i];
        if (IInstanceEventHandler* handler = HandlerOf(movie))
            handler->OnMouseOver(movie);
    }
}

void UserInterface::MoveToEvent(const Event_Mouse& event, bool press)
{
    mouseX_ = event.x;
    mouseY_ = event.y;
    // After the pointer left the window, a press or release still counts as over nothing until
    // the pointer is seen inside again: a move, or a button event on the screen (a captured
    // release off the window is not). Without a known screen size only a press says so.
    const bool onScreen = screenWidth_ > 0 && screenHeight_ > 0
                              ? event.x >= 0 && event.y >= 0 && event.x < screenWidth_ && event.y < screenHeight_
                              : press;
    if (onScreen)
        pointerGone_ = false;
    UpdateHover(pointerGone_);
}

void UserInterface::FillButtonStates(Event_Mouse& event) const
{
    event.left = ButtonDown(Event_Mouse::Button_Left) ? 1 : 0;
    event.right = ButtonDown(Event_Mouse::Button_Right) ? 1 : 0;
    event.middle = ButtonDown(Event_Mouse::Button_Middle) ? 1 : 0;
}

void UserInterface::OnMouseDown(const Event_Mouse& input)
{
    const int32_t button = input.button;
    if (button < 0 || button >= kButtons)
        return;
    if (pressFilter_ && pressFilter_->TakesPress(button, input.x, input.y))
        return;
    MoveToEvent(input, true);
    if (ButtonDown(button))
        return;
    buttons_ |= 1u << button;

    Event_Mouse event = input;
    event.type = Event_Base::Type_ButtonDown;
    FillButtonStates(event);
    NotifyListeners(event);

    const bool inspect = button == Event_Mouse::Button_Right && input.ctrl;
    const bool left = ButtonDown(Event_Mouse::Button_Left);
    const bool right = ButtonDown(Event_Mouse::Button_Right);
    const std::vector<InstanceHandle> hovered = hoverList_;
    for (const InstanceHandle& movie : hovered) {
        const Instance_Base* instance = movie.Resolve();
        if (!instance || !instance->GetInputEnabled())
            continue;
        if (inspect) {
            if (inspector_)
                inspector_(movie);
            continue;
        }
        AddUnique(pressed_[button], movie);
        if (IInstanceEventHandler* handler = HandlerOf(movie))
            handler->OnMouseDown(movie, !left);
        if (left)
            CallScript(movie, "OnLeftMouseDown");
        if (right)
            CallScript(movie, "OnRightMouseDown");
    }
}

void UserInterface::OnMouseUp(const Event_Mouse& input)
{
    const int32_t button = input.button;
    if (button < 0 || button >= kButtons)
        return;
    MoveToEvent(input, false);
    if (!ButtonDown(button))
        return;
    buttons_ &= ~(1u << button);

    Event_Mouse event = input;
    event.type = Event_Base::Type_ButtonUp;
    FillButtonStates(event);
    NotifyListeners(event);

    // Taken before any handler runs: a press from inside a handler starts afresh.
    std::vector<InstanceHandle> outside = std::move(outside_[button]);
    outside_[button].clear();
    pressed_[button].clear();
    if (button == Event_Mouse::Button_Right && input.ctrl)
        return;

    const bool notLeft = button != Event_Mouse::Button_Left;
    const char* upScript = button == Event_Mouse::Button_Left    ? "OnLeftMouseUp"
                           : button == Event_Mouse::Button_Right ? "OnRightMouseUp"
                                                                 : nullptr;
    const char* outsideScript = button == Event_Mouse::Button_Left    ? "OnLeftMouseUpOutside"
                                : button == Event_Mouse::Button_Right ? "OnRightMouseUpOutside"
                                                                      : nullptr;
    const std::vector<InstanceHandle> hovered = hoverList_;
    for (const InstanceHandle& movie : hovered) {
        const Instance_Base* instance = movie.Resolve();
        if (!instance)
            continue;
        if (instance->GetInputEnabled())
            if (IInstanceEventHandler* handler = HandlerOf(movie))
                handler->OnMouseUp(movie, notLeft);
        CallScript(movie, upScript);
    }
    for (const InstanceHandle& movie : outside) {
        const Instance_Base* instance = movie.Resolve();
        if (!instance)
            continue;
        if (instance->GetInputEnabled())
            if (IInstanceEventHandler* handler = HandlerOf(movie))
                handler->OnMouseUpOutside(movie, notLeft);
        CallScript(movie, outsideScript);
    }
}

void UserInterface::ReleaseButtons()
{
    for (int32_t button = 0; button < kButtons; ++button)
        if (ButtonDown(button))
            OnMouseUp(Event_Mouse(Event_Base::Type_ButtonUp, button, mouseX_, mouseY_));
}

void UserInterface::OnMouseMove(int32_t x, int32_t y)
{
    // The window reports logical client coordinates already (it maps them through any letterbox).
    mouseX_ = x;
    mouseY_ = y;
    pointerGone_ = false;
    UpdateHover(false);
    UpdateSystemCursor();
    pointerInside_ = true;
}

void UserInterface::UpdateSystemCursor()
{
    // The counter kept from the last call says which way it stands: it is moved only when it is on
    // the wrong side, so pointer moves do not drive it further and further up.
    const bool hide = customCursorAllowed_ && customCursor_ && pointerInside_ && cursorInstance_.Resolve();
    if (!showCursor_)
        return;
    if (hide) {
        while (systemCursorCount_ >= 0)
            systemCursorCount_ = showCursor_(false);
    } else {
        while (systemCursorCount_ < 0)
            systemCursorCount_ = showCursor_(true);
    }
}

void UserInterface::ShowSystemCursor()
{
    UpdateHover(true);
    // The last position is where the pointer left: until it moves in again, a press or release
    // (a captured release outside the window) is over nothing, not over the movies it left.
    pointerGone_ = true;
    pointerInside_ = false;
    UpdateSystemCursor();
}

// --- keys ---

void UserInterface::OnKey(const Event_Key& input)
{
    if (keyFilter_ && keyFilter_->TakesKey(input.key, input.type == Event_Base::Type_KeyDown))
        return;
    Event_Key event = input;
    if (event.type == Event_Base::Type_KeyDown)
        KeyDown(event);
    else if (event.type == Event_Base::Type_KeyUp)
        KeyUp(event);
}

void UserInterface::KeyDown(Event_Key& event)
{
    // Read first: listeners get the record by reference.
    const uint32_t code = event.key;
    NotifyListeners(event);

    const std::vector<InstanceHandle> handlers = globalHandlers_;
    for (const InstanceHandle& movie : handlers) {
        if (movie.AsLiveMovie().IsEmpty())
            continue;
        // The key code itself as a character, with no keyboard mapping: Escape gives 27, F1 "p".
        if (code < 128)
            CallScript(movie, "OnCharDown", std::string(1, static_cast<char>(code)));
        CallScript(movie, "OnKeyDown", static_cast<double>(code));
        if (IInstanceEventHandler* handler = HandlerOf(movie))
            handler->OnKeyDown(movie, code);
    }
    PruneGlobalHandlers();
}

void UserInterface::KeyUp(Event_Key& event)
{
    // Read first: listeners get the record by reference.
    const uint32_t code = event.key;
    NotifyListeners(event);

    const std::string text = ToCp1252(String(1, static_cast<char16_t>(code)));
    const std::vector<InstanceHandle> handlers = globalHandlers_;
    for (const InstanceHandle& movie : handlers) {
        if (movie.AsLiveMovie().IsEmpty())
            continue;
        CallScript(movie, "OnKeyUp", text);
        if (IInstanceEventHandler* handler = HandlerOf(movie))
            handler->OnKeyUp(movie, code);
    }
    PruneGlobalHandlers();
}

void UserInterface::OnChar(uint32_t ch)
{
    if (keyFilter_ && keyFilter_->TakesChar(static_cast<uint32_t>(ch)))
        return;
    const std::vector<InstanceHandle> handlers = globalHandlers_;
    for (const InstanceHandle& movie : handlers) {
        if (movie.AsLiveMovie().IsEmpty())
            continue;
        if (IInstanceEventHandler* handler = HandlerOf(movie))
            handler->OnChar(movie, ch);
    }
    PruneGlobalHandlers();
}

} // namespace QuillEngine
