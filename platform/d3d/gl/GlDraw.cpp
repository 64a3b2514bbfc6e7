// The gl device's drawing: clears, the clip as the scissor, and draws through the sprite
// programs with the device's render states.

#include "platform/d3d/gl/GlDevice.h"

#include <algorithm>

namespace QuillD3D::Detail {

namespace {

bool IsModulate(const CombinerTerm& t)
{
    return (t.a == Arg::Texture && t.b == Arg::Diffuse) || (t.a == Arg::Diffuse && t.b == Arg::Texture);
}

bool IsDiffuseOnly(const CombinerTerm& t)
{
    return (t.a == Arg::Diffuse && t.b == Arg::White) || (t.a == Arg::White && t.b == Arg::Diffuse);
}

GLenum GlCompare(uint32_t cmp)
{
    static const GLenum map[] = {GL_ALWAYS,  GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                 GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return cmp <= 8 ? map[cmp] : GL_ALWAYS;
}

GLenum GlBlend(uint32_t b)
{
    switch (b) {
    case BlendZero:
        return GL_ZERO;
    case BlendSrcColor:
        return GL_SRC_COLOR;
    case BlendInvSrcColor:
        return GL_ONE_MINUS_SRC_COLOR;
    case BlendSrcAlpha:
        return GL_SRC_ALPHA;
    case BlendInvSrcAlpha:
        return GL_ONE_MINUS_SRC_ALPHA;
    case BlendDestAlpha:
        return GL_DST_ALPHA;
    case BlendInvDestAlpha:
        return GL_ONE_MINUS_DST_ALPHA;
    case BlendDestColor:
        return GL_DST_COLOR;
    case BlendInvDestColor:
        return GL_ONE_MINUS_DST_COLOR;
    default:
        return GL_ONE;
    }
}

int ArgCode(Arg a)
{
    switch (a) {
    case Arg::Texture:
        return 0;
    case Arg::Diffuse:
        return 1;
    case Arg::Factor:
        return 2;
    default:
        return 3;
    }
}

Rect Intersect(const Rect& a, const Rect& b)
{
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool Contains(const Rect& outer, const Rect& inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

void ColorFloats(uint32_t argb, float out[4])
{
    out[0] = ((argb >> 16) & 255) / 255.0f;
    out[1] = ((argb >> 8) & 255) / 255.0f;
    out[2] = (argb & 255) / 255.0f;
    out[3] = (argb >> 24) / 255.0f;
}

} // namespace

void CGlDevice::DoClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z)
{
    MakeCurrent();
    BindTarget();
    bool depth = (flags & ClearZBuffer) && depth_;
    if (depth && rectCount <= 1) {
        Rect area = rectCount ? rects[0]
                              : Rect{0, 0, static_cast<int32_t>(renderTarget_->Width()),
                                     static_cast<int32_t>(renderTarget_->Height())};
        if (clipped_) {
            area = Intersect(area, clip_);
        }
        DeferDepthClear(area, z);
        depth = false;
    } else if (depth) {
        BindTarget(true);
    }
    const GLbitfield mask = ((flags & ClearTarget) ? GL_COLOR_BUFFER_BIT : 0) | (depth ? GL_DEPTH_BUFFER_BIT : 0);
    if (mask) {
        float c[4];
        ColorFloats(color, c);
        gl_.ClearColor(c[0], c[1], c[2], c[3]);
        gl_.ClearDepth(z);
        gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        gl_.DepthMask(GL_TRUE);
    }
    if (mask && rectCount == 0 && !clipped_) {
        gl_.Disable(GL_SCISSOR_TEST);
        gl_.Clear(mask);
    } else if (mask) {
        // Each rectangle within the clip (the clip alone for a whole clear).
        const Rect everything{0, 0, 1 << 30, 1 << 30};
        gl_.Enable(GL_SCISSOR_TEST);
        for (uint32_t i = 0; i < std::max(rectCount, 1u); ++i) {
            Rect r = rectCount ? rects[i] : everything;
            if (clipped_) {
                r = Intersect(r, clip_);
            }
            if (r.right > r.left && r.bottom > r.top) {
                gl_.Scissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
                gl_.Clear(mask);
            }
        }
        ApplyClip();
    }
    renderTarget_->gpuNewer = true;
}

void CGlDevice::DeferDepthClear(const Rect& area, float z)
{
    if (area.right <= area.left || area.bottom <= area.top) {
        return;
    }
    // A clear that covers the one waiting replaces it; any other lets it be made first.
    if (deferredDepth_ && !(deferredDepth_->target == renderTarget_ && Contains(area, deferredDepth_->area))) {
        MakeDeferredDepthClear();
        BindTarget();
    }
    deferredDepth_ = DepthClear{renderTarget_, area, z};
    if (boundDepth_ && renderTarget_->Width() <= depthWidth_ && renderTarget_->Height() <= depthHeight_) {
        gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, 0);
        boundDepth_ = false;
    }
}

void CGlDevice::MakeDeferredDepthClear()
{
    const DepthClear c = *deferredDepth_;
    deferredDepth_.reset();
    if (boundTarget_ != c.target || !boundDepth_) {
        gl_.BindFramebuffer(GL_FRAMEBUFFER, c.target->glFramebuffer);
        gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        boundTarget_ = nullptr;
    }
    gl_.Enable(GL_SCISSOR_TEST);
    gl_.Scissor(c.area.left, c.area.top, c.area.right - c.area.left, c.area.bottom - c.area.top);
    gl_.ClearDepth(c.z);
    gl_.DepthMask(GL_TRUE);
    gl_.Clear(GL_DEPTH_BUFFER_BIT);
    ApplyClip();
}

// The clip rectangle is the scissor (GL row 0 is the target's top row, as for clears).
bool CGlDevice::DoSetClipRect(const Rect* rect)
{
    clipped_ = rect != nullptr;
    if (rect) {
        clip_ = *rect;
    }
    MakeCurrent();
    ApplyClip();
    return true;
}

void CGlDevice::ApplyClip()
{
    if (clipped_) {
        gl_.Enable(GL_SCISSOR_TEST);
        gl_.Scissor(clip_.left, clip_.top, std::max(clip_.right - clip_.left, 0),
                    std::max(clip_.bottom - clip_.top, 0));
    } else {
        gl_.Disable(GL_SCISSOR_TEST);
    }
}

void CGlDevice::DoDraw(const DrawCall& call)
{
    MakeCurrent();
    const uint32_t* rs = renderStates_;
    BindTarget(rs[RsZEnable] && depth_);
    CombinerTerm color, alpha;
    StageTerms(&color, &alpha);
    const bool depthWrites = rs[RsZEnable] && rs[RsZWriteEnable] && depth_;
    // Diffuse alone is the modulate program over the white texture.
    const bool diffuseOnly = IsDiffuseOnly(color) && IsDiffuseOnly(alpha);
    const bool modulate =
        (diffuseOnly || (IsModulate(color) && IsModulate(alpha))) && AlphaTestChangesNothing(rs, depthWrites);
    if (modulate) {
        gl_.UseProgram(modulateProgram_);
        gl_.Uniform2f(uModulateTarget_, static_cast<float>(renderTarget_->Width()),
                      static_cast<float>(renderTarget_->Height()));
    } else {
        gl_.UseProgram(program_);
        gl_.Uniform2f(uTarget_, static_cast<float>(renderTarget_->Width()),
                      static_cast<float>(renderTarget_->Height()));
        gl_.Uniform4i(uArgs_, ArgCode(color.a), ArgCode(color.b), ArgCode(alpha.a), ArgCode(alpha.b));
        float f[4];
        ColorFloats(rs[RsTextureFactor], f);
        gl_.Uniform4f(uFactor_, f[0], f[1], f[2], f[3]);
        gl_.Uniform1i(uAlphaFunc_, rs[RsAlphaTestEnable] ? static_cast<GLint>(std::min(rs[RsAlphaFunc], 8u)) : 0);
        gl_.Uniform1f(uAlphaRef_, static_cast<float>(rs[RsAlphaRef] & 255));
    }

    const VertexLayout layout = DescribeFvf(call.fvf);
    CTexture* tex = textures_[0];
    GLuint name = whiteTexture_;
    if (tex && layout.texOffset >= 0 && tex->Level0()->glTexture && !(modulate && diffuseOnly)) {
        name = tex->Level0()->glTexture;
    }
    gl_.ActiveTexture(GL_TEXTURE0);
    gl_.BindTexture(GL_TEXTURE_2D, name);
    if (name != whiteTexture_ && tex->Level0()->gpuStale) {
        CSurface* level = tex->Level0();
        Upload(level, Rect{0, 0, static_cast<int32_t>(level->Width()), static_cast<int32_t>(level->Height())});
    }
    const uint32_t au = samplerStates_[0][SampAddressU], av = samplerStates_[0][SampAddressV];
    const int sampler = (LinearFilter() ? 1 : 0) | (au == AddressWrap || au == AddressMirror ? 2 : 0) |
                        (av == AddressWrap || av == AddressMirror ? 4 : 0);
    gl_.BindSampler(0, samplers_[sampler]);

    if (rs[RsAlphaBlendEnable]) {
        gl_.Enable(GL_BLEND);
        gl_.BlendFunc(GlBlend(rs[RsSrcBlend]), GlBlend(rs[RsDestBlend]));
    } else {
        gl_.Disable(GL_BLEND);
    }
    if (rs[RsZEnable] && depth_) {
        gl_.Enable(GL_DEPTH_TEST);
        gl_.DepthFunc(GlCompare(rs[RsZFunc]));
        gl_.DepthMask(rs[RsZWriteEnable] ? GL_TRUE : GL_FALSE);
    } else {
        gl_.Disable(GL_DEPTH_TEST);
    }
    // Targets are stored upside down for GL, which mirrors the winding.
    if (rs[RsCullMode] == CullCw || rs[RsCullMode] == CullCcw) {
        gl_.Enable(GL_CULL_FACE);
        gl_.FrontFace(GL_CCW);
        gl_.CullFace(rs[RsCullMode] == CullCcw ? GL_BACK : GL_FRONT);
    } else {
        gl_.Disable(GL_CULL_FACE);
    }

    gl_.BindVertexArray(vertexArray_);
    gl_.BindBuffer(GL_ARRAY_BUFFER, call.vertexBuffer->glBuffer);
    const auto at = [&](int offset) {
        return reinterpret_cast<const void*>(static_cast<uintptr_t>(call.vertexByteOffset + offset));
    };
    const GLsizei stride = static_cast<GLsizei>(call.stride);
    gl_.EnableVertexAttribArray(0);
    gl_.VertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, at(0));
    if (layout.colorOffset >= 0) {
        gl_.EnableVertexAttribArray(1);
        gl_.VertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(layout.colorOffset));
    } else {
        gl_.DisableVertexAttribArray(1);
        gl_.VertexAttrib4f(1, 1, 1, 1, 1);
    }
    if (layout.texOffset >= 0) {
        gl_.EnableVertexAttribArray(2);
        gl_.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, at(layout.texOffset));
    } else {
        gl_.DisableVertexAttribArray(2);
        gl_.VertexAttrib4f(2, 0, 0, 0, 1);
    }
    GLenum mode = GL_TRIANGLES;
    GLsizei count = static_cast<GLsizei>(3 * call.primitiveCount);
    switch (call.type) {
    case PtLineList:
        mode = GL_LINES;
        count = static_cast<GLsizei>(2 * call.primitiveCount);
        break;
    case PtLineStrip:
        mode = GL_LINE_STRIP;
        count = static_cast<GLsizei>(call.primitiveCount + 1);
        break;
    case PtTriangleStrip:
        mode = GL_TRIANGLE_STRIP;
        count = static_cast<GLsizei>(call.primitiveCount + 2);
        break;
    case PtTriangleFan:
        mode = GL_TRIANGLE_FAN;
        count = static_cast<GLsizei>(call.primitiveCount + 2);
        break;
    default:
        break;
    }
    if (call.indices) {
        gl_.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, call.indexBuffer->glBuffer);
        gl_.DrawElementsBaseVertex(mode, count, GL_UNSIGNED_SHORT,
                                   reinterpret_cast<const void*>(static_cast<uintptr_t>(call.startIndex) * 2),
                                   call.baseVertex);
    } else {
        gl_.DrawArrays(mode, call.baseVertex, count);
    }
    renderTarget_->gpuNewer = true;
}

void CGlDevice::BindTarget(bool withDepth)
{
    CSurface* rt = renderTarget_;
    const bool rebind = boundTarget_ != rt || boundGeneration_ != depthGeneration_;
    const bool wanted = depth_ && (withDepth || rt->Width() > depthWidth_ || rt->Height() > depthHeight_);
    if (rebind) {
        gl_.BindFramebuffer(GL_FRAMEBUFFER, rt->glFramebuffer);
        gl_.Viewport(0, 0, static_cast<GLsizei>(rt->Width()), static_cast<GLsizei>(rt->Height()));
        boundTarget_ = rt;
        boundGeneration_ = depthGeneration_;
    }
    if (rebind || (wanted && !boundDepth_)) {
        gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, wanted ? depth_ : 0);
        boundDepth_ = wanted;
    }
    if (boundDepth_ && deferredDepth_) {
        MakeDeferredDepthClear();
        BindTarget(true);
    }
}

} // namespace QuillD3D::Detail
