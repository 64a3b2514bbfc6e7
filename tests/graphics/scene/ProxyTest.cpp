// Safe proxies: forwarding to the live instance, retargeting, and calls after the instance is gone.

#include <gtest/gtest.h>

#include <memory>

#include "engine/graphics/scene/InstanceProxies.h"
#include "engine/graphics/scene/UserInterface.h"

using namespace QuillEngine;
using namespace QuillEngine::HandleEx;

namespace {

class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui.CreateRoot());
        root = ui.GetRoot();
        first = root->CreateEmptyChild(u"first");
        second = root->CreateEmptyChild(u"second");
        picture = AddImage(u"picture");
    }

    InstanceHandle AddImage(const String& name)
    {
        auto image = std::make_unique<Instance_Image>(&ui, name);
        image->SetPlacement(8, 4, Transform2D::Identity(), QuadTexRect{0, 0, 1, 1});
        Instance_Base* raw = image.get();
        return root->AdoptChild(std::move(image), true) ? raw->GetHandle() : InstanceHandle();
    }

    UserInterface ui;
    Instance_Movie* root = nullptr;
    InstanceHandle first, second, picture;
};

TEST_F(ProxyTest, AMovieProxyForwardsBothInterfacesAndCanBeRetargeted)
{
    MovieProxy proxy(first);
    proxy.SetPosition(3, 4);
    proxy.SetOpacity(0.5f);
    proxy.SetFrameMultiplier(2.0f);
    const InstanceHandle child = proxy.CreateEmptyChild(u"inner");
    Instance_Movie* movie = ResolveMovie(first);
    EXPECT_EQ(movie->GetX(), 3.0f);
    EXPECT_EQ(movie->GetY(), 4.0f);
    EXPECT_EQ(proxy.GetOpacity(), 0.5f);
    EXPECT_EQ(movie->GetFrameMultiplier(), 2.0f);
    EXPECT_EQ(proxy.GetChildCount(), 1);
    EXPECT_EQ(proxy.FindChild(u"inner"), child);
    EXPECT_EQ(proxy.GetHandle(), first);
    EXPECT_EQ(proxy.GetPath(), u"root.first");

    // Both leaves follow an Assign.
    proxy.Assign(second);
    proxy.SetVisible(false);
    EXPECT_FALSE(ResolveMovie(second)->GetVisible());
    EXPECT_TRUE(movie->GetVisible());
    EXPECT_EQ(proxy.GetChildCount(), 0);
    EXPECT_EQ(proxy.GetHandle(), second);

    // One leaf retargeted alone acts on its own instance only.
    proxy.DeckProxy_Leaf_SafeInstanceInvoke::SetHandle(first);
    EXPECT_EQ(proxy.GetName(), u"first");
    EXPECT_EQ(proxy.GetHandle(), second);

    // A copy keeps working after the original goes.
    auto temporary = std::make_unique<MovieProxy>(first);
    const MovieProxy copy = *temporary;
    temporary.reset();
    EXPECT_EQ(copy.GetName(), u"first");
}

