// The instance tree without a renderer: transforms, bounds, hit tests, draw order, handles and
// deletion.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"

using namespace QuillEngine;

namespace {

constexpr float kPi = 3.14159265f;

class InstanceTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui.CreateRoot());
        root = ui.GetRoot();
    }

    // An image of w x h local units as a child made by code.
    InstanceHandle AddImage(Instance_Movie& parent, const String& name, int w, int h, float x = 0, float y = 0)
    {
        auto image = std::make_unique<Instance_Image>(&ui, name);
        Transform2D quad;
        MultiplyTransform(quad, Transform2D::Scale(float(w), float(h)), Transform2D::Translation(w / 2.0f, h / 2.0f));
        image->SetPlacement(w, h, quad, QuadTexRect{0, 0, 1, 1});
        image->SetPosition(x, y);
        Instance_Base* raw = image.get();
        if (!parent.AdoptChild(std::move(image), true))
            return {};
        return raw->GetHandle();
    }

    Instance_Movie& AddMovie(Instance_Movie& parent, const String& name)
    {
        Instance_Movie* movie = HandleEx::ResolveMovie(parent.CreateEmptyChild(name));
        EXPECT_NE(movie, nullptr);
        return *movie;
    }

    static std::vector<String> Names(const std::vector<InstanceHandle>& handles)
    {
        std::vector<String> names;
        for (const InstanceHandle& h : handles)
            names.push_back(h.Resolve() ? h.Resolve()->GetName() : u"<stale>");
        return names;
    }

    std::vector<String> DrawOrder(Instance_Movie& movie)
    {
        std::vector<InstanceHandle> handles;
        movie.CollectChildren(handles, true);
        return Names(handles);
    }

    UserInterface ui;
    Instance_Movie* root = nullptr;
};

void ExpectPoint(Instance_Base& instance, float x, float y, float ex, float ey)
{
    instance.LocalToGlobal(x, y);
    EXPECT_NEAR(x, ex, 1e-3f);
    EXPECT_NEAR(y, ey, 1e-3f);
}

} // namespace

TEST_F(InstanceTreeTest, LocalMatrixMovesTheRegistrationPointThenScalesRotatesAndPlaces)
{
    Instance_Base* image = AddImage(*root, u"i", 40, 20).Resolve();
    ASSERT_NE(image, nullptr);
    image->SetRegistrationPoint(10, 20);
    image->SetScale(2, 3);
    image->SetRotation(kPi / 2);
    image->SetPosition(100, 50);
    // The registration point lands on the position; one unit along x is scaled by 2 and turned
    // onto +y, one unit along y is scaled by 3 and turned onto -x.
    ExpectPoint(*image, 10, 20, 100, 50);
    ExpectPoint(*image, 11, 20, 100, 52);
    ExpectPoint(*image, 10, 21, 97, 50);

    float x = 97, y = 50;
    image->GlobalToLocal(x, y);
    EXPECT_NEAR(x, 10, 1e-3f);
    EXPECT_NEAR(y, 21, 1e-3f);
}

