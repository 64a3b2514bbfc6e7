#pragma once
// The shared, authored description a scene instance is made from: an image (a picture or a
// rectangle of an atlas) or a movie (a timeline of child instances). Definitions are read from the
// `Definition` elements of library files and owned by the DefinitionLibrary; they do not change
// after loading.

#include <cstdint>
#include <memory>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine {

class DefinitionLibrary;
class Instance_Base;
class UserInterface;
class XmlNode;

class Definition_Base {
public:
    enum Type : int32_t { Type_Image = 0, Type_Movie = 1 };

    virtual ~Definition_Base() = default;
    Definition_Base(const Definition_Base&) = delete;
    Definition_Base& operator=(const Definition_Base&) = delete;

    // A new instance of this definition, owned by the caller; null when none could be made.
    virtual Instance_Base* CreateInstance(UserInterface* userInterface, const String& instanceName) const = 0;
    // Reads the definition's own attributes and children from its `Definition` element.
    virtual bool Load(const XmlNode& element) = 0;

    int32_t GetType() const { return m_type; }
    String GetName() const { return m_name; }
    const String& Name() const { return m_name; }
    // Position in its name's list in the library (0 for the first definition of a name).
    int32_t GetIndex() const { return m_index; }
    DefinitionLibrary* GetLibrary() const { return m_library; }

    void SetName(String name) { m_name = std::move(name); }
    void SetIndex(int32_t index) { m_index = index; }

protected:
    Definition_Base(int32_t type, DefinitionLibrary* library) : m_type(type), m_library(library) {}

private:
    int32_t m_type;
    String m_name;
    int32_t m_index = 0;
    DefinitionLibrary* m_library; // not owned; the library owns this definition
};

// Makes a definition from a `Definition` element: `type` ("movie" or "image", any case) and `name`
// are required, the name not empty. Null for a missing attribute, another type, or a failed load.
std::unique_ptr<Definition_Base> CreateDefinition(const XmlNode& element, DefinitionLibrary* library);

} // namespace QuillEngine
