#include "engine/graphics/scene/InstanceCommands.h"

#include <cstdint>

#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Definition_Movie.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"

namespace QuillEngine {

namespace {

const String& Word(const std::vector<String>& words, size_t index)
{
    static const String empty;
    return index < words.size() ? words[index] : empty;
}

float RealWord(const std::vector<String>& words, size_t index)
{
    return ToFloat(Word(words, index));
}

uint32_t UIntWord(const std::vector<String>& words, size_t index)
{
    return ToUInt(Word(words, index));
}

const char16_t* KindSuffix(int32_t type)
{
    switch (type) {
    case Instance_Base::Type_Movie:
        return u" (Movie)";
    case Instance_Base::Type_Image:
        return u" (Image)";
    default:
        return u" (Text)";
    }
}

// The commands every instance answers; true when the name was one of them.
bool RunBaseCommand(Instance_Base& instance, const String& name, const std::vector<String>& words,
                    const InstancePrint& print)
{
    if (name == u"delete") {
        instance.Delete(false);
    } else if (name == u"inspect") {
        DebugInspect(instance, print);
    } else if (name == u"movetofront") {
        instance.MoveToFront();
    } else if (name == u"movetoback") {
        instance.MoveToBack();
    } else if (name == u"seta") {
        instance.SetOpacity(RealWord(words, 1));
    } else if (name == u"setp") {
        instance.SetPosition(RealWord(words, 1), RealWord(words, 2));
    } else if (name == u"setr") {
        instance.SetRotation(RealWord(words, 1));
    } else if (name == u"sets") {
        instance.SetScale(RealWord(words, 1), RealWord(words, 2));
    } else if (name == u"setreg") {
        instance.SetRegistrationPoint(RealWord(words, 1), RealWord(words, 2));
    } else if (name == u"getbounds") {
        float l = 0, t = 0, r = 0, b = 0;
        instance.GetBounds(l, t, r, b);
        print(Format(u"Bounds: %f  %f  %f  %f", {double(l), double(t), double(r), double(b)}));
    } else if (name == u"ltog" || name == u"gtol") {
        // Word 1 is not read: the coordinates are words 2 and 3.
        float x = RealWord(words, 2), y = RealWord(words, 3);
        const bool toGlobal = name == u"ltog";
        if (toGlobal)
            instance.LocalToGlobal(x, y);
        else
            instance.GlobalToLocal(x, y);
        print(Format(toGlobal ? u"Global: %f %f" : u"Local: %f %f", {double(x), double(y)}));
    } else if (name == u"setcolor") {
        if (instance.GetType() == Instance_Base::Type_Image)
            static_cast<Instance_Image&>(instance).SetColor(UIntWord(words, 1));
        else
            print(u"Only works on images.");
    } else if (name == u"setmaterial") {
        const String& which = Word(words, 1);
        if (which == u"mask")
            instance.SetMaterial(4);
        else if (which == u"maskedalpha")
            instance.SetMaterial(0x10001);
    } else {
        return false;
    }
    return true;
}

void RunMovieCommand(Instance_Movie& movie, const String& name, const std::vector<String>& words,
                     const InstancePrint& print)
{
    if (name == u"createchild") {
        movie.CreateChild(Word(words, 1), Word(words, 2));
    } else if (name == u"createempty") {
        movie.CreateEmptyChild(Word(words, 1));
    } else if (name == u"list") {
        int32_t count = 0;
        ListChildren(movie, StringView(), count, false, print);
        print(Format(u"Printed %d instances", {count}));
    } else if (name == u"reverse") {
        movie.SetReverse(!movie.GetReverse());
    } else if (name == u"setframe") {
        movie.SetFrame(static_cast<int32_t>(UIntWord(words, 1)));
    } else if (name == u"setframebylabel") {
        movie.SetFrameFromLabel(Word(words, 1));
    } else if (name == u"start") {
        movie.SetPlaying(true);
    } else if (name == u"stop") {
        movie.SetPlaying(false);
    }
}

const Definition_Movie* MovieDefinitionOf(const Instance_Movie& movie)
{
    const UserInterface* ui = movie.GetUserInterface();
    const DefinitionLibrary* library = ui ? ui->GetDefinitionLibrary() : nullptr;
    if (!library || movie.GetDefinitionName().empty())
        return nullptr;
    const Definition_Base* definition = library->GetDefinition(movie.GetDefinitionName(), movie.GetDefinitionIndex());
    if (!definition || definition->GetType() != Definition_Base::Type_Movie)
        return nullptr;
    return static_cast<const Definition_Movie*>(definition);
}

} // namespace

void OnInstanceConsoleCommand(Instance_Base& instance, const std::vector<String>& words, const InstancePrint& print)
{
    if (words.empty())
        return;
    // A copy: the words may belong to a caller whose storage a command's side effects could touch.
    const String name = words[0];
    const InstanceHandle handle = instance.GetHandle();
    if (RunBaseCommand(instance, name, words, print))
        return;
    // Only a movie that is still alive and still registered takes timeline and child commands.
    if (instance.GetType() == Instance_Base::Type_Movie && instance.IsAlive() && handle.Resolve() == &instance)
        RunMovieCommand(static_cast<Instance_Movie&>(instance), name, words, print);
}

void DebugInspect(Instance_Base& instance, const InstancePrint& print)
{
    print(u"-={" + instance.GetPath() + u"}=-" + KindSuffix(instance.GetType()));

    float x = 0, y = 0, sx = 0, sy = 0;
    instance.GetPosition(x, y);
    instance.GetScale(sx, sy);
    float l = 0, t = 0, r = 0, b = 0;
    instance.GetBounds(l, t, r, b);
    print(Format(u"A: %.2f P: %.1f %.1f S: %.2f %.2f R: %.3f @ %.1f,%.1f x %.1f,%.1f",
                 {double(instance.GetOpacity()), double(x), double(y), double(sx), double(sy),
                  double(instance.GetRotation()), double(l), double(t), double(r), double(b)}));

    if (instance.GetType() != Instance_Base::Type_Movie)
        return;
    Instance_Movie& movie = static_cast<Instance_Movie&>(instance);
    const auto handler = static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(movie.GetEventHandler()));
    print(Format(u"Frame: %d / %d, Child Count: %d, Handler: 0x%08llx",
                 {movie.GetFrame(), movie.GetNumFrames(), movie.GetChildCount(), handler}));

