#pragma once
// Construction of the two back ends' devices, used by the factory.

#include <string>

#include "platform/d3d/DeviceBase.h"

namespace QuillD3D::Detail {

CDeviceBase* NewSoftDevice(const AdapterInfo& adapter, const PresentParameters& params);
CDeviceBase* NewGlDevice(const AdapterInfo& adapter, const PresentParameters& params);

struct GlProbe {
    bool available = false;
    std::string vendor;
    std::string renderer;
    std::string version;
    uint32_t maxTextureSize = 0;
};
// Makes a throw-away OpenGL 3.3 core context once per process and reports what it found.
const GlProbe& ProbeGl();

} // namespace QuillD3D::Detail
