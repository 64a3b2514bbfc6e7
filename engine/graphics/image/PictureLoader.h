#pragma once
// Loading a picture file by its data name, the way file textures are made: the name's last three
// characters choose the loader, compared exactly ("tga", "png", "jpg"; ".TGA" is not loaded).
// ".png" and ".jpg" names first try the alpha pair: a colour JPEG plus an 8-bit BMP alpha mask
// with the same base name (the name up to its first '.').

#include <cstdint>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/image/Image.h"

namespace QuillEngine {

class FileManager;

enum class PictureFormat { Unknown, Tga, Png, Jpeg };

PictureFormat PictureFormatOf(StringView path);

// The name both files of an alpha pair share: `path` up to its first '.' (all of it without one).
StringView AlphaPairBase(StringView path);

// JPEG colour from base + ".jpg" and alpha from base + ".bmp"; both must exist.
bool LoadAlphaPair(FileManager& files, StringView path, uint32_t maxTextureSize, Image& out);

// The picture named by `path`, or false with `out` empty.
bool LoadPicture(FileManager& files, StringView path, uint32_t maxTextureSize, Image& out);

} // namespace QuillEngine
