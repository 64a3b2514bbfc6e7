#pragma once
// The "Instance Tree" page of the console overlay: browses the live instance tree, shows one
// instance's path, children, picture and properties, and lets a developer toggle visibility and
// input, step the blend preset and masking, reorder children and locate the instance on screen.
// Every control is a hit area of the overlay's canvas carrying {group, 0, index, 0}: group 0
// enters a child, 1 moves a child up, 2 down, 3 is a button (index = button id 0-9).

#include <functional>

#include "engine/graphics/console/ConsoleOverlay.h"
#include "engine/graphics/scene/InstanceTree.h"

namespace QuillEngine {

class InstanceTreeOverlay final : public IConsoleOverlay {
public:
    static constexpr int32_t kRowsPerPage = 23;
    enum Group : uint32_t { GroupChild = 0, GroupUp = 1, GroupDown = 2, GroupButton = 3 };
    enum Button : uint32_t {
        ButtonDim = 0,
        ButtonParent = 1,
        ButtonVisible = 2,
        ButtonInput = 3,
        ButtonBlend = 4,
        ButtonMask = 5,
        ButtonMaskClear = 6,
        ButtonLocate = 7,
        ButtonPreviousPage = 8,
        ButtonNextPage = 9,
    };

    // `clock` gives the engine time in seconds (for the blinking outline); none: no blinking.
    explicit InstanceTreeOverlay(UserInterface& ui, std::function<float()> clock = {});

    const char16_t* Title() const override { return u"Instance Tree"; }
    void Draw(IRenderCanvas& canvas, const OverlayRect& area) override;
    bool Input(IRenderCanvas& canvas, float x, float y, bool ignore) override;

    // The instance shown: an instance that is gone is replaced by the root at the next draw.
    const InstanceHandle& Current() const { return m_current; }
    void SetCurrent(const InstanceHandle& instance);
    int32_t PageIndex() const { return m_page; }
    bool DimBackground() const { return m_dim; }
    bool Locating() const { return m_locate; }

    // "Movie: name", "Text: name = \"text\"" and so on; the full path when `fullPath` is set.
    static String Label(Instance_Base& instance, bool fullPath);
    static const char16_t* BlendName(uint32_t material);
    // The masking step: not masked → masked in → masked out → not masked, other bits kept.
    static uint32_t NextMasking(uint32_t material);

private:
    Instance_Base* Resolve();
    void Press(uint32_t group, uint32_t index);

    UserInterface& m_ui;
    std::function<float()> m_clock;
    InstanceHandle m_current;
    int32_t m_page = 0;
    bool m_dim = false;
    bool m_locate = false;
};

} // namespace QuillEngine
