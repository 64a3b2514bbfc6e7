// The console overlay: opening and closing it, its tabs, the input line, and the instance-tree
// page's controls acting on the live scene.

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "engine/core/console/Console.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/console/ConsoleOverlay.h"
#include "engine/graphics/console/InstanceTreeOverlay.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"

using namespace QuillEngine;

namespace {

const char* const kLibrary = R"(<Library>
  <Definition type="movie" name="Leaf" length="1" fps="60"/>
</Library>)";

class ConsoleOverlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui.CreateRoot());
        auto doc = XmlNode::ParseDocument(kLibrary, false);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(doc && ui.GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
        overlay = std::make_unique<ConsoleOverlay>(console, ui, canvases.CreateCanvas(), 800.0f, 600.0f);
        overlay->AddPage(std::make_unique<ConsoleLogPage>(console));
        auto tree = std::make_unique<InstanceTreeOverlay>(ui);
        page = tree.get();
        overlay->AddPage(std::move(tree));
    }
    void TearDown() override { overlay.reset(); }

    // A point of the laid-out overlay whose hit area carries {group, index}.
    std::optional<Vec2> Find(uint32_t group, uint32_t index)
    {
        overlay->Layout();
        for (float y = 1; y < 600; y += 2)
            for (float x = 1; x < 800; x += 2) {
                uint32_t a[2] = {0, 0}, b[2] = {0, 0};
                if (overlay->Canvas()->HitTest({x, y}, a, b) && a[0] == group && b[0] == index)
                    return Vec2{x, y};
            }
        return std::nullopt;
    }
    // Clicks the control; false when it is not on screen.
    bool Click(uint32_t group, uint32_t index)
    {
        const std::optional<Vec2> at = Find(group, index);
        if (!at)
            return false;
        EXPECT_TRUE(overlay->TakesPress(0, static_cast<int32_t>(at->x), static_cast<int32_t>(at->y)));
        return true;
    }
    void Type(const char* text)
    {
        for (const char* c = text; *c; ++c)
            ui.OnChar(static_cast<uint8_t>(*c));
    }
    Instance_Movie* Child(const char16_t* name) { return HandleEx::ResolveMovie(ui.GetRoot()->CreateEmptyChild(name)); }

    UserInterface ui;
    Console console;
    CRenderCanvasManager canvases{nullptr};
    std::unique_ptr<ConsoleOverlay> overlay;
    InstanceTreeOverlay* page = nullptr;
};

} // namespace

TEST_F(ConsoleOverlayTest, TheBackquoteKeyOpensItAndWhileOpenItTakesTheKeyboard)
{
    EXPECT_FALSE(overlay->IsOpen());
    EXPECT_FALSE(overlay->TakesPress(0, 400, 300)) << "closed, presses reach the game";
    EXPECT_FALSE(overlay->TakesKey('A', true));
    ui.OnKeyDown(ConsoleOverlay::kToggleKey);
    ui.OnKeyUp(ConsoleOverlay::kToggleKey);
    EXPECT_TRUE(overlay->IsOpen());

    // Typed characters fill the input line; Backspace takes one back; Enter runs the line.
    Type("echo hellp");
    ui.OnKeyDown(0x08);
    Type("o");
    ui.OnKeyDown(0x0D);
    ASSERT_FALSE(console.Output().empty());
    EXPECT_EQ(console.Output().back(), u"hello");
    ASSERT_FALSE(console.History().empty());
    ui.OnKeyDown(0x26); // up: the last line again
    EXPECT_EQ(console.InputLine().substr(0, 10), u"echo hello");

    // The log page takes no presses: the game still gets them, but not on the tabs.
    EXPECT_FALSE(overlay->TakesPress(0, 400, 300));
    ASSERT_TRUE(Click(100, 1));
    EXPECT_EQ(overlay->CurrentPage(), page);
    EXPECT_TRUE(overlay->TakesPress(0, 400, 300)) << "the tree page takes every press";

    ui.OnKeyDown(0x1B);
    EXPECT_FALSE(overlay->IsOpen());
    EXPECT_FALSE(overlay->TakesChar('x'));
}

