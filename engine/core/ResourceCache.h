#pragma once
// Seam: the resource cache until resources and textures land; nothing is cached yet.

namespace QuillEngine {

class ResourceCache {
public:
    bool Init() { return true; }
};

} // namespace QuillEngine
