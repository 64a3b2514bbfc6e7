// Opens the input as an archive (through an in-memory file) and reads every entry by name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "engine/core/files/FSCompressedSource.h"

using namespace QuillEngine;

namespace {

// Entry names as the central directory spells them, so that every entry is asked for.
std::vector<String> CentralNames(const uint8_t* data, size_t size)
{
    std::vector<String> names;
    for (size_t i = 0; i + 46 <= size; ++i) {
        if (data[i] != 'P' || data[i + 1] != 'K' || data[i + 2] != 1 || data[i + 3] != 2)
            continue;
        size_t length = data[i + 28] | (data[i + 29] << 8);
        if (i + 46 + length > size)
            continue;
        std::string_view raw(reinterpret_cast<const char*>(data + i + 46), length);
        names.push_back(FromCp1252(raw));
        names.push_back(FromUtf8(raw));
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int fd = memfd_create("fuzz_zip", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t written = 0;
    while (written < size) {
        ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) {
            close(fd);
            return 0;
        }
        written += static_cast<size_t>(n);
    }
    {
        FSCompressedSource source(Widen("/proc/self/fd/" + std::to_string(fd)), u"fuzz");
        if (source.Open()) {
            for (const String& name : CentralNames(data, size)) {
                std::unique_ptr<uint8_t[]> out;
                size_t outSize = 0;
                source.Exists(name);
                if (source.ReadFile(name, out, outSize) && outSize > 0) {
                    volatile uint8_t touch = out[outSize - 1];
                    (void)touch;
                }
            }
        }
    }
    close(fd);
    return 0;
}
