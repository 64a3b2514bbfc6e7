#pragma once
// Helpers for the device-layer tests: a small painter that draws quads and lines through dynamic
// buffers the way the engine's batcher does, read-back of the render target, and PNG goldens.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d/D3dFactory.h"

namespace QuillTest {

struct D3dVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
    uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
};

// A device of one back end presenting into memory, with buffers for drawing. Fails the test
// (or skips it, for a back end that cannot run here) when it cannot be made.
class D3dPainter {
public:
    ~D3dPainter();
    // Returns false when the back end is unavailable here (the caller skips).
    bool Open(QuillD3D::Backend backend, int width, int height);

    QuillD3D::IDevice* Device() const { return device_; }
    QuillD3D::ITexture* MakeTexture(int width, int height, const std::vector<uint32_t>& argb,
                                    QuillD3D::Format format = QuillD3D::FmtA8R8G8B8);

    // The engine's sprite states: alpha test GREATEREQUAL 1, blending SRCALPHA/INVSRCALPHA,
    // texture × diffuse, point sampling with clamping, no depth.
    void SpriteStates();
    void Quad(const D3dVertex (&corners)[4]);
    void Rect(float x0, float y0, float x1, float y1, uint32_t color, float z = 0.51f, float u0 = 0, float v0 = 0,
              float u1 = 1, float v1 = 1);
    void Lines(const std::vector<D3dVertex>& ends);

    Picture Read(QuillD3D::ISurface* target = nullptr);

private:
    void Append(const D3dVertex* v, uint32_t count, uint32_t* start);

    QuillD3D::IDirect3D* d3d_ = nullptr;
    QuillD3D::IDevice* device_ = nullptr;
    QuillD3D::IVertexBuffer* vb_ = nullptr;
    QuillD3D::IIndexBuffer* ib_ = nullptr;
    std::vector<QuillD3D::ITexture*> textures_;
    uint32_t written_ = 0;
};

// The scenes drawn by the golden and cross-backend tests, by name; each clears the target
// first. Names: blend_modes, alpha_test, z_masks, half_pixel_edges, line_list, rotated_bilinear,
// culling_strips.
const std::vector<std::string>& SceneNames();
void DrawScene(const std::string& name, D3dPainter& painter);
// Size of a scene's target.
void SceneSize(const std::string& name, int* width, int* height);

// Compares with tests/platform/golden/<name>.png; with QUILL_UPDATE_GOLDEN=1 in the environment
// the golden is written instead. Colours compare within `tolerance` per channel; alpha is
// ignored for pictures of X8R8G8B8 targets (`withAlpha` false).
void ExpectGolden(const Picture& picture, const std::string& name, int tolerance = 0, bool withAlpha = false);

// Largest per-channel difference (RGB only unless withAlpha) and where it is.
int MaxDifference(const Picture& a, const Picture& b, bool withAlpha, int* atX = nullptr, int* atY = nullptr);

bool ReadPng(const std::string& path, Picture* out);
bool WritePng(const std::string& path, const Picture& picture);

// Opaque ARGB helpers.
constexpr uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

} // namespace QuillTest
