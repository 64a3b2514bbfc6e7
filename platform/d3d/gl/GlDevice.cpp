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
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/d3d/Backends.h"
#include "platform/d3d/gl/GlFunctions.h"
#include "platform/system/GraphicsDriver.h"

namespace QuillD3D::Detail {

namespace {

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition; // x y z rhw, in target pixels
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aTexCoord;
uniform vec2 uTarget;
out vec4 vColor;
out vec2 vTexCoord;
void main()
{
    // Snap to 1/16 pixel as the soft rasteriser does, move D3D's integer pixel centres onto GL's
    // half-integer ones, and nudge towards the top left so ties fall as the top-left rule says.
    vec2 p = floor(aPosition.xy * 16.0 + 0.5) / 16.0 + vec2(0.5);
    gl_Position = vec4(p * 2.0 / uTarget - 1.0, aPosition.z * 2.0 - 1.0, 1.0);
    vColor = aColor;
    vTexCoord = aTexCoord;
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vTexCoord;
uniform sampler2D uTexture;
uniform ivec4 uArgs;      // colour a, colour b, alpha a, alpha b: 0 texture, 1 diffuse, 2 factor, 3 one
uniform vec4 uFactor;
uniform int uAlphaFunc;   // 0: no test, else the comparison number
uniform float uAlphaRef;  // 0..255
layout(location = 0) out vec4 oColor;
vec4 Arg(int k, vec4 t)
{
    return k == 0 ? t : (k == 1 ? vColor : (k == 2 ? uFactor : vec4(1.0)));
}
void main()
{
    vec4 t = texture(uTexture, vTexCoord);
    vec3 c = Arg(uArgs.x, t).rgb * Arg(uArgs.y, t).rgb;
    float a = Arg(uArgs.z, t).a * Arg(uArgs.w, t).a;
    if (uAlphaFunc != 0) {
        float a8 = floor(a * 255.0 + 0.5);
        bool pass = uAlphaFunc == 2 ? a8 < uAlphaRef
                  : uAlphaFunc == 3 ? a8 == uAlphaRef
                  : uAlphaFunc == 4 ? a8 <= uAlphaRef
                  : uAlphaFunc == 5 ? a8 > uAlphaRef
                  : uAlphaFunc == 6 ? a8 != uAlphaRef
                  : uAlphaFunc == 7 ? a8 >= uAlphaRef
                  : uAlphaFunc == 8;
        if (!pass) {
            discard;
        }
    }
    oColor = vec4(c, a);
}
)";

// The common case of the one above, as its own program: texture times diffuse for colour and
// alpha (or diffuse alone, over a white texture), no alpha test. A driver that rasterises in
// software runs this far faster than the general program's per-fragment choices.
const char* const kModulateFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vTexCoord;
uniform sampler2D uTexture;
layout(location = 0) out vec4 oColor;
void main()
{
    oColor = texture(uTexture, vTexCoord) * vColor;
}
)";

// Shows the back buffer on the window: a quad over uRect (clip space: left, bottom, right, top)
// from the vertex number alone, sampling the texture flipped. A single texture read, which the
// driver can run as a plain copy.
const char* const kPresentVertexShader = R"(#version 330 core
uniform vec4 uRect;
out vec2 vTexCoord;
void main()
{
    vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);
    gl_Position = vec4(mix(uRect.xy, uRect.zw, corner), 0.0, 1.0);
    vTexCoord = vec2(corner.x, 1.0 - corner.y);
}
)";

const char* const kPresentFragmentShader = R"(#version 330 core
in vec2 vTexCoord;
uniform sampler2D uTexture;
layout(location = 0) out vec4 oColor;
void main()
{
    oColor = texture(uTexture, vTexCoord);
}
)";

bool IsModulate(const CombinerTerm& t)
{
    return (t.a == Arg::Texture && t.b == Arg::Diffuse) || (t.a == Arg::Diffuse && t.b == Arg::Texture);
}

bool IsDiffuseOnly(const CombinerTerm& t)
{
    return (t.a == Arg::Diffuse && t.b == Arg::White) || (t.a == Arg::White && t.b == Arg::Diffuse);
}

