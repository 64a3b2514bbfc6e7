#pragma once
// The committed picture set of the decoder tests (written by tools/make_pictures).

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

namespace PictureTest {

inline std::filesystem::path PictureDir()
{
    return QuillTest::SourceRoot() / "tests" / "graphics" / "image" / "pictures";
}

inline std::vector<uint8_t> ReadPicture(const std::string& name)
{
    const std::string text = QuillTest::ReadFile(PictureDir() / name);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Unpacks an image word into its channels.
struct Argb {
    int a, r, g, b;
};

inline Argb Split(uint32_t word)
{
    return {int(word >> 24), int((word >> 16) & 0xFF), int((word >> 8) & 0xFF), int(word & 0xFF)};
}

inline bool Near(const Argb& c, int r, int g, int b, int tolerance)
{
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

} // namespace PictureTest
