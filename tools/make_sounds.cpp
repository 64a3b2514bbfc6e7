// Writes the sample sounds of data/input/Audio: short melodies for the music classes, ambient
// beds and interface effects, all synthesised here (sines with harmonics, envelopes, filtered
// noise from the engine's own generator). Usage: make_sounds [output folder]

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "engine/core/EngineRand.h"
#include "platform/audio/SoundCodec.h"

namespace fs = std::filesystem;
namespace pa = QuillPlatform::Audio;

namespace {

constexpr int kRate = 22050;
constexpr double kPi = std::numbers::pi;

struct Note {
    int semitone; // from A4; -100 is a rest
    double beats;
};

double Frequency(int semitone)
{
    return 440.0 * std::pow(2.0, semitone / 12.0);
}

// A plucked or bowed voice: a few harmonics under an attack/decay envelope.
void AddTone(std::vector<float>& out, size_t start, double seconds, double hz, double level, double attack,
             double decay, double brightness)
{
    const size_t n = static_cast<size_t>(seconds * kRate);
    for (size_t i = 0; i < n && start + i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double env = std::min(1.0, t / attack) * std::exp(-t / decay) * std::min(1.0, (seconds - t) * 40.0);
        double s = 0;
        double amp = 1.0;
        for (int h = 1; h <= 4; ++h, amp *= brightness)
            s += amp * std::sin(2.0 * kPi * hz * h * t);
        out[start + i] += static_cast<float>(level * env * s);
    }
}

std::vector<float> Melody(const std::vector<Note>& notes, double bpm, int transpose, double brightness,
                          const std::vector<int>& bass)
{
    const double beat = 60.0 / bpm;
    double total = 0;
    for (const Note& n : notes)
        total += n.beats;
    std::vector<float> out(static_cast<size_t>(total * beat * kRate) + kRate / 2, 0.0f);
    double at = 0;
    for (const Note& n : notes) {
        if (n.semitone > -100)
            AddTone(out, static_cast<size_t>(at * beat * kRate), n.beats * beat * 1.4,
                    Frequency(n.semitone + transpose), 0.22, 0.01, n.beats * beat * 0.9, brightness);
        at += n.beats;
    }
    // A slow bass line, one note per bar of four beats.
    for (size_t bar = 0; bar < bass.size(); ++bar)
        AddTone(out, static_cast<size_t>(bar * 4 * beat * kRate), 4 * beat, Frequency(bass[bar] + transpose - 24), 0.12,
                0.05, 3 * beat, 0.3);
    return out;
}

// Brown-ish noise through a gentle low-pass, with a slow swell: wind, a room, a garden.
std::vector<float> Ambient(double seconds, double cutoffHz, double swellHz, double level)
{
    std::vector<float> out(static_cast<size_t>(seconds * kRate));
    double low = 0, walk = 0;
    const double a = std::exp(-2.0 * kPi * cutoffHz / kRate);
    for (size_t i = 0; i < out.size(); ++i) {
        const double white = QuillEngine::Rand() / 16383.5 - 1.0;
        walk = 0.98 * walk + 0.02 * white;
        low = a * low + (1.0 - a) * (white * 0.3 + walk * 3.0);
        const double t = static_cast<double>(i) / kRate;
        // Whole cycles of the swell over the length, so the loop joins without a step.
        const double swell = 0.6 + 0.4 * std::sin(2.0 * kPi * swellHz * t);
        out[i] = static_cast<float>(level * low * swell);
    }
    // Cross-fade the ends so the loop point is seamless.
    const size_t fade = kRate / 4;
    for (size_t i = 0; i < fade; ++i) {
        const float w = static_cast<float>(i) / fade;
        out[i] = out[i] * w + out[out.size() - fade + i] * (1.0f - w);
    }
    out.resize(out.size() - fade);
    return out;
}

std::vector<float> Chirp(double seconds, double fromHz, double toHz, double level)
{
    std::vector<float> out(static_cast<size_t>(seconds * kRate));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / out.size();
        phase += 2.0 * kPi * (fromHz + (toHz - fromHz) * t) / kRate;
        const double env = std::min(1.0, t * 40.0) * (1.0 - t);
        out[i] = static_cast<float>(level * env * (std::sin(phase) + 0.3 * std::sin(2 * phase)));
    }
    return out;
}

std::vector<float> Arpeggio(const std::vector<int>& semitones, double step, double tail, double level,
                            double brightness)
{
    std::vector<float> out(static_cast<size_t>((semitones.size() * step + tail) * kRate), 0.0f);
    for (size_t i = 0; i < semitones.size(); ++i)
        AddTone(out, static_cast<size_t>(i * step * kRate), step + tail, Frequency(semitones[i]), level, 0.005,
                tail * 0.5, brightness);
    return out;
}

std::vector<float> Rustle(double seconds, double level)
{
    std::vector<float> out(static_cast<size_t>(seconds * kRate));
    double low = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / out.size();
        const double white = QuillEngine::Rand() / 16383.5 - 1.0;
        low = 0.7 * low + 0.3 * white;
        out[i] = static_cast<float>(level * (white - low) * std::sin(kPi * t));
    }
    return out;
}

