// Imports arbitrary bytes as a definition library file, then asks every question the instance tree
// asks of the definitions: lookups by name and index, keys at any frame, track resolution through
// the library (with its cycle check), image placement and pixel-copy rectangles. Nothing may read
// out of bounds, loop for ever or leak, whatever the file holds.

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Definition_Image.h"
#include "engine/graphics/scene/Definition_Movie.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace QuillEngine;

namespace {

void Exercise(const DefinitionLibrary& library, const Definition_Base& definition, uint32_t seed)
{
    if (library.GetDefinition(definition.Name(), definition.GetIndex()) != &definition)
        std::abort();
    if (definition.GetType() == Definition_Base::Type_Image) {
        const auto& image = static_cast<const Definition_Image&>(definition);
        ImagePlacement placement;
        image.ComputePlacement(seed & 0xFFF, (seed >> 12) & 0xFFF, 1u << (seed & 11), 1u << ((seed >> 4) & 11),
                               placement);
        const uint32_t texW = (seed >> 3) & 0x3FF, texH = (seed >> 13) & 0x3FF;
        const uint32_t bufW = (seed >> 7) & 0x3FF, bufH = (seed >> 17) & 0x3FF;
        const ImagePixelCopy copy = image.ComputePixelCopy(texW, texH, bufW, bufH);
        if (copy.width != 0 &&
            (uint64_t(copy.sourceX) + copy.width > texW || uint64_t(copy.sourceY) + copy.height > texH ||
             uint64_t(copy.destX) + copy.width > bufW || uint64_t(copy.destY) + copy.height > bufH))
            std::abort();
        return;
    }
    const auto& movie = static_cast<const Definition_Movie&>(definition);
    movie.FindFrameEvent(seed);
    movie.FindLabel(seed);
    uint32_t frame = 0;
    for (const auto& [labelFrame, label] : movie.GetLabels())
        if (!movie.FindLabelFrame(label, frame))
            std::abort();
    const int32_t count = static_cast<int32_t>(movie.GetTracks().size());
    for (int32_t i = -1; i <= count; ++i) {
        for (uint32_t f : {0u, seed, seed >> 16, 0xFFFFFFFFu}) {
            const TrackKey* key = movie.GetTrackKey(i, f);
            if (key && !std::isfinite(key->rotation))
                std::abort();
        }
        movie.ResolveTrackDefinition(i);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<XmlNode> document = XmlNode::ParseFileBytes(data, size, false);
    if (!document)
        return 0;
    uint32_t seed = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        seed = (seed ^ data[i]) * 16777619u;

    DefinitionLibrary library;
    library.AddImageDefinition(u"SplashScreen", u"Splash.png");
    int32_t added = 0, existing = 0;
    // Twice, so that every name of the file also exists with index 1.
    for (int pass = 0; pass < 2; ++pass)
        if (!library.ImportLibrary(*document, nullptr, added, existing))
            return 0;
    library.CheckReferences();
    for (const auto& [name, list] : library.Definitions()) {
        library.IsRecursive(name);
        for (const auto& definition : list)
            Exercise(library, *definition, seed);
    }
    // Removing names one by one changes what every track resolves to.
    while (library.GetNameCount() != 0) {
        const size_t before = library.GetNameCount();
        const String name = library.Definitions().begin()->first;
        library.RemoveDefinitions(name);
        if (library.GetNameCount() != before - 1)
            std::abort(); // every stored name can be removed again
        for (const auto& [other, list] : library.Definitions())
            Exercise(library, *list.back(), seed);
    }
    return 0;
}