// Whether the alpha test can change no pixel: it passes everything, or it turns away only
// fragments of alpha 0 that would blend to the colour already there (source factor alpha,
// destination factor one or one minus alpha) and write no depth.
bool AlphaTestChangesNothing(const uint32_t* rs, bool depthWrites)
{
    if (!rs[RsAlphaTestEnable]) {
        return true;
    }
    const uint32_t func = rs[RsAlphaFunc], ref = rs[RsAlphaRef] & 255;
    if (func == CmpAlways || (func == CmpGreaterEqual && ref == 0)) {
        return true;
    }
    const bool dropsOnlyZero =
        (func == CmpGreaterEqual && ref == 1) || (func == CmpGreater && ref == 0) || (func == CmpNotEqual && ref == 0);
    const bool zeroLeavesTarget = rs[RsAlphaBlendEnable] && rs[RsSrcBlend] == BlendSrcAlpha &&
                                  (rs[RsDestBlend] == BlendInvSrcAlpha || rs[RsDestBlend] == BlendOne);
    return dropsOnlyZero && zeroLeavesTarget && !depthWrites;
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

void ColorFloats(uint32_t argb, float out[4])
{
    out[0] = ((argb >> 16) & 255) / 255.0f;
    out[1] = ((argb >> 8) & 255) / 255.0f;
    out[2] = (argb & 255) / 255.0f;
    out[3] = (argb >> 24) / 255.0f;
}

class CGlDevice final : public CDeviceBase {
public:
    using CDeviceBase::CDeviceBase;

    ~CGlDevice() override
    {
        if (context_) {
            MakeCurrent();
            Shutdown();
            GLuint textures[] = {whiteTexture_, frontTexture_};
            gl_.DeleteTextures(2, textures);
            gl_.DeleteFramebuffers(1, &frontFramebuffer_);
            gl_.DeleteSamplers(8, samplers_);
            gl_.DeleteVertexArrays(1, &vertexArray_);
            gl_.DeleteProgram(program_);
            gl_.DeleteProgram(modulateProgram_);
            gl_.DeleteProgram(presentProgram_);
            SDL_GL_MakeCurrent(window_, nullptr);
            SDL_GL_DeleteContext(context_);
        }
        if (ownWindow_) {
            SDL_DestroyWindow(window_);
        }
    }

    // Makes the context and the objects every draw needs.
    bool Open()
    {
        window_ = params_.deviceWindow;
        if (window_ && !(SDL_GetWindowFlags(window_) & SDL_WINDOW_OPENGL)) {
            return false; // the window was not made for OpenGL
        }
        RequestCoreContext();
        if (!window_) {
            window_ = SDL_CreateWindow("quill gl device", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
            ownWindow_ = window_ != nullptr;
        }
        if (!window_) {
            return false;
        }
        context_ = SDL_GL_CreateContext(window_);
        if (!context_ || SDL_GL_MakeCurrent(window_, context_) != 0 || !gl_.Load()) {
            return false;
        }
        QuillPlatform::KeepGraphicsDriverLoaded();
        // Vsync is asked for; frame pacing never depends on getting it.
        SDL_GL_SetSwapInterval(1);
        if (!BuildProgram()) {
            return false;
        }
        gl_.GenVertexArrays(1, &vertexArray_);
        gl_.BindVertexArray(vertexArray_);
        gl_.GenSamplers(8, samplers_);
        for (int i = 0; i < 8; ++i) {
            const GLint filter = (i & 1) ? GL_LINEAR : GL_NEAREST;
            gl_.SamplerParameteri(samplers_[i], GL_TEXTURE_MIN_FILTER, filter);
            gl_.SamplerParameteri(samplers_[i], GL_TEXTURE_MAG_FILTER, filter);
            gl_.SamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_S, (i & 2) ? GL_REPEAT : GL_CLAMP_TO_EDGE);
            gl_.SamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_T, (i & 4) ? GL_REPEAT : GL_CLAMP_TO_EDGE);
        }
        const uint32_t white = 0xFFFFFFFFu;
        gl_.GenTextures(1, &whiteTexture_);
        gl_.BindTexture(GL_TEXTURE_2D, whiteTexture_);
        gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &white);
        gl_.Enable(GL_DEPTH_CLAMP);
        return gl_.GetError() == GL_NO_ERROR;
    }