void Normalise(std::vector<float>& s, float peak);

// A small bird's call: quick rising-and-falling whistles with a fast trill, a few in a row.
void AddTweet(std::vector<float>& out, size_t start, double baseHz, int notes, double level)
{
    const double note = 0.075, gap = 0.04;
    for (int k = 0; k < notes; ++k) {
        const size_t at = start + static_cast<size_t>(k * (note + gap) * kRate);
        const size_t n = static_cast<size_t>(note * kRate);
        double phase = 0;
        const double hz = baseHz * (1.0 + 0.08 * (k % 2));
        for (size_t i = 0; i < n && at + i < out.size(); ++i) {
            const double t = static_cast<double>(i) / n;
            const double sweep = hz * (1.0 + 0.35 * std::sin(kPi * t)) * (1.0 + 0.03 * std::sin(2 * kPi * 60 * t * note));
            phase += 2.0 * kPi * sweep / kRate;
            const double env = std::sin(kPi * t);
            out[at + i] += static_cast<float>(level * env * env * std::sin(phase));
        }
    }
}

std::vector<float> Tweets(double seconds, double baseHz, int notes)
{
    std::vector<float> out(static_cast<size_t>(seconds * kRate), 0.0f);
    AddTweet(out, 0, baseHz, notes, 1.0);
    return out;
}

// An ambient bed with birds calling now and then, kept clear of the loop's cross-fade.
std::vector<float> Garden(double seconds)
{
    std::vector<float> out = Ambient(seconds, 700, 0.5, 1.0);
    Normalise(out, 0.12f);
    const double calls[][3] = {{0.4, 3100, 4}, {1.7, 2600, 3}, {2.6, 3500, 5}, {4.1, 2900, 2}, {5.0, 3300, 3}};
    for (const auto& c : calls)
        AddTweet(out, static_cast<size_t>(c[0] * kRate), c[1], static_cast<int>(c[2]), 0.3);
    return out;
}

void Normalise(std::vector<float>& s, float peak)
{
    float top = 0;
    for (float v : s)
        top = std::max(top, std::abs(v));
    if (top > 0)
        for (float& v : s)
            v *= peak / top;
}

