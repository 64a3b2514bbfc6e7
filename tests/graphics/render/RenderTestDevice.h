#pragma once
// Test doubles of the device layer: a device that records which state calls reach it, and
// buffers that record their locks (and can refuse them).

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d/D3dInterfaces.h"

namespace QuillTest {

using namespace QuillD3D;

class RecordingDevice final : public IDevice {
public:
    struct Call {
        std::string name;
        uint32_t a = 0, b = 0, c = 0;
        const void* p = nullptr;
    };
    std::vector<Call> calls;
    Result answer = kOk; // what every recorded state call answers

    size_t Count(const std::string& name) const
    {
        size_t n = 0;
        for (const Call& c : calls)
            n += c.name == name;
        return n;
    }

    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    Result TestCooperativeLevel() override { return kOk; }
    Result GetDeviceCaps(Caps*) override { return kOk; }
    Result GetDisplayMode(uint32_t, DisplayMode*) override { return kOk; }
    Result Reset(PresentParameters*) override { return kOk; }
    Result Present() override { return kOk; }
    Result PresentRects(uint32_t, const Rect*) override { return kOk; }
    Result SetClipRect(const Rect*) override { return kErrInvalidCall; }
    uint64_t TextureWriteCount() const override { return 0; }
    Result GetBackBuffer(uint32_t, uint32_t, BackBufferType, ISurface**) override { return kErrInvalidCall; }
    Result GetFrontBufferData(uint32_t, ISurface*) override { return kErrInvalidCall; }
    Result CreateTexture(uint32_t, uint32_t, uint32_t, uint32_t, Format, Pool, ITexture**) override
    {
        return kErrInvalidCall;
    }
    Result CreateVertexBuffer(uint32_t, uint32_t, uint32_t, Pool, IVertexBuffer**) override { return kErrInvalidCall; }
    Result CreateIndexBuffer(uint32_t, uint32_t, Format, Pool, IIndexBuffer**) override { return kErrInvalidCall; }
    Result CreateRenderTarget(uint32_t, uint32_t, Format, uint32_t, uint32_t, bool, ISurface**) override
    {
        return kErrInvalidCall;
    }
    Result CreateOffscreenPlainSurface(uint32_t, uint32_t, Format, Pool, ISurface**) override
    {
        return kErrInvalidCall;
    }
    Result StretchRect(ISurface*, const Rect*, ISurface*, const Rect*, TextureFilter) override { return kOk; }
    Result GetRenderTargetData(ISurface*, ISurface*) override { return kOk; }
    Result SetRenderTarget(uint32_t, ISurface*) override { return kOk; }
    Result GetRenderTarget(uint32_t, ISurface**) override { return kErrInvalidCall; }
    Result BeginScene() override { return kOk; }
    Result EndScene() override { return kOk; }
    Result Clear(uint32_t, const Rect*, uint32_t flags, uint32_t color, float, uint32_t) override
    {
        return Record("Clear", flags, color);
    }
    Result SetRenderState(uint32_t state, uint32_t value) override { return Record("SetRenderState", state, value); }
    Result GetRenderState(uint32_t, uint32_t*) override { return kOk; }
    Result SetSamplerState(uint32_t s, uint32_t t, uint32_t v) override { return Record("SetSamplerState", s, t, v); }
    Result SetTexture(uint32_t stage, ITexture* t) override { return Record("SetTexture", stage, 0, 0, t); }
    Result SetTextureStageState(uint32_t s, uint32_t t, uint32_t v) override
    {
        return Record("SetTextureStageState", s, t, v);
    }
    Result SetFVF(uint32_t fvf) override { return Record("SetFVF", fvf); }
    Result SetStreamSource(uint32_t stream, IVertexBuffer* b, uint32_t offset, uint32_t stride) override
    {
        return Record("SetStreamSource", stream, offset, stride, b);
    }
    Result SetIndices(IIndexBuffer* b) override { return Record("SetIndices", 0, 0, 0, b); }
    Result SetPixelShader(IPixelShader* s) override { return Record("SetPixelShader", 0, 0, 0, s); }
    Result SetVertexShader(IVertexShader* s) override { return Record("SetVertexShader", 0, 0, 0, s); }
    Result SetPixelShaderConstantF(uint32_t first, const float* d, uint32_t n) override
    {
        return Record("SetPixelShaderConstantF", first, n, 0, d);
    }
    Result SetVertexShaderConstantF(uint32_t first, const float* d, uint32_t n) override
    {
        return Record("SetVertexShaderConstantF", first, n, 0, d);
    }
    Result DrawPrimitive(PrimitiveType type, uint32_t start, uint32_t count) override
    {
        return Record("DrawPrimitive", type, start, count);
    }
    Result DrawIndexedPrimitive(PrimitiveType type, int32_t base, uint32_t, uint32_t, uint32_t, uint32_t n) override
    {
        return Record("DrawIndexedPrimitive", type, static_cast<uint32_t>(base), n);
    }
    Result SetCursorProperties(uint32_t, uint32_t, ISurface*) override { return kOk; }
    bool ShowCursor(bool) override { return false; }

private:
    Result Record(const char* name, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0, const void* p = nullptr)
    {
        calls.push_back({name, a, b, c, p});
        return answer;
    }
};

// A buffer whose locks are recorded: offset, size and flags of each.
template <class Base> class RecordingBuffer final : public Base {
public:
    struct Lock {
        uint32_t offset, size, flags;
    };
    explicit RecordingBuffer(uint32_t bytes) : bytes_(bytes, 0) {}

    std::vector<Lock> locks;
    bool refuseLocks = false;
    int refs = 1;
    int unlocks = 0;

    uint32_t AddRef() override { return static_cast<uint32_t>(++refs); }
    uint32_t Release() override { return static_cast<uint32_t>(--refs); }
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override
    {
        locks.push_back({offset, size, flags});
        if (refuseLocks || offset + static_cast<uint64_t>(size) > bytes_.size())
            return kErrInvalidCall;
        *data = bytes_.data() + offset;
        return kOk;
    }
    Result Unlock() override
    {
        ++unlocks;
        return kOk;
    }
    Result GetDesc(BufferDesc*) override { return kOk; }

    const uint8_t* Bytes() const { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
};

using RecordingVertexBuffer = RecordingBuffer<IVertexBuffer>;
using RecordingIndexBuffer = RecordingBuffer<IIndexBuffer>;

} // namespace QuillTest
