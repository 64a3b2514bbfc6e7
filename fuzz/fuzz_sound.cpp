// Arbitrary bytes as a sound file, decoded through libsndfile with our own limits: the channel
// cap (more than two channels fold to the first two), the rate range and the decoded-size cap.

#include "platform/audio/SoundCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QuillPlatform::Audio::DecodedSound sound;
    if (QuillPlatform::Audio::DecodeSound(data, size, sound) != QuillPlatform::Audio::Result::Ok)
        return 0;
    if (sound.channels < 1 || sound.channels > 2 || sound.frames == 0 ||
        sound.sampleRate < QuillPlatform::Audio::kMinSampleRate || sound.sampleRate > QuillPlatform::Audio::kMaxSampleRate ||
        sound.samples.size() != static_cast<size_t>(sound.frames) * sound.channels ||
        sound.samples.size() > QuillPlatform::Audio::kMaxDecodedSamples)
        std::abort();
    return 0;
}
