#pragma once
// The instance behind a method's self. Boxed pointers carry no type, so a pointer taken from a
// script object is only trusted once the resolver knows it as the pointer of a live instance;
// the script bridge is that resolver while it exists.

namespace QuillEngine {

class Instance_Base;
class Instance_Movie;
class Instance_Text;

class IScriptSelfResolver {
public:
    virtual ~IScriptSelfResolver() = default;
    // The live instance whose pointer this is, or null.
    virtual Instance_Base* ResolveSelf(void* pointer) const = 0;
};

namespace Bindings {

// Installs the resolver the instance methods ask; null removes it (every self is refused then).
void SetSelfResolver(const IScriptSelfResolver* resolver);
const IScriptSelfResolver* GetSelfResolver();

// Self adapters of the instance methods: null refuses the call.
Instance_Base* SelfInstance(void* pointer);
Instance_Movie* SelfMovie(void* pointer);
Instance_Text* SelfText(void* pointer);

} // namespace Bindings
} // namespace QuillEngine
