#pragma once
// What the benchmarks that run the game share: timing and the textures of a scene.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"

namespace BenchGame {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The value at share `p` (0 to 1) of the sorted values; -1 for none.
inline double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

inline double Median(const std::vector<double>& values)
{
    return Percentile(values, 0.5);
}

// The textures of every picture below `handle`, to unload them for a cold load.
inline void CollectTextures(const QuillEngine::InstanceHandle& handle, std::vector<uint32_t>& out)
{
    using namespace QuillEngine;
    if (Instance_Image* image = HandleEx::ResolveImage(handle))
        out.push_back(image->GetTextureId());
    Instance_Movie* movie = HandleEx::ResolveMovie(handle);
    for (int32_t i = 0; movie && i < movie->GetChildCount(); ++i)
        CollectTextures(movie->GetChild(i), out);
}

} // namespace BenchGame