TEST_F(InstanceTreeTest, ChildTransformsComposeWithTheirParentsUpToTheRoot)
{
    Instance_Movie& outer = AddMovie(*root, u"outer");
    outer.SetPosition(100, 0);
    outer.SetScale(2, 2);
    Instance_Movie& inner = AddMovie(outer, u"inner");
    inner.SetRotation(kPi);
    Instance_Base* image = AddImage(inner, u"i", 10, 10, 5, 5).Resolve();
    ASSERT_NE(image, nullptr);
    // (1, 0) in the image: +5 → (6, 5), turned half round → (-6, -5), scaled → (-12, -10), moved.
    ExpectPoint(*image, 1, 0, 88, -10);
    float x = 88, y = -10;
    image->GlobalToLocal(x, y);
    EXPECT_NEAR(x, 1, 1e-3f);
    EXPECT_NEAR(y, 0, 1e-3f);
    EXPECT_NEAR(image->GlobalToLocalX(88), 1, 1e-3f);  // the point (88, 0)
    EXPECT_NEAR(image->GlobalToLocalY(-10), 0, 1e-3f); // the point (0, -10)
    EXPECT_EQ(image->GetPath(), u"root.outer.inner.i");
    EXPECT_EQ(root->GetPath(), u"root");

    // Turning about the centre: the position names where the centre lands.
    Instance_Base* turned = AddImage(*root, u"t", 40, 20).Resolve();
    turned->SetRegistrationPoint(20, 10);
    turned->SetRotation(kPi / 2);
    turned->SetPosition(100, 100);
    float l, t, r, b;
    turned->GetBounds(l, t, r, b);
    EXPECT_NEAR(l, 90, 1e-3f);
    EXPECT_NEAR(t, 80, 1e-3f);
    EXPECT_NEAR(r, 110, 1e-3f);
    EXPECT_NEAR(b, 120, 1e-3f);
    float w, h;
    turned->GetSize(w, h);
    EXPECT_NEAR(w, 20, 1e-3f);
    EXPECT_NEAR(h, 40, 1e-3f);
}

TEST_F(InstanceTreeTest, MovingOrScalingAChildOrAddingAndRemovingOneRefreshesTheAncestorsBounds)
{
    Instance_Movie& outer = AddMovie(*root, u"outer");
    Instance_Movie& inner = AddMovie(outer, u"inner");
    InstanceHandle a = AddImage(inner, u"a", 10, 10);
    float l, t, r, b;
    outer.GetBounds(l, t, r, b);
    EXPECT_FLOAT_EQ(r, 10);

    a.SetPosition(50, 60);
    outer.GetBounds(l, t, r, b);
    EXPECT_FLOAT_EQ(l, 50);
    EXPECT_FLOAT_EQ(t, 60);
    EXPECT_FLOAT_EQ(r, 60);
    EXPECT_FLOAT_EQ(b, 70);

    a.SetScale(3, 1);
    outer.GetBounds(l, t, r, b);
    EXPECT_FLOAT_EQ(r, 80);

    InstanceHandle far = AddImage(inner, u"far", 10, 10, 200, 200);
    outer.GetBounds(l, t, r, b);
    EXPECT_FLOAT_EQ(b, 210);
    far.Delete(false);
    outer.GetBounds(l, t, r, b);
    EXPECT_FLOAT_EQ(b, 70);

    // An empty movie is a point at its origin.
    Instance_Movie& empty = AddMovie(*root, u"empty");
    empty.SetPosition(7, 8);
    empty.GetBounds(l, t, r, b);
    EXPECT_FLOAT_EQ(l, 7);
    EXPECT_FLOAT_EQ(r, 7);
    EXPECT_FLOAT_EQ(t, 8);
    EXPECT_FLOAT_EQ(b, 8);
}

TEST_F(InstanceTreeTest, AMovieIsHitOnlyWhereAChildIsUnlessItHasExplicitBounds)
{
    Instance_Movie& movie = AddMovie(*root, u"m");
    AddImage(movie, u"a", 10, 10);
    AddImage(movie, u"b", 10, 10, 100, 100);

    EXPECT_EQ(root->HitTest(5, 5, false, true, nullptr), movie.GetHandle());
    EXPECT_EQ(root->HitTest(105, 109, false, true, nullptr), movie.GetHandle());
    EXPECT_TRUE(root->HitTest(50, 50, false, true, nullptr).IsEmpty()); // inside the box, between the images
    EXPECT_TRUE(root->HitTest(10, 5, false, true, nullptr).IsEmpty());  // right edge excluded

    movie.SetExplicitBounds(0, 0, 200, 200);
    EXPECT_EQ(root->HitTest(50, 50, false, true, nullptr), movie.GetHandle());
    // Clearing the flag keeps the cached rectangle until the transform changes.
    movie.ClearExplicitBounds();
    movie.SetPosition(0, 0);
    EXPECT_TRUE(root->HitTest(50, 50, false, true, nullptr).IsEmpty());
    // A solid test takes the whole box.
    EXPECT_EQ(movie.HitTestGlobal(50, 50, true, true, nullptr), movie.GetHandle());
}

