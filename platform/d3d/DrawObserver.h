#pragma once
// Seam for benchmarks: a device can tell an observer what each of its draws shows, so that a
// frame the renderer drew can be drawn again by another program (the same pictures, the same
// triangles, the same blending) and the two compared. Nothing in the game observes draws.

#include <functional>
#include <vector>

#include "platform/d3d/D3dInterfaces.h"

namespace QuillD3D {

struct ObservedVertex {
    float x, y;     // target pixels, as the renderer gave them
    uint32_t color; // ARGB (white when the layout has no colour)
    float u, v;
};

struct ObservedDraw {
    bool intoBackBuffer = false;
    // Stage 0's texture when the draw reads it: its identity, and level 0's memory image (none for
    // a render target, which keeps its picture with the driver).
    const void* texture = nullptr;
    const uint8_t* bits = nullptr;
    uint32_t width = 0, height = 0, pitch = 0;
    Format format = FmtUnknown;
    bool linear = false, wrapU = false, wrapV = false;
    // Colour and alpha are texture times diffuse (or diffuse alone); false for any other stage
    // setting or an alpha test that can turn pixels away.
    bool modulate = false;
    bool blend = false;
    uint32_t srcBlend = 0, destBlend = 0;
    std::vector<ObservedVertex> triangles; // three vertices each (lines and points are not observed)
};

using DrawObserver = std::function<void(const ObservedDraw&)>;

// Calls `observer` before each triangle draw of `device` from now on (none: stop).
void ObserveDraws(IDevice* device, DrawObserver observer);

} // namespace QuillD3D
