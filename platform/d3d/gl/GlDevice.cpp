// The gl device's life and resources: the context, surfaces and buffers as GL objects, uploads
// of memory images and read-backs of targets.

#include "platform/d3d/gl/GlDevice.h"

#include <utility>

#include "platform/d3d/Backends.h"
#include "platform/system/GraphicsDriver.h"

namespace QuillD3D::Detail {

CGlDevice::~CGlDevice()
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
bool CGlDevice::Open()
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

Result CGlDevice::CreateSurfaces()
{
    MakeCurrent();
    const SurfaceDesc desc = BackBufferDesc();
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
        gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(desc.width), static_cast<GLsizei>(desc.height),
                       0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        gl_.GenFramebuffers(1, &frontFramebuffer_);
        gl_.BindFramebuffer(GL_FRAMEBUFFER, frontFramebuffer_);
        gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frontTexture_, 0);
        frontValid_ = false;
    }
    return gl_.GetError() == GL_NO_ERROR ? kOk : kErrOutOfVideoMemory;
}

void CGlDevice::DestroySurfaces()
{
    MakeCurrent();
    boundTarget_ = nullptr;
    boundDepth_ = false;
    deferredDepth_.reset();
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

Result CGlDevice::PrepareTexture(CTexture* t)
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

Result CGlDevice::PrepareRenderTarget(CSurface* s)
{
    MakeCurrent();
    return MakeTargetTexture(s) ? kOk : kErrOutOfVideoMemory;
}

Result CGlDevice::PrepareBuffer(CBufferCore* b)
{
    MakeCurrent();
    gl_.GenBuffers(1, &b->glBuffer);
    gl_.BindBuffer(GL_ARRAY_BUFFER, b->glBuffer);
    gl_.BufferData(GL_ARRAY_BUFFER, b->Size(), b->Data(),
                   (b->Desc().usage & UsageDynamic) ? GL_STREAM_DRAW : GL_STATIC_DRAW);
    return gl_.GetError() == GL_NO_ERROR ? kOk : kErrOutOfVideoMemory;
}

void CGlDevice::OnSurfaceUnlocked(CSurface* s, const Rect& r)
{
    if (!s->glTexture) {
        return;
    }
    MakeCurrent();
    gl_.BindTexture(GL_TEXTURE_2D, s->glTexture);
    Upload(s, s->gpuStale ? Rect{0, 0, static_cast<int32_t>(s->Width()), static_cast<int32_t>(s->Height())} : r);
}

// A rectangle of the memory image into the texture bound to unit 0.
void CGlDevice::Upload(CSurface* s, const Rect& r)
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

void CGlDevice::OnSurfaceLocking(CSurface* s)
{
    if (s->glFramebuffer) {
        ReadTarget(s, s->Bits(), s->Pitch());
        s->gpuNewer = false;
    }
}

void CGlDevice::OnBufferUnlocked(CBufferCore* b, uint32_t offset, uint32_t size, bool discard)
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

void CGlDevice::OnResourceGone(CSurface* s)
{
    if (!context_ || (!s->glTexture && !s->glFramebuffer)) {
        return;
    }
    MakeCurrent();
    if (deferredDepth_ && deferredDepth_->target == s) {
        MakeDeferredDepthClear();
    }
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

void CGlDevice::OnResourceGone(CBufferCore* b)
{
    if (context_ && b->glBuffer) {
        MakeCurrent();
        gl_.DeleteBuffers(1, &b->glBuffer);
        b->glBuffer = 0;
    }
}

void CGlDevice::MakeCurrent()
{
    if (context_ && SDL_GL_GetCurrentContext() != context_) {
        SDL_GL_MakeCurrent(window_, context_);
    }
}

bool CGlDevice::MakeTargetTexture(CSurface* s)
{
    gl_.GenTextures(1, &s->glTexture);
    gl_.BindTexture(GL_TEXTURE_2D, s->glTexture);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(s->Width()), static_cast<GLsizei>(s->Height()), 0,
                   GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    if (s->Desc().format == FmtX8R8G8B8) {
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    }
    gl_.GenFramebuffers(1, &s->glFramebuffer);
    gl_.BindFramebuffer(GL_FRAMEBUFFER, s->glFramebuffer);
    gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s->glTexture, 0);
    boundTarget_ = nullptr;
    return gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE && gl_.GetError() == GL_NO_ERROR;
}

void CGlDevice::ReadTarget(CSurface* rt, uint8_t* out, uint32_t pitch)
{
    MakeCurrent();
    gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, rt->glFramebuffer);
    ReadBound(rt->Width(), rt->Height(), out, pitch);
    boundTarget_ = nullptr;
}

void CGlDevice::ReadBound(uint32_t w, uint32_t h, uint8_t* out, uint32_t pitch)
{
    gl_.PixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(pitch / 4));
    gl_.ReadPixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out);
    gl_.PixelStorei(GL_PACK_ROW_LENGTH, 0);
}

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
