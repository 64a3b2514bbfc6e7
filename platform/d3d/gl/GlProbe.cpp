// What the gl back end needs before any device: its entry points and the probe of the OpenGL
// implementation (a hidden window and a core context, made once per process).

#include <SDL.h>
#include <algorithm>
#include <string>

#include "platform/d3d/Backends.h"
#include "platform/d3d/gl/GlFunctions.h"
#include "platform/system/GraphicsDriver.h"

namespace QuillD3D::Detail {

bool GlFunctions::Load()
{
    bool ok = true;
#define QUILL_GL_LOAD(type, name, symbol)                                                                              \
    name = reinterpret_cast<type>(SDL_GL_GetProcAddress(#symbol));                                                     \
    ok = ok && name != nullptr;
    QUILL_GL_FUNCTIONS(QUILL_GL_LOAD)
#undef QUILL_GL_LOAD
    return ok;
}

void RequestCoreContext()
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

const GlProbe& ProbeGl()
{
    static GlProbe probe = [] {
        GlProbe p;
        RequestCoreContext();
        SDL_Window* w = SDL_CreateWindow("quill gl probe", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!w) {
            return p;
        }
        SDL_GLContext c = SDL_GL_CreateContext(w);
        GlFunctions gl;
        if (c && SDL_GL_MakeCurrent(w, c) == 0 && gl.Load()) {
            QuillPlatform::KeepGraphicsDriverLoaded();
            auto text = [&](GLenum e) {
                const auto* s = reinterpret_cast<const char*>(gl.GetString(e));
                return std::string(s ? s : "");
            };
            p.vendor = text(GL_VENDOR);
            p.renderer = text(GL_RENDERER);
            p.version = text(GL_VERSION);
            GLint size = 0;
            gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
            p.maxTextureSize = static_cast<uint32_t>(std::max(size, 0));
            p.available = p.maxTextureSize >= 1024;
        }
        if (c) {
            SDL_GL_MakeCurrent(w, nullptr);
            SDL_GL_DeleteContext(c);
        }
        SDL_DestroyWindow(w);
        return p;
    }();
    return probe;
}

} // namespace QuillD3D::Detail
