#include "engine/graphics/image/Image.h"

#include <new>

namespace QuillEngine {

bool Image::Allocate(uint32_t w, uint32_t h)
{
    Clear();
    if (w == 0 || h == 0)
        return false;
    const size_t words = size_t(w) * size_t(h);
    if (words > capacity_) {
        buffer_.reset();
        capacity_ = 0;
        buffer_.reset(new (std::nothrow) uint32_t[words]);
        if (!buffer_)
            return false;
        capacity_ = words;
    }
    width = w;
    height = h;
    return true;
}

void Image::Clear()
{
    width = 0;
    height = 0;
    hasAlpha = false;
}

void Image::Reset()
{
    Clear();
    buffer_.reset();
    capacity_ = 0;
}

} // namespace QuillEngine
