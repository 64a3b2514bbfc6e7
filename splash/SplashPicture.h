#pragma once
// Pictures for the still-picture splash: BMP, PNG and JPEG files (recognised by their first
// bytes, not by their names), and the built-in picture.

#include <SDL.h>
#include <memory>
#include <string>
#include <string_view>

namespace QuillonSplash {

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// Refused before decoding: files larger than this, pictures wider or taller than kMaxSide.
constexpr size_t kMaxPictureFileBytes = 64u << 20;
constexpr int kMaxPictureSide = 8192;

// An ARGB8888 surface, or null when the bytes are no picture that can be decoded.
SurfacePtr DecodePicture(std::string_view bytes);
SurfacePtr LoadPictureFile(const std::string& path);

// The built-in splash picture, drawn by code (the library carries no picture file).
SurfacePtr MakeBuiltInPicture();

} // namespace QuillonSplash
