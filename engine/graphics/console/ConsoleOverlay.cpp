#include "engine/graphics/console/ConsoleOverlay.h"

#include <algorithm>

#include "engine/core/console/Console.h"
#include "engine/graphics/canvas/RenderCanvas.h"

namespace QuillEngine {

namespace {

constexpr uint32_t kTabGroup = 100;
constexpr uint32_t kTabColour = 0xC0303030;
constexpr uint32_t kTabSelectedColour = 0xE0606060;
constexpr uint32_t kTextColour = 0xFFFFFFFF;
constexpr uint32_t kKeyBack = 0x08, kKeyTab = 0x09, kKeyReturn = 0x0D, kKeyEscape = 0x1B, kKeyUp = 0x26,
                   kKeyDown = 0x28;

// The input line's text without the cursor sign.
String InputText(const Console& console)
{
    String text = console.InputLine();
    const int cursor = console.CursorIndex();
    if (cursor >= 0 && static_cast<size_t>(cursor) < text.size() && text[cursor] == Console::kCursorSign)
        text.erase(static_cast<size_t>(cursor), 1);
    else if (!text.empty() && text.back() == Console::kCursorSign)
        text.pop_back();
    return text;
}

} // namespace

ConsoleOverlay::ConsoleOverlay(Console& console, UserInterface& ui, std::unique_ptr<CRenderCanvas> canvas,
                               float width, float height)
    : m_console(console), m_ui(ui), m_canvas(std::move(canvas)), m_width(width), m_height(height)
{
    m_ui.SetPressFilter(this);
    m_ui.SetKeyFilter(this);
    m_ui.SetOverlayDrawer(this);
}

ConsoleOverlay::~ConsoleOverlay()
{
    m_ui.SetPressFilter(nullptr);
    m_ui.SetKeyFilter(nullptr);
    m_ui.SetOverlayDrawer(nullptr);
}

void ConsoleOverlay::AddPage(std::unique_ptr<IConsoleOverlay> page)
{
    if (page)
        m_pages.push_back(std::move(page));
}

IConsoleOverlay* ConsoleOverlay::CurrentPage() const
{
    return m_current < m_pages.size() ? m_pages[m_current].get() : nullptr;
}

void ConsoleOverlay::SelectPage(size_t index)
{
    if (index < m_pages.size())
        m_current = index;
}

void ConsoleOverlay::SetOpen(bool open)
{
    m_open = open;
    if (!open && m_canvas)
        m_canvas->Clear();
}

OverlayRect ConsoleOverlay::PageArea() const
{
    return OverlayRect{0, kTabHeight, m_width, m_height};
}

void ConsoleOverlay::Layout()
{
    if (!m_canvas)
        return;
    m_canvas->Clear();
    if (!m_open)
        return;
    IConsoleOverlay* page = CurrentPage();
    if (page)
        page->Draw(*m_canvas, PageArea());
    // The tabs, one per page, along the top.
    float x = 0;
    for (size_t i = 0; i < m_pages.size(); ++i) {
        const String title = m_pages[i]->Title();
        int32_t w = 0, h = 0;
        m_canvas->MeasureText(w, h, 10, title);
        const float width = static_cast<float>(std::max(w, 40)) + 16;
        m_canvas->DrawRect(x, 0, width, kTabHeight, i == m_current ? kTabSelectedColour : kTabColour, true);
        m_canvas->DrawText({x + 8, 5}, 10, kTextColour, title);
        const uint32_t hit[4] = {kTabGroup, 0, static_cast<uint32_t>(i), 0};
        m_canvas->AddHitRect({x, 0}, {x + width, kTabHeight}, hit);
        x += width + 2;
    }
}

bool ConsoleOverlay::TakesPress(int32_t /*button*/, int32_t x, int32_t y)
{
    if (!m_open || !m_canvas)
        return false;
    Layout(); // hit areas for what is on screen now
    const Vec2 point{static_cast<float>(x), static_cast<float>(y)};
    uint32_t first[2] = {0, 0}, second[2] = {0, 0};
    if (m_canvas->HitTest(point, first, second) && first[0] == kTabGroup) {
        SelectPage(second[0]);
        return true;
    }
    IConsoleOverlay* page = CurrentPage();
    return page && page->Input(*m_canvas, point.x, point.y, false);
}

bool ConsoleOverlay::TakesKey(uint32_t key, bool down)
{
    if (key == kToggleKey) {
        if (down)
            SetOpen(!m_open);
        return true;
    }
    if (!m_open)
        return false;
    if (!down)
        return true;
    if (key == kKeyEscape) {
        SetOpen(false);
    } else if (key == kKeyReturn) {
        const String line = InputText(m_console);
        if (!line.empty())
            m_console.Execute(line, true);
    } else if (key == kKeyBack) {
        String text = InputText(m_console);
        if (!text.empty())
            text.pop_back();
        m_console.SetInput(text);
    } else if (key == kKeyTab) {
        m_console.Complete();
        if (!m_console.Completion().empty())
            m_console.SetInput(m_console.Completion());
    } else if (key == kKeyUp || key == kKeyDown) {
        // Through the history, newest first.
        const auto& history = m_console.History();
        if (!history.empty()) {
            const String current = InputText(m_console);
            auto it = std::find(history.begin(), history.end(), current);
            size_t index = it == history.end() ? history.size() : static_cast<size_t>(it - history.begin());
            if (key == kKeyUp)
                index = index == 0 || index == history.size() ? history.size() - 1 : index - 1;
            else
                index = index + 1 >= history.size() ? 0 : index + 1;
            m_console.SetInput(history[index]);
        }
    }
    return true;
}

bool ConsoleOverlay::TakesChar(uint32_t ch)
{
    if (!m_open)
        return false;
    // Control characters are keys handled above; the toggle key types nothing.
    if (ch >= 0x20 && ch != '`' && ch != 0x7F && ch < 0x10000)
        m_console.SetInput(InputText(m_console) + static_cast<char16_t>(ch));
    return true;
}

void ConsoleOverlay::LayOutOverlay()
{
    // Closing cleared the canvas already; a closed overlay costs nothing.
    if (m_open)
        Layout();
}

void ConsoleOverlay::DrawOverlay()
{
    if (!m_open || !m_canvas)
        return;
    m_canvas->RenderInOrder(Transform2D::Identity(), 0);
    m_canvas->RenderInOrder(Transform2D::Identity(), 1);
}

// --- the log page ---

const char16_t* ConsoleLogPage::Title() const
{
    return ConsolePrintBuffer::Title();
}

void ConsoleLogPage::Draw(IRenderCanvas& canvas, const OverlayRect& area)
{
    canvas.DrawRect(area.left, area.top, area.right - area.left, area.bottom - area.top,
                    ConsolePrintBuffer::kBackgroundColour, true);
    ConsolePrintBuffer buffer(m_console);
    ConsolePrintBuffer::Line lines[ConsolePrintBuffer::kMaxLines];
    // The output sits above the input line.
    const size_t count = buffer.Layout(area.left + 8, area.bottom - 20, lines);
    for (size_t i = 0; i < count; ++i) {
        if (lines[i].y >= area.top)
            canvas.DrawText({lines[i].x, lines[i].y}, ConsolePrintBuffer::kTextSize, ConsolePrintBuffer::kTextColour,
                            *lines[i].text);
    }
    canvas.DrawRect(area.left, area.bottom - 26, area.right - area.left, 26, 0xC0000000, true);
    canvas.DrawText({area.left + 8, area.bottom - 20}, ConsolePrintBuffer::kTextSize, 0xFFFFE080,
                    u"> " + m_console.InputLine());
}

} // namespace QuillEngine
