#pragma once
// The device-state cache: forwards state changes and draw calls to the device and drops a state
// change whose value equals the one set last, so that repeating a batch preset costs no device
// call. An entry never set (or forgotten by MarkAllUnknown, after a device reset) always reaches
// the device; so does every set while the force flag is on. Indices outside the cached tables
// bypass the cache and go to the device, which judges them.

#include <bitset>
#include <cstdint>

#include "engine/graphics/render/Geometry2D.h"
#include "platform/d3d/D3dInterfaces.h"

namespace QuillEngine {

class IRenderManagerContext {
public:
    virtual ~IRenderManagerContext() = default;

    virtual void SetForce(bool force) = 0;
    virtual QuillD3D::Result SetFVF(uint32_t fvf) = 0;
    virtual QuillD3D::Result SetIndices(QuillD3D::IIndexBuffer* buffer) = 0;
    virtual QuillD3D::Result SetStreamSource(uint32_t stream, QuillD3D::IVertexBuffer* buffer, uint32_t offset,
                                             uint32_t stride) = 0;
    virtual QuillD3D::Result SetPixelShader(QuillD3D::IPixelShader* shader) = 0;
    virtual QuillD3D::Result SetPixelShaderConstantF(uint32_t first, const float* data, uint32_t count) = 0;
    virtual QuillD3D::Result SetVertexShader(QuillD3D::IVertexShader* shader) = 0;
    virtual QuillD3D::Result SetVertexShaderConstantF(uint32_t first, const float* data, uint32_t count) = 0;
    virtual QuillD3D::Result SetRenderState(uint32_t state, uint32_t value) = 0;
    virtual QuillD3D::Result SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) = 0;
    virtual QuillD3D::Result SetTexture(uint32_t stage, QuillD3D::ITexture* texture) = 0;
    virtual QuillD3D::Result SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) = 0;
    // Three slots of a 2D transform for the engine's own drawing code; never sent to the device.
    // None stores the identity. A slot outside 0..2 is an invalid call.
    virtual QuillD3D::Result SetTransform(uint32_t slot, const Transform2D* matrix) = 0;
    virtual QuillD3D::Result GetTransform(uint32_t slot, Transform2D* matrix) const = 0;
    virtual QuillD3D::Result DrawPrimitive(QuillD3D::PrimitiveType type, uint32_t startVertex, uint32_t count) = 0;
    virtual QuillD3D::Result DrawIndexedPrimitive(QuillD3D::PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                                  uint32_t vertexCount, uint32_t startIndex,
                                                  uint32_t primitiveCount) = 0;
    virtual QuillD3D::Result Clear(uint32_t rectCount, const QuillD3D::Rect* rects, uint32_t flags, uint32_t color,
                                   float z, uint32_t stencil) = 0;
};

class CRenderManagerContext final : public IRenderManagerContext {
public:
    static constexpr uint32_t kStreams = 16;
    static constexpr uint32_t kPixelConstants = 32;
    static constexpr uint32_t kVertexConstants = 256;
    static constexpr uint32_t kRenderStates = 256;
    static constexpr uint32_t kSamplers = 16;
    static constexpr uint32_t kSamplerStates = 32;
    static constexpr uint32_t kTextureStages = 16;
    static constexpr uint32_t kStageStateStages = 8;
    static constexpr uint32_t kStageStates = 64;
    static constexpr uint32_t kTransformSlots = 3;

    // The device is not owned: the renderer makes one context per device.
    explicit CRenderManagerContext(QuillD3D::IDevice* device, bool force = true);

    void SetForce(bool force) override { force_ = force; }
    bool Force() const { return force_; }
    // Every entry becomes unknown: the device was reset to its default state.
    void MarkAllUnknown();
    QuillD3D::IDevice* Device() const { return device_; }

