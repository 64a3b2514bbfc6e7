#include "platform/system/Clock.h"

#include <cerrno>
#include <ctime>

namespace QuillPlatform {

uint64_t MonotonicNanoseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * kCounterFrequency + static_cast<uint64_t>(ts.tv_nsec);
}

void SleepMilliseconds(uint32_t ms)
{
    timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&req, &req) != 0 && errno == EINTR) {
    }
}

} // namespace QuillPlatform
