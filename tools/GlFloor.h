#pragma once
// The floor of a gl frame: the frames the gl device drew, recorded draw by draw, drawn again by
// the least an OpenGL 3.3 program can do for them - one program that multiplies the texture by
// the vertex colour, one draw per recorded draw (the same picture, triangles, filter and blending),
// straight into a window of the same size, then the swap. What the device costs above this is
// its own: state it sets, programs it chooses, passes it adds.

#include <SDL.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/d3d/DrawObserver.h"
#include "platform/d3d/gl/GlFunctions.h"

namespace BenchGame {

struct FloorDraw {
    int picture = -1; // none: the white picture (diffuse alone)
    bool linear = false, wrapU = false, wrapV = false, blend = false;
    uint32_t srcBlend = 0, destBlend = 0;
    GLint first = 0;
    GLsizei count = 0;
};

struct FloorFrame {
    std::vector<QuillD3D::ObservedVertex> vertices;
    std::vector<FloorDraw> draws;
};

struct FloorPicture {
    uint32_t width = 0, height = 0;
    QuillD3D::Format format = QuillD3D::FmtUnknown;
    std::vector<uint8_t> pixels; // rows packed, 2 or 4 bytes a pixel as the format has them
};

// Collects what a device draws into its back buffer, frame by frame.
class FloorRecording {
public:
    void BeginFrame() { frames_.emplace_back(); }

    void Add(const QuillD3D::ObservedDraw& d)
    {
        if (!d.intoBackBuffer || frames_.empty()) {
            ++elsewhere_;
            return;
        }
        if (!d.modulate)
            ++notModulate_;
        FloorFrame& frame = frames_.back();
        FloorDraw draw;
        if (d.texture) {
            auto found = index_.find(d.texture);
            if (found == index_.end()) {
                found = index_.emplace(d.texture, static_cast<int>(pictures_.size())).first;
                pictures_.push_back(Copy(d));
            }
            draw.picture = found->second;
        }
        draw.linear = d.linear;
        draw.wrapU = d.wrapU;
        draw.wrapV = d.wrapV;
        draw.blend = d.blend;
        draw.srcBlend = d.srcBlend;
        draw.destBlend = d.destBlend;
        draw.first = static_cast<GLint>(frame.vertices.size());
        draw.count = static_cast<GLsizei>(d.triangles.size());
        frame.vertices.insert(frame.vertices.end(), d.triangles.begin(), d.triangles.end());
        frame.draws.push_back(draw);
    }

    const std::vector<FloorFrame>& Frames() const { return frames_; }
    const std::vector<FloorPicture>& Pictures() const { return pictures_; }
    size_t DrawsElsewhere() const { return elsewhere_; }
    size_t DrawsNotModulate() const { return notModulate_; }

private:
    static FloorPicture Copy(const QuillD3D::ObservedDraw& d)
    {
        FloorPicture p;
        p.width = d.width;
        p.height = d.height;
        p.format = d.format;
        const uint32_t row = d.width * (d.format == QuillD3D::FmtR5G6B5 ? 2 : 4);
        p.pixels.resize(static_cast<size_t>(row) * d.height);
        for (uint32_t y = 0; d.bits && y < d.height; ++y)
            std::memcpy(p.pixels.data() + static_cast<size_t>(y) * row, d.bits + static_cast<size_t>(y) * d.pitch, row);
        return p;
    }

    std::vector<FloorFrame> frames_;
    std::vector<FloorPicture> pictures_;
    std::map<const void*, int> index_;
    size_t elsewhere_ = 0, notModulate_ = 0;
};

// The minimal program, in its own window and context.
class GlFloor {
public:
    ~GlFloor()
    {
        if (context_) {
            SDL_GL_MakeCurrent(window_, context_);
            gl_.DeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
            gl_.DeleteSamplers(8, samplers_);
            gl_.DeleteBuffers(1, &buffer_);
            gl_.DeleteVertexArrays(1, &vertexArray_);
            gl_.DeleteProgram(program_);
            SDL_GL_MakeCurrent(window_, nullptr);
            SDL_GL_DeleteContext(context_);
        }
        if (window_)
            SDL_DestroyWindow(window_);
    }

