#pragma once
// The particle manager: parses effect files ("Emitters\<file>") into emitter definitions kept by
// lower-cased name, makes live emitters from them and names each by a handle of its own table.
// The manager owns the live emitters; one is destroyed when its update finds it finished, when
// its movie goes (the movie destroys its emitters) or when the manager ends.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/core/HandleTable.h"
#include "engine/core/Singleton.h"
#include "engine/graphics/particles/ParticleDefinition.h"
#include "engine/graphics/particles/ParticleHandle.h"

namespace QuillEngine {

class ParticleEmitter;
class UserInterface;

class ParticleManager : public Singleton<ParticleManager> {
public:
    // Type code of emitter handles in the table.
    static constexpr uint32_t kHandleType = 5;
    // Live emitters at most; Create refuses beyond it.
    static constexpr size_t kMaxLiveEmitters = 4096;

    ParticleManager();
    ~ParticleManager();

    // Reads "Emitters\" + `fileName` afresh (any cached copy is dropped first) and stores its
    // definition under its lower-cased `Name`. An existing name is replaced only with `replace`.
    // False, with nothing stored, for a missing or malformed file, a missing `Emitter` element,
    // `Name` or `Particle`, a layer picture that no library defines as an image, or an existing
    // name without `replace`.
    bool LoadEmitter(const String& fileName, bool replace = false);
    // Parses an effect document already in memory (the part of LoadEmitter after reading).
    bool AddDefinition(const XmlNode& root, bool replace);

    // A live emitter of the named definition (any case); empty when no definition has the name.
    EmitterHandle Create(StringView name);
    // Create, then the movie takes the emitter; nothing is made when the movie does not resolve.
    EmitterHandle CreateAndAttach(StringView name, const Handle& parentMovie);
    // Releases the handle and deletes the emitter; a stale handle changes nothing. An emitter
    // never outlives its handle, so nothing is left behind that no one could reach.
    void Destroy(const Handle& handle);
    void ReleaseHandle(const Handle& handle) { Destroy(handle); }

    ParticleEmitter* Resolve(const Handle& handle) const;
    const EmitterDefinition* FindDefinition(StringView name) const;
    size_t DefinitionCount() const { return m_definitions.size(); }
    size_t LiveEmitterCount() const { return m_live.size(); }
    // Particles alive in every live emitter.
    size_t LiveParticleCount() const;
    const HandleTable& Handles() const { return m_handles; }

    // Whether emitters use the software rates: the renderer's software device, unless a test
    // fixes the answer.
    bool UseSoftwareRates() const;
    void SetSoftwareRatesForTest(std::optional<bool> software) { m_softwareOverride = software; }

private:
    HandleTable m_handles;
    std::map<String, std::unique_ptr<EmitterDefinition>, std::less<>> m_definitions;
    std::vector<std::unique_ptr<ParticleEmitter>> m_live;
    std::optional<bool> m_softwareOverride;
};

} // namespace QuillEngine
