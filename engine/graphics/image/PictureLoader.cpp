#include "engine/graphics/image/PictureLoader.h"

#include "engine/core/files/FileManager.h"
#include "engine/graphics/image/ImageDecoders.h"

namespace QuillEngine {

namespace {

using Decoder = bool (*)(const uint8_t*, size_t, uint32_t, Image&);

bool DecodeFile(FileManager& files, const String& name, uint32_t maxTextureSize, Decoder decode, Image& out)
{
    const FileHandle file = files.LoadFile(name);
    if (!file) {
        out.Clear();
        return false;
    }
    return decode(file.Data(), file.Size(), maxTextureSize, out);
}

} // namespace

PictureFormat PictureFormatOf(StringView path)
{
    if (path.size() < 3)
        return PictureFormat::Unknown;
    const StringView tail = path.substr(path.size() - 3);
    if (tail == u"tga")
        return PictureFormat::Tga;
    if (tail == u"png")
        return PictureFormat::Png;
    if (tail == u"jpg")
        return PictureFormat::Jpeg;
    return PictureFormat::Unknown;
}

StringView AlphaPairBase(StringView path)
{
    const size_t dot = path.find(u'.');
    return dot == StringView::npos ? path : path.substr(0, dot);
}

bool LoadAlphaPair(FileManager& files, StringView path, uint32_t maxTextureSize, Image& out)
{
    out.Clear();
    const String base(AlphaPairBase(path));
    const String colourName = base + u".jpg";
    const String alphaName = base + u".bmp";
    // The alpha picture first: almost every picture has none, and that answers at once.
    if (!files.Exists(alphaName) || !files.Exists(colourName))
        return false;
    if (!DecodeFile(files, colourName, maxTextureSize, DecodeJpeg, out))
        return false;
    const FileHandle alpha = files.LoadFile(alphaName);
    if (!alpha || !ApplyBmpAlpha(alpha.Data(), alpha.Size(), out)) {
        out.Clear();
        return false;
    }
    return true;
}

bool LoadPicture(FileManager& files, StringView path, uint32_t maxTextureSize, Image& out)
{
    out.Clear();
    const String name(path);
    switch (PictureFormatOf(path)) {
    case PictureFormat::Tga:
        return DecodeFile(files, name, maxTextureSize, DecodeTga, out);
    case PictureFormat::Png:
        return LoadAlphaPair(files, path, maxTextureSize, out) ||
               DecodeFile(files, name, maxTextureSize, DecodePng, out);
    case PictureFormat::Jpeg:
        return LoadAlphaPair(files, path, maxTextureSize, out) ||
               DecodeFile(files, name, maxTextureSize, DecodeJpeg, out);
    case PictureFormat::Unknown:
        break;
    }
    return false;
}

} // namespace QuillEngine
