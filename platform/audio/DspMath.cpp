#include "platform/audio/DspMath.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace QuillPlatform::Audio {

void PeakingBiquad::Design(float centre, float bandwidthOctaves, float gain, uint32_t sampleRate)
{
    *this = PeakingBiquad{};
    if (sampleRate == 0 || centre >= 0.45f * static_cast<float>(sampleRate) || gain == 1.0f)
        return;
    // The standard peaking design with A = sqrt(gain), so the response at the centre is `gain`.
    const double w0 = 2.0 * std::numbers::pi * centre / sampleRate;
    const double sinW = std::sin(w0), cosW = std::cos(w0);
    const double alpha = sinW * std::sinh(std::numbers::ln2 / 2.0 * bandwidthOctaves * w0 / sinW);
    const double a = std::sqrt(static_cast<double>(gain));
    const double a0 = 1.0 + alpha / a;
    b0 = static_cast<float>((1.0 + alpha * a) / a0);
    b1 = static_cast<float>(-2.0 * cosW / a0);
    b2 = static_cast<float>((1.0 - alpha * a) / a0);
    a1 = static_cast<float>(-2.0 * cosW / a0);
    a2 = static_cast<float>((1.0 - alpha / a) / a0);
}

void MagnitudeSpectrum(const float* history, int count, SpectrumWindow window, float* scratch, float* values)
{
    const int n = 2 * count;
    float* re = scratch;
    float* im = scratch + n;
    double windowSum = 0;
    for (int i = 0; i < n; ++i) {
        double w = 1.0;
        if (window == SpectrumWindow::Hann)
            w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (n - 1));
        windowSum += w;
        re[i] = static_cast<float>(history[i] * w);
        im[i] = 0;
    }
    // In-place iterative radix-2 transform.
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (int len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * std::numbers::pi / len;
        const float wr = static_cast<float>(std::cos(angle)), wi = static_cast<float>(std::sin(angle));
        for (int start = 0; start < n; start += len) {
            float cr = 1, ci = 0;
            for (int k = 0; k < len / 2; ++k) {
                const int p = start + k, q = p + len / 2;
                const float tr = re[q] * cr - im[q] * ci;
                const float ti = re[q] * ci + im[q] * cr;
                re[q] = re[p] - tr;
                im[q] = im[p] - ti;
                re[p] += tr;
                im[p] += ti;
                const float nr = cr * wr - ci * wi;
                ci = cr * wi + ci * wr;
                cr = nr;
            }
        }
    }
    const float scale = windowSum > 0 ? static_cast<float>(2.0 / windowSum) : 0.0f;
    for (int k = 0; k < count; ++k)
        values[k] = std::sqrt(re[k] * re[k] + im[k] * im[k]) * scale;
}

} // namespace QuillPlatform::Audio