TEST_F(InstanceTreeTest, AHitListNamesTheDeepestMovieFirstThenEachAncestorOnce)
{
    Instance_Movie& scene = AddMovie(*root, u"scene");
    Instance_Movie& button = AddMovie(scene, u"button");
    button.SetPosition(20, 20);
    AddImage(button, u"face", 10, 10);
    AddImage(button, u"glow", 10, 10, 2, 2); // two images of one movie list it once
    AddImage(scene, u"backdrop", 100, 100).Resolve()->MoveToBack();

    std::vector<InstanceHandle> list;
    InstanceHandle hit = root->HitTest(25, 25, false, true, &list);
    EXPECT_EQ(Names(list), (std::vector<String>{u"button", u"scene", u"root"}));
    EXPECT_EQ(hit, button.GetHandle());

    // Without a list the answer is the same deepest movie.
    EXPECT_EQ(root->HitTest(25, 25, false, true, nullptr), button.GetHandle());

    // A second test starts afresh.
    list.clear();
    root->HitTest(80, 80, false, true, &list);
    EXPECT_EQ(Names(list), (std::vector<String>{u"scene", u"root"}));
}

TEST_F(InstanceTreeTest, TheTopmostChildWinsAndDisabledInputIsPassedThrough)
{
    Instance_Movie& under = AddMovie(*root, u"under");
    AddImage(under, u"i", 50, 50);
    Instance_Movie& over = AddMovie(*root, u"over");
    AddImage(over, u"i", 50, 50);

    EXPECT_EQ(root->HitTest(10, 10, false, true, nullptr), over.GetHandle());
    std::vector<InstanceHandle> list;
    root->HitTest(10, 10, false, true, &list);
    EXPECT_EQ(Names(list), (std::vector<String>{u"over", u"under", u"root"}));

    over.MoveToBack();
    EXPECT_EQ(root->HitTest(10, 10, false, true, nullptr), under.GetHandle());

    under.SetInputEnabled(false);
    EXPECT_EQ(root->HitTest(10, 10, false, true, nullptr), over.GetHandle());
    EXPECT_EQ(root->HitTest(10, 10, false, false, nullptr), under.GetHandle()); // input not asked for
}

TEST_F(InstanceTreeTest, DrawOrderMovesStayWithinOneParent)
{
    for (const char16_t* name : {u"a", u"b", u"c", u"d"})
        AddImage(*root, name, 1, 1);
    InstanceHandle a = root->FindChild(u"a"), b = root->FindChild(u"b"), c = root->FindChild(u"c"),
                   d = root->FindChild(u"d");

    d.Resolve()->MoveToFront(); // already last: unchanged
    EXPECT_EQ(DrawOrder(*root), (std::vector<String>{u"a", u"b", u"c", u"d"}));
    a.Resolve()->MoveAfter(c);
    EXPECT_EQ(DrawOrder(*root), (std::vector<String>{u"b", u"c", u"a", u"d"}));
    d.MoveBefore(b);
    EXPECT_EQ(DrawOrder(*root), (std::vector<String>{u"d", u"b", u"c", u"a"}));
    b.Resolve()->MoveToFront();
    EXPECT_EQ(DrawOrder(*root), (std::vector<String>{u"d", u"c", u"a", u"b"}));
    b.Resolve()->MoveToBack();
    EXPECT_EQ(DrawOrder(*root), (std::vector<String>{u"b", u"d", u"c", u"a"}));

    Instance_Movie& other = AddMovie(*root, u"other");
    InstanceHandle stranger = AddImage(other, u"s", 1, 1);
    a.MoveBefore(stranger);
    c.Resolve()->MoveAfter(stranger);
    EXPECT_EQ(DrawOrder(*root), (std::vector<String>{u"b", u"d", u"c", u"a", u"other"}));
    // The creation order is untouched by draw-order moves.
    std::vector<InstanceHandle> created;
    root->CollectChildren(created, false);
    EXPECT_EQ(Names(created), (std::vector<String>{u"a", u"b", u"c", u"d", u"other"}));
}

