#pragma once
// Decoding of sound files held in memory (WAV, Ogg Vorbis, FLAC, MP3 and whatever else the
// installed libsndfile reads) into 16-bit PCM, and encoding of PCM into those formats.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/AudioTypes.h"

namespace QuillPlatform::Audio {

// Decoded sounds longer than this many samples (all channels counted) are refused.
constexpr size_t kMaxDecodedSamples = size_t{128} * 1024 * 1024;
constexpr int kMaxFileChannels = 8;
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 384000;

struct DecodedSound {
    std::vector<int16_t> samples; // interleaved; 1 or 2 channels
    int channels = 0;
    int sampleRate = 0;
    uint32_t frames = 0;
};

// Files with more than two channels keep their first two. Fails with Format on unreadable
// data, zero frames, or a channel count or rate out of range; with OutOfResources when the
// decoded sound would pass kMaxDecodedSamples.
Result DecodeSound(const uint8_t* data, size_t size, DecodedSound& out);

enum class SoundFileFormat { Wav, OggVorbis, Flac, Mp3 };

// Whether the installed libsndfile can write the format (MP3 needs an encoder it may lack).
bool CanEncode(SoundFileFormat format);
// Encodes interleaved float samples in [-1, 1]. `quality` (0 to 1) sets the lossy coders'
// variable bit rate; negative keeps the library's default. False when the format cannot be
// written.
bool EncodeSound(SoundFileFormat format, const float* samples, uint32_t frames, int channels, int sampleRate,
                 std::vector<uint8_t>& out, double quality = -1.0);

} // namespace QuillPlatform::Audio
