// The gl device's programs: their sources, compiling and linking.

#include "platform/d3d/gl/GlDevice.h"

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

} // namespace

GLuint CGlDevice::Compile(GLenum type, const char* source)
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
GLuint CGlDevice::Link(const char* vertexSource, const char* fragmentSource)
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

bool CGlDevice::BuildProgram()
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

} // namespace QuillD3D::Detail
