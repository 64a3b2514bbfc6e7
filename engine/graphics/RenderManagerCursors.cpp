// Hardware cursors: the list from "Cursors\Cursors.xml", the current choice, and handing its
// picture to the device.

#include <SDL.h>
#include <cstring>

#include "engine/core/FileManager.h"
#include "engine/core/StringUtil.h"
#include "engine/core/XmlCache.h"
#include "engine/graphics/Image.h"
#include "engine/graphics/PictureLoader.h"
#include "engine/graphics/RenderManager.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

constexpr const char16_t* kCursorFile = u"Cursors\\Cursors.xml";
constexpr uint32_t kMaxCursorSide = 64;

// Seam: a cursor picture becomes a device texture here until the texture factory lands and the
// cursor entries hold its handles. Managed A8R8G8B8, each side raised to a power of two.
ITexture* LoadCursorTexture(IDevice* device, const String& name)
{
    FileManager* files = FileManager::Instance();
    Image image;
    if (!files || !LoadPicture(*files, name, kMaxCursorSide, image))
        return nullptr;
    ITexture* texture = nullptr;
    if (Failed(device->CreateTexture(NextPowerOfTwo(image.width), NextPowerOfTwo(image.height), 1, 0, FmtA8R8G8B8,
                                     PoolManaged, &texture)))
        return nullptr;
    LockedRect locked{};
    if (Failed(texture->LockRect(0, &locked, nullptr, 0))) {
        texture->Release();
        return nullptr;
    }
    auto* bits = static_cast<uint8_t*>(locked.bits);
    for (uint32_t y = 0; y < image.height; ++y)
        std::memcpy(bits + static_cast<size_t>(y) * locked.pitch, image.Row(y), image.RowBytes());
    texture->UnlockRect(0);
    return texture;
}

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
        // Back to the system's own pointer; moving it to where it is makes the window system
        // show it at once.
        if (SDL_WasInit(SDL_INIT_VIDEO)) {
            SDL_SetCursor(SDL_GetDefaultCursor());
            if (SDL_Window* focus = SDL_GetMouseFocus()) {
                int x = 0, y = 0;
                SDL_GetMouseState(&x, &y);
                SDL_WarpMouseInWindow(focus, x, y);
            }
        }
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
    if (!entry.deviceTexture)
        entry.deviceTexture = LoadCursorTexture(device_, entry.texture);
    if (!entry.deviceTexture)
        return false;
    ISurface* level = nullptr;
    if (Failed(entry.deviceTexture->GetSurfaceLevel(0, &level)))
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
    for (CursorEntry& entry : cursors_) {
        if (entry.deviceTexture) {
            entry.deviceTexture->Release();
            entry.deviceTexture = nullptr;
        }
    }
}

} // namespace QuillEngine