    // A window of w x h with the recording's pictures uploaded; false (and why) when it cannot be.
    bool Open(int w, int h, const FloorRecording& recording, std::string* why)
    {
        width_ = w;
        height_ = h;
        QuillD3D::Detail::RequestCoreContext();
        window_ = SDL_CreateWindow("gl floor", 0, 0, w, h, SDL_WINDOW_OPENGL);
        context_ = window_ ? SDL_GL_CreateContext(window_) : nullptr;
        if (!context_ || SDL_GL_MakeCurrent(window_, context_) != 0 || !gl_.Load()) {
            *why = SDL_GetError();
            return false;
        }
        finish_ = reinterpret_cast<void(APIENTRY*)()>(SDL_GL_GetProcAddress("glFinish"));
        SDL_GL_SetSwapInterval(1);
        program_ = Program();
        if (!program_) {
            *why = "the floor's program does not build";
            return false;
        }
        uSize_ = gl_.GetUniformLocation(program_, "uSize");
        gl_.GenVertexArrays(1, &vertexArray_);
        gl_.BindVertexArray(vertexArray_);
        gl_.GenBuffers(1, &buffer_);
        gl_.BindBuffer(GL_ARRAY_BUFFER, buffer_);
        const GLsizei stride = sizeof(QuillD3D::ObservedVertex);
        gl_.EnableVertexAttribArray(0);
        gl_.VertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, nullptr);
        gl_.EnableVertexAttribArray(1);
        gl_.VertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<const void*>(8));
        gl_.EnableVertexAttribArray(2);
        gl_.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(12));
        gl_.GenSamplers(8, samplers_);
        for (int i = 0; i < 8; ++i) {
            const GLint filter = (i & 1) ? GL_LINEAR : GL_NEAREST;
            gl_.SamplerParameteri(samplers_[i], GL_TEXTURE_MIN_FILTER, filter);
            gl_.SamplerParameteri(samplers_[i], GL_TEXTURE_MAG_FILTER, filter);
            gl_.SamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_S, (i & 2) ? GL_REPEAT : GL_CLAMP_TO_EDGE);
            gl_.SamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_T, (i & 4) ? GL_REPEAT : GL_CLAMP_TO_EDGE);
        }
        const uint32_t white = 0xFFFFFFFFu;
        white_ = Texture(1, 1, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &white);
        for (const FloorPicture& p : recording.Pictures()) {
            const auto w32 = static_cast<GLsizei>(p.width), h32 = static_cast<GLsizei>(p.height);
            if (p.format == QuillD3D::FmtR5G6B5) {
                textures_.push_back(Texture(w32, h32, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, p.pixels.data()));
            } else {
                textures_.push_back(Texture(w32, h32, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, p.pixels.data()));
                if (p.format == QuillD3D::FmtX8R8G8B8)
                    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
            }
        }
        textures_.push_back(white_);
        return gl_.GetError() == GL_NO_ERROR;
    }

    // Draws one recorded frame and shows it; returns when the driver has finished it.
    void Draw(const FloorFrame& frame)
    {
        SDL_GL_MakeCurrent(window_, context_);
        gl_.Viewport(0, 0, width_, height_);
        gl_.ClearColor(0, 0, 0, 1);
        gl_.Clear(GL_COLOR_BUFFER_BIT);
        gl_.UseProgram(program_);
        gl_.Uniform2f(uSize_, static_cast<float>(width_), static_cast<float>(height_));
        gl_.BindVertexArray(vertexArray_);
        gl_.BindBuffer(GL_ARRAY_BUFFER, buffer_);
        gl_.BufferData(GL_ARRAY_BUFFER,
                       static_cast<GLsizeiptr>(frame.vertices.size() * sizeof(QuillD3D::ObservedVertex)),
                       frame.vertices.data(), GL_STREAM_DRAW);
        gl_.ActiveTexture(GL_TEXTURE0);
        for (const FloorDraw& d : frame.draws) {
            gl_.BindTexture(GL_TEXTURE_2D, d.picture < 0 ? white_ : textures_[static_cast<size_t>(d.picture)]);
            gl_.BindSampler(0, samplers_[(d.linear ? 1 : 0) | (d.wrapU ? 2 : 0) | (d.wrapV ? 4 : 0)]);
            if (d.blend) {
                gl_.Enable(GL_BLEND);
                gl_.BlendFunc(Blend(d.srcBlend), Blend(d.destBlend));
            } else {
                gl_.Disable(GL_BLEND);
            }
            gl_.DrawArrays(GL_TRIANGLES, d.first, d.count);
        }
        SDL_GL_SwapWindow(window_);
        if (finish_)
            finish_();
    }