    QuillD3D::Result SetFVF(uint32_t fvf) override;
    QuillD3D::Result SetIndices(QuillD3D::IIndexBuffer* buffer) override;
    QuillD3D::Result SetStreamSource(uint32_t stream, QuillD3D::IVertexBuffer* buffer, uint32_t offset,
                                     uint32_t stride) override;
    QuillD3D::Result SetPixelShader(QuillD3D::IPixelShader* shader) override;
    QuillD3D::Result SetPixelShaderConstantF(uint32_t first, const float* data, uint32_t count) override;
    QuillD3D::Result SetVertexShader(QuillD3D::IVertexShader* shader) override;
    QuillD3D::Result SetVertexShaderConstantF(uint32_t first, const float* data, uint32_t count) override;
    QuillD3D::Result SetRenderState(uint32_t state, uint32_t value) override;
    QuillD3D::Result SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) override;
    QuillD3D::Result SetTexture(uint32_t stage, QuillD3D::ITexture* texture) override;
    QuillD3D::Result SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override;
    QuillD3D::Result SetTransform(uint32_t slot, const Transform2D* matrix) override;
    QuillD3D::Result GetTransform(uint32_t slot, Transform2D* matrix) const override;
    QuillD3D::Result DrawPrimitive(QuillD3D::PrimitiveType type, uint32_t startVertex, uint32_t count) override;
    QuillD3D::Result DrawIndexedPrimitive(QuillD3D::PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                          uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount) override;
    QuillD3D::Result Clear(uint32_t rectCount, const QuillD3D::Rect* rects, uint32_t flags, uint32_t color, float z,
                           uint32_t stencil) override;

private:
    struct Stream {
        QuillD3D::IVertexBuffer* buffer = nullptr;
        uint32_t offset = 0;
        uint32_t stride = 0;
        bool known = false;
    };

    // Compares `count` registers from `first` with the cache and stores them; true when every
    // float was known and equal (the call can be dropped).
    bool UpdateConstants(float (*cache)[4], std::bitset<kVertexConstants>& known, uint32_t first, const float* data,
                         uint32_t count);

    QuillD3D::IDevice* device_;
    bool force_;

    uint32_t fvf_ = 0;
    bool fvfKnown_ = false;
    QuillD3D::IIndexBuffer* indices_ = nullptr;
    bool indicesKnown_ = false;
    Stream streams_[kStreams];
    QuillD3D::IPixelShader* pixelShader_ = nullptr;
    bool pixelShaderKnown_ = false;
    QuillD3D::IVertexShader* vertexShader_ = nullptr;
    bool vertexShaderKnown_ = false;
    float pixelConstants_[kPixelConstants][4] = {};
    std::bitset<kVertexConstants> pixelConstantKnown_; // only the first kPixelConstants are used
    float vertexConstants_[kVertexConstants][4] = {};
    std::bitset<kVertexConstants> vertexConstantKnown_;
    uint32_t renderStates_[kRenderStates] = {};
    std::bitset<kRenderStates> renderStateKnown_;
    uint32_t samplerStates_[kSamplers][kSamplerStates] = {};
    std::bitset<kSamplers * kSamplerStates> samplerStateKnown_;
    QuillD3D::ITexture* textures_[kTextureStages] = {};
    std::bitset<kTextureStages> textureKnown_;
    uint32_t stageStates_[kStageStateStages][kStageStates] = {};
    std::bitset<kStageStateStages * kStageStates> stageStateKnown_;
    Transform2D transforms_[kTransformSlots];
};

// State groups the sprite-drawing code sets together.

// Sampler 0's magnification, minification and mip filters.
inline void SetFilter(IRenderManagerContext& c, uint32_t filter)
{
    c.SetSamplerState(0, QuillD3D::SampMagFilter, filter);
    c.SetSamplerState(0, QuillD3D::SampMinFilter, filter);
    c.SetSamplerState(0, QuillD3D::SampMipFilter, filter);
}

// Stage 0's colour and alpha combiners, set alike.
inline void SetStage0(IRenderManagerContext& c, uint32_t op, uint32_t arg1, uint32_t arg2)
{
    c.SetTextureStageState(0, QuillD3D::TssColorOp, op);
    c.SetTextureStageState(0, QuillD3D::TssColorArg1, arg1);
    c.SetTextureStageState(0, QuillD3D::TssColorArg2, arg2);
    c.SetTextureStageState(0, QuillD3D::TssAlphaOp, op);
    c.SetTextureStageState(0, QuillD3D::TssAlphaArg1, arg1);
    c.SetTextureStageState(0, QuillD3D::TssAlphaArg2, arg2);
}

} // namespace QuillEngine
