#include "engine/graphics/scene/DefinitionLibrary.h"

#include <algorithm>

#include "engine/core/console/Console.h"
#include "engine/core/strings/Format.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Definition_Image.h"
#include "engine/graphics/scene/Definition_Movie.h"

namespace QuillEngine {

DefinitionLibrary::DefinitionLibrary() = default;

DefinitionLibrary::~DefinitionLibrary() = default;

Definition_Base* DefinitionLibrary::GetDefinition(StringView name, int32_t index) const
{
    if (name.empty())
        return nullptr;
    const auto it = m_definitions.find(name);
    if (it == m_definitions.end())
        return nullptr;
    const DefinitionList& list = it->second;
    if (index == -1)
        return list.back().get();
    if (index < 0 || static_cast<size_t>(index) >= list.size())
        return nullptr;
    return list[static_cast<size_t>(index)].get();
}

size_t DefinitionLibrary::GetDefinitionCount(StringView name) const
{
    const auto it = m_definitions.find(name);
    return it == m_definitions.end() ? 0 : it->second.size();
}

bool DefinitionLibrary::ImportLibraries(XmlCache& documents, const XmlNode& librariesRoot, Console* console)
{
    // The file names are copied before any document is dropped from the cache: a list that names
    // its own document would otherwise free the root while it is being walked.
    std::vector<String> files;
    bool complete = true;
    for (const auto& child : librariesRoot.Children()) {
        if (child->GetName() != u"library")
            continue;
        String file;
        if (!child->GetAttribute(u"file", file)) {
            complete = false;
            break;
        }
        files.push_back(std::move(file));
    }

    int32_t newCount = 0, existingCount = 0;
    for (const String& file : files) {
        documents.Unload(file);
        const XmlNode* document = documents.Get(file);
        if (!document)
            return false;
        if (!ImportLibrary(*document, console, newCount, existingCount))
            return false;
    }
    if (!complete)
        return false;

    if (!CheckReferences()) {
        if (console)
            console->PrintLine(u"Unresolved references, import library failed.");
        return false;
    }
    if (console) {
        console->PrintLine(Format(u"Imported %d definitions.", {newCount + existingCount}));
        console->PrintLine(Format(u"\t\t%d new definitions.", {newCount}));
        console->PrintLine(Format(u"\t\t%d existing definitions.", {existingCount}));
        FindRecursiveNames();
        for (const String& name : m_recursiveNames)
            console->PrintLine(Format(u"Definition %s contains itself; those children are not created.", {name}));
    }
    return true;
}

bool DefinitionLibrary::ImportLibrary(const XmlNode& libraryRoot, Console* console, int32_t& newCount,
                                      int32_t& existingCount)
{
    int32_t total = 0;
    for (const auto& child : libraryRoot.Children())
        if (child->GetName() == u"Definition")
            ++total;

    // A later element of the same name within one file replaces the earlier one.
    std::map<String, std::unique_ptr<Definition_Base>, std::less<>> loaded;
    int32_t done = 0;
    for (const auto& child : libraryRoot.Children()) {
        if (child->GetName() != u"Definition")
            continue;
        std::unique_ptr<Definition_Base> definition = CreateDefinition(*child, this);
        if (!definition) {
            if (console)
                console->PrintLine(
                    Format(u"Failed to import library completely (%d / %d definitions loaded)", {done, total}));
            return false;
        }
        String name = definition->GetName();
        loaded[std::move(name)] = std::move(definition);
        ++done;
    }

    for (auto& entry : loaded) {
        if (Insert(std::move(entry.second)))
            ++newCount;
        else
            ++existingCount;
    }
    if (!loaded.empty())
        Changed();
    return true;
}

bool DefinitionLibrary::CheckReferences() const
{
    size_t missing = 0;
    for (const auto& entry : m_definitions) {
        const Definition_Base* last = entry.second.back().get();
        if (last->GetType() != Definition_Base::Type_Movie)
            continue;
        for (const InstanceTrack& track : static_cast<const Definition_Movie*>(last)->GetTracks())
            if (track.kind == InstanceTrack::Kind_Library && m_definitions.find(track.content) == m_definitions.end())
                ++missing;
    }
    return missing == 0;
}

bool DefinitionLibrary::AddImageDefinition(const String& name, const String& imageFile)
{
    if (name.empty())
        return false;
    auto definition = std::make_unique<Definition_Image>(this);
    definition->SetName(name);
    definition->SetSource(imageFile);
    Insert(std::move(definition));
    Changed();
    return true;
}

void DefinitionLibrary::RemoveDefinitions(StringView name)
{
    if (name.empty())
        return;
    const auto it = m_definitions.find(name);
    if (it == m_definitions.end())
        return;
    m_definitions.erase(it);
    Changed();
}

bool DefinitionLibrary::Insert(std::unique_ptr<Definition_Base> definition)
{
    auto [it, isNew] = m_definitions.try_emplace(definition->GetName());
    definition->SetIndex(static_cast<int32_t>(it->second.size()));
    it->second.push_back(std::move(definition));
    return isNew;
}

bool DefinitionLibrary::IsRecursive(StringView name) const
{
    FindRecursiveNames();
    return m_recursiveNames.find(name) != m_recursiveNames.end();
}

// Strongly connected components (Tarjan, with an explicit stack so that long chains of movies
// cannot exhaust the call stack) of the graph "last definition of a name -> names its library
// tracks name". A name is recursive when its component has more than one name or it names itself.
void DefinitionLibrary::FindRecursiveNames() const
{
    if (m_recursiveGeneration == m_generation)
        return;
    m_recursiveGeneration = m_generation;
    m_recursiveNames.clear();

    std::vector<const String*> names;
    std::vector<const Definition_Movie*> movies;
    names.reserve(m_definitions.size());
    movies.reserve(m_definitions.size());
    for (const auto& entry : m_definitions) {
        names.push_back(&entry.first);
        const Definition_Base* last = entry.second.back().get();
        movies.push_back(last->GetType() == Definition_Base::Type_Movie ? static_cast<const Definition_Movie*>(last)
                                                                        : nullptr);
    }
    const size_t count = names.size();
    // Names are in the map's order, so a reference is found by binary search.
    auto indexOf = [&](const String& name) -> size_t {
        const auto it =
            std::lower_bound(names.begin(), names.end(), name, [](const String* a, const String& b) { return *a < b; });
        return it != names.end() && **it == name ? size_t(it - names.begin()) : SIZE_MAX;
    };
    std::vector<std::vector<size_t>> edges(count);
    bool anyEdge = false;
    for (size_t v = 0; v < count; ++v) {
        if (!movies[v])
            continue;
        for (const InstanceTrack& track : movies[v]->GetTracks()) {
            if (track.kind != InstanceTrack::Kind_Library)
                continue;
            const size_t w = indexOf(track.content);
            if (w != SIZE_MAX && movies[w]) {
                edges[v].push_back(w);
                anyEdge = true;
            }
        }
    }
    if (!anyEdge)
        return;

    constexpr size_t kUnvisited = SIZE_MAX;
    std::vector<size_t> order(count, kUnvisited), low(count, 0);
    std::vector<bool> onStack(count, false);
    std::vector<size_t> component;
    std::vector<std::pair<size_t, size_t>> calls; // node, next edge
    size_t counter = 0;
    for (size_t root = 0; root < count; ++root) {
        if (order[root] != kUnvisited)
            continue;
        auto enter = [&](size_t v) {
            order[v] = low[v] = counter++;
            component.push_back(v);
            onStack[v] = true;
            calls.emplace_back(v, 0);
        };
        enter(root);
        while (!calls.empty()) {
            auto& [v, next] = calls.back();
            if (next < edges[v].size()) {
                const size_t w = edges[v][next++];
                if (order[w] == kUnvisited)
                    enter(w); // invalidates v and next
                else if (onStack[w])
                    low[v] = std::min(low[v], order[w]);
                continue;
            }
            const size_t done = v;
            calls.pop_back();
            if (!calls.empty())
                low[calls.back().first] = std::min(low[calls.back().first], low[done]);
            if (low[done] != order[done])
                continue;
            size_t start = component.size();
            while (component[--start] != done) {
            }
            const auto first = component.begin() + static_cast<std::ptrdiff_t>(start);
            const bool selfReference = std::find(edges[done].begin(), edges[done].end(), done) != edges[done].end();
            const bool cycle = component.end() - first > 1 || selfReference;
            for (auto it = first; it != component.end(); ++it) {
                onStack[*it] = false;
                if (cycle)
                    m_recursiveNames.insert(*names[*it]);
            }
            component.erase(first, component.end());
        }
    }
}

} // namespace QuillEngine
