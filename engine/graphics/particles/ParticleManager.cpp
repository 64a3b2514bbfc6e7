#include "engine/graphics/particles/ParticleManager.h"

#include <algorithm>

#include "engine/core/EngineRand.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "engine/graphics/particles/ParticleEmitter.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/core/resources/ResourceCache.h"

namespace QuillEngine {

namespace {

// The picture of a layer: the last image definition of its name, made into an instance for its
// texture, texture rectangle and placement matrix. The layer takes a use of the texture of its
// own, so the picture outlives the instance.
bool LookUpPicture(ParticleLayer& layer)
{
    UserInterface* ui = UserInterface::Instance();
    DefinitionLibrary* library = ui ? ui->GetDefinitionLibrary() : nullptr;
    const Definition_Base* definition = library ? library->GetDefinition(layer.textureName, -1) : nullptr;
    if (!definition || definition->GetType() != Definition_Base::Type_Image)
        return false;
    std::unique_ptr<Instance_Base> instance(definition->CreateInstance(ui, String()));
    auto* image = dynamic_cast<Instance_Image*>(instance.get());
    if (!image)
        return false;
    image->GetImageInfo(&layer.texRect, nullptr);
    layer.baseTransform = image->GetImageMatrix();
    layer.texture.Reset();
    if (const uint32_t id = image->GetTextureId()) {
        ResourceCache* cache = ResourceCache::Instance();
        if (ResourceBase* resource = cache ? cache->Acquire(id, true) : nullptr) {
            resource->AddUse();
            layer.texture = TextureUse(id);
        }
    }
    return true;
}

} // namespace

ParticleManager::ParticleManager() = default;

ParticleManager::~ParticleManager()
{
    for (const auto& emitter : m_live)
        m_handles.Release(emitter->GetHandle());
    m_live.clear();
    m_definitions.clear();
}

bool ParticleManager::LoadEmitter(const String& fileName, bool replace)
{
    XmlCache* documents = XmlCache::Instance();
    if (!documents)
        return false;
    const String path = u"Emitters\\" + fileName;
    documents->Unload(path);
    const XmlNode* root = documents->Get(path);
    return root && AddDefinition(*root, replace);
}

bool ParticleManager::AddDefinition(const XmlNode& root, bool replace)
{
    auto definition = std::make_unique<EmitterDefinition>();
    if (!ParseEmitterDefinition(root, LookUpPicture, *definition))
        return false;
    String key = EmitterKey(definition->name);
    auto it = m_definitions.find(key);
    if (it == m_definitions.end()) {
        m_definitions.emplace(std::move(key), std::move(definition));
        return true;
    }
    if (!replace)
        return false;
    it->second = std::move(definition);
    return true;
}

const EmitterDefinition* ParticleManager::FindDefinition(StringView name) const
{
    const auto it = m_definitions.find(EmitterKey(name));
    return it == m_definitions.end() ? nullptr : it->second.get();
}

EmitterHandle ParticleManager::Create(StringView name)
{
    const EmitterDefinition* definition = FindDefinition(name);
    if (!definition || m_live.size() >= kMaxLiveEmitters)
        return {};
    // Two numbers of the game's sequence per emitter (a 30-bit seed), however many particles it
    // then makes.
    const uint32_t seed = static_cast<uint32_t>(Rand()) << 15 | static_cast<uint32_t>(Rand());
    auto emitter = std::make_unique<ParticleEmitter>(*definition, seed);
    const Handle handle = m_handles.Create(emitter.get(), kHandleType);
    emitter->SetHandle(handle);
    m_live.push_back(std::move(emitter));
    return EmitterHandle{handle};
}

EmitterHandle ParticleManager::CreateAndAttach(StringView name, const Handle& parentMovie)
{
    Instance_Movie* movie = HandleEx::ResolveMovie(parentMovie);
    if (!movie || !movie->IsAlive())
        return {};
    const EmitterHandle emitter = Create(name);
    if (!emitter.IsEmpty())
        movie->AddEmitterHandle(emitter);
    return emitter;
}

void ParticleManager::Destroy(const Handle& handle)
{
    ParticleEmitter* emitter = Resolve(handle);
    if (!emitter)
        return;
    m_handles.Release(handle);
    const auto it = std::find_if(m_live.begin(), m_live.end(), [emitter](const auto& e) { return e.get() == emitter; });
    if (it != m_live.end()) {
        std::swap(*it, m_live.back());
        m_live.pop_back();
    }
}

ParticleEmitter* ParticleManager::Resolve(const Handle& handle) const
{
    return static_cast<ParticleEmitter*>(m_handles.Resolve(handle));
}

bool ParticleManager::UseSoftwareRates() const
{
    if (m_softwareOverride)
        return *m_softwareOverride;
    const CRenderManager* renderer = CRenderManager::Instance();
    return renderer && renderer->IsSoftwareDevice();
}

// --- EmitterHandle ---

ParticleEmitter* EmitterHandle::Get() const
{
    const ParticleManager* manager = ParticleManager::Instance();
    return manager ? manager->Resolve(handle) : nullptr;
}

void EmitterHandle::Draw(const Transform2D& transform, float opacity) const
{
    ParticleEmitter* emitter = Get();
    const CRenderManager* renderer = CRenderManager::Instance();
    if (QuadBatcher* batcher = emitter && renderer ? renderer->GetBatcher() : nullptr)
        emitter->Draw(*batcher, transform, opacity);
}

bool EmitterHandle::Step(float dt) const
{
    ParticleManager* manager = ParticleManager::Instance();
    ParticleEmitter* emitter = manager ? manager->Resolve(handle) : nullptr;
    if (!emitter)
        return false;
    if (emitter->Update(dt, manager->UseSoftwareRates()))
        return true;
    manager->Destroy(handle);
    return false;
}

void EmitterHandle::SetPosition(float x, float y) const
{
    if (ParticleEmitter* emitter = Get())
        emitter->SetPosition(x, y);
}

void EmitterHandle::SetTarget(float x, float y) const
{
    if (ParticleEmitter* emitter = Get())
        emitter->SetTarget(x, y);
}

void EmitterHandle::Stop() const
{
    if (ParticleEmitter* emitter = Get())
        emitter->Stop();
}

void EmitterHandle::Destroy() const
{
    if (ParticleManager* manager = ParticleManager::Instance())
        manager->Destroy(handle);
}

size_t ParticleManager::LiveParticleCount() const
{
    size_t count = 0;
    for (const auto& emitter : m_live)
        count += emitter->AliveCount();
    return count;
}

} // namespace QuillEngine