private:
    GLuint Texture(GLsizei w, GLsizei h, GLint internal, GLenum format, GLenum type, const void* pixels)
    {
        GLuint t = 0;
        gl_.GenTextures(1, &t);
        gl_.BindTexture(GL_TEXTURE_2D, t);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        gl_.PixelStorei(GL_UNPACK_ALIGNMENT, format == GL_RGB ? 2 : 4);
        gl_.TexImage2D(GL_TEXTURE_2D, 0, internal, w, h, 0, format, type, pixels);
        return t;
    }

    GLuint Compile(GLenum type, const char* source)
    {
        const GLuint sh = gl_.CreateShader(type);
        gl_.ShaderSource(sh, 1, &source, nullptr);
        gl_.CompileShader(sh);
        return sh;
    }

    GLuint Program()
    {
        // Target pixels (y down) to the window's clip space (y up); texture times colour.
        const GLuint vs = Compile(GL_VERTEX_SHADER, R"(#version 330 core
layout(location = 0) in vec2 aPosition;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aTexCoord;
uniform vec2 uSize;
out vec4 vColor;
out vec2 vTexCoord;
void main()
{
    gl_Position = vec4((aPosition + 0.5) * 2.0 / uSize - 1.0, 0.0, 1.0) * vec4(1.0, -1.0, 1.0, 1.0);
    vColor = aColor;
    vTexCoord = aTexCoord;
}
)");
        const GLuint fs = Compile(GL_FRAGMENT_SHADER, R"(#version 330 core
in vec4 vColor;
in vec2 vTexCoord;
uniform sampler2D uTexture;
layout(location = 0) out vec4 oColor;
void main()
{
    oColor = texture(uTexture, vTexCoord) * vColor;
}
)");
        const GLuint p = gl_.CreateProgram();
        gl_.AttachShader(p, vs);
        gl_.AttachShader(p, fs);
        gl_.LinkProgram(p);
        gl_.DeleteShader(vs);
        gl_.DeleteShader(fs);
        GLint ok = 0;
        gl_.GetProgramiv(p, GL_LINK_STATUS, &ok);
        if (!ok) {
            gl_.DeleteProgram(p);
            return 0;
        }
        gl_.UseProgram(p);
        gl_.Uniform1i(gl_.GetUniformLocation(p, "uTexture"), 0);
        return p;
    }

    // The device layer's blend factors as GL's.
    static GLenum Blend(uint32_t b)
    {
        static const GLenum map[] = {GL_ONE,
                                     GL_ZERO,
                                     GL_ONE,
                                     GL_SRC_COLOR,
                                     GL_ONE_MINUS_SRC_COLOR,
                                     GL_SRC_ALPHA,
                                     GL_ONE_MINUS_SRC_ALPHA,
                                     GL_DST_ALPHA,
                                     GL_ONE_MINUS_DST_ALPHA,
                                     GL_DST_COLOR,
                                     GL_ONE_MINUS_DST_COLOR};
        return b < sizeof map / sizeof map[0] ? map[b] : GL_ONE;
    }

    QuillD3D::Detail::GlFunctions gl_;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    void(APIENTRY* finish_)() = nullptr;
    int width_ = 0, height_ = 0;
    GLuint program_ = 0, vertexArray_ = 0, buffer_ = 0, white_ = 0;
    GLint uSize_ = -1;
    GLuint samplers_[8] = {};
    std::vector<GLuint> textures_;
};

} // namespace BenchGame
