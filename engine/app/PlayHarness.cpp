#include "engine/app/PlayHarness.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <png.h>

#include "engine/app/EngineManager.h"
#include "engine/app/PlayFeedbackSink.h"
#include "engine/app/RenderWindow.h"
#include "engine/core/EngineRand.h"
#include "engine/core/FrameTimer.h"
#include "engine/core/console/Console.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/text/TextRenderer.h"
#include "platform/d3d/D3dInterfaces.h"
#include "platform/system/Clock.h"
#include "platform/system/ProcessSignals.h"
#include "platform/window/InjectedInput.h"

namespace QuillEngine {

namespace {

namespace fs = std::filesystem;
using QuillPlatform::InjectedInput;

constexpr uint32_t kDefaultSeed = 1;

const char* Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

bool ParseWhole(const std::string& text, uint64_t max, uint32_t& out)
{
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > max)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

constexpr uint32_t kMaxFrameEvery = 1000;

// A switch variable: unset (off) or "1" (on); anything else is refused.
bool OnSwitch(const char* name, bool& on, std::string& error)
{
    const char* value = Variable(name);
    on = value != nullptr;
    if (value && std::string(value) != "1") {
        error = std::string(name) + " is not \"1\": \"" + value + "\"";
        return false;
    }
    return true;
}

std::string Absolute(const std::string& path)
{
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

} // namespace

std::unique_ptr<PlayHarness> PlayHarness::FromEnvironment(std::string& error)
{
    error.clear();
    const char* script = Variable("QUILL_PLAY_SCRIPT");
    const char* seedText = Variable("QUILL_PLAY_SEED");
    const char* log = Variable("QUILL_FEEDBACK_LOG");
    if (!script && !seedText && !log)
        return nullptr;

    std::unique_ptr<PlayHarness> harness(new PlayHarness());
    uint32_t seed = kDefaultSeed;
    if (seedText && !ParseWhole(seedText, 0xFFFFFFFFull, seed)) {
        error = std::string("QUILL_PLAY_SEED is not a whole number from 0 to 4294967295: \"") + seedText + "\"";
        return nullptr;
    }
    if (const char* frames = Variable("QUILL_PLAY_FRAMES");
        frames && (!ParseWhole(frames, kMaxFrameEvery, harness->frameEvery_) || harness->frameEvery_ == 0)) {
        error = std::string("QUILL_PLAY_FRAMES is not a whole number from 1 to 1000: \"") + frames + "\"";
        return nullptr;
    }
    if (!OnSwitch("QUILL_PLAY_WHOLE_FRAMES", harness->wholeFrames_, error) ||
        !OnSwitch("QUILL_PLAY_LOOP_FRAMES", harness->loopFrames_, error))
        return nullptr;
    if (harness->loopFrames_ && harness->frameEvery_ > 1) {
        error = "QUILL_PLAY_LOOP_FRAMES leaves drawing to the main loop: it cannot go with QUILL_PLAY_FRAMES";
        return nullptr;
    }
    if (script) {
        harness->scriptPath_ = Absolute(script);
        harness->scriptFolder_ = fs::path(harness->scriptPath_).parent_path().string();
        if (!harness->script_.Load(harness->scriptPath_, error))
            return nullptr;
        harness->fixedClock_ = true;
    }
    if (log && !PlayFeedbackSink::Open(Absolute(log))) {
        error = std::string("QUILL_FEEDBACK_LOG cannot be written: \"") + log + "\"";
        return nullptr;
    }
    if (script || seedText)
        FixSeed(seed);
    s_now = 0;
    s_live = false;
    InjectedInput::Reset();
    return harness;
}

PlayHarness::~PlayHarness()
{
    PlayFeedbackSink::Close();
    ReleaseSeed();
}

uint64_t PlayHarness::Counter()
{
    // Live, the counter runs on from the fixed clock's last value at the wall clock's pace.
    if (s_live)
        return s_now + (QuillPlatform::MonotonicNanoseconds() - s_liveSinceNs) * (kFrequency / 1000000000ull);
    return s_now;
}

void PlayHarness::NoSleep(uint32_t ms)
{
    if (s_live)
        QuillPlatform::SleepMilliseconds(ms);
}

bool PlayHarness::BeforeTick(EngineManager& engine)
{
    if (!fixedClock_ || s_live)
        return false;
    RenderWindow* window = engine.Window();
    if (!focused_ && window && window->IsLive()) {
        // The program's window has the input focus, as a player's has once it is shown; without
        // it the window ignores pointer moves.
        focused_ = true;
        if (!InjectedInput::Focus(window->Native()))
            Fail(nullptr, "SDL refused the focus event");
        return true;
    }
    if (TextRenderer* text = TextRenderer::Instance(); text && text != textClockOwner_) {
        // The rendered-string cache ages its strings by the clock too: game milliseconds here,
        // so a slow run drops the same strings at the same step as a fast one.
        text->SetTickSource([] {
            const FrameTimer* frames = FrameTimer::Instance();
            return frames ? static_cast<uint32_t>(frames->GameTicks() / (kFrequency / 1000)) : 0u;
        });
        textClockOwner_ = text;
    }
    const FrameTimer* timer = engine.GetFrameTimer();
    const uint64_t stepsRun = timer && timer->StepTicks() ? timer->GameTicks() / timer->StepTicks() : 0;
    const auto& commands = script_.Commands();
    if (next_ < commands.size() && commands[next_].step <= stepsRun) {
        const PlayCommand& command = commands[next_++];
        std::string error;
        if (!Run(engine, command, error))
            Fail(&command, error);
        return true;
    }
    s_now += kStepTicks + 1;
    return false;
}

bool PlayHarness::Run(EngineManager& engine, const PlayCommand& command, std::string& error)
{
    using Kind = PlayCommand::Kind;
    using Button = InjectedInput::Button;
    RenderWindow* renderWindow = engine.Window();
    if (command.kind != Kind::Console && command.kind != Kind::Shot && command.kind != Kind::Shown &&
        command.kind != Kind::Quit && command.kind != Kind::Terminate && command.kind != Kind::Wait &&
        command.kind != Kind::Live && !(renderWindow && renderWindow->IsLive())) {
        error = "the program has no window";
        return false;
    }
    bool ok = true;
    switch (command.kind) {
    case Kind::Move:
        ok = InjectedInput::MoveTo(renderWindow->Native(), command.x, command.y);
        break;
    case Kind::Down:
        ok = InjectedInput::Press(renderWindow->Native(), Button::Left, true, command.x, command.y);
        break;
    case Kind::Up:
        ok = InjectedInput::Press(renderWindow->Native(), Button::Left, false, command.x, command.y);
        break;
    case Kind::RightDown:
        ok = InjectedInput::Press(renderWindow->Native(), Button::Right, true, command.x, command.y);
        break;
    case Kind::RightUp:
        ok = InjectedInput::Press(renderWindow->Native(), Button::Right, false, command.x, command.y);
        break;
    case Kind::Key:
        ok = InjectedInput::TypeKey(renderWindow->Native(), command.text);
        break;
    case Kind::Console:
        if (Console* console = engine.GetConsole()) {
            // What the line prints goes to standard output, one "console" line each, so a test
            // can read what the program answered.
            const size_t before = console->Output().size();
            console->Execute(FromUtf8(command.text), false);
            const std::vector<String>& output = console->Output();
            for (size_t i = before < output.size() ? before : output.size(); i < output.size(); ++i)
                std::printf("console\t%s\n", ToUtf8(output[i]).c_str());
            std::fflush(stdout);
            return true;
        }
        error = "the program has no console";
        return false;
    case Kind::Shot:
    case Kind::Shown: {
        fs::path path(command.text);
        if (path.is_relative())
            path = fs::path(scriptFolder_) / path;
        return WriteShot(engine, path.string(), command.kind == Kind::Shown, error);
    }
    case Kind::Quit:
        ok = InjectedInput::RequestQuit();
        break;
    case Kind::Live:
        // Said on standard output, so that whoever started the run knows when to measure.
        std::printf("live\n");
        std::fflush(stdout);
        s_liveSinceNs = QuillPlatform::MonotonicNanoseconds();
        s_live = true;
        return true;
    case Kind::Wait: {
        fs::path path(command.text);
        if (path.is_relative())
            path = fs::path(scriptFolder_) / path;
        return HoldUntilRemoved(path.string(), error);
    }
    case Kind::Terminate:
        ok = QuillPlatform::SendTerminationSignal();
        if (!ok)
            error = "the termination signal could not be sent";
        return ok;
    }
    if (!ok)
        error = "SDL refused the event";
    return ok;
}

bool PlayHarness::HoldUntilRemoved(const std::string& path, std::string& error)
{
    {
        std::FILE* marker = std::fopen(path.c_str(), "w");
        if (!marker) {
            error = "the wait file \"" + path + "\" could not be created";
            return false;
        }
        std::fclose(marker);
    }
    constexpr auto kLongest = std::chrono::seconds(60);
    const auto until = std::chrono::steady_clock::now() + kLongest;
    std::error_code ec;
    while (fs::exists(path, ec)) {
        if (std::chrono::steady_clock::now() > until) {
            error = "nobody removed the wait file \"" + path + "\" within a minute";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool PlayHarness::WriteShot(EngineManager& engine, const std::string& path, bool shown, std::string& error)
{
    CRenderManager* renderer = engine.Renderer();
    QuillD3D::IDevice* device = renderer ? renderer->GetDevice() : nullptr;
    if (!device) {
        error = "no device has drawn a frame";
        return false;
    }
    // With frames thinned out the last one drawn may be old: draw this moment's.
    if (frameEvery_ > 1)
        renderer->RenderFrame(true);
    // The back buffer holds the frame the last pass drew and presented.
    QuillD3D::ISurface* back = nullptr;
    if (QuillD3D::Failed(device->GetBackBuffer(0, 0, QuillD3D::BackBufferMono, &back)) || !back) {
        error = "the device has no back buffer";
        return false;
    }
    QuillD3D::SurfaceDesc desc{};
    back->GetDesc(&desc);
    const uint32_t width = desc.width, height = desc.height;
    const bool alpha = desc.format == QuillD3D::FmtA8R8G8B8;
    QuillD3D::ISurface* copy = nullptr;
    bool read = false;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    if ((alpha || desc.format == QuillD3D::FmtX8R8G8B8) &&
        QuillD3D::Succeeded(
            device->CreateOffscreenPlainSurface(width, height, desc.format, QuillD3D::PoolSystemMem, &copy))) {
        QuillD3D::LockedRect locked{};
        // The back buffer holds what was drawn; what the window shows is only what the presents
        // (whole or in rectangles) copied from it.
        const QuillD3D::Result got =
            shown ? device->GetFrontBufferData(0, copy) : device->GetRenderTargetData(back, copy);
        if (QuillD3D::Succeeded(got) && QuillD3D::Succeeded(copy->LockRect(&locked, nullptr, QuillD3D::LockReadOnly))) {
            const auto* bits = static_cast<const uint8_t*>(locked.bits);
            for (uint32_t y = 0; y < height; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(bits + static_cast<size_t>(y) * locked.pitch);
                for (uint32_t x = 0; x < width; ++x)
                    pixels[static_cast<size_t>(y) * width + x] = row[x] | 0xFF000000u; // as shown: opaque
            }
            copy->UnlockRect();
            read = true;
        }
        copy->Release();
    }
    back->Release();
    if (!read) {
        error = shown ? "the device cannot read back what its window shows" : "the frame could not be read back";
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_BGRA;
    if (png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) == 0) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

void PlayHarness::Fail(const PlayCommand* command, const std::string& why)
{
    if (command)
        std::fprintf(stderr, "%s, line %d: %s\n", scriptPath_.c_str(), command->line, why.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", scriptPath_.c_str(), why.c_str());
    std::fflush(stderr);
    PlayFeedbackSink::Close();
    std::_Exit(kExitPlayFailed);
}

} // namespace QuillEngine