TEST_F(InstanceTreeTest, LookupsByPathPrefixAndIndex)
{
    Instance_Movie& a = AddMovie(*root, u"a");
    Instance_Movie& ab = AddMovie(a, u"b");
    AddImage(*root, u"img", 1, 1);
    AddImage(ab, u"leaf", 1, 1);

    EXPECT_EQ(root->FindChild(u"a.b"), ab.GetHandle());
    EXPECT_EQ(root->FindChild(u"a.b.leaf").AsImage(), root->FindChild(u"a.b.leaf"));
    EXPECT_FALSE(root->FindChild(u"a.b.leaf").IsEmpty());
    EXPECT_TRUE(root->FindChild(u"img.x").IsEmpty()); // an image has no children
    EXPECT_TRUE(root->FindChild(u"A.b").IsEmpty());   // case-sensitive
    EXPECT_TRUE(root->FindChild(u"a.").IsEmpty());
    EXPECT_TRUE(root->FindChild(u"").IsEmpty());
    EXPECT_EQ(root->FindChildByPrefix(u"im"), root->FindChild(u"img"));
    EXPECT_EQ(root->GetChild(0), a.GetHandle());
    EXPECT_TRUE(root->GetChild(2).IsEmpty());
    EXPECT_TRUE(root->GetChild(-1).IsEmpty());

    // Sibling names are unique.
    EXPECT_TRUE(root->CreateEmptyChild(u"a").IsEmpty());
    EXPECT_TRUE(AddImage(*root, u"img", 1, 1).IsEmpty());
    EXPECT_EQ(root->GetChildCount(), 2);
}

TEST_F(InstanceTreeTest, ValuesSetOnAMoviePassDownItsSubtree)
{
    Instance_Movie& movie = AddMovie(*root, u"m");
    Instance_Movie& inner = AddMovie(movie, u"inner");
    Instance_Image* image = HandleEx::ResolveImage(AddImage(inner, u"i", 1, 1));
    ASSERT_NE(image, nullptr);

    float dx, dy;
    uint32_t color;
    image->SetDropShadow(0, 0, 0xFF123456u);
    EXPECT_FALSE(image->GetDropShadow(dx, dy, color)); // no offset, no shadow
    movie.SetDropShadow(2, 0, 0x80000000u);
    EXPECT_TRUE(image->GetDropShadow(dx, dy, color));
    EXPECT_EQ(dx, 2);
    EXPECT_EQ(color, 0x80000000u);

    movie.SetMaterial(0x10001);
    EXPECT_EQ(image->GetMaterial(), 0x10001u);
    movie.SetAllowFiltering(false);
    EXPECT_FALSE(image->GetAllowFiltering());
    movie.SetColor(0x7F00FF00u);
    EXPECT_EQ(image->GetColor(), 0x00FF00u);

    // A child made later takes the movie's material word.
    Instance_Image* later = HandleEx::ResolveImage(AddImage(inner, u"later", 1, 1));
    EXPECT_EQ(later->GetMaterial(), 0x10001u);
    EXPECT_EQ(root->CreateEmptyChild(u"fresh").Resolve()->GetMaterial(), Instance_Base::kDefaultMaterial);

    movie.SetInputEnabledRecursive(false);
    EXPECT_FALSE(movie.GetInputEnabled());
    EXPECT_FALSE(inner.GetInputEnabled());
    EXPECT_TRUE(image->GetInputEnabled()); // one level only
}

