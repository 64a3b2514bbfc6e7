#pragma once
// Shared values of the audio layer.

#include <cstdint>

namespace QuillPlatform::Audio {

enum class Result : int32_t {
    Ok = 0,
    InvalidHandle,  // the channel, group or DSP no longer exists
    ChannelStolen,  // the channel's voice was taken by a newer play
    InvalidParam,   // a value out of its range
    Format,         // the data is no sound file we can read
    OutOfResources, // a pool is full or the sound is too long
    Output,         // the output device could not be opened
    NotReady,       // the system is not initialised
};

const char* ResultText(Result result);

enum class Output {
    NoSound, // no device; channels still advance with the clock in Update
    Device,  // the SDL audio device
};

enum class SpectrumWindow { Rectangular, Hann };

// Why a channel's end callback ran.
enum class EndReason { Finished, Stolen };

// The mixer's output: interleaved float stereo.
constexpr int kOutputChannels = 2;
constexpr uint32_t kDefaultOutputRate = 48000;
// Voices are allocated at Init; the count is clamped to this.
constexpr uint32_t kMaxChannels = 1024;
constexpr int kMaxDspsPerChannel = 10;
// Spectrum requests take a power of two in [kMinSpectrumValues, kMaxSpectrumValues].
constexpr int kMinSpectrumValues = 2;
constexpr int kMaxSpectrumValues = 4096;

// Parameters of the peaking-equaliser DSP.
enum EqParameter : int { kEqCentre = 0, kEqBandwidth = 1, kEqGain = 2 };
constexpr float kEqMinCentre = 20.0f, kEqMaxCentre = 22000.0f;
constexpr float kEqMinBandwidth = 0.2f, kEqMaxBandwidth = 5.0f;
constexpr float kEqMinGain = 0.05f, kEqMaxGain = 3.0f;

} // namespace QuillPlatform::Audio