bool Write(const fs::path& folder, const std::string& name, pa::SoundFileFormat format, std::vector<float> samples,
           float peak, size_t& total)
{
    Normalise(samples, peak);
    std::vector<uint8_t> bytes;
    if (!pa::EncodeSound(format, samples.data(), static_cast<uint32_t>(samples.size()), 1, kRate, bytes, 0.1)) {
        std::fprintf(stderr, "make_sounds: cannot encode %s\n", name.c_str());
        return false;
    }
    const fs::path path = folder / name;
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::fprintf(stderr, "make_sounds: cannot write %s\n", path.string().c_str());
        return false;
    }
    total += bytes.size();
    std::printf("%-28s %7zu bytes\n", name.c_str(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::path("data/input/Audio");
    QuillEngine::Srand(20261208);
    using F = pa::SoundFileFormat;
    size_t total = 0;
    bool ok = true;
    auto write = [&](const std::string& name, pa::SoundFileFormat format, std::vector<float> samples, float peak) {
        ok = Write(folder, name, format, std::move(samples), peak, total) && ok;
    };

    // Music: four short pieces and a march, each a loop-friendly phrase.
    const std::vector<Note> serenade = {{0, 1}, {4, 1}, {7, 1},  {12, 2}, {11, 1}, {7, 1}, {9, 2},
                                        {5, 1}, {9, 1}, {12, 1}, {14, 2}, {12, 1}, {7, 3}};
    const std::vector<Note> rondeau = {{7, 0.5}, {9, 0.5},  {11, 1},  {7, 1}, {4, 1}, {7, 0.5}, {9, 0.5}, {11, 1},
                                       {12, 2},  {11, 0.5}, {9, 0.5}, {7, 1}, {4, 1}, {2, 1},   {0, 2}};
    const std::vector<Note> cantilena = {{-3, 2}, {0, 1}, {4, 1}, {2, 2}, {-1, 2}, {0, 1}, {2, 1}, {4, 3}, {-100, 1}};
    const std::vector<Note> nocturne = {{-5, 1.5}, {-1, 0.5}, {2, 2}, {1, 1}, {-1, 1}, {-3, 2}, {-5, 1}, {-8, 3}};
    const std::vector<Note> march = {{0, 1},   {0, 0.5}, {0, 0.5}, {0, 1}, {4, 1}, {7, 1},
                                     {7, 0.5}, {5, 0.5}, {4, 1},   {2, 1}, {0, 2}, {-100, 2}};
    write("Music/BackgroundSerenade.ogg", F::OggVorbis, Melody(serenade, 96, -3, 0.35, {0, 5, 2, 0}), 0.7f);
    write("Music/BackgroundRondeau.ogg", F::OggVorbis, Melody(rondeau, 120, 0, 0.45, {0, 7, 5, 0}), 0.7f);
    write("Music/BackgroundCantilena.ogg", F::OggVorbis, Melody(cantilena, 72, 0, 0.25, {-3, 2, 4}), 0.7f);
    write("Music/BackgroundNocturne.ogg", F::OggVorbis, Melody(nocturne, 66, -2, 0.2, {-5, -3, -8}), 0.7f);
    write("Music/WeddingMarch.ogg", F::OggVorbis, Melody(march, 108, 3, 0.5, {0, 5, 7}), 0.75f);

    // Ambient beds, looped by the boards.
    write("Ambient/Environment1.ogg", F::OggVorbis, Ambient(4.25, 600, 0.5, 1.0), 0.35f);
    write("Ambient/Environment2.ogg", F::OggVorbis, Ambient(4.25, 1500, 1.0, 1.0), 0.3f);

    // Effects.
    write("Effects/Click.wav", F::Wav, Chirp(0.04, 2200, 1200, 1.0), 0.6f);
    write("Effects/IncorrectItem.wav", F::Wav, Chirp(0.25, 300, 180, 1.0), 0.6f);
    write("Effects/CrisisAlert.flac", F::Flac, Arpeggio({7, 6, 7, 6}, 0.09, 0.1, 0.3, 0.6), 0.7f);
    write("Effects/MatchTime.wav", F::Wav, Arpeggio({12, 19}, 0.06, 0.12, 0.3, 0.3), 0.6f);
    write("Effects/Match.flac", F::Flac, Arpeggio({7, 12}, 0.07, 0.15, 0.3, 0.3), 0.6f);
    write("Effects/MatchWild.flac", F::Flac, Arpeggio({7, 11, 14, 19}, 0.05, 0.15, 0.3, 0.3), 0.6f);
    write("Effects/PageTurn.flac", F::Flac, Rustle(0.3, 1.0), 0.5f);
    write("Effects/Choice1.wav", F::Wav, Arpeggio({3}, 0.05, 0.15, 0.3, 0.4), 0.6f);
    write("Effects/Choice2.wav", F::Wav, Arpeggio({7}, 0.05, 0.15, 0.3, 0.4), 0.6f);
    write("Effects/Choice3.wav", F::Wav, Arpeggio({10}, 0.05, 0.15, 0.3, 0.4), 0.6f);
    write("Effects/LevelWon.flac", F::Flac, Arpeggio({0, 4, 7, 12, 16}, 0.1, 0.35, 0.3, 0.4), 0.7f);
    write("Effects/LevelLost.flac", F::Flac, Arpeggio({7, 3, 0, -5}, 0.15, 0.5, 0.3, 0.3), 0.7f);
    write("Effects/SceneComplete.flac", F::Flac, Arpeggio({0, 7, 12, 19, 24}, 0.08, 0.4, 0.3, 0.5), 0.7f);
    write("Effects/CrisisAverted.flac", F::Flac, Arpeggio({5, 9, 12}, 0.12, 0.4, 0.3, 0.4), 0.7f);

    // Board, book and story effects. Kept after the older ones so those keep their samples (they share
    // one random sequence); every one peaks at half scale, about -6 dBFS.
    write("Ambient/Environment3.ogg", F::OggVorbis, Garden(6.25), 0.45f);
    write("Effects/TimeWarning.wav", F::Wav, Arpeggio({-9, -9, -9}, 0.3, 0.25, 0.3, 0.2), 0.5f);
    write("Effects/FindItem.wav", F::Wav, Arpeggio({12, 19, 24}, 0.05, 0.45, 0.3, 0.35), 0.5f);
    write("Effects/HintStart.wav", F::Wav, Arpeggio({7, 12, 16, 19}, 0.05, 0.35, 0.3, 0.45), 0.5f);
    write("Effects/HintEnd.wav", F::Wav, Arpeggio({19, 16, 12}, 0.05, 0.3, 0.3, 0.3), 0.5f);
    write("Effects/BluebirdThreshold.flac", F::Flac, Tweets(0.6, 3000, 5), 0.5f);
    write("Effects/BluebirdFound.wav", F::Wav, Tweets(0.4, 3400, 3), 0.5f);
    write("Effects/LevelStart.flac", F::Flac, Arpeggio({0, 4, 7, 12}, 0.11, 0.5, 0.3, 0.4), 0.5f);
    write("Effects/MatchFlip.wav", F::Wav, Rustle(0.12, 1.0), 0.5f);
    write("Effects/ChoiceMade.wav", F::Wav, Arpeggio({7, 12}, 0.07, 0.35, 0.3, 0.35), 0.5f);
    write("Effects/StoryConclusion.flac", F::Flac, Arpeggio({0, 4, 7, 11, 12, 16}, 0.12, 0.6, 0.3, 0.4), 0.5f);

    std::printf("total %zu bytes\n", total);
    return ok ? 0 : 1;
}
