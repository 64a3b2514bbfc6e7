#pragma once
// Value types of the device layer: result codes, enumerations and records. The numeric values
// are the ones the renderer passes and tests (render-state numbers, format codes, lock flags),
// so code written against the classic device interface keeps its constants.

#include <cstdint>
#include <cstring>

struct SDL_Window;

namespace QuillD3D {

// The window a device presents into: the window layer's native handle
// (QuillPlatform::Window::NativeHandle). Callers only pass it along.
using DeviceWindow = SDL_Window;

using Result = int32_t;

constexpr Result kOk = 0;
constexpr Result kFalse = 1;
constexpr Result MakeError(uint32_t code)
{
    return static_cast<Result>(0x88760000u | code);
}
constexpr Result kErrInvalidCall = MakeError(2156);
constexpr Result kErrDeviceLost = MakeError(2152);
constexpr Result kErrDeviceNotReset = MakeError(2153);
constexpr Result kErrNotAvailable = MakeError(2154);
constexpr Result kErrOutOfVideoMemory = MakeError(380);
constexpr Result kErrDriverInternalError = MakeError(2087);
constexpr Result kErrOutOfMemory = static_cast<Result>(0x8007000Eu);

inline bool Succeeded(Result r)
{
    return r >= 0;
}
inline bool Failed(Result r)
{
    return r < 0;
}
// Name of a result code for messages and test output.
const char* ResultName(Result r);

constexpr uint32_t kSdkVersion = 32;

enum Format : uint32_t {
    FmtUnknown = 0,
    FmtA8R8G8B8 = 21,
    FmtX8R8G8B8 = 22,
    FmtR5G6B5 = 23,
    FmtD16 = 80,
    FmtIndex16 = 101,
};
uint32_t BytesPerPixel(Format f); // 0 for formats that are not colour formats

enum Pool : uint32_t { PoolDefault = 0, PoolManaged = 1, PoolSystemMem = 2, PoolScratch = 3 };

enum Usage : uint32_t { UsageRenderTarget = 0x1, UsageDepthStencil = 0x2, UsageWriteOnly = 0x8, UsageDynamic = 0x200 };

enum LockFlags : uint32_t {
    LockReadOnly = 0x10,
    LockNoSysLock = 0x800,
    LockNoOverwrite = 0x1000,
    LockDiscard = 0x2000
};

enum ResourceType : uint32_t { RTypeSurface = 1, RTypeTexture = 3, RTypeVertexBuffer = 6, RTypeIndexBuffer = 7 };

enum DevType : uint32_t { DevTypeHal = 1, DevTypeRef = 2, DevTypeSw = 3 };

enum PrimitiveType : uint32_t {
    PtPointList = 1,
    PtLineList = 2,
    PtLineStrip = 3,
    PtTriangleList = 4,
    PtTriangleStrip = 5,
    PtTriangleFan = 6,
};

enum ClearFlags : uint32_t { ClearTarget = 1, ClearZBuffer = 2, ClearStencil = 4 };

enum BackBufferType : uint32_t { BackBufferMono = 0 };

enum TextureFilter : uint32_t { FilterNone = 0, FilterPoint = 1, FilterLinear = 2 };

enum TextureAddress : uint32_t { AddressWrap = 1, AddressMirror = 2, AddressClamp = 3, AddressBorder = 4 };

// Render-state numbers (the device's 256-entry state table is indexed by these).
enum RenderState : uint32_t {
    RsZEnable = 7,
    RsFillMode = 8,
    RsShadeMode = 9,
    RsZWriteEnable = 14,
    RsAlphaTestEnable = 15,
    RsLastPixel = 16,
    RsSrcBlend = 19,
    RsDestBlend = 20,
    RsCullMode = 22,
    RsZFunc = 23,
    RsAlphaRef = 24,
    RsAlphaFunc = 25,
    RsDitherEnable = 26,
    RsAlphaBlendEnable = 27,
    RsFogEnable = 28,
    RsSpecularEnable = 29,
    RsStencilEnable = 52,
    RsTextureFactor = 60,
    RsLighting = 137,
    RsColorWriteEnable = 168,
    RsBlendOp = 171,
    RsScissorTestEnable = 174,
};
constexpr uint32_t kRenderStateCount = 256;

enum Cmp : uint32_t {
    CmpNever = 1,
    CmpLess = 2,
    CmpEqual = 3,
    CmpLessEqual = 4,
    CmpGreater = 5,
    CmpNotEqual = 6,
    CmpGreaterEqual = 7,
    CmpAlways = 8,
};

enum Blend : uint32_t {
    BlendZero = 1,
    BlendOne = 2,
    BlendSrcColor = 3,
    BlendInvSrcColor = 4,
    BlendSrcAlpha = 5,
    BlendInvSrcAlpha = 6,
    BlendDestAlpha = 7,
    BlendInvDestAlpha = 8,
    BlendDestColor = 9,
    BlendInvDestColor = 10,
};

enum Cull : uint32_t { CullNone = 1, CullCw = 2, CullCcw = 3 };

enum TextureStageState : uint32_t {
    TssColorOp = 1,
    TssColorArg1 = 2,
    TssColorArg2 = 3,
    TssAlphaOp = 4,
    TssAlphaArg1 = 5,
    TssAlphaArg2 = 6,
    TssTexCoordIndex = 11,
};
constexpr uint32_t kTextureStageStateCount = 33;

enum TextureOp : uint32_t { TopDisable = 1, TopSelectArg1 = 2, TopSelectArg2 = 3, TopModulate = 4 };

enum TextureArg : uint32_t { TaDiffuse = 0, TaCurrent = 1, TaTexture = 2, TaTFactor = 3 };

enum SamplerState : uint32_t {
    SampAddressU = 1,
    SampAddressV = 2,
    SampAddressW = 3,
    SampBorderColor = 4,
    SampMagFilter = 5,
    SampMinFilter = 6,
    SampMipFilter = 7,
};
constexpr uint32_t kSamplerStateCount = 14;
constexpr uint32_t kSamplerCount = 16;
constexpr uint32_t kTextureStageCount = 8;
constexpr uint32_t kStreamCount = 16;

// Vertex layout codes. The layer draws pre-transformed vertices: position x y z rhw, an optional
// ARGB colour and an optional pair of texture coordinates.
enum Fvf : uint32_t { FvfXyzRhw = 0x004, FvfDiffuse = 0x040, FvfTex1 = 0x100 };
constexpr uint32_t kFvfSprite = FvfXyzRhw | FvfDiffuse | FvfTex1; // 0x144, 28 bytes

enum CreateFlags : uint32_t { CreateSoftwareVertexProcessing = 0x20, CreateHardwareVertexProcessing = 0x40 };

enum DevCaps : uint32_t { DevCapsHwTransformAndLight = 0x10000 };
enum CursorCaps : uint32_t { CursorCapsColor = 1, CursorCapsLowRes = 2 };
enum TextureCaps : uint32_t { TextureCapsPow2 = 0x2, TextureCapsSquareOnly = 0x20 };

enum SwapEffect : uint32_t { SwapEffectDiscard = 1 };
enum PresentInterval : uint32_t { PresentIntervalDefault = 0, PresentIntervalOne = 1 };

// A monitor, as returned by GetAdapterMonitor: the SDL display index plus one (0 = none).
using Monitor = uintptr_t;

struct Rect {
    int32_t left, top, right, bottom;
};

struct LockedRect {
    int32_t pitch;
    void* bits;
};

struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;
    Format format = FmtUnknown;
};

