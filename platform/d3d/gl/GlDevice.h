#pragma once
// The gl back end: OpenGL 3.3 core through SDL.
//
// Why 3.3 core with tiny shaders rather than 2.1 with fixed-function texture stages: the
// device must draw the same pictures as the soft rasteriser within one step per channel, and the
// parts that decide that are exact in a shader and fuzzy in fixed function — the alpha test
// compares the 8-bit alpha with the reference as an integer, vertices are snapped to the same
// 1/16 pixel grid, and the half-pixel centre offset plus a 1/64 pixel nudge towards the top left
// makes every edge through a pixel centre fall as the top-left rule says, whatever tie rule the
// driver has. The core profile also leaves no hidden state behind (lighting, fog, texture
// environment) that could make the two back ends differ, and it is what Mesa offers everywhere,
// including headless through EGL.
//
// Layout: every render target (the back buffer included) is a texture with a framebuffer object,
// stored with D3D row 0 as GL row 0, so read-backs need no flipping; Present flips and scales the
// back buffer into the window, letterboxed, with a second program that only reads the texture.
// Managed textures and all buffers keep a copy in memory (for locks) and upload on unlock; a new
// texture's first upload waits for its first unlock or the first draw that samples it.

#include <SDL.h>
#include <optional>

#include "platform/d3d/DeviceBase.h"
#include "platform/d3d/gl/GlFunctions.h"

namespace QuillD3D::Detail {

class CGlDevice final : public CDeviceBase {
public:
    using CDeviceBase::CDeviceBase;
    ~CGlDevice() override;

    // Makes the context and the objects every draw needs.
    bool Open();

protected:
    Result CreateSurfaces() override;
    void DestroySurfaces() override;
    Result PrepareTexture(CTexture* t) override;
    Result PrepareRenderTarget(CSurface* s) override;
    Result PrepareBuffer(CBufferCore* b) override;
    void OnSurfaceUnlocked(CSurface* s, const Rect& r) override;

    // A rectangle of the memory image into the texture bound to unit 0.
    void Upload(CSurface* s, const Rect& r);
    void OnSurfaceLocking(CSurface* s) override;
    void OnBufferUnlocked(CBufferCore* b, uint32_t offset, uint32_t size, bool discard) override;
    void OnResourceGone(CSurface* s) override;
    void OnResourceGone(CBufferCore* b) override;
    void DoClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z) override;

    // The clip rectangle is the scissor (GL row 0 is the target's top row, as for clears).
    bool DoSetClipRect(const Rect* rect) override;
    void ApplyClip();

    // Nothing to show: the window keeps the last picture, with no copy and no swap.
    Result DoPresentRects(uint32_t count, const Rect* rects) override;
    void DoDraw(const DrawCall& call) override;
    Result DoPresent() override;

    // The back buffer onto the window at (dx, dy, dw, dh) of a ww x wh drawable, flipped (the back
    // buffer's GL row 0 is its top row), point-sampled when the sizes match.
    void DrawPresentQuad(GLint dx, GLint dy, GLint dw, GLint dh, GLint ww, GLint wh, bool exact);
    Result DoStretchRect(CSurface* src, const Rect& sr, CSurface* dst, const Rect& dr, TextureFilter filter) override;
    Result DoReadRenderTarget(CSurface* rt, CSurface* dst) override;
    Result DoReadFrontBuffer(CSurface* dst) override;

private:
    void MakeCurrent();
    bool MakeTargetTexture(CSurface* s);

    // Binds the current render target, with the depth buffer attached when `withDepth` (a draw
    // that tests depth) or when the target is larger than the depth buffer: such a target is
    // drawn only where both exist, as GL does for attachments of unequal size. A depth clear
    // still to be made is made once the depth buffer is attached.
    void BindTarget(bool withDepth = false);
    // Depth clears wait for a draw that tests depth: most frames clear the depth buffer and never
    // test it, and a framebuffer with depth attached costs a software rasteriser on every pixel.
    void DeferDepthClear(const Rect& area, float z);
    void MakeDeferredDepthClear(); // into the target it was asked on; unbinds the current target
    void ReadTarget(CSurface* rt, uint8_t* out, uint32_t pitch);
    void ReadBound(uint32_t w, uint32_t h, uint8_t* out, uint32_t pitch);
    GLuint Compile(GLenum type, const char* source);

    // A linked program with its sampler on unit 0, or 0.
    GLuint Link(const char* vertexSource, const char* fragmentSource);
    bool BuildProgram();

    GlFunctions gl_;
    SDL_Window* window_ = nullptr;
    bool ownWindow_ = false;
    SDL_GLContext context_ = nullptr;
    GLuint program_ = 0;
    GLint uTarget_ = -1, uArgs_ = -1, uFactor_ = -1, uAlphaFunc_ = -1, uAlphaRef_ = -1;
    GLuint modulateProgram_ = 0;
    GLint uModulateTarget_ = -1;
    GLuint presentProgram_ = 0;
    GLint uPresentRect_ = -1;
    GLuint vertexArray_ = 0;
    GLuint samplers_[8] = {};
    GLuint whiteTexture_ = 0;
    GLuint depth_ = 0;
    uint32_t depthGeneration_ = 0;
    GLuint frontTexture_ = 0;
    GLuint frontFramebuffer_ = 0;
    bool frontValid_ = false;
    bool clipped_ = false;
    Rect clip_{};
    CSurface* boundTarget_ = nullptr;
    bool boundDepth_ = false; // the bound target has the depth buffer attached
    struct DepthClear {
        CSurface* target = nullptr;
        Rect area{};
        float z = 1.0f;
    };
    std::optional<DepthClear> deferredDepth_;
    uint32_t boundGeneration_ = 0;
};

} // namespace QuillD3D::Detail