TEST_F(InstanceTreeTest, ImageColourKeepsTwentyFourBitsAndReportsItsPlacement)
{
    Instance_Image* image = HandleEx::ResolveImage(AddImage(*root, u"i", 30, 20));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetColor(), 0xFFFFFFu);
    image->SetColorRGB(255, 128, 0);
    EXPECT_EQ(image->GetColor(), 0xFF8000u);
    int32_t r, g, b;
    image->GetColorRGB(r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 128);
    EXPECT_EQ(b, 0);
    image->SetColorRGB(256 + 1, -1, 512);
    EXPECT_EQ(image->GetColor(), 0x01FF00u);
    image->SetColor(0xAB123456u);
    EXPECT_EQ(image->GetColor(), 0x123456u);

    QuadTexRect rect{9, 9, 9, 9};
    int32_t size[2] = {-1, -1};
    image->GetImageInfo(&rect, size);
    EXPECT_EQ(rect.uB, 1.0f);
    EXPECT_EQ(size[0], 30);
    EXPECT_EQ(size[1], 20);
    image->GetImageInfo(nullptr, nullptr);
}

TEST_F(InstanceTreeTest, HandlesGoStaleWhenTheirInstancesAreDeleted)
{
    const int32_t baseCount = ui.GetInstanceCount();
    Instance_Movie& movie = AddMovie(*root, u"m");
    InstanceHandle movieHandle = movie.GetHandle();
    InstanceHandle inner = AddMovie(movie, u"inner").GetHandle();
    InstanceHandle image = AddImage(movie, u"i", 1, 1);
    EXPECT_EQ(ui.GetInstanceCount(), baseCount + 3);

    EXPECT_EQ(movieHandle.AsMovie(), movieHandle);
    EXPECT_TRUE(image.AsMovie().IsEmpty());
    EXPECT_EQ(image.AsImage(), image);
    EXPECT_TRUE(image.AsText().IsEmpty());
    EXPECT_EQ(movieHandle.AsLiveMovie(), movieHandle);
    EXPECT_EQ(image.GetParent(), movieHandle);

    movieHandle.Delete(false);
    // A deleted movie and the movies below it stop resolving at once; its other children are no
    // longer live and go when the movie is destroyed at its parent's next update.
    EXPECT_TRUE(movieHandle.AsMovie().IsEmpty());
    EXPECT_EQ(movieHandle.Resolve(), nullptr);
    EXPECT_EQ(inner.Resolve(), nullptr);
    EXPECT_TRUE(image.AsLive().IsEmpty());
    EXPECT_FALSE(root->HasChild(u"m"));
    EXPECT_EQ(root->PendingDeleteCount(), 1u);

    // Calls through stale handles do nothing.
    movieHandle.SetPosition(1, 1);
    movieHandle.Delete(true);
    EXPECT_TRUE(movieHandle.CreateChild(u"x", u"y").IsEmpty());
    EXPECT_TRUE(movieHandle.GetParent().IsEmpty());

    ui.Update();
    EXPECT_EQ(root->PendingDeleteCount(), 0u);
    EXPECT_EQ(image.Resolve(), nullptr);
    EXPECT_EQ(ui.GetInstanceCount(), baseCount);
    EXPECT_EQ(ui.GetHandleTable().LiveCount(), static_cast<uint32_t>(baseCount));

    // The root cannot be deleted.
    ui.GetRootHandle().Delete(true);
    EXPECT_EQ(ui.GetRootHandle().AsLiveMovie(), ui.GetRootHandle());
}

TEST_F(InstanceTreeTest, AnOldHandleToARemovedImageDoesNotTakeANewSiblingOfTheSameName)
{
    InstanceHandle old = AddImage(*root, u"item", 1, 1);
    old.Delete(false);
    ASSERT_NE(old.Resolve(), nullptr); // still waiting for the update
    InstanceHandle fresh = AddImage(*root, u"item", 1, 1);
    ASSERT_FALSE(fresh.IsEmpty());
    old.Delete(false);
    EXPECT_EQ(fresh.AsLive(), fresh);
    EXPECT_TRUE(root->HasChild(u"item"));
    ui.Update();
    EXPECT_EQ(old.Resolve(), nullptr);
    EXPECT_EQ(fresh.AsLive(), fresh);
}

