#include "platform/d3d/DrawObserver.h"

#include "platform/d3d/DeviceBase.h"

namespace QuillD3D {

void ObserveDraws(IDevice* device, DrawObserver observer)
{
    static_cast<Detail::CDeviceBase*>(device)->SetDrawObserver(std::move(observer));
}

namespace Detail {

namespace {

bool ReadsTexture(const CombinerTerm& t)
{
    return t.a == Arg::Texture || t.b == Arg::Texture;
}

// Texture times diffuse, or diffuse alone.
bool IsModulateTerm(const CombinerTerm& t)
{
    const auto is = [&](Arg a, Arg b) { return (t.a == a && t.b == b) || (t.a == b && t.b == a); };
    return is(Arg::Texture, Arg::Diffuse) || is(Arg::Diffuse, Arg::White);
}

bool Wraps(uint32_t address)
{
    return address == AddressWrap || address == AddressMirror;
}

} // namespace

void CDeviceBase::Observe(const DrawCall& call) const
{
    if (call.type != PtTriangleList && call.type != PtTriangleStrip && call.type != PtTriangleFan) {
        return;
    }
    ObservedDraw d;
    d.intoBackBuffer = renderTarget_ == backBuffer_;
    CombinerTerm color, alpha;
    StageTerms(&color, &alpha);
    const VertexLayout layout = DescribeFvf(call.fvf);
    CTexture* tex = textures_[0];
    if (tex && layout.texOffset >= 0 && (ReadsTexture(color) || ReadsTexture(alpha))) {
        CSurface* level = tex->Level0();
        d.texture = tex;
        d.bits = level->HasBits() && !level->IsRenderTarget() ? level->Bits() : nullptr;
        d.width = level->Width();
        d.height = level->Height();
        d.pitch = level->Pitch();
        d.format = level->Desc().format;
    }
    d.linear = LinearFilter();
    d.wrapU = Wraps(samplerStates_[0][SampAddressU]);
    d.wrapV = Wraps(samplerStates_[0][SampAddressV]);
    const uint32_t* rs = renderStates_;
    const bool depthWrites = rs[RsZEnable] && rs[RsZWriteEnable];
    d.modulate = IsModulateTerm(color) && IsModulateTerm(alpha) && AlphaTestChangesNothing(rs, depthWrites);
    d.blend = rs[RsAlphaBlendEnable] != 0;
    d.srcBlend = rs[RsSrcBlend];
    d.destBlend = rs[RsDestBlend];

    for (uint32_t p = 0; p < call.primitiveCount; ++p) {
        uint32_t n[3] = {3 * p, 3 * p + 1, 3 * p + 2};
        if (call.type == PtTriangleStrip) {
            n[0] = p;
            n[1] = p + 1 + (p & 1);
            n[2] = p + 2 - (p & 1);
        } else if (call.type == PtTriangleFan) {
            n[0] = 0;
            n[1] = p + 1;
            n[2] = p + 2;
        }
        for (uint32_t k : n) {
            const RasterVertex v = ReadVertex(call, layout, k);
            d.triangles.push_back(ObservedVertex{v.x, v.y, v.color, v.u, v.v});
        }
    }
    observer_(d);
}

} // namespace Detail

} // namespace QuillD3D
