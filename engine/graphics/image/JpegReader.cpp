#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "engine/graphics/image/ImageDecoders.h"

// libjpeg's own error exit ends the process. Ours jumps back to the setjmp of the call in
// progress; the functions holding a setjmp keep only plain pointers and integers, and every C++
// object lives in the caller, so the jump skips no destructor.

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's extended colour spaces are needed to decode in B, G, R order"
#endif

namespace QuillEngine {

namespace {

struct JpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool incomplete; // the picture's data ended before the picture did
};

void ErrorExit(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void SilentMessage(j_common_ptr) {}

// Warnings are not printed; the one saying that entropy data ran into a marker (the scan ended
// early) makes the picture incomplete. libjpeg would fill the rest with grey.
void NoteWarning(j_common_ptr cinfo, int level)
{
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    if (level < 0 && (error->pub.msg_code == JWRN_HIT_MARKER || error->pub.msg_code == JWRN_JPEG_EOF))
        error->incomplete = true;
    if (level < 0)
        ++error->pub.num_warnings;
}

// Once the bytes run out, each further request gets an end-of-image marker, which lets the
// decoder finish what it has; the file is then refused as truncated. A decoder that keeps asking
// regardless is stopped.
constexpr int kMaxFakeMarkers = 16;

struct MemorySource {
    jpeg_source_mgr pub;
    int fakeMarkers;
};

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
    if (++source->fakeMarkers > kMaxFakeMarkers)
        ERREXIT(cinfo, JERR_INPUT_EOF);
    source->pub.next_input_byte = kFakeEoi;
    source->pub.bytes_in_buffer = sizeof(kFakeEoi);
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr& pub = *cinfo->src;
    if (size_t(count) > pub.bytes_in_buffer) {
        // Skipping past the end leaves nothing; the next read gets the end marker.
        pub.next_input_byte += pub.bytes_in_buffer;
        pub.bytes_in_buffer = 0;
        return;
    }
    pub.next_input_byte += count;
    pub.bytes_in_buffer -= size_t(count);
}

bool Create(j_decompress_ptr cinfo, JpegError* error)
{
    if (setjmp(error->jump))
        return false;
    jpeg_create_decompress(cinfo);
    return true;
}

struct JpegHeader {
    JDIMENSION width;
    JDIMENSION height;
    int components;
    J_COLOR_SPACE colorSpace;
};

bool ReadHeader(j_decompress_ptr cinfo, JpegError* error, JpegHeader* header)
{
    if (setjmp(error->jump))
        return false;
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK)
        return false;
    header->width = cinfo->image_width;
    header->height = cinfo->image_height;
    header->components = cinfo->num_components;
    header->colorSpace = cinfo->jpeg_color_space;
    return true;
}

// Each row is decoded into `scratch` and copied into the picture as B, G, R, 0xFF bytes (0xFFRRGGBB
// words). libjpeg-turbo's SIMD colour converters write a row that starts 16-byte (SSE2) or 32-byte
// (AVX2) aligned with non-temporal stores, which go around the cache; for rows as short as a
// picture's that is far slower than plain stores (a 300 x 200 picture decoded 1.3 to 1.6 times
// slower), and the texture upload reads the rows again at once. Whether a row of the picture is
// aligned depends on its width and on where the heap put the picture, so every row goes through
// the scratch row, kept off both alignments: it stays in the cache, and the copy out is cheap.
bool ReadPixels(j_decompress_ptr cinfo, JpegError* error, uint32_t* pixels, size_t width, uint8_t* scratch)
{
    if (setjmp(error->jump))
        return false;
    cinfo->out_color_space = JCS_EXT_BGRX;
    if (!jpeg_start_decompress(cinfo))
        return false;
    if (cinfo->output_components != 4 || cinfo->output_width != width)
        return false;
    const size_t rowBytes = width * 4;
    JSAMPROW row = scratch;
    while (cinfo->output_scanline < cinfo->output_height) {
        uint32_t* out = pixels + size_t(cinfo->output_scanline) * width;
        // A call that delivers no row would be asked again for ever.
        if (jpeg_read_scanlines(cinfo, &row, 1) == 0)
            return false;
        std::memcpy(out, scratch, rowBytes);
    }
    return jpeg_finish_decompress(cinfo) != FALSE;
}

// Where a scratch row starts inside its buffer: 8 bytes past a 64-byte boundary, so neither a
// 16- nor a 32-byte aligned store path is taken.
constexpr size_t kScratchSkew = 8;
constexpr size_t kScratchSlack = 64 + kScratchSkew;

uint8_t* SkewedRow(uint8_t* buffer)
{
    const auto address = reinterpret_cast<uintptr_t>(buffer);
    return buffer + ((64 - address % 64) % 64) + kScratchSkew;
}

} // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, uint32_t maxTextureSize, Image& out)
{
    out.Clear();
    if (!data || size < 4)
        return false;

    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof(cinfo));
    JpegError error;
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = ErrorExit;
    error.pub.output_message = SilentMessage;
    error.pub.emit_message = NoteWarning;
    error.incomplete = false;
    if (!Create(&cinfo, &error)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    MemorySource source{};
    source.pub.init_source = InitSource;
    source.pub.fill_input_buffer = FillInputBuffer;
    source.pub.skip_input_data = SkipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = TermSource;
    source.pub.next_input_byte = data;
    source.pub.bytes_in_buffer = size;
    cinfo.src = &source.pub;

    bool ok = false;
    JpegHeader header{};
    if (ReadHeader(&cinfo, &error, &header) && header.components == 3 &&
        (header.colorSpace == JCS_YCbCr || header.colorSpace == JCS_RGB) &&
        FitsTexture(header.width, header.height, maxTextureSize) && out.Allocate(header.width, header.height)) {
        const std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[size_t(out.width) * 4 + kScratchSlack]);
        ok = scratch && ReadPixels(&cinfo, &error, out.Pixels(), out.width, SkewedRow(scratch.get()));
    }
    // The end marker had to be made up (the file is cut short), or a scan ended early.
    if (source.fakeMarkers > 0 || error.incomplete)
        ok = false;
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        out.Clear();
        return false;
    }
    out.hasAlpha = false;
    return true;
}

} // namespace QuillEngine
