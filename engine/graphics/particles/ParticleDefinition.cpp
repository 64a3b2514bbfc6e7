#include "engine/graphics/particles/ParticleDefinition.h"

#include <algorithm>
#include <cmath>

#include "engine/core/resources/ResourceCache.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"

namespace QuillEngine {

// --- TextureUse ---

TextureUse::TextureUse(const TextureUse& other)
{
    *this = other;
}

TextureUse& TextureUse::operator=(const TextureUse& other)
{
    if (this == &other || m_id == other.m_id)
        return *this;
    Reset();
    if (other.m_id == 0)
        return *this;
    ResourceCache* cache = ResourceCache::Instance();
    if (ResourceBase* resource = cache ? cache->Acquire(other.m_id, true) : nullptr) {
        resource->AddUse();
        m_id = other.m_id;
    }
    return *this;
}

TextureUse& TextureUse::operator=(TextureUse&& other) noexcept
{
    if (this != &other) {
        Reset();
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

void TextureUse::Reset()
{
    if (m_id != 0)
        if (ResourceCache* cache = ResourceCache::Instance())
            cache->Release(m_id);
    m_id = 0;
}

// --- parsing ---

namespace {

const XmlNode* Child(const XmlNode& parent, const char16_t* name)
{
    for (const auto& child : parent.Children())
        if (child->GetName() == name)
            return child.get();
    return nullptr;
}

// A real that is absent or not finite keeps `value`.
void ReadFloat(const XmlNode& parent, const char16_t* name, float& value)
{
    if (const XmlNode* node = Child(parent, name)) {
        const float parsed = ToFloat(node->GetText());
        if (std::isfinite(parsed))
            value = parsed;
    }
}

void ReadColor(const XmlNode& parent, const char16_t* name, uint32_t& value)
{
    if (const XmlNode* node = Child(parent, name))
        value = static_cast<uint32_t>(ParseInt32(node->GetText(), 0));
}

// A flag is set by the number 1 only; "true" and any other value clear it.
void ReadFlag(const XmlNode& parent, const char16_t* name, bool& value)
{
    if (const XmlNode* node = Child(parent, name))
        value = ParseInt32(node->GetText(), 0) == 1;
}

bool ReadCount(const XmlNode& parent, const char16_t* name, uint32_t& value)
{
    const XmlNode* node = Child(parent, name);
    if (!node)
        return false;
    value = std::min(ParseUInt32(node->GetText(), 0), EmitterDefinition::kMaxStartCount);
    return true;
}

// Rates below 0 emit nothing; a huge rate is held at the cap.
float SaneRate(float rate)
{
    return rate > 0 ? std::min(rate, EmitterDefinition::kMaxRate) : 0.0f;
}

void ReadLayer(const XmlNode& element, ParticleLayer& layer)
{
    if (const XmlNode* node = Child(element, u"TextureName"))
        layer.textureName = node->GetText();
    ReadFloat(element, u"RegistrationX", layer.registrationX);
    ReadFloat(element, u"RegistrationY", layer.registrationY);
    ReadFloat(element, u"StartTime", layer.startTime);
    ReadFloat(element, u"EndTime", layer.endTime);
    ReadColor(element, u"StartColor", layer.startColor);
    ReadFlag(element, u"AdditiveBlend", layer.additiveBlend);
    ReadFlag(element, u"MaskedIn", layer.maskedIn);
    ReadFlag(element, u"MaskedOut", layer.maskedOut);
    ReadFlag(element, u"MaskingLayer", layer.maskingLayer);
    ReadColor(element, u"EndColor", layer.endColor);
    ReadFloat(element, u"StartAlpha", layer.startAlpha);
    ReadFloat(element, u"EndAlpha", layer.endAlpha);
    ReadFloat(element, u"StartScale", layer.startScale);
    ReadFloat(element, u"EndScale", layer.endScale);
    ReadFloat(element, u"Life", layer.life);
    ReadFloat(element, u"Rate", layer.rate);
    ReadFloat(element, u"VelocityX", layer.velocityX);
    ReadFloat(element, u"VelocityY", layer.velocityY);
    ReadFloat(element, u"VelocityRand", layer.velocityRand);
    ReadFloat(element, u"RotationRand", layer.rotationRand);
    ReadFloat(element, u"Gravity", layer.gravity);
    ReadFloat(element, u"Spin", layer.spin);
    ReadFlag(element, u"AlignToVelocity", layer.alignToVelocity);
    ReadFlag(element, u"UseGlobalRoot", layer.useGlobalRoot);
    ReadFloat(element, u"TargetStartTime", layer.targetStartTime);
    ReadFloat(element, u"TargetSpeed", layer.targetSpeed);
    ReadFloat(element, u"TargetX", layer.targetX);
    ReadFloat(element, u"TargetY", layer.targetY);
    ReadFloat(element, u"DriftX", layer.driftX);
    ReadFloat(element, u"DriftY", layer.driftY);
    ReadFloat(element, u"DriftRate", layer.driftRate);
    ReadCount(element, u"StartCount", layer.startCount);
    layer.rate = SaneRate(layer.rate);
    layer.softwareStartCount = layer.startCount;
    ReadCount(element, u"SoftwareStartCount", layer.softwareStartCount);
    layer.softwareRate = layer.rate;
    if (Child(element, u"SoftwareRate")) {
        ReadFloat(element, u"SoftwareRate", layer.softwareRate);
        layer.softwareRate = SaneRate(layer.softwareRate);
    }
}

} // namespace

bool ParseEmitterDefinition(const XmlNode& root, const ParticlePictureLookup& lookup, EmitterDefinition& out)
{
    if (root.GetName() != u"Emitter" || !root.GetAttribute(u"Name", out.name))
        return false;
    ReadFloat(root, u"OffsetX", out.offsetX);
    ReadFloat(root, u"OffsetY", out.offsetY);
    ReadFloat(root, u"Width", out.width);
    ReadFloat(root, u"Height", out.height);
    ReadFloat(root, u"VelocityX", out.velocityX);
    ReadFloat(root, u"VelocityY", out.velocityY);
    ReadFloat(root, u"VelocityRand", out.velocityRand);
    ReadFloat(root, u"Gravity", out.gravity);
    ReadFloat(root, u"Life", out.life);
    out.layers.clear();
    for (const auto& child : root.Children()) {
        if (child->GetName() != u"Particle")
            continue;
        ParticleLayer& layer = out.layers.emplace_back();
        ReadLayer(*child, layer);
        if (!lookup || !lookup(layer))
            return false;
    }
    return !out.layers.empty();
}

String EmitterKey(StringView name)
{
    String key(name);
    for (char16_t& ch : key)
        if ((ch >= u'A' && ch <= u'Z') || (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7))
            ch = static_cast<char16_t>(ch + 32);
    return key;
}

} // namespace QuillEngine
