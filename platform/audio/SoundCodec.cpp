#include "platform/audio/SoundCodec.h"

#include <algorithm>
#include <cstring>

#include <sndfile.h>

namespace QuillPlatform::Audio {

namespace {

// A read-only or growing in-memory file for libsndfile's virtual I/O.
struct MemoryFile {
    const uint8_t* data = nullptr;
    sf_count_t size = 0;
    sf_count_t position = 0;
    std::vector<uint8_t>* sink = nullptr; // set when writing
};

sf_count_t MemLength(void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    return f->sink ? static_cast<sf_count_t>(f->sink->size()) : f->size;
}

sf_count_t MemSeek(sf_count_t offset, int whence, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = f->position;
    else if (whence == SEEK_END)
        base = MemLength(user);
    else if (whence != SEEK_SET)
        return -1;
    const sf_count_t target = base + offset;
    // Reading never moves past the end; writing may (the gap is zero-filled on the next write).
    if (target < 0 || (!f->sink && target > f->size))
        return -1;
    f->position = target;
    return target;
}

sf_count_t MemRead(void* ptr, sf_count_t count, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    const uint8_t* bytes = f->sink ? f->sink->data() : f->data;
    const sf_count_t length = MemLength(user);
    if (count <= 0 || f->position >= length)
        return 0;
    const sf_count_t n = std::min(count, length - f->position);
    std::memcpy(ptr, bytes + f->position, static_cast<size_t>(n));
    f->position += n;
    return n;
}

sf_count_t MemWrite(const void* ptr, sf_count_t count, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    if (!f->sink || count <= 0)
        return 0;
    const size_t end = static_cast<size_t>(f->position + count);
    if (f->sink->size() < end)
        f->sink->resize(end);
    std::memcpy(f->sink->data() + f->position, ptr, static_cast<size_t>(count));
    f->position += count;
    return count;
}

sf_count_t MemTell(void* user)
{
    return static_cast<MemoryFile*>(user)->position;
}

SF_VIRTUAL_IO VirtualIo()
{
    SF_VIRTUAL_IO io{};
    io.get_filelen = MemLength;
    io.seek = MemSeek;
    io.read = MemRead;
    io.write = MemWrite;
    io.tell = MemTell;
    return io;
}

int MajorFormat(SoundFileFormat format)
{
    switch (format) {
    case SoundFileFormat::Wav:
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case SoundFileFormat::OggVorbis:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case SoundFileFormat::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case SoundFileFormat::Mp3:
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    return 0;
}

} // namespace

const char* ResultText(Result result)
{
    switch (result) {
    case Result::Ok:
        return "ok";
    case Result::InvalidHandle:
        return "invalid handle";
    case Result::ChannelStolen:
        return "channel stolen";
    case Result::InvalidParam:
        return "invalid parameter";
    case Result::Format:
        return "unsupported or corrupt sound data";
    case Result::OutOfResources:
        return "out of resources";
    case Result::Output:
        return "output device failed";
    case Result::NotReady:
        return "not initialised";
    }
    return "unknown";
}

Result DecodeSound(const uint8_t* data, size_t size, DecodedSound& out)
{
    out = DecodedSound{};
    if (!data || size == 0)
        return Result::Format;
    MemoryFile file;
    file.data = data;
    file.size = static_cast<sf_count_t>(size);
    SF_VIRTUAL_IO io = VirtualIo();
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!sf)
        return Result::Format;

    Result result = Result::Ok;
    if (info.channels < 1 || info.channels > kMaxFileChannels || info.samplerate < kMinSampleRate ||
        info.samplerate > kMaxSampleRate) {
        result = Result::Format;
    } else {
        const int keep = std::min(info.channels, 2);
        // Lossy decoders produce floats; out-of-range peaks clip instead of wrapping around.
        sf_command(sf, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        // The header's frame count is a hint only: it is trusted for a reservation when it is
        // plausible for the input size, and decoding stops at the cap whatever it says.
        if (info.frames > 0) {
            const size_t hinted = static_cast<size_t>(info.frames) * static_cast<size_t>(keep);
            if (hinted <= kMaxDecodedSamples && hinted / 64 <= size)
                out.samples.reserve(hinted);
        }
        constexpr sf_count_t kChunkFrames = 16384;
        std::vector<int16_t> chunk(static_cast<size_t>(kChunkFrames * info.channels));
        for (;;) {
            const sf_count_t got = sf_readf_short(sf, chunk.data(), kChunkFrames);
            if (got <= 0)
                break;
            const size_t add = static_cast<size_t>(got) * static_cast<size_t>(keep);
            if (out.samples.size() + add > kMaxDecodedSamples) {
                result = Result::OutOfResources;
                break;
            }
            if (keep == info.channels) {
                out.samples.insert(out.samples.end(), chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(add));
            } else {
                for (sf_count_t i = 0; i < got; ++i)
                    for (int c = 0; c < keep; ++c)
                        out.samples.push_back(chunk[static_cast<size_t>(i * info.channels + c)]);
            }
        }
        if (result == Result::Ok && out.samples.empty())
            result = Result::Format;
        if (result == Result::Ok) {
            out.channels = keep;
            out.sampleRate = info.samplerate;
            out.frames = static_cast<uint32_t>(out.samples.size() / static_cast<size_t>(keep));
            out.samples.shrink_to_fit();
        }
    }
    sf_close(sf);
    if (result != Result::Ok)
        out = DecodedSound{};
    return result;
}

bool CanEncode(SoundFileFormat format)
{
    const int major = MajorFormat(format);
    if (major == 0)
        return false;
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = 44100;
    info.format = major;
    return sf_format_check(&info) != 0;
}

bool EncodeSound(SoundFileFormat format, const float* samples, uint32_t frames, int channels, int sampleRate,
                 std::vector<uint8_t>& out, double quality)
{
    out.clear();
    if (!samples || frames == 0 || channels < 1 || channels > 2 || !CanEncode(format))
        return false;
    MemoryFile file;
    file.sink = &out;
    SF_VIRTUAL_IO io = VirtualIo();
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = MajorFormat(format);
    SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!sf)
        return false;
    if (quality >= 0 && (format == SoundFileFormat::OggVorbis || format == SoundFileFormat::Mp3))
        sf_command(sf, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    const sf_count_t written = sf_writef_float(sf, samples, frames);
    const bool ok = sf_close(sf) == 0 && written == static_cast<sf_count_t>(frames);
    if (!ok)
        out.clear();
    return ok;
}

} // namespace QuillPlatform::Audio