TEST_F(ConsoleOverlayTest, ItsCanvasShowsEachChangeByTheEndOfTheStepThatMadeIt)
{
    // The renderer decides whether to draw from what its canvases report after the step: the
    // overlay must be laid out by then, not only while a frame is drawn.
    CRenderCanvas& canvas = *overlay->Canvas();
    ui.FinishStep();
    EXPECT_FALSE(canvas.TakeChange()) << "closed, nothing to show";
    overlay->SetOpen(true);
    ui.FinishStep();
    EXPECT_FALSE(canvas.IsEmpty());
    EXPECT_TRUE(canvas.TakeChange()) << "opened over a still scene";
    ui.FinishStep();
    EXPECT_FALSE(canvas.TakeChange()) << "laid out again the same";
    overlay->SelectPage(1);
    ui.FinishStep();
    EXPECT_TRUE(canvas.TakeChange()) << "another page";
    overlay->SetOpen(false);
    ui.FinishStep();
    EXPECT_TRUE(canvas.TakeChange()) << "closed";
}

TEST_F(ConsoleOverlayTest, TheTreePageWalksAndEditsTheLiveScene)
{
    overlay->SetOpen(true);
    overlay->SelectPage(1);
    Instance_Movie* a = Child(u"a");
    Instance_Movie* b = Child(u"b");
    ASSERT_TRUE(a && b);
    overlay->Layout();
    EXPECT_EQ(page->Current(), ui.GetRoot()->GetHandle()) << "nothing chosen: the root";
    EXPECT_FALSE(Find(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonParent)) << "no Up on the root";
    EXPECT_FALSE(Find(InstanceTreeOverlay::GroupUp, 0)) << "the first child cannot move up";
    EXPECT_FALSE(Find(InstanceTreeOverlay::GroupDown, 1)) << "the last child cannot move down";

    // Reordering: b moves before a.
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupUp, 1));
    EXPECT_EQ(ui.GetRoot()->DrawList()[0], b);

    // Entering a child and editing it.
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupChild, 1));
    EXPECT_EQ(page->Current(), a->GetHandle());
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonVisible));
    EXPECT_FALSE(a->GetVisible());
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonInput));
    EXPECT_FALSE(a->GetInputEnabled());
    a->SetMaterial(QuadBatcher::kDebug | QuadBatcher::kMaskedIn | QuadBatcher::kEndMask);
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonBlend));
    EXPECT_EQ(a->GetMaterial(), QuadBatcher::kNoBlend | QuadBatcher::kMaskedIn | QuadBatcher::kEndMask);
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonMask));
    EXPECT_EQ(a->GetMaterial(), QuadBatcher::kNoBlend | QuadBatcher::kMaskedOut | QuadBatcher::kEndMask);
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonMask));
    EXPECT_EQ(a->GetMaterial(), QuadBatcher::kNoBlend | QuadBatcher::kEndMask);
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonMaskClear));
    EXPECT_EQ(a->GetMaterial(), QuadBatcher::kNoBlend);

    // Up goes back to the parent; a current instance that is deleted gives way to the root.
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonParent));
    EXPECT_EQ(page->Current(), ui.GetRoot()->GetHandle());
    page->SetCurrent(b->GetHandle());
    ui.GetRoot()->RemoveChild(u"b");
    ui.Update();
    overlay->Layout();
    EXPECT_EQ(page->Current(), ui.GetRoot()->GetHandle());
}

TEST_F(ConsoleOverlayTest, LongChildListsArePaged)
{
    overlay->SetOpen(true);
    overlay->SelectPage(1);
    for (int i = 0; i < InstanceTreeOverlay::kRowsPerPage + 2; ++i)
        ASSERT_NE(Child((u"c" + FromUtf8(std::to_string(i))).c_str()), nullptr);
    EXPECT_TRUE(Find(InstanceTreeOverlay::GroupChild, InstanceTreeOverlay::kRowsPerPage - 1));
    EXPECT_FALSE(Find(InstanceTreeOverlay::GroupChild, InstanceTreeOverlay::kRowsPerPage));
    EXPECT_FALSE(Find(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonPreviousPage));
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonNextPage));
    EXPECT_EQ(page->PageIndex(), 1);
    EXPECT_TRUE(Find(InstanceTreeOverlay::GroupChild, InstanceTreeOverlay::kRowsPerPage + 1));
    EXPECT_FALSE(Find(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonNextPage));
    ASSERT_TRUE(Click(InstanceTreeOverlay::GroupButton, InstanceTreeOverlay::ButtonPreviousPage));
    EXPECT_EQ(page->PageIndex(), 0);
}
