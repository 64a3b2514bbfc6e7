#include "engine/bindings/InstanceSelf.h"

#include "engine/graphics/scene/Instance_Base.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"

namespace QuillEngine::Bindings {

namespace {

const IScriptSelfResolver* g_resolver = nullptr;

} // namespace

void SetSelfResolver(const IScriptSelfResolver* resolver)
{
    g_resolver = resolver;
}

const IScriptSelfResolver* GetSelfResolver()
{
    return g_resolver;
}

Instance_Base* SelfInstance(void* pointer)
{
    return g_resolver ? g_resolver->ResolveSelf(pointer) : nullptr;
}

Instance_Movie* SelfMovie(void* pointer)
{
    Instance_Base* instance = SelfInstance(pointer);
    return instance && instance->GetType() == Instance_Base::Type_Movie ? static_cast<Instance_Movie*>(instance)
                                                                        : nullptr;
}

Instance_Text* SelfText(void* pointer)
{
    Instance_Base* instance = SelfInstance(pointer);
    return instance && instance->GetType() == Instance_Base::Type_Text ? static_cast<Instance_Text*>(instance)
                                                                       : nullptr;
}

} // namespace QuillEngine::Bindings
