// Making instances from definitions.
//
// Seam: no definition makes an instance until the instance classes (image, movie and text
// instances) land; these bodies then become:
// - image: a new Instance_Image with this definition's name and index; with its texture, the size,
//   quad matrix and texture rectangle of ComputePlacement.
// - movie: a new Instance_Movie with this definition's name and index.
// - track: for a text track an Instance_Text set up from the track; for a library track
//   ResolveTrackDefinition(i)->CreateInstance, then the track index, the registration point and,
//   for a movie child, the track's user data.
// - key: GetTrackKey(instance's track index, frame) applied to position, scale, rotation and
//   opacity (nothing when it is null), then the transform is flagged for recomputing.

#include "engine/graphics/Definition_Image.h"
#include "engine/graphics/Definition_Movie.h"

namespace QuillEngine {

Instance_Base* Definition_Image::CreateInstance(UserInterface* /*userInterface*/, const String& /*instanceName*/) const
{
    return nullptr;
}

Instance_Base* Definition_Movie::CreateInstance(UserInterface* /*userInterface*/, const String& /*instanceName*/) const
{
    return nullptr;
}

Instance_Base* Definition_Movie::CreateTrackInstance(int32_t /*trackIndex*/, UserInterface* /*userInterface*/) const
{
    return nullptr;
}

void Definition_Movie::ApplyTrackKey(uint32_t /*frame*/, Instance_Base* /*instance*/) const {}

} // namespace QuillEngine