    String children = u"{";
    for (int32_t i = 0; i < movie.GetChildCount(); ++i) {
        if (const Instance_Base* child = movie.GetChild(i).Resolve()) {
            if (children.size() > 1)
                children += u", ";
            children += child->Name();
        }
    }
    children += u"}";
    print(children);

    if (const Definition_Movie* definition = MovieDefinitionOf(movie)) {
        String labels = u"Labels:";
        for (const auto& [frame, label] : definition->GetLabels())
            FormatTo(labels, u" / %s @ %d", {label, static_cast<unsigned>(frame)});
        print(labels);
    }
}

void ListChildren(Instance_Movie& movie, StringView prefix, int32_t& count, bool recursive, const InstancePrint& print)
{
    const String& movieName = movie.Name();
    for (int32_t i = 0; i < movie.GetChildCount(); ++i) {
        Instance_Base* child = movie.GetChild(i).Resolve();
        if (!child)
            continue;
        const bool isMovie = child->GetType() == Instance_Base::Type_Movie;
        const String definition = child->GetDefinitionName();
        const StringView definitionText = definition.empty() ? StringView(u"<empty>") : StringView(definition);
        const StringView kind = isMovie ? u"Movie" : u"Image";
        if (!prefix.empty())
            print(Format(u"%s.%s.%s instance of %s (%s)", {prefix, movieName, child->Name(), definitionText, kind}));
        else
            print(Format(u"%s.%s instance of %s (%s)", {movieName, child->Name(), definitionText, kind}));
        ++count;
        if (recursive && isMovie) {
            const String deeper = prefix.empty() ? movieName : String(prefix) + u"." + movieName;
            ListChildren(static_cast<Instance_Movie&>(*child), deeper, count, true, print);
        }
    }
}