struct Guid {
    uint8_t bytes[16] = {};
    bool operator==(const Guid&) const = default;
};

struct AdapterIdentifier {
    char driver[512] = {};
    char description[512] = {};
    char deviceName[32] = {};
    int64_t driverVersion = 0;
    uint32_t vendorId = 0;
    uint32_t deviceId = 0;
    uint32_t subSysId = 0;
    uint32_t revision = 0;
    Guid deviceIdentifier;
    uint32_t whqlLevel = 0;
    bool operator==(const AdapterIdentifier& o) const;
};

struct Caps {
    DevType deviceType = DevTypeHal;
    uint32_t adapterOrdinal = 0;
    uint32_t devCaps = 0;
    uint32_t cursorCaps = 0;
    uint32_t textureCaps = 0;
    uint32_t textureFilterCaps = 0;
    uint32_t maxTextureWidth = 0;
    uint32_t maxTextureHeight = 0;
    uint32_t maxPrimitiveCount = 0;
    uint32_t maxVertexIndex = 0;
    uint32_t maxStreams = 0;
    uint32_t presentationIntervals = 0;
};

struct PresentParameters {
    uint32_t backBufferWidth = 0;
    uint32_t backBufferHeight = 0;
    Format backBufferFormat = FmtUnknown;
    uint32_t backBufferCount = 1;
    uint32_t multiSampleType = 0;
    uint32_t multiSampleQuality = 0;
    uint32_t swapEffect = SwapEffectDiscard;
    SDL_Window* deviceWindow = nullptr; // none: the device presents into memory
    bool windowed = true;               // false: desktop full screen
    bool enableAutoDepthStencil = false;
    Format autoDepthStencilFormat = FmtUnknown;
    uint32_t flags = 0;
    uint32_t fullScreenRefreshRateInHz = 0;
    uint32_t presentationInterval = PresentIntervalDefault;
};

struct SurfaceDesc {
    Format format = FmtUnknown;
    ResourceType type = RTypeSurface;
    uint32_t usage = 0;
    Pool pool = PoolDefault;
    uint32_t multiSampleType = 0;
    uint32_t multiSampleQuality = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

struct BufferDesc {
    Format format = FmtUnknown; // FmtIndex16 for index buffers
    ResourceType type = RTypeVertexBuffer;
    uint32_t usage = 0;
    Pool pool = PoolDefault;
    uint32_t size = 0;
    uint32_t fvf = 0;
};

} // namespace QuillD3D
