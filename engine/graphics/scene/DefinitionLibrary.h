#pragma once
// Every movie and image definition of the game by name. A name maps to an ordered list, so that a
// later library file can add a second definition under an existing name without removing the
// first; instances remember the name and their position in that list and look the definition up
// each time they need it, so nobody holds a definition pointer across frames.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/Definition_Base.h"

namespace QuillEngine {

class Console;
class XmlCache;
class XmlNode;

class DefinitionLibrary {
public:
    using DefinitionList = std::vector<std::unique_ptr<Definition_Base>>;

    DefinitionLibrary();
    ~DefinitionLibrary();
    DefinitionLibrary(const DefinitionLibrary&) = delete;
    DefinitionLibrary& operator=(const DefinitionLibrary&) = delete;

    // The definition at `index` in the list of `name` (case-sensitive), the last one for -1. Null
    // for an empty or unknown name and for any other index outside the list.
    Definition_Base* GetDefinition(StringView name, int32_t index) const;

    // Imports every library file named by the `library` children of "libraries.xml" (their `file`
    // attribute), each read afresh through the document cache, then checks the references. True
    // when all files imported and every reference resolves. Messages go to `console` when given.
    // A library listed in `librariesRoot` may be that same cached document; the root must not be
    // used after this call.
    bool ImportLibraries(XmlCache& documents, const XmlNode& librariesRoot, Console* console);
    // Imports the `Definition` elements of one library document, all or nothing; adds the counts
    // of definitions under new names and under names already present.
    bool ImportLibrary(const XmlNode& libraryRoot, Console* console, int32_t& newCount, int32_t& existingCount);
    // True when every library track of the last movie definition of every name names a definition
    // that exists.
    bool CheckReferences() const;

    // An image definition of the whole picture `imageFile` under `name`; false (nothing added) for
    // an empty name.
    bool AddImageDefinition(const String& name, const String& imageFile);
    // Deletes every definition of `name`; nothing happens for an empty or unknown name.
    void RemoveDefinitions(StringView name);

    size_t GetNameCount() const { return m_definitions.size(); }
    // Number of definitions under `name` (0 when unknown).
    size_t GetDefinitionCount(StringView name) const;
    const std::map<String, DefinitionList, std::less<>>& Definitions() const { return m_definitions; }

    // Whether the last definition of `name` contains itself: following the library tracks of the
    // last definitions of the names they name leads back to it.
    bool IsRecursive(StringView name) const;

private:
    // Appends to the list of the definition's name and sets its index; true when the name is new.
    bool Insert(std::unique_ptr<Definition_Base> definition);
    void Changed() { ++m_generation; }
    void FindRecursiveNames() const;

    std::map<String, DefinitionList, std::less<>> m_definitions;

    // Names on a reference cycle, recomputed on the first question after a change.
    uint64_t m_generation = 1;
    mutable uint64_t m_recursiveGeneration = 0;
    mutable std::set<String, std::less<>> m_recursiveNames;
};

} // namespace QuillEngine
