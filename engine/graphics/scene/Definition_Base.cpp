#include "engine/graphics/scene/Definition_Base.h"

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Definition_Image.h"
#include "engine/graphics/scene/Definition_Movie.h"

namespace QuillEngine {

std::unique_ptr<Definition_Base> CreateDefinition(const XmlNode& element, DefinitionLibrary* library)
{
    String type, name;
    // An empty name could never be looked up or removed again.
    if (!element.GetAttribute(u"type", type) || !element.GetAttribute(u"name", name) || name.empty())
        return nullptr;
    std::unique_ptr<Definition_Base> definition;
    if (EqualsNoCase(type, u"movie"))
        definition = std::make_unique<Definition_Movie>(library);
    else if (EqualsNoCase(type, u"image"))
        definition = std::make_unique<Definition_Image>(library);
    else
        return nullptr;
    definition->SetName(std::move(name));
    if (!definition->Load(element))
        return nullptr;
    return definition;
}

} // namespace QuillEngine
