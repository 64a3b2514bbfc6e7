// CPU cost of showing a still 800x600 picture at 60 frames per second in a real window, for each
// device back end: the program starts its own X server (Xvfb), opens a window the way the engine
// does (made for OpenGL), and for three seconds clears and presents once per 1/60 s. The share is
// the process's CPU time (every thread, the GL driver's included) over the wall time, in percent
// of one core. Ends with one RESULT line.

#include <SDL.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/d3d/D3dFactory.h"
#include "platform/process/VirtualDisplay.h"

using namespace QuillD3D;

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Percent of one core while `backend` shows a still picture for `seconds`; negative when the
// back end cannot be made here.
double StillScreenShare(Backend backend, double seconds)
{
    SDL_Window* window = SDL_CreateWindow("bench_present", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600,
                                          SDL_WINDOW_SHOWN | SDL_WINDOW_OPENGL);
    if (!window)
        return -1;
    IDirect3D* d3d = Direct3DCreate(backend);
    PresentParameters pp;
    pp.backBufferWidth = 800;
    pp.backBufferHeight = 600;
    pp.backBufferFormat = FmtX8R8G8B8;
    pp.deviceWindow = window;
    IDevice* device = nullptr;
    if (!d3d || Failed(d3d->CreateDevice(0, DevTypeHal, nullptr, CreateSoftwareVertexProcessing, &pp, &device))) {
        if (d3d)
            d3d->Release();
        SDL_DestroyWindow(window);
        return -1;
    }
    using Clock = std::chrono::steady_clock;
    const auto frame = std::chrono::microseconds(16667);
    auto show = [&] {
        device->BeginScene();
        device->Clear(0, nullptr, ClearTarget, 0xFF606060u, 1.0f, 0);
        device->EndScene();
        device->Present();
        SDL_PumpEvents();
    };
    for (int i = 0; i < 30; ++i)
        show(); // first frames set up the window's buffers
    const double cpu0 = CpuSeconds();
    const auto start = Clock::now();
    auto next = start;
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        show();
        next += frame;
        std::this_thread::sleep_until(next);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double share = 100.0 * (CpuSeconds() - cpu0) / wall;
    device->Release();
    d3d->Release();
    SDL_DestroyWindow(window);
    return share;
}

} // namespace

int main()
{
    QuillPlatform::VirtualDisplay display;
    std::string why;
    if (!display.Start(1024, 768, &why)) {
        std::fprintf(stderr, "bench_present: %s\n", why.c_str());
        return 1;
    }
    setenv("DISPLAY", display.Name().c_str(), 1);
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bench_present: %s\n", SDL_GetError());
        return 1;
    }
    const double soft = StillScreenShare(Backend::Soft, 3.0);
    const double gl = StillScreenShare(Backend::Gl, 3.0);
    SDL_Quit();
    if (soft < 0) {
        std::fprintf(stderr, "bench_present: the soft device could not be made\n");
        return 1;
    }
    std::printf("RESULT present soft_cpu_pct=%.1f gl_cpu_pct=%.1f\n", soft, gl);
    return 0;
}
