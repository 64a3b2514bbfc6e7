#include "engine/graphics/render/FrameRuns.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/d3d/D3dInterfaces.h"

namespace QuillEngine {

QuadRun::QuadRun(QuadRun&& other) noexcept
    : texture(std::exchange(other.texture, nullptr)), identity(other.identity), mode(other.mode), filter(other.filter),
      first(other.first), count(other.count), depthClear(other.depthClear), depthRect(other.depthRect)
{
}

QuadRun& QuadRun::operator=(QuadRun&& other) noexcept
{
    if (this != &other) {
        if (texture)
            texture->Release();
        texture = std::exchange(other.texture, nullptr);
        identity = other.identity;
        mode = other.mode;
        filter = other.filter;
        first = other.first;
        count = other.count;
        depthClear = other.depthClear;
        depthRect = other.depthRect;
    }
    return *this;
}

QuadRun::~QuadRun()
{
    ReleaseTexture();
}

void QuadRun::ReleaseTexture()
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

void FrameRecord::ClearFor(size_t runCount, size_t vertexCount)
{
    Clear();
    constexpr size_t kSmallRuns = 256, kSmallVertices = 4096;
    if (runs.capacity() > std::max(kSmallRuns, 4 * runCount))
        std::vector<QuadRun>().swap(runs);
    if (vertices.capacity() > std::max(kSmallVertices, 4 * vertexCount))
        std::vector<QuadVertex>().swap(vertices);
}

void FrameRecord::ReleaseTextures()
{
    for (QuadRun& run : runs)
        run.ReleaseTexture();
}

void PixelBox::Add(const PixelBox& other)
{
    if (other.Empty())
        return;
    if (Empty()) {
        *this = other;
        return;
    }
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
}

namespace {

// The pixels `count` vertices can touch: their box grown by a pixel on each side, which covers
// pixel-centre rounding and the neighbours bilinear filtering reads.
PixelBox BoxOf(const QuadVertex* v, size_t count)
{
    if (count == 0)
        return {};
    float minX = v[0].x, maxX = v[0].x, minY = v[0].y, maxY = v[0].y;
    for (size_t i = 1; i < count; ++i) {
        minX = std::min(minX, v[i].x);
        maxX = std::max(maxX, v[i].x);
        minY = std::min(minY, v[i].y);
        maxY = std::max(maxY, v[i].y);
    }
    constexpr float kFar = 1e6f;
    if (!(minX > -kFar && maxX < kFar && minY > -kFar && maxY < kFar))
        return {-1 << 20, -1 << 20, 1 << 20, 1 << 20}; // anything: the whole picture
    return {static_cast<int32_t>(std::floor(minX)) - 1, static_cast<int32_t>(std::floor(minY)) - 1,
            static_cast<int32_t>(std::ceil(maxX)) + 1, static_cast<int32_t>(std::ceil(maxY)) + 1};
}

bool SameState(const QuadRun& a, const QuadRun& b)
{
    return a.identity == b.identity && a.mode == b.mode && a.filter == b.filter && a.depthClear == b.depthClear &&
           (a.depthClear != QuadRun::DepthClear::Rect ||
            (a.depthRect.left == b.depthRect.left && a.depthRect.top == b.depthRect.top &&
             a.depthRect.right == b.depthRect.right && a.depthRect.bottom == b.depthRect.bottom));
}

// A run's quads touch only their own pixels; the depth a mask scope clears after it was written
// by masking layers, whose own runs are compared as well.
PixelBox WholeRun(const FrameRecord& frame, const QuadRun& run)
{
    return BoxOf(frame.VerticesOf(run), run.count);
}

} // namespace

PixelBox ChangedArea(const FrameRecord& before, const FrameRecord& now, int32_t width, int32_t height)
{
    PixelBox changed;
    const size_t common = std::min(before.runs.size(), now.runs.size());
    for (size_t i = 0; i < common; ++i) {
        const QuadRun& a = before.runs[i];
        const QuadRun& b = now.runs[i];
        if (!SameState(a, b) || a.count != b.count) {
            changed.Add(WholeRun(before, a));
            changed.Add(WholeRun(now, b));
            continue;
        }
        const QuadVertex* va = before.VerticesOf(a);
        const QuadVertex* vb = now.VerticesOf(b);
        if (std::memcmp(va, vb, a.count * sizeof(QuadVertex)) == 0)
            continue;
        for (size_t q = 0; q + 4 <= a.count; q += 4) {
            if (std::memcmp(va + q, vb + q, 4 * sizeof(QuadVertex)) != 0) {
                changed.Add(BoxOf(va + q, 4));
                changed.Add(BoxOf(vb + q, 4));
            }
        }
    }
    for (size_t i = common; i < before.runs.size(); ++i)
        changed.Add(WholeRun(before, before.runs[i]));
    for (size_t i = common; i < now.runs.size(); ++i)
        changed.Add(WholeRun(now, now.runs[i]));
    changed.left = std::max(changed.left, 0);
    changed.top = std::max(changed.top, 0);
    changed.right = std::min(changed.right, width);
    changed.bottom = std::min(changed.bottom, height);
    return changed.Empty() ? PixelBox{} : changed;
}

} // namespace QuillEngine
