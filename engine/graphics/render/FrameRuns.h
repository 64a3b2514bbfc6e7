#pragma once
// The runs of quads one frame drew, kept so that the next frame can be compared with it: where
// the two differ is the only part of the picture that has to be drawn again.

#include <cstdint>
#include <vector>

#include "engine/graphics/render/QuadBatcher.h"
#include "platform/d3d/D3dTypes.h"

namespace QuillD3D {
class ITexture;
}

namespace QuillEngine {

// One draw of the batcher: quads of one texture, mode word and filtering, in drawing order.
struct QuadRun {
    QuadRun() = default;
    QuadRun(const QuadRun&) = delete;
    QuadRun& operator=(const QuadRun&) = delete;
    QuadRun(QuadRun&& other) noexcept;
    QuadRun& operator=(QuadRun&& other) noexcept;
    ~QuadRun(); // gives back the texture
    // Gives back the texture; `identity` still tells which texture the run drew with.
    void ReleaseTexture();

    QuillD3D::ITexture* texture = nullptr; // one reference held; none for untextured runs
    // The texture drawn with, compared between frames. Once given back it may name a texture
    // that is gone: the device counts every new texture as written, so a frame that could meet
    // another texture at the same address is never compared with the last.
    const void* identity = nullptr;
    uint32_t mode = 0;
    bool filter = false;
    uint32_t first = 0, count = 0; // its vertices in the frame's list, four per quad
    // The end of a mask scope: depth is cleared after the run, over `depthRect` or everywhere.
    enum class DepthClear : uint8_t { None, Rect, Whole } depthClear = DepthClear::None;
    QuillD3D::Rect depthRect{};
};

// A frame's runs and, in one list, their vertices. Emptied with its storage kept, so that frame
// after frame records without allocating; but storage far beyond what recent frames used (a busy
// board's, once a plain screen replaced it) is given back, so that it never holds more than the
// current screen needs.
struct FrameRecord {
    std::vector<QuadRun> runs;
    std::vector<QuadVertex> vertices;
    void Clear()
    {
        runs.clear(); // gives back their textures
        vertices.clear();
    }
    // Clear(), and frees the storage when it is over four times what a frame of `runCount` runs
    // and `vertexCount` vertices needs (and more than a small frame's).
    void ClearFor(size_t runCount, size_t vertexCount);
    // Gives back every run's texture once the frame is drawn, so that a texture the scene let go
    // is freed at once, not a frame later; the runs can still be compared.
    void ReleaseTextures();
    const QuadVertex* VerticesOf(const QuadRun& run) const { return vertices.data() + run.first; }
};

// A rectangle of back-buffer pixels, empty when right <= left or bottom <= top.
struct PixelBox {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    void Add(const PixelBox& other);
};

// Where `now` draws differently from `before`, within a `width` x `height` picture: the union of
// the boxes of every quad that differs (as it was and as it is), and of whole runs where the runs
// themselves differ. Textures are compared by identity: the caller redraws everything when any
// texture's contents changed in between.
PixelBox ChangedArea(const FrameRecord& before, const FrameRecord& now, int32_t width, int32_t height);

} // namespace QuillEngine
