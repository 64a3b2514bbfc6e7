#include "engine/graphics/scene/InstanceTree.h"

#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"

namespace QuillEngine {

namespace HandleEx {

// The UserInterface's table stores each instance as its Instance_Base pointer.
Instance_Base* ResolveInstance(const Handle& handle)
{
    return handle.table ? static_cast<Instance_Base*>(handle.Get()) : nullptr;
}

Instance_Movie* ResolveMovie(const Handle& handle)
{
    Instance_Base* instance = ResolveInstance(handle);
    return instance && instance->GetType() == Instance_Base::Type_Movie ? static_cast<Instance_Movie*>(instance)
                                                                        : nullptr;
}

Instance_Image* ResolveImage(const Handle& handle)
{
    Instance_Base* instance = ResolveInstance(handle);
    return instance && instance->GetType() == Instance_Base::Type_Image ? static_cast<Instance_Image*>(instance)
                                                                        : nullptr;
}

} // namespace HandleEx

Instance_Base* InstanceHandle::Resolve() const
{
    return HandleEx::ResolveInstance(*this);
}

namespace {

InstanceHandle IfType(const InstanceHandle& handle, int32_t type)
{
    const Instance_Base* instance = handle.Resolve();
    return instance && instance->GetType() == type ? handle : InstanceHandle();
}

} // namespace

InstanceHandle InstanceHandle::AsMovie() const
{
    return IfType(*this, Instance_Base::Type_Movie);
}

InstanceHandle InstanceHandle::AsImage() const
{
    return IfType(*this, Instance_Base::Type_Image);
}

InstanceHandle InstanceHandle::AsText() const
{
    return IfType(*this, Instance_Base::Type_Text);
}

InstanceHandle InstanceHandle::AsLive() const
{
    const Instance_Base* instance = Resolve();
    return instance && instance->IsAlive() ? *this : InstanceHandle();
}

void InstanceHandle::Delete(bool detachHandlers) const
{
    if (Instance_Base* instance = Resolve())
        instance->Delete(detachHandlers);
}

InstanceHandle InstanceHandle::GetParent() const
{
    const Instance_Base* instance = Resolve();
    return instance ? instance->GetParent() : InstanceHandle();
}

void InstanceHandle::MoveBefore(const InstanceHandle& sibling) const
{
    if (Instance_Base* instance = Resolve())
        instance->MoveBefore(sibling);
}

void InstanceHandle::SetInputEnabled(bool enabled) const
{
    if (Instance_Base* instance = Resolve())
        instance->SetInputEnabled(enabled);
}

void InstanceHandle::SetOpacity(float opacity) const
{
    if (Instance_Base* instance = Resolve())
        instance->SetOpacity(opacity);
}

void InstanceHandle::SetPosition(float x, float y) const
{
    if (Instance_Base* instance = Resolve())
        instance->SetPosition(x, y);
}

void InstanceHandle::SetRotation(float radians) const
{
    if (Instance_Base* instance = Resolve())
        instance->SetRotation(radians);
}

void InstanceHandle::SetScale(float sx, float sy) const
{
    if (Instance_Base* instance = Resolve())
        instance->SetScale(sx, sy);
}

void InstanceHandle::SetVisible(bool visible) const
{
    if (Instance_Base* instance = Resolve())
        instance->SetVisible(visible);
}

InstanceHandle InstanceHandle::CreateChild(const String& definitionName, const String& instanceName) const
{
    Instance_Movie* movie = HandleEx::ResolveMovie(*this);
    return movie ? movie->CreateChild(definitionName, instanceName) : InstanceHandle();
}

void InstanceHandle::SetFrame(int32_t frame) const
{
    if (Instance_Movie* movie = HandleEx::ResolveMovie(*this))
        movie->SetFrame(frame);
}

void InstanceHandle::SetEventHandler(IInstanceEventHandler* handler) const
{
    if (Instance_Movie* movie = HandleEx::ResolveMovie(*this))
        movie->SetEventHandler(handler);
}

void InstanceHandle::SetPlaying(bool playing) const
{
    if (Instance_Movie* movie = HandleEx::ResolveMovie(*this))
        movie->SetPlaying(playing);
}

} // namespace QuillEngine
