#pragma once
// Signal helpers of the mixer: the peaking-equaliser biquad and the magnitude spectrum.

#include <cstdint>

#include "platform/audio/AudioTypes.h"

namespace QuillPlatform::Audio {

// A peaking filter: gain `gain` (linear) at `centre` Hz, falling back to unity either side over
// `bandwidthOctaves`. A centre at or above 0.45 of the sample rate makes the filter a pass-through.
struct PeakingBiquad {
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

    void Design(float centre, float bandwidthOctaves, float gain, uint32_t sampleRate);
    bool IsIdentity() const { return b0 == 1 && b1 == 0 && b2 == 0 && a1 == 0 && a2 == 0; }
};

// Direct form I state of one audio channel.
struct BiquadState {
    float x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    float Process(const PeakingBiquad& f, float x)
    {
        const float y = f.b0 * x + f.b1 * x1 + f.b2 * x2 - f.a1 * y1 - f.a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        // Flush denormals, which make the recursion crawl on a decaying tail.
        y1 = (y > -1e-20f && y < 1e-20f) ? 0.0f : y;
        return y;
    }
};

// Magnitude spectrum of the last 2 * `count` samples of `history` (oldest first): `count` values
// from 0 Hz up to just below half the sample rate, scaled so that a full-scale sine centred on a
// bin gives about 1 there (rectangular window). `count` must be a power of two no larger than
// kMaxSpectrumValues; `scratch` holds 4 * `count` floats.
void MagnitudeSpectrum(const float* history, int count, SpectrumWindow window, float* scratch, float* values);

} // namespace QuillPlatform::Audio
