// The gl device's presentation and copies: the back buffer onto the window, rectangle copies
// between targets, and read-backs of the front picture.

#include "platform/d3d/gl/GlDevice.h"

#include <algorithm>
#include <cmath>

namespace QuillD3D::Detail {

// Nothing to show: the window keeps the last picture, with no copy and no swap.
Result CGlDevice::DoPresentRects(uint32_t count, const Rect* rects)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (rects[i].right > rects[i].left && rects[i].bottom > rects[i].top) {
            return DoPresent();
        }
    }
    return kOk;
}

Result CGlDevice::DoPresent()
{
    MakeCurrent();
    const GLint bw = static_cast<GLint>(backBuffer_->Width()), bh = static_cast<GLint>(backBuffer_->Height());
    gl_.Disable(GL_SCISSOR_TEST);
    gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_->glFramebuffer);
    if (!params_.deviceWindow) {
        gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, frontFramebuffer_);
        gl_.BlitFramebuffer(0, 0, bw, bh, 0, 0, bw, bh, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        frontValid_ = true;
        boundTarget_ = nullptr;
        ApplyClip();
        return gl_.GetError() == GL_NO_ERROR ? kOk : kErrDriverInternalError;
    }
    int ww = 0, wh = 0;
    SDL_GL_GetDrawableSize(window_, &ww, &wh);
    gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl_.Viewport(0, 0, ww, wh);
    gl_.ClearColor(0, 0, 0, 1);
    gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl_.Clear(GL_COLOR_BUFFER_BIT);
    // Letterbox, and flip: GL row 0 of the back buffer is its top row.
    const double scale = std::min(static_cast<double>(ww) / bw, static_cast<double>(wh) / bh);
    const GLint dw = std::max(1, static_cast<GLint>(std::lround(bw * scale)));
    const GLint dh = std::max(1, static_cast<GLint>(std::lround(bh * scale)));
    const GLint dx = (ww - dw) / 2, dy = (wh - dh) / 2;
    DrawPresentQuad(dx, dy, dw, dh, ww, wh, dw == bw && dh == bh);
    SDL_GL_SwapWindow(window_);
    boundTarget_ = nullptr;
    ApplyClip();
    return gl_.GetError() == GL_NO_ERROR ? kOk : kErrDriverInternalError;
}

// The back buffer onto the window at (dx, dy, dw, dh) of a ww x wh drawable, flipped (the back
// buffer's GL row 0 is its top row), point-sampled when the sizes match.
void CGlDevice::DrawPresentQuad(GLint dx, GLint dy, GLint dw, GLint dh, GLint ww, GLint wh, bool exact)
{
    const auto clip = [](GLint v, GLint size) {
        return 2.0f * static_cast<float>(v) / static_cast<float>(size) - 1.0f;
    };
    gl_.UseProgram(presentProgram_);
    gl_.Uniform4f(uPresentRect_, clip(dx, ww), clip(dy, wh), clip(dx + dw, ww), clip(dy + dh, wh));
    gl_.ActiveTexture(GL_TEXTURE0);
    gl_.BindTexture(GL_TEXTURE_2D, backBuffer_->glTexture);
    gl_.BindSampler(0, samplers_[exact ? 0 : 1]);
    gl_.Disable(GL_BLEND);
    gl_.Disable(GL_DEPTH_TEST);
    gl_.Disable(GL_CULL_FACE);
    gl_.BindVertexArray(vertexArray_);
    gl_.DisableVertexAttribArray(0);
    gl_.DisableVertexAttribArray(1);
    gl_.DisableVertexAttribArray(2);
    gl_.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

Result CGlDevice::DoStretchRect(CSurface* src, const Rect& sr, CSurface* dst, const Rect& dr, TextureFilter filter)
{
    if (!src->glFramebuffer || !dst->glFramebuffer) {
        return kErrInvalidCall;
    }
    MakeCurrent();
    gl_.Disable(GL_SCISSOR_TEST);
    gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, src->glFramebuffer);
    gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, dst->glFramebuffer);
    gl_.BlitFramebuffer(sr.left, sr.top, sr.right, sr.bottom, dr.left, dr.top, dr.right, dr.bottom, GL_COLOR_BUFFER_BIT,
                        filter == FilterLinear ? GL_LINEAR : GL_NEAREST);
    boundTarget_ = nullptr;
    dst->gpuNewer = true;
    ApplyClip();
    return kOk;
}

Result CGlDevice::DoReadRenderTarget(CSurface* rt, CSurface* dst)
{
    if (!rt->glFramebuffer || !dst->Bits()) {
        return kErrInvalidCall;
    }
    MakeCurrent();
    ReadTarget(rt, dst->Bits(), dst->Pitch());
    return kOk;
}

Result CGlDevice::DoReadFrontBuffer(CSurface* dst)
{
    if (!frontValid_) {
        return kErrInvalidCall;
    }
    MakeCurrent();
    gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, frontFramebuffer_);
    ReadBound(dst->Width(), dst->Height(), dst->Bits(), dst->Pitch());
    boundTarget_ = nullptr;
    return kOk;
}

} // namespace QuillD3D::Detail
