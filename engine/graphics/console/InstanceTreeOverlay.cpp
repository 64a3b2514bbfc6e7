#include "engine/graphics/console/InstanceTreeOverlay.h"

#include <cmath>

#include "engine/core/strings/Format.h"
#include "engine/graphics/canvas/RenderCanvas.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"

namespace QuillEngine {

namespace {

constexpr uint32_t kPanelColour = 0xC0202020;
constexpr uint32_t kPanelEdge = 0xFF808080;
constexpr uint32_t kTextColour = 0xFFFFFFFF;
constexpr uint32_t kButtonColour = 0xFF3C5A78;
constexpr uint32_t kArrowColour = 0xFFC0C0C0;
constexpr uint32_t kDimColour = 0xA0000000;
constexpr int32_t kTextSize = 10;
constexpr float kRowHeight = 16;
constexpr uint32_t kMaskBits = QuadBatcher::kMaskedIn | QuadBatcher::kMaskedOut;

void Panel(IRenderCanvas& canvas, float left, float top, float right, float bottom, const char16_t* title)
{
    canvas.DrawRect(left, top, right - left, bottom - top, kPanelColour, true);
    canvas.DrawRect(left, top, right - left, bottom - top, kPanelEdge, false);
    canvas.DrawText({left + 4, top - 14}, kTextSize, kTextColour, title);
}

void Hit(IRenderCanvas& canvas, float left, float top, float right, float bottom, uint32_t group, uint32_t index)
{
    const uint32_t values[4] = {group, 0, index, 0};
    canvas.AddHitRect({left, top}, {right, bottom}, values);
}

// A text button; returns its right edge.
float TextButton(IRenderCanvas& canvas, float x, float y, StringView text, uint32_t id)
{
    int32_t w = 0, h = 0;
    canvas.MeasureText(w, h, kTextSize, text);
    const float width = static_cast<float>(w) + 10;
    canvas.DrawRect(x, y, width, 16, kButtonColour, true);
    canvas.DrawText({x + 5, y + 2}, kTextSize, kTextColour, text);
    Hit(canvas, x, y, x + width, y + 16, InstanceTreeOverlay::GroupButton, id);
    return x + width;
}

// The one image instance of `instance`: itself, or the only image among its descendants.
Instance_Image* OnlyImage(Instance_Base& instance)
{
    if (instance.GetType() == Instance_Base::Type_Image)
        return static_cast<Instance_Image*>(&instance);
    if (instance.GetType() != Instance_Base::Type_Movie)
        return nullptr;
    Instance_Image* found = nullptr;
    int count = 0;
    std::vector<Instance_Movie*> pending{static_cast<Instance_Movie*>(&instance)};
    while (!pending.empty() && count < 2) {
        Instance_Movie* movie = pending.back();
        pending.pop_back();
        for (Instance_Base* child : movie->DrawList()) {
            if (child->GetType() == Instance_Base::Type_Image) {
                found = static_cast<Instance_Image*>(child);
                ++count;
            } else if (child->GetType() == Instance_Base::Type_Movie) {
                pending.push_back(static_cast<Instance_Movie*>(child));
            }
        }
    }
    return count == 1 ? found : nullptr;
}

} // namespace

InstanceTreeOverlay::InstanceTreeOverlay(UserInterface& ui, std::function<float()> clock)
    : m_ui(ui), m_clock(std::move(clock))
{
}

void InstanceTreeOverlay::SetCurrent(const InstanceHandle& instance)
{
    m_current = instance;
    m_page = 0;
}

Instance_Base* InstanceTreeOverlay::Resolve()
{
    if (Instance_Base* instance = m_current.Resolve())
        return instance;
    Instance_Movie* root = m_ui.GetRoot();
    m_current = root ? root->GetHandle() : InstanceHandle();
    m_page = 0;
    return root;
}

String InstanceTreeOverlay::Label(Instance_Base& instance, bool fullPath)
{
    const char16_t* type = u"Unknown";
    switch (instance.GetType()) {
    case Instance_Base::Type_Movie:
        type = u"Movie";
        break;
    case Instance_Base::Type_Image:
        type = u"Image";
        break;
    case Instance_Base::Type_Text:
        type = u"Text";
        break;
    case 3:
        type = u"Emitter";
        break;
    default:
        break;
    }
    const String name = fullPath ? instance.GetPath() : instance.GetName();
    if (instance.GetType() == Instance_Base::Type_Text)
        return Format(u"%s: %s = \"%s\"", {String(type), name, static_cast<Instance_Text&>(instance).GetText()});
    return Format(u"%s: %s", {String(type), name});
}

const char16_t* InstanceTreeOverlay::BlendName(uint32_t material)
{
    static const char16_t* const kNames[] = {u"NoBlend", u"Alpha", u"Additive", u"NoTexture", u"MaskLayer", u"Debug"};
    const uint32_t preset = material & 0xFFFF;
    return preset < 6 ? kNames[preset] : u"Alpha";
}

uint32_t InstanceTreeOverlay::NextMasking(uint32_t material)
{
    const uint32_t rest = material & ~kMaskBits;
    if (material & QuadBatcher::kMaskedIn)
        return rest | QuadBatcher::kMaskedOut;
    if (material & QuadBatcher::kMaskedOut)
        return rest;
    return rest | QuadBatcher::kMaskedIn;
}

void InstanceTreeOverlay::Draw(IRenderCanvas& canvas, const OverlayRect& area)
{
    Instance_Base* current = Resolve();
    if (m_dim)
        canvas.DrawRect(area.left, area.top, area.right - area.left, area.bottom - area.top, kDimColour, true);
    const float bottom = area.bottom;

    // The current instance.
    Panel(canvas, 25, 35, 775, 85, u"Current Instance");
    float x = 32;
    if (current && !current->GetParent().IsEmpty())
        x = TextButton(canvas, x, 52, u"Up", ButtonParent) + 8;
    if (current)
        canvas.DrawText({x, 54}, kTextSize, kTextColour, Label(*current, true));
    const String dim = Format(u"Dim Background: %s", {String(m_dim ? u"On" : u"Off")});
    int32_t w = 0, h = 0;
    canvas.MeasureText(w, h, kTextSize, dim);
    TextButton(canvas, 765 - static_cast<float>(w) - 10, 52, dim, ButtonDim);

    // The children, a page at a time.
    Panel(canvas, 25, 120, 510, bottom - 15, u"Child Instances");
    if (current && current->GetType() == Instance_Base::Type_Movie) {
        auto& children = static_cast<Instance_Movie*>(current)->DrawList();
        const int32_t count = static_cast<int32_t>(children.size());
        const int32_t first = m_page * kRowsPerPage;
        for (int32_t i = first; i < count && i < first + kRowsPerPage; ++i) {
            const float y = 126 + kRowHeight * static_cast<float>(i - first);
            if (i > 0) {
                canvas.DrawTriangle({34, y + 11}, {42, y + 11}, {38, y + 3}, kArrowColour, true);
                Hit(canvas, 32, y + 1, 44, y + 13, GroupUp, static_cast<uint32_t>(i));
            }
            if (i + 1 < count) {
                canvas.DrawTriangle({48, y + 3}, {56, y + 3}, {52, y + 11}, kArrowColour, true);
                Hit(canvas, 46, y + 1, 58, y + 13, GroupDown, static_cast<uint32_t>(i));
            }
            canvas.DrawRect(62, y + 2, 10, 10, kArrowColour, false);
            canvas.DrawLine({64, y + 7}, {70, y + 7}, kArrowColour);
            canvas.DrawLine({67, y + 4}, {67, y + 10}, kArrowColour);
            Hit(canvas, 60, y + 1, 74, y + 13, GroupChild, static_cast<uint32_t>(i));
            canvas.DrawText({80, y + 1}, kTextSize, kTextColour, Label(*children[static_cast<size_t>(i)], false));
        }
        if (m_page > 0)
            TextButton(canvas, 32, bottom - 36, u"Previous Page", ButtonPreviousPage);
        if (count > first + kRowsPerPage)
            TextButton(canvas, 420, bottom - 36, u"Next Page", ButtonNextPage);
    }

    // The picture.
    Panel(canvas, 525, 120, 775, 370, u"Instance Image");
    if (Instance_Image* image = current ? OnlyImage(*current) : nullptr) {
        int32_t size[2] = {0, 0};
        QuadTexRect uv{};
        image->GetImageInfo(&uv, size);
        if (size[0] > 0 && size[1] > 0) {
            const float scale = std::min(1.0f, std::min(240.0f / static_cast<float>(size[0]), 240.0f / static_cast<float>(size[1])));
            const float pw = static_cast<float>(size[0]) * scale, ph = static_cast<float>(size[1]) * scale;
            const float px = 650 - pw / 2, py = 245 - ph / 2;
            canvas.DrawTexturedRect(px, py, pw, ph, 0xFFFFFFFF, image->GetTextureId(), &uv);
        }
    }

    // The properties.
    Panel(canvas, 525, 405, 775, bottom - 15, u"Instance Properties");
    if (current) {
        const uint32_t material = current->GetMaterial();
        float bx = 532;
        bx = TextButton(canvas, bx, 412, current->GetVisible() ? u"Visible" : u"Invisible", ButtonVisible) + 6;
        TextButton(canvas, bx, 412, current->GetInputEnabled() ? u"Input Enabled" : u"Input Disabled", ButtonInput);
        bx = 532;
        bx = TextButton(canvas, bx, 434, BlendName(material), ButtonBlend) + 6;
        const char16_t* masking = (material & QuadBatcher::kMaskedIn)    ? u"Masked In"
                                  : (material & QuadBatcher::kMaskedOut) ? u"Masked Out"
                                                                          : u"Not Masked";
        bx = TextButton(canvas, bx, 434, masking, ButtonMask) + 6;
        TextButton(canvas, bx, 434, (material & QuadBatcher::kEndMask) ? u"Mask Clear" : u"No Mask Clear",
                   ButtonMaskClear);
        TextButton(canvas, 532, 456, u"Locate", ButtonLocate);
        float sx = 1, sy = 1;
        current->GetScale(sx, sy);
        canvas.DrawText({532, 480}, kTextSize, kTextColour,
                        Format(u"Pos=(%.2f,%.2f)", {static_cast<double>(current->GetX()), static_cast<double>(current->GetY())}));
        canvas.DrawText({532, 496}, kTextSize, kTextColour,
                        Format(u"Scale=(%.3f,%.3f)", {static_cast<double>(sx), static_cast<double>(sy)}));
    }

    // The instance's place on screen, blinking twice a second.
    if (m_locate && current) {
        const float t = m_clock ? m_clock() * 2.0f : 0.0f;
        if (t - std::floor(t) < 0.5f) {
            float l = 0, tp = 0, r = 0, b = 0;
            current->GetBounds(l, tp, r, b);
            canvas.DrawRect(l, tp, r - l, b - tp, 0xFFFFFFFF, false);
        }
    }
}

bool InstanceTreeOverlay::Input(IRenderCanvas& canvas, float x, float y, bool ignore)
{
    if (ignore)
        return false;
    uint32_t first[2] = {0, 0}, second[2] = {0, 0};
    if (canvas.HitTest({x, y}, first, second) && first[0] <= GroupButton)
        Press(first[0], second[0]);
    return true;
}

void InstanceTreeOverlay::Press(uint32_t group, uint32_t index)
{
    Instance_Base* current = Resolve();
    if (!current)
        return;
    Instance_Movie* movie =
        current->GetType() == Instance_Base::Type_Movie ? static_cast<Instance_Movie*>(current) : nullptr;
    auto child = [&](uint32_t i) -> Instance_Base* {
        return movie && i < movie->DrawList().size() ? movie->DrawList()[i] : nullptr;
    };
    switch (group) {
    case GroupChild:
        if (Instance_Base* c = child(index))
            SetCurrent(c->GetHandle());
        return;
    case GroupUp:
        if (index > 0 && child(index) && child(index - 1))
            child(index)->MoveBefore(child(index - 1)->GetHandle());
        return;
    case GroupDown:
        if (child(index) && child(index + 1))
            child(index)->MoveAfter(child(index + 1)->GetHandle());
        return;
    default:
        break;
    }
    const uint32_t material = current->GetMaterial();
    switch (index) {
    case ButtonDim:
        m_dim = !m_dim;
        break;
    case ButtonParent:
        if (current->GetParent().Resolve())
            SetCurrent(current->GetParent());
        break;
    case ButtonVisible:
        current->SetVisible(!current->GetVisible());
        break;
    case ButtonInput:
        current->SetInputEnabled(!current->GetInputEnabled());
        break;
    case ButtonBlend:
        current->SetMaterial((material & ~0xFFFFu) | (((material & 0xFFFF) + 1) % 6));
        break;
    case ButtonMask:
        current->SetMaterial(NextMasking(material));
        break;
    case ButtonMaskClear:
        current->SetMaterial(material ^ QuadBatcher::kEndMask);
        break;
    case ButtonLocate:
        m_locate = !m_locate;
        break;
    case ButtonPreviousPage:
        if (m_page > 0)
            --m_page;
        break;
    case ButtonNextPage:
        ++m_page;
        break;
    default:
        break;
    }
}

} // namespace QuillEngine
