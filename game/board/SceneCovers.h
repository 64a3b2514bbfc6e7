#pragma once
// What a scene draws above its items: the pictures laid over them, the foreground and the items
// themselves, each with the pixels it was drawn from. A click finds an item only where the item's
// own pixel is what the player sees, so an opaque pixel drawn above it hides it from the pointer
// as it hides it from the eye.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/graphics/scene/InstanceTree.h"

class Item;

class SceneCovers {
public:
    // A pixel of this alpha or more hides what lies beneath; a fainter one (a veil, a shadow, a
    // glass) lets it show through.
    static constexpr uint8_t kOpaqueAlpha = 200;

    // Reads the children of `scene` drawn above its lowest item: the items of `items` by their
    // sort keys, every other child by its picture (an image, or a movie's first image).
    void Read(const QuillEngine::InstanceHandle& scene, const std::vector<std::unique_ptr<Item>>& items);
    void Clear() { m_layers.clear(); }
    // Whether something shown above `item` is opaque at the point (in the scene's space).
    bool Hides(const Item& item, float x, float y) const;

private:
    struct Layer {
        int32_t index = 0;
        QuillEngine::InstanceHandle shown;   // the child whose visibility counts
        QuillEngine::InstanceHandle picture; // the image whose pixels are drawn
        const Item* item = nullptr;          // an item answers from its own mask
        std::unique_ptr<uint32_t[]> pixels;
        int32_t width = 0;
        int32_t height = 0;
    };
    std::vector<Layer> m_layers;
};