// --- console link ---

const std::vector<CInstanceCommands::Entry>& CInstanceCommands::Entries()
{
    // Parameter counts are the words each command reads, so that the console rejects short lines.
    static const std::vector<Entry> entries = {
        {u"delete", 0},     {u"inspect", 0},      {u"movetofront", 0},     {u"movetoback", 0}, {u"seta", 1},
        {u"setp", 2},       {u"setr", 1},         {u"sets", 2},            {u"setreg", 2},     {u"getbounds", 0},
        {u"ltog", 3},       {u"gtol", 3},         {u"setcolor", 1},        {u"setmaterial", 1}, {u"createchild", 2},
        {u"createempty", 1}, {u"list", 0},        {u"reverse", 0},         {u"setframe", 1},
        {u"setframebylabel", 1}, {u"start", 0},   {u"stop", 0},
    };
    return entries;
}

CInstanceCommands::CInstanceCommands(UserInterface& userInterface, Console& console)
    : m_userInterface(userInterface), m_console(console), m_print([this](StringView text) { Print(text); })
{
    for (const Entry& entry : Entries())
        m_console.AddInstanceCommand(InstanceCommand{entry.name, entry.paramCount, this, false});
    m_console.SetSceneLink(this);
}

CInstanceCommands::~CInstanceCommands()
{
    m_console.SetSceneLink(nullptr);
}

void CInstanceCommands::Inspect(const InstanceHandle& handle)
{
    if (Instance_Base* instance = handle.Resolve())
        DebugInspect(*instance, m_print);
}

void CInstanceCommands::OnConsoleCommand(const std::vector<String>& arguments, const Handle& instance)
{
    Instance_Base* target = InstanceHandle(instance).Resolve();
    if (target && target->IsAlive())
        OnInstanceConsoleCommand(*target, arguments, m_print);
}

Handle CInstanceCommands::FindInstance(StringView path)
{
    Instance_Movie* root = m_userInterface.GetRoot();
    if (!root || path.empty())
        return Handle{};
    const String& rootName = root->Name();
    if (path.size() < rootName.size() || path.substr(0, rootName.size()) != rootName)
        return Handle{};
    if (path.size() == rootName.size())
        return root->GetHandle();
    if (path[rootName.size()] != u'.')
        return Handle{};
    const InstanceHandle found = root->FindChild(path.substr(rootName.size() + 1));
    return found.AsLive();
}

bool CInstanceCommands::IsImage(const Handle& instance)
{
    return !InstanceHandle(instance).AsImage().IsEmpty();
}

bool CInstanceCommands::CompleteInstancePath(StringView word, String& fullPath)
{
    // Only the root is completed from nothing; deeper levels go through CompleteChildPath.
    Instance_Movie* root = m_userInterface.GetRoot();
    if (!root || word.empty() || word.size() >= root->Name().size() || !StartsWith(root->Name(), word))
        return false;
    fullPath = root->Name();
    return true;
}

bool CInstanceCommands::CompleteChildPath(const Handle& parent, StringView partial, String& childPath)
{
    const Instance_Movie* movie = HandleEx::ResolveMovie(parent);
    if (!movie || !movie->IsAlive())
        return false;
    for (int32_t i = 0; i < movie->GetChildCount(); ++i) {
        const Instance_Base* child = movie->GetChild(i).Resolve();
        if (child && child->Name().size() > partial.size() && StartsWith(child->Name(), partial)) {
            childPath = child->GetPath();
            return true;
        }
    }
    return false;
}

} // namespace QuillEngine
