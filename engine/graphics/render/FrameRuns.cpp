#include "engine/graphics/render/FrameRuns.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/d3d/D3dInterfaces.h"

namespace QuillEngine {

QuadRun::QuadRun(QuadRun&& other) noexcept
    : texture(std::exchange(other.texture, nullptr)), mode(other.mode), filter(other.filter),
      vertices(std::move(other.vertices)), depthClear(other.depthClear), depthRect(other.depthRect)
{
}

QuadRun& QuadRun::operator=(QuadRun&& other) noexcept
{
    if (this != &other) {
        if (texture)
            texture->Release();
        texture = std::exchange(other.texture, nullptr);
        mode = other.mode;
        filter = other.filter;
        vertices = std::move(other.vertices);
        depthClear = other.depthClear;
        depthRect = other.depthRect;
    }
    return *this;
}

QuadRun::~QuadRun()
{
    if (texture)
        texture->Release();
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
    return a.texture == b.texture && a.mode == b.mode && a.filter == b.filter && a.depthClear == b.depthClear &&
           (a.depthClear != QuadRun::DepthClear::Rect ||
            (a.depthRect.left == b.depthRect.left && a.depthRect.top == b.depthRect.top &&
             a.depthRect.right == b.depthRect.right && a.depthRect.bottom == b.depthRect.bottom));
}

// A run's quads touch only their own pixels; the depth a mask scope clears after it was written
// by masking layers, whose own runs are compared as well.
PixelBox WholeRun(const QuadRun& run)
{
    return BoxOf(run.vertices.data(), run.vertices.size());
}

} // namespace

PixelBox ChangedArea(const std::vector<QuadRun>& before, const std::vector<QuadRun>& now, int32_t width,
                     int32_t height)
{
    PixelBox changed;
    const size_t common = std::min(before.size(), now.size());
    for (size_t i = 0; i < common; ++i) {
        const QuadRun& a = before[i];
        const QuadRun& b = now[i];
        if (!SameState(a, b) || a.vertices.size() != b.vertices.size()) {
            changed.Add(WholeRun(a));
            changed.Add(WholeRun(b));
            continue;
        }
        for (size_t q = 0; q + 4 <= a.vertices.size(); q += 4) {
            if (std::memcmp(&a.vertices[q], &b.vertices[q], 4 * sizeof(QuadVertex)) != 0) {
                changed.Add(BoxOf(&a.vertices[q], 4));
                changed.Add(BoxOf(&b.vertices[q], 4));
            }
        }
    }
    for (size_t i = common; i < before.size(); ++i)
        changed.Add(WholeRun(before[i]));
    for (size_t i = common; i < now.size(); ++i)
        changed.Add(WholeRun(now[i]));
    changed.left = std::max(changed.left, 0);
    changed.top = std::max(changed.top, 0);
    changed.right = std::min(changed.right, width);
    changed.bottom = std::min(changed.bottom, height);
    return changed.Empty() ? PixelBox{} : changed;
}

} // namespace QuillEngine
