#include "engine/graphics/render/RenderManagerContext.h"

#include <cstring>

namespace QuillEngine {

using namespace QuillD3D;

CRenderManagerContext::CRenderManagerContext(IDevice* device, bool force) : device_(device), force_(force) {}

void CRenderManagerContext::MarkAllUnknown()
{
    fvfKnown_ = indicesKnown_ = pixelShaderKnown_ = vertexShaderKnown_ = false;
    for (Stream& s : streams_)
        s.known = false;
    pixelConstantKnown_.reset();
    vertexConstantKnown_.reset();
    renderStateKnown_.reset();
    samplerStateKnown_.reset();
    textureKnown_.reset();
    stageStateKnown_.reset();
}

Result CRenderManagerContext::SetFVF(uint32_t fvf)
{
    if (!force_ && fvfKnown_ && fvf_ == fvf)
        return kOk;
    const Result r = device_->SetFVF(fvf);
    fvf_ = fvf;
    fvfKnown_ = Succeeded(r);
    return r;
}

Result CRenderManagerContext::SetIndices(IIndexBuffer* buffer)
{
    if (!force_ && indicesKnown_ && indices_ == buffer)
        return kOk;
    const Result r = device_->SetIndices(buffer);
    indices_ = buffer;
    indicesKnown_ = Succeeded(r);
    return r;
}

Result CRenderManagerContext::SetStreamSource(uint32_t stream, IVertexBuffer* buffer, uint32_t offset, uint32_t stride)
{
    if (stream >= kStreams)
        return device_->SetStreamSource(stream, buffer, offset, stride);
    Stream& s = streams_[stream];
    if (!force_ && s.known && s.buffer == buffer && s.offset == offset && s.stride == stride)
        return kOk;
    const Result r = device_->SetStreamSource(stream, buffer, offset, stride);
    // A refused binding leaves the device's old one in place: the entry is no longer known.
    s = {buffer, offset, stride, Succeeded(r)};
    return r;
}

Result CRenderManagerContext::SetPixelShader(IPixelShader* shader)
{
    if (!force_ && pixelShaderKnown_ && pixelShader_ == shader)
        return kOk;
    const Result r = device_->SetPixelShader(shader);
    pixelShader_ = shader;
    pixelShaderKnown_ = Succeeded(r);
    return r;
}

Result CRenderManagerContext::SetVertexShader(IVertexShader* shader)
{
    if (!force_ && vertexShaderKnown_ && vertexShader_ == shader)
        return kOk;
    const Result r = device_->SetVertexShader(shader);
    vertexShader_ = shader;
    vertexShaderKnown_ = Succeeded(r);
    return r;
}

bool CRenderManagerContext::UpdateConstants(float (*cache)[4], std::bitset<kVertexConstants>& known, uint32_t first,
                                            const float* data, uint32_t count)
{
    bool same = true;
    for (uint32_t i = 0; i < count; ++i) {
        float* reg = cache[first + i];
        const float* in = data + 4 * i;
        if (!known[first + i] || reg[0] != in[0] || reg[1] != in[1] || reg[2] != in[2] || reg[3] != in[3]) {
            same = false;
            std::memcpy(reg, in, 4 * sizeof(float));
            known[first + i] = true;
        }
    }
    return same;
}

Result CRenderManagerContext::SetPixelShaderConstantF(uint32_t first, const float* data, uint32_t count)
{
    if (!data || first >= kPixelConstants || count > kPixelConstants - first)
        return device_->SetPixelShaderConstantF(first, data, count);
    if (UpdateConstants(pixelConstants_, pixelConstantKnown_, first, data, count) && !force_)
        return kOk;
    return device_->SetPixelShaderConstantF(first, data, count);
}

Result CRenderManagerContext::SetVertexShaderConstantF(uint32_t first, const float* data, uint32_t count)
{
    if (!data || first >= kVertexConstants || count > kVertexConstants - first)
        return device_->SetVertexShaderConstantF(first, data, count);
    if (UpdateConstants(vertexConstants_, vertexConstantKnown_, first, data, count) && !force_)
        return kOk;
    return device_->SetVertexShaderConstantF(first, data, count);
}

Result CRenderManagerContext::SetRenderState(uint32_t state, uint32_t value)
{
    if (state >= kRenderStates)
        return device_->SetRenderState(state, value);
    if (!force_ && renderStateKnown_[state] && renderStates_[state] == value)
        return kOk;
    const Result r = device_->SetRenderState(state, value);
    renderStates_[state] = value;
    renderStateKnown_[state] = Succeeded(r);
    return r;
}

Result CRenderManagerContext::SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value)
{
    if (sampler >= kSamplers || type >= kSamplerStates)
        return device_->SetSamplerState(sampler, type, value);
    const uint32_t bit = sampler * kSamplerStates + type;
    if (!force_ && samplerStateKnown_[bit] && samplerStates_[sampler][type] == value)
        return kOk;
    const Result r = device_->SetSamplerState(sampler, type, value);
    samplerStates_[sampler][type] = value;
    samplerStateKnown_[bit] = Succeeded(r);
    return r;
}

Result CRenderManagerContext::SetTexture(uint32_t stage, ITexture* texture)
{
    if (stage >= kTextureStages)
        return device_->SetTexture(stage, texture);
    if (!force_ && textureKnown_[stage] && textures_[stage] == texture)
        return kOk;
    const Result r = device_->SetTexture(stage, texture);
    textures_[stage] = texture;
    textureKnown_[stage] = Succeeded(r);
    return r;
}

Result CRenderManagerContext::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value)
{
    if (stage >= kStageStateStages || type >= kStageStates)
        return device_->SetTextureStageState(stage, type, value);
    const uint32_t bit = stage * kStageStates + type;
    if (!force_ && stageStateKnown_[bit] && stageStates_[stage][type] == value)
        return kOk;
    const Result r = device_->SetTextureStageState(stage, type, value);
    stageStates_[stage][type] = value;
    stageStateKnown_[bit] = Succeeded(r);
    return r;
}

Result CRenderManagerContext::SetTransform(uint32_t slot, const Transform2D* matrix)
{
    if (slot >= kTransformSlots)
        return kErrInvalidCall;
    transforms_[slot] = matrix ? *matrix : Transform2D::Identity();
    return kOk;
}

Result CRenderManagerContext::GetTransform(uint32_t slot, Transform2D* matrix) const
{
    if (slot >= kTransformSlots || !matrix)
        return kErrInvalidCall;
    *matrix = transforms_[slot];
    return kOk;
}

Result CRenderManagerContext::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t count)
{
    return device_->DrawPrimitive(type, startVertex, count);
}

Result CRenderManagerContext::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                                   uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount)
{
    return device_->DrawIndexedPrimitive(type, baseVertex, minIndex, vertexCount, startIndex, primitiveCount);
}

Result CRenderManagerContext::Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
                                    uint32_t stencil)
{
    return device_->Clear(rectCount, rects, flags, color, z, stencil);
}

} // namespace QuillEngine
