#include "engine/app/SplashScreens.h"

#include <cmath>
#include <memory>
#include <vector>

#include "engine/core/files/FileManager.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/app/EngineManager.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Instance_Base.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"
#include "platform/window/Window.h"

namespace QuillEngine {

namespace {

const char16_t* const kListName = u"SplashScreens.xml";
const char16_t* const kDefinitionName = u"SplashScreen";
const char16_t* const kContainerName = u"SplashScreenContainer";

SplashListOverride& ListOverride()
{
    static SplashListOverride hook;
    return hook;
}

// A time from the data: the default when the text is empty, does not parse as a number, is
// negative or is not finite (a NaN wait would never end).
float ReadTime(const String& text, float def)
{
    if (text.empty())
        return def;
    size_t end = 0;
    const double value = ToDouble(text, &end);
    if (end == 0 || !std::isfinite(value) || value < 0.0 || value > 3600.0)
        return def;
    return static_cast<float>(value);
}

Instance_Base* Resolve(const InstanceHandle& handle)
{
    return HandleEx::ResolveInstance(handle);
}

} // namespace

SplashFadeListener::SplashFadeListener(float fadeTime, float waitTime, bool* done)
    : fadeTime(fadeTime), waitTime(waitTime), done(done)
{
}

void SplashFadeListener::OnUpdate(const InstanceHandle& container)
{
    Instance_Base* movie = Resolve(container);
    if (!movie)
        return;
    float width = 0.0f, height = 0.0f;
    movie->GetSize(width, height);
    movie->SetPosition(kScreenCentreX - width / 2.0f, kScreenCentreY - height / 2.0f);

    switch (phase) {
    case Phase_FadeIn:
        t += kStep;
        if (t < fadeTime) {
            movie->SetOpacity(t / fadeTime);
        } else {
            phase = Phase_Wait;
            t = 0.0f;
            movie->SetOpacity(1.0f);
        }
        break;
    case Phase_Wait:
        t += kStep;
        if (t >= waitTime) {
            phase = Phase_FadeOut;
            t = fadeTime;
        }
        break;
    default:
        t -= kStep;
        if (t >= 0.0f) {
            // A zero fade time never gets here with t >= 0 after the step.
            movie->SetOpacity(t / fadeTime);
        } else {
            movie->SetOpacity(0.0f);
            if (done)
                *done = true;
        }
        break;
    }
}

void SplashFadeListener::HandleEvent(Event_Base& event)
{
    if (event.type != Event_Base::Type_ButtonDown && event.type != Event_Base::Type_KeyDown &&
        event.type != Event_Base::Type_KeyUp)
        return;
    switch (phase) {
    case Phase_FadeIn:
        // The fade-out starts from the current opacity.
        if (t > kSkipAfter)
            phase = Phase_FadeOut;
        break;
    case Phase_Wait:
        t = fadeTime;
        phase = Phase_FadeOut;
        break;
    default:
        break;
    }
}

SplashTimes ParseSplashTimes(const String& fadeText, const String& waitText)
{
    SplashTimes times;
    times.fadeTime = ReadTime(fadeText, SplashTimes::kDefaultFade);
    times.waitTime = ReadTime(waitText, SplashTimes::kDefaultWait);
    return times;
}

void SetSplashListOverride(SplashListOverride hook)
{
    ListOverride() = std::move(hook);
}

namespace {

enum class SplashResult { Shown, Skipped, Quit };

// Shows one picture until its fade-out ends or the quit message arrives.
SplashResult ShowSplash(EngineManager& engine, const String& picture, const SplashTimes& times)
{
    UserInterface* ui = engine.GetUserInterface();
    DefinitionLibrary* library = ui ? ui->GetDefinitionLibrary() : nullptr;
    Instance_Movie* root = ui ? ui->GetRoot() : nullptr;
    if (!library || !root)
        return SplashResult::Skipped;

    if (CRenderManager* renderer = engine.Renderer()) {
        renderer->SetClearColor(0);
        renderer->SetClearEnabled(true);
    }
    if (!library->AddImageDefinition(kDefinitionName, picture))
        return SplashResult::Skipped;

    const InstanceHandle container = root->CreateEmptyChild(kContainerName);
    Instance_Movie* movie = HandleEx::ResolveMovie(container);
    if (!movie) {
        // The name is taken (the game cannot have made it yet, but data may): nothing to show.
        library->RemoveDefinitions(kDefinitionName);
        return SplashResult::Skipped;
    }
    movie->SetOpacity(0.0f);
    movie->CreateChild(kDefinitionName, kDefinitionName);

    bool done = false;
    auto listener = std::make_unique<SplashFadeListener>(times.fadeTime, times.waitTime, &done);
    movie->SetEventHandler(listener.get());
    ui->AddEventListener(listener.get());

    bool quit = false;
    QuillPlatform::WindowMessage msg;
    while (!done) {
        if (QuillPlatform::PeekMessage(msg, false)) {
            if (!QuillPlatform::GetMessage(msg)) {
                quit = true;
                break;
            }
            QuillPlatform::DispatchMessage(msg);
        } else {
            engine.Tick(false);
        }
    }

    // Handlers are detached first so the listener hears nothing of the deletion; the container
    // goes at the root's next update. The services may be gone when a message handler shut the
    // engine down, so each is asked again.
    if (Instance_Base* still = HandleEx::ResolveInstance(container))
        still->Delete(true);
    if (UserInterface* liveUi = engine.GetUserInterface()) {
        liveUi->RemoveEventListener(listener.get());
        if (DefinitionLibrary* liveLibrary = liveUi->GetDefinitionLibrary())
            liveLibrary->RemoveDefinitions(kDefinitionName);
    }
    return quit ? SplashResult::Quit : SplashResult::Shown;
}

} // namespace

bool RunSplashScreens(EngineManager& engine)
{
    String listName = kListName;
    if (const SplashListOverride& hook = ListOverride())
        listName = hook(engine);

    XmlCache* xml = engine.GetXmlCache();
    FileManager* files = engine.GetFileManager();
    const XmlNode* list = xml ? xml->Get(listName) : nullptr;
    if (!list || !files)
        return false;

    // The entries are copied first: the document lives in the cache, which a message handler
    // could clear while a splash shows.
    struct Entry {
        String src;
        SplashTimes times;
    };
    std::vector<Entry> entries;
    for (const auto& child : list->Children()) {
        if (!Equals(child->GetName(), u"Splash"))
            continue;
        Entry entry;
        entry.src = child->GetStringAttribute(u"src", String());
        entry.times = ParseSplashTimes(child->GetStringAttribute(u"fadetime", String()),
                                       child->GetStringAttribute(u"waittime", String()));
        entries.push_back(std::move(entry));
    }

    for (const Entry& entry : entries) {
        FileManager* liveFiles = engine.GetFileManager();
        if (!liveFiles)
            return false;
        if (entry.src.empty() || !liveFiles->Exists(entry.src))
            continue;
        if (ShowSplash(engine, entry.src, entry.times) == SplashResult::Quit)
            return true;
    }
    return false;
}

} // namespace QuillEngine
