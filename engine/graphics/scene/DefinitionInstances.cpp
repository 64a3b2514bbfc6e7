// Making instances from definitions.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/scene/Definition_Image.h"
#include "engine/graphics/scene/Definition_Movie.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/graphics/render/ResourceTexture.h"
#include "engine/graphics/render/TextureFactory.h"

namespace QuillEngine {

Instance_Base* Definition_Image::CreateInstance(UserInterface* userInterface, const String& instanceName) const
{
    auto image = std::make_unique<Instance_Image>(userInterface, instanceName);
    image->SetDefinition(Name(), GetIndex());
    ResourceCache* cache = ResourceCache::Instance();
    const uint32_t textureId = cache ? TextureFactory::AcquireFileTexture(m_source, *cache) : 0;
    if (textureId == 0)
        return image.release();
    image->SetTexture(textureId);
    // Loading the picture (on first use) tells its size and the size of the texture it sits in.
    auto* texture = dynamic_cast<ResourceTexture*>(cache->Acquire(textureId));
    if (!texture || !texture->IsLoaded())
        return image.release();
    uint32_t pictureWidth = 0, pictureHeight = 0, textureWidth = 0, textureHeight = 0;
    texture->GetImageSize(pictureWidth, pictureHeight);
    texture->GetTextureSize(textureWidth, textureHeight);
    ImagePlacement placement;
    if (ComputePlacement(pictureWidth, pictureHeight, textureWidth, textureHeight, placement))
        image->SetPlacement(placement.width, placement.height, placement.quadMatrix,
                            QuadTexRect{placement.left, placement.top, placement.right, placement.bottom});
    return image.release();
}

Instance_Base* Definition_Movie::CreateInstance(UserInterface* userInterface, const String& instanceName) const
{
    auto* movie = new Instance_Movie(userInterface, instanceName);
    movie->SetDefinition(Name(), GetIndex());
    return movie;
}

namespace {

// A text track's child: font, text, colour, alignment and box are all set before it is first drawn.
Instance_Base* CreateTextInstance(const InstanceTrack& track, UserInterface* userInterface)
{
    auto* text = new Instance_Text(userInterface, track.instanceName);
    const int32_t size = static_cast<int32_t>(std::min<uint32_t>(track.textSize, std::numeric_limits<int32_t>::max()));
    text->SetFont(track.face, size, track.bold != 0, false);
    text->SetText(track.content);
    text->SetColor(track.textColor);
    text->SetAlignment(track.alignFlags);
    text->SetBox(track.boxWidth, track.boxHeight);
    return text;
}

} // namespace

Instance_Base* Definition_Movie::CreateTrackInstance(int32_t trackIndex, UserInterface* userInterface) const
{
    const InstanceTrack* track = GetTrack(trackIndex);
    if (track && track->kind == InstanceTrack::Kind_Text) {
        Instance_Base* text = CreateTextInstance(*track, userInterface);
        text->SetTimelineIndex(trackIndex);
        text->SetRegistrationPoint(track->regX, track->regY);
        return text;
    }
    const Definition_Base* definition = ResolveTrackDefinition(trackIndex);
    if (!track || !definition)
        return nullptr;
    Instance_Base* child = definition->CreateInstance(userInterface, track->instanceName);
    if (!child)
        return nullptr;
    child->SetTimelineIndex(trackIndex);
    child->SetRegistrationPoint(track->regX, track->regY);
    if (child->GetType() == Instance_Base::Type_Movie)
        static_cast<Instance_Movie*>(child)->SetUserData(track->userData);
    return child;
}

void Definition_Movie::ApplyTrackKey(uint32_t frame, Instance_Base* instance) const
{
    const TrackKey* key = instance ? GetTrackKey(instance->GetTimelineIndex(), frame) : nullptr;
    if (!key)
        return;
    // Each setter invalidates the transform; the last one leaves it flagged for recomputing.
    instance->SetPosition(key->x, key->y);
    instance->SetScale(key->scaleX, key->scaleY);
    instance->SetRotation(key->rotation);
    instance->SetOpacity(key->opacity);
}

} // namespace QuillEngine