TEST_F(InstanceTreeTest, DeletingChildrenWhileWalkingTheirHandlesIsSafe)
{
    for (const char16_t* name : {u"a", u"b", u"c", u"d"})
        AddMovie(*root, name);
    AddImage(*root, u"e", 1, 1);
    std::vector<InstanceHandle> children;
    root->CollectChildren(children, true);
    for (const InstanceHandle& child : children) {
        child.Delete(true);
        // Every later entry still resolves (or is skipped) after an earlier one went.
        for (const InstanceHandle& other : children) {
            if (Instance_Base* instance = other.Resolve()) {
                EXPECT_FALSE(instance->GetName().empty());
            }
        }
    }
    EXPECT_EQ(root->GetChildCount(), 0);
    EXPECT_TRUE(root->DrawList().empty());
    ui.Update();
    for (const InstanceHandle& child : children)
        EXPECT_EQ(child.Resolve(), nullptr);
}

namespace {

// A handler that does something to the tree while its movie is being deleted.
struct DeleteHandler : IInstanceEventHandler {
    std::function<void(const InstanceHandle&)> onDelete;
    std::vector<InstanceHandle> deleted;
    void OnDelete(const InstanceHandle& handle) override
    {
        deleted.push_back(handle);
        if (onDelete)
            onDelete(handle);
    }
};

} // namespace

TEST_F(InstanceTreeTest, HandlersThatChangeTheTreeWhileItIsBeingDeletedAreSafe)
{
    const int32_t baseCount = ui.GetInstanceCount();
    Instance_Movie& parent = AddMovie(*root, u"parent");
    InstanceHandle parentHandle = parent.GetHandle();
    Instance_Movie& first = AddMovie(parent, u"first");
    InstanceHandle second = AddMovie(parent, u"second").GetHandle();
    AddMovie(parent, u"third");

    DeleteHandler handler;
    handler.onDelete = [&](const InstanceHandle& handle) {
        Instance_Movie* movie = HandleEx::ResolveMovie(handle);
        ASSERT_NE(movie, nullptr); // still resolves while its handler hears of it
        if (movie->GetName() == u"first") {
            second.Delete(false);       // a sibling being marked in the same pass
            parentHandle.Delete(false); // the parent that is marking it
            handle.Delete(true);        // itself
            parentHandle.CreateChild(u"none", u"x");
            HandleEx::ResolveMovie(parentHandle)->CreateEmptyChild(u"late"); // refused: being deleted
        }
    };
    first.SetEventHandler(&handler);
    HandleEx::ResolveMovie(second)->SetEventHandler(&handler);

    parentHandle.Delete(false);
    ASSERT_EQ(handler.deleted.size(), 2u); // first and second, once each
    EXPECT_EQ(handler.deleted[0], first.GetHandlerHandle());
    EXPECT_EQ(parentHandle.Resolve(), nullptr);
    EXPECT_EQ(second.Resolve(), nullptr);
    ui.Update();
    EXPECT_EQ(ui.GetInstanceCount(), baseCount);

    // Delete(true) detaches the handlers of the whole subtree first: nobody hears of it.
    Instance_Movie& quiet = AddMovie(*root, u"quiet");
    Instance_Movie& below = AddMovie(quiet, u"below");
    DeleteHandler silent;
    quiet.SetEventHandler(&silent);
    below.SetEventHandler(&silent);
    quiet.Delete(true);
    EXPECT_TRUE(silent.deleted.empty());
    ui.Update();
    EXPECT_EQ(ui.GetInstanceCount(), baseCount);
}

TEST_F(InstanceTreeTest, ChildMoviesDeletedDuringAnUpdateAreSkippedAndFreedAtTheNextUpdate)
{
    Instance_Movie& holder = AddMovie(*root, u"holder");
    Instance_Movie& a = AddMovie(holder, u"a");
    AddMovie(holder, u"b");
    InstanceHandle aHandle = a.GetHandle();
    a.Delete(false);
    EXPECT_EQ(holder.PendingDeleteCount(), 1u);
    ui.Update();
    EXPECT_EQ(holder.PendingDeleteCount(), 0u);
    EXPECT_EQ(aHandle.Resolve(), nullptr);
    EXPECT_EQ(holder.GetChildCount(), 1);
}
