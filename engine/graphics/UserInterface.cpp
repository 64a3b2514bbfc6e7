#include "engine/graphics/UserInterface.h"

#include "engine/graphics/Instance_Movie.h"

namespace QuillEngine {

UserInterface::UserInterface() = default;

UserInterface::~UserInterface()
{
    // The tree goes first: its instances release their handles and may look definitions up.
    root_.reset();
    library_.reset();
}

bool UserInterface::CreateRoot()
{
    if (root_)
        return false;
    if (!library_)
        library_ = std::make_unique<DefinitionLibrary>();
    root_ = std::make_unique<Instance_Movie>(this, u"root");
    RegisterInstance(root_.get());
    return true;
}

InstanceHandle UserInterface::GetRootHandle() const
{
    return root_ ? root_->GetHandle() : InstanceHandle();
}

InstanceHandle UserInterface::RegisterInstance(Instance_Base* instance)
{
    const InstanceHandle handle = handles_.Create(static_cast<void*>(instance));
    instance->SetOwnHandle(handle);
    if (instance->GetType() == Instance_Base::Type_Movie)
        static_cast<Instance_Movie*>(instance)->SetHandlerHandle(handle);
    ++instanceCount_;
    return handle;
}

void UserInterface::ReleaseInstance(Instance_Base* instance)
{
    const InstanceHandle handle = instance->GetHandle();
    if (handles_.Resolve(handle) != static_cast<void*>(instance))
        return;
    handles_.Release(handle);
    --instanceCount_;
}

void UserInterface::Update()
{
    ++updates_;
    if (root_)
        root_->Update();
}

void UserInterface::Render()
{
    ++renders_;
    if (!root_)
        return;
    root_->Update();
    root_->Render(Transform2D::Identity(), 1.0f);
}

} // namespace QuillEngine
