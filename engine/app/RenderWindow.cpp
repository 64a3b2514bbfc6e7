#include "engine/app/RenderWindow.h"

#include <mutex>

#include "engine/app/EngineManager.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"
#include "platform/window/VirtualKeys.h"

namespace QuillEngine {

using namespace QuillPlatform;

namespace {
constexpr int32_t kMinDisplayWidth = 800;
constexpr int32_t kMinDisplayHeight = 600;
} // namespace

bool CenterOnDisplay(const std::vector<DisplayInfo>& displays, int32_t windowWidth, int32_t windowHeight,
                     int32_t& x, int32_t& y)
{
    std::vector<DisplayInfo> usable;
    for (const DisplayInfo& d : displays) {
        if (d.bounds.Width() < kMinDisplayWidth || d.bounds.Height() < kMinDisplayHeight)
            continue;
        if (d.primary && !usable.empty())
            usable.insert(usable.begin(), d);
        else
            usable.push_back(d);
    }
    if (usable.empty())
        return false;
    const Rect& m = usable.front().bounds;
    x = m.left + m.Width() / 2 - windowWidth / 2;
    y = m.top + m.Height() / 2 - windowHeight / 2;
    return true;
}

bool MeetsAnyDisplay(const std::vector<DisplayInfo>& displays, int32_t x, int32_t y, int32_t width, int32_t height)
{
    for (const DisplayInfo& d : displays) {
        if (x < d.bounds.right && x + width > d.bounds.left && y < d.bounds.bottom && y + height > d.bounds.top)
            return true;
    }
    return false;
}

RenderWindow::RenderWindow(EngineManager* engine) : engine_(engine)
{
    window_.SetHandler([this](const WindowMessage& msg, int64_t& result) { return HandleMessage(msg, result); });
}

RenderWindow::~RenderWindow() = default;

bool RenderWindow::Create(const String& caption, int32_t clientWidth, int32_t clientHeight, bool openglCapable)
{
    ownsWindow_ = true;
    return window_.Create(ToUtf8(caption), clientWidth, clientHeight, openglCapable);
}

std::vector<DisplayInfo> RenderWindow::Displays() const
{
    return testDisplays_.empty() ? EnumerateDisplays() : testDisplays_;
}

bool RenderWindow::CenterOnMonitor()
{
    int32_t w = 0, h = 0;
    window_.GetClientSize(w, h);
    int32_t x = 0, y = 0;
    if (!CenterOnDisplay(Displays(), w, h, x, y))
        return false;
    window_.SetPosition(x, y);
    return true;
}

bool RenderWindow::RestorePlacement()
{
    int32_t x = 0, y = 0;
    const bool stored = engine_ && engine_->LoadWindowPosition(x, y);
    UserInterface* ui = engine_ ? engine_->GetUserInterface() : nullptr;
    const int32_t width = ui ? ui->ScreenWidth() : 0;
    const int32_t height = ui ? ui->ScreenHeight() : 0;
    if (width > 0 && height > 0)
        window_.SetClientSize(width, height);
    // Holding Shift at start, or a stored position that no display shows any more, centres.
    const bool centre = !stored || IsKeyDown(VK_SHIFT) || !MeetsAnyDisplay(Displays(), x, y, width, height);
    if (centre && CenterOnMonitor())
        return true;
    window_.SetPosition(x, y);
    return true;
}

void RenderWindow::OnMouseButton(int32_t button, bool down, const WindowMessage& msg)
{
    UserInterface* ui = engine_ ? engine_->GetUserInterface() : nullptr;
    // The record carries the message's own point and modifiers: a press that no move preceded
    // (touch, tablet, an injected click) is tested where it happened.
    bool ctrl = (msg.wParam & MK_CONTROL) != 0;
    const bool shift = (msg.wParam & MK_SHIFT) != 0;
    const int32_t x = GetXParam(msg.lParam);
    const int32_t y = GetYParam(msg.lParam);
    if (down) {
        if (captureCount_ == 0)
            window_.SetCapture();
        ++captureCount_;
        if (button == Event_Mouse::Button_Left && ctrl) {
            ctrlClickAsRight_ = true;
            button = Event_Mouse::Button_Right;
            ctrl = false;
        }
        if (ui)
            ui->OnMouseDown(Event_Mouse(Event_Base::Type_ButtonDown, button, x, y, ctrl, shift));
    } else {
        if (captureCount_ > 0 && --captureCount_ == 0)
            window_.ReleaseCapture();
        if (ctrlClickAsRight_ && button == Event_Mouse::Button_Left) {
            ctrlClickAsRight_ = false;
            button = Event_Mouse::Button_Right;
            ctrl = false;
        }
        if (ui)
            ui->OnMouseUp(Event_Mouse(Event_Base::Type_ButtonUp, button, x, y, ctrl, shift));
    }
}

bool RenderWindow::OnClose()
{
    if (!engine_ || (!engine_->Started() && !engine_->SplashShowing()))
        return false;   // default processing closes the window; WM_DESTROY posts the quit message
    IQuillGame* game = engine_->Game();
    if (game && !game->QueryClose())
        return true;    // refused: the window stays
    // In full screen the window's own position is the display's corner: keep the windowed one.
    int32_t x = 0, y = 0;
    if (engine_->IsFullscreen()) {
        x = engine_->WindowedX();
        y = engine_->WindowedY();
    } else {
        window_.GetPosition(x, y);
    }
    engine_->SaveWindowPosition(x, y);
    PostQuitMessage(0);
    return true;
}

bool RenderWindow::HandleMessage(const WindowMessage& msg, int64_t& result)
{
    std::unique_lock<std::recursive_mutex> guard;
    if (engine_)
        guard = std::unique_lock(engine_->Lock());
    CRenderManager* renderer = engine_ ? engine_->Renderer() : nullptr;
    UserInterface* ui = engine_ ? engine_->GetUserInterface() : nullptr;
    result = 0;

    switch (msg.message) {
    case WM_CREATE:
        RestorePlacement();
        return true;
    case WM_DESTROY:
        PostQuitMessage(0);
        return false;
    case WM_SIZE:
        if (msg.wParam == SIZE_RESTORED || msg.wParam == SIZE_MAXIMIZED) {
            appActive_ = true;
            if (engine_)
                engine_->OnActivate();
        } else if (msg.wParam == SIZE_MINIMIZED) {
            window_.ReleaseCapture();
            captureCount_ = 0;
            if (engine_)
                engine_->OnDeactivate();
            appActive_ = false;
        }
        return false;
    case WM_ACTIVATE:
        return false;
    case WM_ACTIVATEAPP:
        if (msg.wParam == 1) {
            appActive_ = true;
            if (engine_)
                engine_->OnActivate();
        } else {
            window_.ReleaseCapture();
            captureCount_ = 0;
            if (engine_)
                engine_->OnDeactivate();
            appActive_ = false;
        }
        return false;
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
        if (engine_)
            engine_->OnDeactivate();
        return true;
    case WM_EXITMENULOOP:
        if (engine_)
            engine_->OnActivate();
        return true;
    case WM_EXITSIZEMOVE:
        if (renderer)
            renderer->CheckMonitorChange();
        if (engine_)
            engine_->OnActivate();
        return true;
    case WM_PAINT:
        if (renderer && renderer->IsReady() && !window_.IsMinimized())
            renderer->Paint();
        return true;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_CLOSE:
        return OnClose();
    case WM_SETCURSOR:
        // The device draws the custom cursor; the class arrow otherwise.
        if (renderer && renderer->ShowDeviceCursor()) {
            result = 1;
            return true;
        }
        return false;
    case WM_MOUSEACTIVATE:
        result = (HasFrameStyle() && (msg.lParam & 0xFFFF) == HTCLIENT) ? MA_ACTIVATEANDEAT : MA_ACTIVATE;
        return true;
    case WM_DISPLAYCHANGE:
        if (renderer && renderer->IsReady())
            renderer->CheckMonitorChange();
        return true;
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (ui)
            ui->OnKey(Event_Key(msg.message == WM_KEYDOWN ? Event_Base::Type_KeyDown : Event_Base::Type_KeyUp,
                                static_cast<uint16_t>(msg.wParam)));
        return true;
    case WM_CHAR:
        if (ui)
            ui->OnChar(static_cast<uint32_t>(msg.wParam));
        return true;
    case WM_SYSCOMMAND:
        if ((msg.wParam & 0xFFF0) == SC_KEYMENU && msg.lParam == 13) {
            if (engine_)
                engine_->SetFullscreen(!engine_->IsFullscreen());
            return true;
        }
        return false;
    case WM_MOUSEMOVE:
        if (!trackingLeave_) {
            window_.TrackMouseLeave();
            trackingLeave_ = true;
        }
        if ((appActive_ || !HasFrameStyle()) && ui)
            ui->OnMouseMove(GetXParam(msg.lParam), GetYParam(msg.lParam));
        return true;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        if (ui)
            ui->ShowSystemCursor();
        return true;
    case WM_LBUTTONDOWN:
        OnMouseButton(Event_Mouse::Button_Left, true, msg);
        return true;
    case WM_RBUTTONDOWN:
        OnMouseButton(Event_Mouse::Button_Right, true, msg);
        return true;
    case WM_MBUTTONDOWN:
        OnMouseButton(Event_Mouse::Button_Middle, true, msg);
        return true;
    case WM_LBUTTONUP:
        OnMouseButton(Event_Mouse::Button_Left, false, msg);
        return true;
    case WM_RBUTTONUP:
        OnMouseButton(Event_Mouse::Button_Right, false, msg);
        return true;
    case WM_MBUTTONUP:
        OnMouseButton(Event_Mouse::Button_Middle, false, msg);
        return true;
    case WM_WTSSESSION_CHANGE:
        if (msg.wParam == WTS_CONSOLE_CONNECT || msg.wParam == WTS_SESSION_UNLOCK) {
            if (engine_)
                engine_->SetPaused(false);
            window_.Invalidate();
        } else if (msg.wParam == WTS_CONSOLE_DISCONNECT || msg.wParam == WTS_SESSION_LOCK) {
            if (engine_)
                engine_->SetPaused(true);
        }
        return false;
    default:
        return false;
    }
}

} // namespace QuillEngine