TEST_F(ProxyTest, AProxyOfADeletedInstanceAnswersNothingAndDoesNothing)
{
    MovieProxy proxy(first);
    ImageProxy image(picture);
    ResolveMovie(first)->SetPosition(7, 7);
    proxy.Delete(false);
    EXPECT_TRUE(proxy.GetHandle().IsEmpty());
    EXPECT_TRUE(proxy.GetName().empty());
    EXPECT_EQ(proxy.GetState(), 0);
    float x = 1, y = 1;
    proxy.GetPosition(x, y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    float dx = 1, dy = 1;
    uint32_t color = 1;
    EXPECT_FALSE(proxy.GetDropShadow(dx, dy, color));
    EXPECT_EQ(color, 0u);
    EXPECT_TRUE(proxy.CreateEmptyChild(u"late").IsEmpty());
    std::vector<InstanceHandle> children{first};
    proxy.CollectChildren(children, true);
    EXPECT_TRUE(children.empty());
    proxy.SetFrame(3);
    proxy.MoveToFront();
    root->Update(); // the movie is destroyed here; the proxy never followed a pointer to it
    proxy.SetPosition(1, 1);
    EXPECT_EQ(proxy.GetX(), 0.0f);

    root->RemoveChild(u"picture");
    root->Update();
    int32_t size[2] = {5, 5};
    image.GetImageInfo(nullptr, size);
    EXPECT_EQ(size[0], 0);
    uint32_t w = 9, h = 9;
    EXPECT_EQ(image.ReadPixels(w, h), nullptr);
    EXPECT_EQ(w, 0u);
    image.SetColor(0x123456);
    EXPECT_EQ(image.GetColor(), 0u);

    // An empty proxy answers nothing until it is assigned.
    InstanceProxy empty;
    EXPECT_TRUE(empty.GetHandle().IsEmpty());
    EXPECT_FALSE(empty.GetVisible());
    empty.Assign(second);
    empty.SetScale(2, 3);
    float sx = 0, sy = 0;
    empty.GetScale(sx, sy);
    EXPECT_EQ(sx, 2.0f);
    EXPECT_EQ(sy, 3.0f);
}

TEST_F(ProxyTest, KindSpecificLeavesAnswerOnlyForTheirKind)
{
    // A movie proxy built on an image: the instance operations work, the movie ones do nothing.
    MovieProxy wrong(picture);
    EXPECT_EQ(wrong.GetName(), u"picture");
    EXPECT_EQ(wrong.GetChildCount(), 0);
    EXPECT_TRUE(wrong.CreateEmptyChild(u"x").IsEmpty());
    EXPECT_EQ(wrong.GetEventHandler(), nullptr);

    ImageProxy image(picture);
    image.SetColorRGB(0x112, 0x34, 0x56);
    EXPECT_EQ(image.GetColor(), 0x123456u);
    float w = 0, h = 0;
    image.GetSize(w, h);
    EXPECT_EQ(w, 8.0f);
    EXPECT_EQ(h, 4.0f);
    ImageProxy notAnImage(first);
    EXPECT_EQ(notAnImage.GetColor(), 0u);
    EXPECT_EQ(notAnImage.GetName(), u"first");

    EXPECT_TRUE(picture.AsMovie().IsEmpty());
    EXPECT_EQ(picture.AsImage(), picture);
}

// The movie calls that game code makes on bare handles reach the movie, and a handle of anything
// else (or of nothing) makes them do nothing.
TEST_F(ProxyTest, MovieCallsOnAHandleReachOnlyMovies)
{
    struct Handler : IInstanceEventHandler {};
    Handler handler;
    Instance_Movie* movie = ResolveMovie(first);
    ASSERT_NE(movie, nullptr);
    first.SetEventHandler(&handler);
    EXPECT_EQ(movie->GetEventHandler(), &handler);
    first.SetPlaying(true);
    EXPECT_TRUE(movie->GetPlaying());
    first.SetPlaying(false);
    EXPECT_FALSE(movie->GetPlaying());
    first.SetEventHandler(nullptr);
    EXPECT_EQ(movie->GetEventHandler(), nullptr);

    for (const InstanceHandle& other : {picture, InstanceHandle()}) {
        other.SetEventHandler(&handler);
        other.SetPlaying(true);
        other.SetFrame(3);
    }
    root->RemoveChild(u"second");
    second.SetEventHandler(&handler); // a deleted movie: nothing
    EXPECT_EQ(movie->GetEventHandler(), nullptr);
}

TEST_F(ProxyTest, DeleteWithDetachThroughAProxySparesTheHandlersBelow)
{
    struct Handler : IInstanceEventHandler {
        int deletes = 0;
        void OnDelete(const InstanceHandle&) override { ++deletes; }
    } outer, inner;
    Instance_Movie* movie = ResolveMovie(first);
    movie->SetEventHandler(&outer);
    ResolveMovie(movie->CreateEmptyChild(u"inner"))->SetEventHandler(&inner);
    MovieProxy(first).Delete(true);
    EXPECT_EQ(outer.deletes, 0);
    EXPECT_EQ(inner.deletes, 0);

    Instance_Movie* other = ResolveMovie(second);
    other->SetEventHandler(&outer);
    MovieProxy(second).Delete(false);
    EXPECT_EQ(outer.deletes, 1);
}

} // namespace
