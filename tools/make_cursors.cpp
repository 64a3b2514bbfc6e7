// Writes the sample cursor pictures: 32x32, 32-bit TGA with alpha, rows from the top. Our own
// drawing: an arrow with a dark outline and a pointing hand's simpler cousin, a round "look" ring.
//
//     make_cursors <output folder>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 32;

struct Picture {
    std::vector<uint32_t> argb = std::vector<uint32_t>(kSide * kSide, 0);
    void Set(int x, int y, uint32_t c)
    {
        if (x >= 0 && y >= 0 && x < kSide && y < kSide)
            argb[y * kSide + x] = c;
    }
    uint32_t Get(int x, int y) const { return argb[y * kSide + x]; }
};

// Inside the arrow: a triangle from the tip (0,0) down the left edge, plus a short tail.
bool InArrow(int x, int y)
{
    if (y < 22 && x <= y * 0.62)
        return true;
    return y >= 14 && y < 28 && x >= 5 + (y - 14) / 3 && x <= 8 + (y - 14) / 3;
}

Picture Arrow()
{
    Picture p;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            if (InArrow(x, y))
                p.Set(x, y, 0xFFF4EEDCu - static_cast<uint32_t>(y) * 0x00020202u);
    // A one-pixel dark outline around everything drawn.
    Picture out = p;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            if (p.Get(x, y) != 0)
                continue;
            bool edge = false;
            for (int dy = -1; dy <= 1 && !edge; ++dy)
                for (int dx = -1; dx <= 1 && !edge; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    edge = nx >= 0 && ny >= 0 && nx < kSide && ny < kSide && p.Get(nx, ny) != 0;
                }
            if (edge)
                out.Set(x, y, 0xFF2A1C3Au);
        }
    return out;
}

Picture Ring()
{
    Picture p;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double d = std::hypot(x - 15.5, y - 15.5);
            if (d >= 9.0 && d < 12.0)
                p.Set(x, y, 0xFFE8C15Au);
            else if (d >= 8.0 && d < 13.0)
                p.Set(x, y, 0xC02A1C3Au);
            else if (d < 2.0)
                p.Set(x, y, 0xFFE8C15Au);
        }
    return p;
}

bool WriteTga(const std::string& path, const Picture& p)
{
    uint8_t header[18] = {};
    header[2] = 2; // uncompressed true colour
    header[12] = kSide;
    header[14] = kSide;
    header[16] = 32;
    header[17] = 0x28; // 8 alpha bits, rows from the top
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    for (uint32_t c : p.argb) {
        const uint8_t bgra[4] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16),
                                 static_cast<uint8_t>(c >> 24)};
        ok = ok && std::fwrite(bgra, 1, 4, f) == 4;
    }
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_cursors <output folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = WriteTga(folder + "/Arrow.tga", Arrow()) && WriteTga(folder + "/Look.tga", Ring());
    if (!ok) {
        std::fprintf(stderr, "cannot write the cursor pictures into %s\n", folder.c_str());
        return 1;
    }
    std::printf("wrote Arrow.tga and Look.tga into %s\n", folder.c_str());
    return 0;
}