protected:
    Result CreateSurfaces() override
    {
        MakeCurrent();
        SurfaceDesc desc;
        desc.format = params_.backBufferFormat;
        desc.usage = UsageRenderTarget;
        desc.pool = PoolDefault;
        desc.width = params_.backBufferWidth;
        desc.height = params_.backBufferHeight;
        backBuffer_ = new CSurface(link_, desc, false, nullptr, 0);
        backBuffer_->Bind();
        if (!MakeTargetTexture(backBuffer_)) {
            DestroySurfaces();
            return kErrOutOfVideoMemory;
        }
        if (params_.enableAutoDepthStencil) {
            gl_.GenRenderbuffers(1, &depth_);
            gl_.BindRenderbuffer(GL_RENDERBUFFER, depth_);
            gl_.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, static_cast<GLsizei>(desc.width),
                                    static_cast<GLsizei>(desc.height));
            depthWidth_ = desc.width;
            depthHeight_ = desc.height;
            ++depthGeneration_;
        }
        if (!params_.deviceWindow) {
            gl_.GenTextures(1, &frontTexture_);
            gl_.BindTexture(GL_TEXTURE_2D, frontTexture_);
            gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(desc.width),
                           static_cast<GLsizei>(desc.height), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
            gl_.GenFramebuffers(1, &frontFramebuffer_);
            gl_.BindFramebuffer(GL_FRAMEBUFFER, frontFramebuffer_);
            gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frontTexture_, 0);
            frontValid_ = false;
        }
        return gl_.GetError() == GL_NO_ERROR ? kOk : kErrOutOfVideoMemory;
    }

    void DestroySurfaces() override
    {
        MakeCurrent();
        boundTarget_ = nullptr;
        if (backBuffer_) {
            std::exchange(backBuffer_, nullptr)->Unbind();
        }
        if (depth_) {
            gl_.DeleteRenderbuffers(1, &depth_);
            depth_ = 0;
        }
        depthWidth_ = depthHeight_ = 0;
        if (frontFramebuffer_) {
            gl_.DeleteFramebuffers(1, &frontFramebuffer_);
            gl_.DeleteTextures(1, &frontTexture_);
            frontFramebuffer_ = frontTexture_ = 0;
        }
    }

    Result PrepareTexture(CTexture* t) override
    {
        MakeCurrent();
        CSurface* s = t->Level0();
        if (s->IsRenderTarget()) {
            return MakeTargetTexture(s) ? kOk : kErrOutOfVideoMemory;
        }
        if (!s->Bits()) {
            return kErrOutOfVideoMemory;
        }
        // Storage only: the memory image goes up once, at the first unlock or the first draw
        // that samples it, whichever comes first.
        gl_.GenTextures(1, &s->glTexture);
        gl_.BindTexture(GL_TEXTURE_2D, s->glTexture);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        const GLsizei w = static_cast<GLsizei>(s->Width()), h = static_cast<GLsizei>(s->Height());
        if (s->Desc().format == FmtR5G6B5) {
            gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, w, h, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, nullptr);
        } else {
            gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
            if (s->Desc().format == FmtX8R8G8B8) {
                gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
            }
        }
        s->gpuStale = true;
        return gl_.GetError() == GL_NO_ERROR ? kOk : kErrOutOfVideoMemory;
    }

    Result PrepareRenderTarget(CSurface* s) override
    {
        MakeCurrent();
        return MakeTargetTexture(s) ? kOk : kErrOutOfVideoMemory;
    }

    Result PrepareBuffer(CBufferCore* b) override
    {
        MakeCurrent();
        gl_.GenBuffers(1, &b->glBuffer);
        gl_.BindBuffer(GL_ARRAY_BUFFER, b->glBuffer);
        gl_.BufferData(GL_ARRAY_BUFFER, b->Size(), b->Data(),
                       (b->Desc().usage & UsageDynamic) ? GL_STREAM_DRAW : GL_STATIC_DRAW);
        return gl_.GetError() == GL_NO_ERROR ? kOk : kErrOutOfVideoMemory;
    }

    void OnSurfaceUnlocked(CSurface* s, const Rect& r) override
    {
        if (!s->glTexture) {
            return;
        }
        MakeCurrent();
        gl_.BindTexture(GL_TEXTURE_2D, s->glTexture);
        Upload(s, s->gpuStale ? Rect{0, 0, static_cast<int32_t>(s->Width()), static_cast<int32_t>(s->Height())} : r);
    }

    // A rectangle of the memory image into the texture bound to unit 0.
    void Upload(CSurface* s, const Rect& r)
    {
        const bool is565 = s->Desc().format == FmtR5G6B5;
        const uint32_t bpp = is565 ? 2 : 4;
        gl_.PixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(s->Pitch() / bpp));
        gl_.PixelStorei(GL_UNPACK_ALIGNMENT, is565 ? 2 : 4);
        const uint8_t* first = s->Bits() + static_cast<size_t>(r.top) * s->Pitch() + static_cast<size_t>(r.left) * bpp;
        gl_.TexSubImage2D(GL_TEXTURE_2D, 0, r.left, r.top, r.right - r.left, r.bottom - r.top, is565 ? GL_RGB : GL_BGRA,
                          is565 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_INT_8_8_8_8_REV, first);
        gl_.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 4);
        s->gpuStale = false;
    }

    void OnSurfaceLocking(CSurface* s) override
    {
        if (s->glFramebuffer) {
            ReadTarget(s, s->Bits(), s->Pitch());
            s->gpuNewer = false;
        }
    }

    void OnBufferUnlocked(CBufferCore* b, uint32_t offset, uint32_t size, bool discard) override
    {
        if (!b->glBuffer) {
            return;
        }
        MakeCurrent();
        gl_.BindBuffer(GL_ARRAY_BUFFER, b->glBuffer);
        if (discard) {
            // Orphan the storage so the driver never waits for draws still reading it.
            gl_.BufferData(GL_ARRAY_BUFFER, b->Size(), nullptr, GL_STREAM_DRAW);
            gl_.BufferSubData(GL_ARRAY_BUFFER, 0, b->Size(), b->Data());
        } else {
            gl_.BufferSubData(GL_ARRAY_BUFFER, offset, size, b->Data() + offset);
        }
    }

    void OnResourceGone(CSurface* s) override
    {
        if (!context_ || (!s->glTexture && !s->glFramebuffer)) {
            return;
        }
        MakeCurrent();
        if (boundTarget_ == s) {
            boundTarget_ = nullptr;
        }
        if (s->glFramebuffer) {
            gl_.DeleteFramebuffers(1, &s->glFramebuffer);
        }
        if (s->glTexture) {
            gl_.DeleteTextures(1, &s->glTexture);
        }
        s->glFramebuffer = s->glTexture = 0;
    }

    void OnResourceGone(CBufferCore* b) override
    {
        if (context_ && b->glBuffer) {
            MakeCurrent();
            gl_.DeleteBuffers(1, &b->glBuffer);
            b->glBuffer = 0;
        }
    }

    void DoClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z) override
    {
        MakeCurrent();
        BindTarget();
        float c[4];
        ColorFloats(color, c);
        gl_.ClearColor(c[0], c[1], c[2], c[3]);
        gl_.ClearDepth(z);
        gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        gl_.DepthMask(GL_TRUE);
        GLbitfield mask = 0;
        if (flags & ClearTarget) {
            mask |= GL_COLOR_BUFFER_BIT;
        }
        if ((flags & ClearZBuffer) && depth_) {
            mask |= GL_DEPTH_BUFFER_BIT;
        }
        if (rectCount == 0 && !clipped_) {
            gl_.Disable(GL_SCISSOR_TEST);
            gl_.Clear(mask);
        } else {
            // Each rectangle within the clip (the clip alone for a whole clear).
            const Rect everything{0, 0, 1 << 30, 1 << 30};
            gl_.Enable(GL_SCISSOR_TEST);
            for (uint32_t i = 0; i < std::max(rectCount, 1u); ++i) {
                Rect r = rectCount ? rects[i] : everything;
                if (clipped_) {
                    r = Rect{std::max(r.left, clip_.left), std::max(r.top, clip_.top), std::min(r.right, clip_.right),
                             std::min(r.bottom, clip_.bottom)};
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

    // The clip rectangle is the scissor (GL row 0 is the target's top row, as for clears).
    bool DoSetClipRect(const Rect* rect) override
    {
        clipped_ = rect != nullptr;
        if (rect) {
            clip_ = *rect;
        }
        MakeCurrent();
        ApplyClip();
        return true;
    }

    void ApplyClip()
    {
        if (clipped_) {
            gl_.Enable(GL_SCISSOR_TEST);
            gl_.Scissor(clip_.left, clip_.top, std::max(clip_.right - clip_.left, 0),
                        std::max(clip_.bottom - clip_.top, 0));
        } else {
            gl_.Disable(GL_SCISSOR_TEST);
        }
    }

    // Nothing to show: the window keeps the last picture, with no copy and no swap.
    Result DoPresentRects(uint32_t count, const Rect* rects) override
    {
        for (uint32_t i = 0; i < count; ++i) {
            if (rects[i].right > rects[i].left && rects[i].bottom > rects[i].top) {
                return DoPresent();
            }
        }
        return kOk;
    }

    void DoDraw(const DrawCall& call) override
    {
        MakeCurrent();
        BindTarget();
        const uint32_t* rs = renderStates_;
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

    Result DoPresent() override
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
    void DrawPresentQuad(GLint dx, GLint dy, GLint dw, GLint dh, GLint ww, GLint wh, bool exact)
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

    Result DoStretchRect(CSurface* src, const Rect& sr, CSurface* dst, const Rect& dr, TextureFilter filter) override
    {
        if (!src->glFramebuffer || !dst->glFramebuffer) {
            return kErrInvalidCall;
        }
        MakeCurrent();
        gl_.Disable(GL_SCISSOR_TEST);
        gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, src->glFramebuffer);
        gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, dst->glFramebuffer);
        gl_.BlitFramebuffer(sr.left, sr.top, sr.right, sr.bottom, dr.left, dr.top, dr.right, dr.bottom,
                            GL_COLOR_BUFFER_BIT, filter == FilterLinear ? GL_LINEAR : GL_NEAREST);
        boundTarget_ = nullptr;
        dst->gpuNewer = true;
        ApplyClip();
        return kOk;
    }

    Result DoReadRenderTarget(CSurface* rt, CSurface* dst) override
    {
        if (!rt->glFramebuffer || !dst->Bits()) {
            return kErrInvalidCall;
        }
        MakeCurrent();
        ReadTarget(rt, dst->Bits(), dst->Pitch());
        return kOk;
    }

    Result DoReadFrontBuffer(CSurface* dst) override
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

private:
    void MakeCurrent()
    {
        if (context_ && SDL_GL_GetCurrentContext() != context_) {
            SDL_GL_MakeCurrent(window_, context_);
        }
    }

    bool MakeTargetTexture(CSurface* s)
    {
        gl_.GenTextures(1, &s->glTexture);
        gl_.BindTexture(GL_TEXTURE_2D, s->glTexture);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(s->Width()), static_cast<GLsizei>(s->Height()),
                       0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        if (s->Desc().format == FmtX8R8G8B8) {
            gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
        }
        gl_.GenFramebuffers(1, &s->glFramebuffer);
        gl_.BindFramebuffer(GL_FRAMEBUFFER, s->glFramebuffer);
        gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s->glTexture, 0);
        boundTarget_ = nullptr;
        return gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE && gl_.GetError() == GL_NO_ERROR;
    }

    // Binds the current render target with the depth buffer attached. A target larger than the
    // depth buffer is drawn only where both exist, as GL does for attachments of unequal size.
    void BindTarget()
    {
        CSurface* rt = renderTarget_;
        if (boundTarget_ == rt && boundGeneration_ == depthGeneration_) {
            return;
        }
        gl_.BindFramebuffer(GL_FRAMEBUFFER, rt->glFramebuffer);
        gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        GLsizei w = static_cast<GLsizei>(rt->Width()), h = static_cast<GLsizei>(rt->Height());
        gl_.Viewport(0, 0, w, h);
        boundTarget_ = rt;
        boundGeneration_ = depthGeneration_;
    }

    void ReadTarget(CSurface* rt, uint8_t* out, uint32_t pitch)
    {
        MakeCurrent();
        gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, rt->glFramebuffer);
        ReadBound(rt->Width(), rt->Height(), out, pitch);
        boundTarget_ = nullptr;
    }

    void ReadBound(uint32_t w, uint32_t h, uint8_t* out, uint32_t pitch)
    {
        gl_.PixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(pitch / 4));
        gl_.ReadPixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                       out);
        gl_.PixelStorei(GL_PACK_ROW_LENGTH, 0);
    }

    GLuint Compile(GLenum type, const char* source)
    {
        const GLuint sh = gl_.CreateShader(type);
        gl_.ShaderSource(sh, 1, &source, nullptr);
        gl_.CompileShader(sh);
        GLint ok = 0;
        gl_.GetShaderiv(sh, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            gl_.GetShaderInfoLog(sh, sizeof log, nullptr, log);
            SDL_Log("quill gl device: shader does not compile: %s", log);
            gl_.DeleteShader(sh);
            return 0;
        }
        return sh;
    }

    // A linked program with its sampler on unit 0, or 0.
    GLuint Link(const char* vertexSource, const char* fragmentSource)
    {
        const GLuint vs = Compile(GL_VERTEX_SHADER, vertexSource);
        const GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, fragmentSource) : 0;
        GLuint program = 0;
        if (vs && fs) {
            program = gl_.CreateProgram();
            gl_.AttachShader(program, vs);
            gl_.AttachShader(program, fs);
            gl_.LinkProgram(program);
            GLint ok = 0;
            gl_.GetProgramiv(program, GL_LINK_STATUS, &ok);
            if (ok) {
                gl_.UseProgram(program);
                gl_.Uniform1i(gl_.GetUniformLocation(program, "uTexture"), 0);
            } else {
                gl_.DeleteProgram(program);
                program = 0;
            }
        }
        gl_.DeleteShader(vs);
        gl_.DeleteShader(fs);
        return program;
    }

    bool BuildProgram()
    {
        program_ = Link(kVertexShader, kFragmentShader);
        modulateProgram_ = Link(kVertexShader, kModulateFragmentShader);
        presentProgram_ = Link(kPresentVertexShader, kPresentFragmentShader);
        if (!program_ || !modulateProgram_ || !presentProgram_) {
            return false;
        }
        uTarget_ = gl_.GetUniformLocation(program_, "uTarget");
        uArgs_ = gl_.GetUniformLocation(program_, "uArgs");
        uFactor_ = gl_.GetUniformLocation(program_, "uFactor");
        uAlphaFunc_ = gl_.GetUniformLocation(program_, "uAlphaFunc");
        uAlphaRef_ = gl_.GetUniformLocation(program_, "uAlphaRef");
        uModulateTarget_ = gl_.GetUniformLocation(modulateProgram_, "uTarget");
        uPresentRect_ = gl_.GetUniformLocation(presentProgram_, "uRect");
        return true;
    }

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
    uint32_t boundGeneration_ = 0;
};

} // namespace

CDeviceBase* NewGlDevice(const AdapterInfo& adapter, const PresentParameters& params)
{
    auto* d = new CGlDevice(Backend::Gl, adapter, params);
    if (!d->Open()) {
        d->Release();
        return nullptr;
    }
    return d;
}

} // namespace QuillD3D::Detail
