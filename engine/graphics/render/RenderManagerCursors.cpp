// Hardware cursors: the list from "Cursors\Cursors.xml", the current choice, and handing its
// picture to the device.

#include "engine/core/resources/ResourceCache.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/ResourceTexture.h"
#include "engine/graphics/render/TextureFactory.h"
#include "platform/window/SystemCursor.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

constexpr const char16_t* kCursorFile = u"Cursors\\Cursors.xml";

} // namespace

bool CRenderManager::LoadCursors(const String* name, bool apply)
{
    if (cursors_.empty()) {
        XmlCache* cache = XmlCache::Instance();
        const XmlNode* root = cache ? cache->Get(kCursorFile) : nullptr;
        if (root && root->GetName() == u"Cursors") {
            for (const auto& child : root->Children()) {
                CursorEntry entry;
                if (child->GetName() != u"Cursor" || !child->GetAttribute(u"name", entry.name) ||
                    !child->GetAttribute(u"texture", entry.texture))
                    continue;
                String number;
                if (child->GetAttribute(u"hotspotx", number))
                    entry.hotSpotX = ToInt(number);
                if (child->GetAttribute(u"hotspoty", number))
                    entry.hotSpotY = ToInt(number);
                cursors_.push_back(std::move(entry));
            }
        }
    }

    if (!name) {
        currentCursor_ = 0;
        QuillPlatform::RestoreSystemCursor();
        return true;
    }
    if (!device_ || cursors_.empty())
        return false;
    for (size_t i = 0; i < cursors_.size(); ++i) {
        if (cursors_[i].name == *name) {
            currentCursor_ = static_cast<uint32_t>(i + 1);
            if (apply)
                ApplyHardwareCursor();
            return true;
        }
    }
    return false;
}

bool CRenderManager::ApplyHardwareCursor()
{
    if (currentCursor_ == 0 || currentCursor_ > cursors_.size() || !device_)
        return false;
    if (!(caps_.cursorCaps & (CursorCapsColor | CursorCapsLowRes))) {
        currentCursor_ = 0;
        return false;
    }
    CursorEntry& entry = cursors_[currentCursor_ - 1];
    ResourceCache* cache = ResourceCache::Instance();
    if (!cache)
        return false;
    if (!entry.textureHandle)
        entry.textureHandle = TextureFactory::AcquireFileTexture(entry.texture, *cache);
    ResourceBase* resource = entry.textureHandle ? cache->Acquire(entry.textureHandle) : nullptr;
    ITexture* texture = resource && resource->GetType() == ResourceBase::kTypeTexture
                            ? static_cast<ResourceTexture*>(resource)->GetTexture()
                            : nullptr;
    if (!texture)
        return false;
    ISurface* level = nullptr;
    if (Failed(texture->GetSurfaceLevel(0, &level)))
        return false;
    // A negative hot spot reads as a huge one, which the device refuses.
    const Result r = device_->SetCursorProperties(static_cast<uint32_t>(entry.hotSpotX),
                                                  static_cast<uint32_t>(entry.hotSpotY), level);
    level->Release();
    if (Failed(r))
        return false;
    device_->ShowCursor(true);
    return true;
}

bool CRenderManager::ShowDeviceCursor()
{
    if (!IsReady() || resetting_ || currentCursor_ == 0 || !device_)
        return false;
    device_->ShowCursor(true);
    return true;
}

void CRenderManager::ReleaseCursorTextures()
{
    ResourceCache* cache = ResourceCache::Instance();
    for (CursorEntry& entry : cursors_) {
        if (entry.textureHandle && cache)
            cache->Release(entry.textureHandle);
        entry.textureHandle = 0;
    }
}

} // namespace QuillEngine
