#include "game/board/SceneCovers.h"

#include <algorithm>

#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "game/board/Item.h"

using namespace QuillEngine;

void SceneCovers::Read(const InstanceHandle& scene, const std::vector<std::unique_ptr<Item>>& items)
{
    m_layers.clear();
    Instance_Movie* movie = HandleEx::ResolveMovie(scene);
    if (!movie || items.empty())
        return;
    int32_t lowest = movie->GetChildCount();
    for (const auto& item : items)
        lowest = std::min(lowest, item->SortKey());
    // Whatever lies below every item (the background, the decoys) can hide none of them.
    for (int32_t index = lowest + 1; index < movie->GetChildCount(); ++index) {
        Layer layer;
        layer.index = index;
        layer.shown = movie->GetChild(index);
        const auto item = std::find_if(items.begin(), items.end(), [&](const auto& i) {
            return i->SortKey() == index && i->GetInstance() == layer.shown;
        });
        if (item != items.end()) {
            layer.item = item->get();
            m_layers.push_back(std::move(layer));
            continue;
        }
        layer.picture = layer.shown;
        if (Instance_Movie* inner = HandleEx::ResolveMovie(layer.shown))
            layer.picture = inner->GetChildCount() > 0 ? inner->GetChild(0) : InstanceHandle();
        Instance_Image* image = HandleEx::ResolveImage(layer.picture);
        uint32_t width = 0, height = 0;
        layer.pixels = image ? image->ReadPixels(width, height) : nullptr;
        if (!layer.pixels)
            continue;
        layer.width = static_cast<int32_t>(width);
        layer.height = static_cast<int32_t>(height);
        m_layers.push_back(std::move(layer));
    }
}

bool SceneCovers::Hides(const Item& item, float x, float y) const
{
    for (const Layer& layer : m_layers) {
        if (layer.index <= item.SortKey())
            continue;
        const Instance_Base* shown = HandleEx::ResolveInstance(layer.shown);
        if (!shown || !shown->GetVisible())
            continue;
        uint8_t alpha = 0;
        if (layer.item) {
            alpha = layer.item->AlphaAt(x, y);
        } else if (Instance_Base* picture = HandleEx::ResolveInstance(layer.picture)) {
            float px = x, py = y;
            picture->GlobalToLocal(px, py);
            alpha = Item::MaskAlpha(layer.pixels.get(), layer.width, layer.height, px, py);
        }
        if (alpha >= kOpaqueAlpha)
            return true;
    }
    return false;
}
