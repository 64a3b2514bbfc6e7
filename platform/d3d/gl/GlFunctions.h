#pragma once
// The OpenGL 3.3 core entry points the gl back end calls, loaded through SDL for the current
// context (libGL's exported symbols are not a promise beyond OpenGL 1.2).

#include <SDL_opengl.h>

namespace QuillD3D::Detail {

#define QUILL_GL_FUNCTIONS(X)                                                                                          \
    X(decltype(&glGenTextures), GenTextures, glGenTextures)                                                            \
    X(decltype(&glDeleteTextures), DeleteTextures, glDeleteTextures)                                                   \
    X(decltype(&glBindTexture), BindTexture, glBindTexture)                                                            \
    X(decltype(&glTexImage2D), TexImage2D, glTexImage2D)                                                               \
    X(decltype(&glTexSubImage2D), TexSubImage2D, glTexSubImage2D)                                                      \
    X(decltype(&glTexParameteri), TexParameteri, glTexParameteri)                                                      \
    X(decltype(&glPixelStorei), PixelStorei, glPixelStorei)                                                            \
    X(PFNGLACTIVETEXTUREPROC, ActiveTexture, glActiveTexture)                                                          \
    X(PFNGLGENSAMPLERSPROC, GenSamplers, glGenSamplers)                                                                \
    X(PFNGLDELETESAMPLERSPROC, DeleteSamplers, glDeleteSamplers)                                                       \
    X(PFNGLSAMPLERPARAMETERIPROC, SamplerParameteri, glSamplerParameteri)                                              \
    X(PFNGLBINDSAMPLERPROC, BindSampler, glBindSampler)                                                                \
    X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers, glGenFramebuffers)                                                    \
    X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers, glDeleteFramebuffers)                                           \
    X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer, glBindFramebuffer)                                                    \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D, glFramebufferTexture2D)                                     \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer, glFramebufferRenderbuffer)                            \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus, glCheckFramebufferStatus)                               \
    X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers, glGenRenderbuffers)                                                 \
    X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers, glDeleteRenderbuffers)                                        \
    X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer, glBindRenderbuffer)                                                 \
    X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage, glRenderbufferStorage)                                        \
    X(PFNGLBLITFRAMEBUFFERPROC, BlitFramebuffer, glBlitFramebuffer)                                                    \
    X(decltype(&glReadPixels), ReadPixels, glReadPixels)                                                               \
    X(decltype(&glViewport), Viewport, glViewport)                                                                     \
    X(decltype(&glScissor), Scissor, glScissor)                                                                        \
    X(decltype(&glEnable), Enable, glEnable)                                                                           \
    X(decltype(&glDisable), Disable, glDisable)                                                                        \
    X(decltype(&glClearColor), ClearColor, glClearColor)                                                               \
    X(decltype(&glClearDepth), ClearDepth, glClearDepth)                                                               \
    X(decltype(&glClear), Clear, glClear)                                                                              \
    X(decltype(&glDepthMask), DepthMask, glDepthMask)                                                                  \
    X(decltype(&glDepthFunc), DepthFunc, glDepthFunc)                                                                  \
    X(decltype(&glBlendFunc), BlendFunc, glBlendFunc)                                                                  \
    X(decltype(&glColorMask), ColorMask, glColorMask)                                                                  \
    X(decltype(&glCullFace), CullFace, glCullFace)                                                                     \
    X(decltype(&glFrontFace), FrontFace, glFrontFace)                                                                  \
    X(PFNGLGENBUFFERSPROC, GenBuffers, glGenBuffers)                                                                   \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers, glDeleteBuffers)                                                          \
    X(PFNGLBINDBUFFERPROC, BindBuffer, glBindBuffer)                                                                   \
    X(PFNGLBUFFERDATAPROC, BufferData, glBufferData)                                                                   \
    X(PFNGLBUFFERSUBDATAPROC, BufferSubData, glBufferSubData)                                                          \
    X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays, glGenVertexArrays)                                                    \
    X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays, glDeleteVertexArrays)                                           \
    X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray, glBindVertexArray)                                                    \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer, glVertexAttribPointer)                                        \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray, glEnableVertexAttribArray)                            \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray, glDisableVertexAttribArray)                         \
    X(PFNGLVERTEXATTRIB4FPROC, VertexAttrib4f, glVertexAttrib4f)                                                       \
    X(PFNGLCREATESHADERPROC, CreateShader, glCreateShader)                                                             \
    X(PFNGLSHADERSOURCEPROC, ShaderSource, glShaderSource)                                                             \
    X(PFNGLCOMPILESHADERPROC, CompileShader, glCompileShader)                                                          \
    X(PFNGLGETSHADERIVPROC, GetShaderiv, glGetShaderiv)                                                                \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog, glGetShaderInfoLog)                                                 \
    X(PFNGLDELETESHADERPROC, DeleteShader, glDeleteShader)                                                             \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram, glCreateProgram)                                                          \
    X(PFNGLATTACHSHADERPROC, AttachShader, glAttachShader)                                                             \
    X(PFNGLLINKPROGRAMPROC, LinkProgram, glLinkProgram)                                                                \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv, glGetProgramiv)                                                             \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog, glGetProgramInfoLog)                                              \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram, glDeleteProgram)                                                          \
    X(PFNGLUSEPROGRAMPROC, UseProgram, glUseProgram)                                                                   \
    X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation, glGetUniformLocation)                                           \
    X(PFNGLUNIFORM1IPROC, Uniform1i, glUniform1i)                                                                      \
    X(PFNGLUNIFORM1FPROC, Uniform1f, glUniform1f)                                                                      \
    X(PFNGLUNIFORM2FPROC, Uniform2f, glUniform2f)                                                                      \
    X(PFNGLUNIFORM4FPROC, Uniform4f, glUniform4f)                                                                      \
    X(PFNGLUNIFORM4IPROC, Uniform4i, glUniform4i)                                                                      \
    X(decltype(&glDrawArrays), DrawArrays, glDrawArrays)                                                               \
    X(PFNGLDRAWELEMENTSBASEVERTEXPROC, DrawElementsBaseVertex, glDrawElementsBaseVertex)                               \
    X(decltype(&glGetIntegerv), GetIntegerv, glGetIntegerv)                                                            \
    X(decltype(&glGetString), GetString, glGetString)                                                                  \
    X(decltype(&glGetError), GetError, glGetError)

struct GlFunctions {
#define QUILL_GL_MEMBER(type, name, symbol) type name = nullptr;
    QUILL_GL_FUNCTIONS(QUILL_GL_MEMBER)
#undef QUILL_GL_MEMBER

    // Loads every entry point for the current context; false when one is missing.
    bool Load();
};

// Asks SDL for the context every gl device uses: OpenGL 3.3 core, double buffered, no depth or
// stencil in the window's own buffers.
void RequestCoreContext();

} // namespace QuillD3D::Detail
