#pragma once
// The console overlay: the developer's view of the console over the running game. It holds
// pages ("Log": the console's output and its input line; "Instance Tree": the live scene), shows
// one of them at a time with a row of tabs to switch, takes presses before anything else while it
// is open, and takes the keyboard for the input line. The backquote key (the key left of 1)
// opens and closes it; Escape closes it.
//
// Everything is drawn into one render canvas, after the scene.

#include <memory>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/render/Geometry2D.h"
#include "engine/graphics/scene/UserInterface.h"

namespace QuillEngine {

class Console;
class CRenderCanvas;
class IRenderCanvas;

// The area a page draws in, in logical pixels.
struct OverlayRect {
    float left = 0, top = 0, right = 0, bottom = 0;
};

class IConsoleOverlay {
public:
    virtual ~IConsoleOverlay() = default;
    virtual const char16_t* Title() const = 0;
    // Draws the page into `canvas` (cleared by the caller) over `area`.
    virtual void Draw(IRenderCanvas& canvas, const OverlayRect& area) = 0;
    // A press at (x, y); true when the page took it. `ignore` set: the page takes nothing.
    virtual bool Input(IRenderCanvas& canvas, float x, float y, bool ignore) = 0;
};

class ConsoleOverlay final : public UserInterface::IPressFilter, public UserInterface::IKeyFilter,
                             public UserInterface::IOverlayDrawer {
public:
    static constexpr uint32_t kToggleKey = 0xC0; // the backquote key
    static constexpr float kTabHeight = 22;

    // `canvas` may be null (no renderer): the overlay then keeps its state but draws nothing.
    ConsoleOverlay(Console& console, UserInterface& ui, std::unique_ptr<CRenderCanvas> canvas, float width,
                   float height);
    ~ConsoleOverlay() override;
    ConsoleOverlay(const ConsoleOverlay&) = delete;
    ConsoleOverlay& operator=(const ConsoleOverlay&) = delete;

    void AddPage(std::unique_ptr<IConsoleOverlay> page);
    size_t PageCount() const { return m_pages.size(); }
    IConsoleOverlay* CurrentPage() const;
    void SelectPage(size_t index);

    bool IsOpen() const { return m_open; }
    void SetOpen(bool open);

    // UserInterface::IPressFilter: while open, presses on the tabs switch pages and the rest go
    // to the current page.
    bool TakesPress(int32_t button, int32_t x, int32_t y) override;
    // UserInterface::IKeyFilter: the toggle key, and while open every key and character.
    bool TakesKey(uint32_t key, bool down) override;
    bool TakesChar(uint32_t ch) override;
    // UserInterface::IOverlayDrawer: the open overlay is laid out at the end of each step (its
    // canvas then tells the renderer whether it changed) and drawn after the scene.
    void LayOutOverlay() override;
    void DrawOverlay() override;

    // Lays the open overlay out into the canvas without rendering it (each step, presses, tests).
    void Layout();
    CRenderCanvas* Canvas() const { return m_canvas.get(); }

private:
    OverlayRect PageArea() const;

    Console& m_console;
    UserInterface& m_ui;
    std::unique_ptr<CRenderCanvas> m_canvas;
    float m_width;
    float m_height;
    std::vector<std::unique_ptr<IConsoleOverlay>> m_pages;
    size_t m_current = 0;
    bool m_open = false;
};

// The "Log" page: the console's newest output lines, and its input line at the foot.
class ConsoleLogPage final : public IConsoleOverlay {
public:
    explicit ConsoleLogPage(const Console& console) : m_console(console) {}
    const char16_t* Title() const override;
    void Draw(IRenderCanvas& canvas, const OverlayRect& area) override;
    bool Input(IRenderCanvas&, float, float, bool) override { return false; }

private:
    const Console& m_console;
};

} // namespace QuillEngine
