#include "screentools/jpegencoder.h"

#include "platform/error.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

// jpeglib.h expects FILE and size_t to be declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace vornik {

namespace {

constexpr int kLibraryVersion = 62;
constexpr int kQuality = 90;
constexpr std::size_t kOutputBufferSize = 4096;

static_assert(JPEG_LIB_VERSION == kLibraryVersion, "the encoder is written against libjpeg interface 62");

// libjpeg is C: its fatal-error exit must not return, and a C++ exception
// thrown through its frames is undefined behaviour. The exit therefore
// records the message code and long-jumps back to compressRows, whose frame
// holds only trivially destructible objects; the exception is thrown only
// after control is back in ordinary C++ frames.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int messageCode;
};

extern "C" void errorExit(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    manager->messageCode = cinfo->err->msg_code;
    std::longjmp(manager->jump, 1);
}

// Warnings and trace messages are of no use to the user and are dropped.
extern "C" void dropMessage(j_common_ptr, int) {}
extern "C" void dropOutput(j_common_ptr) {}

// Collects the compressed data in a growable memory block, 4096 bytes at a
// time. `block` lives in the caller's C++ frame; nothing here owns memory
// that a long jump could leak.
struct MemoryDestination {
    jpeg_destination_mgr pub;
    std::vector<std::uint8_t>* block;
    std::size_t maxBytes;
    JOCTET buffer[kOutputBufferSize];
};

// Appends without letting an exception escape into libjpeg's frames.
bool append(MemoryDestination* destination, const JOCTET* bytes, std::size_t count) noexcept
{
    if (count > destination->maxBytes - destination->block->size())
        return false;
    try {
        destination->block->insert(destination->block->end(), bytes, bytes + count);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

extern "C" void initDestination(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = kOutputBufferSize;
}

extern "C" boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    // libjpeg hands over the whole buffer here, whatever free_in_buffer says.
    if (!append(destination, destination->buffer, kOutputBufferSize))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = kOutputBufferSize;
    return TRUE;
}

extern "C" void termDestination(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    const std::size_t used = kOutputBufferSize - destination->pub.free_in_buffer;
    if (!append(destination, destination->buffer, used))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Everything one compression works on. It lives in encodeJpeg's frame, not
// in the frame that calls setjmp: objects local to that frame and changed
// between setjmp and longjmp would hold indeterminate values after the jump.
struct Compression {
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    MemoryDestination destination;
};

// Runs one compression. Returns 0, or libjpeg's message code after a fatal
// error. This is the setjmp target: it holds nothing with a destructor.
int compressRows(const Bitmap& bitmap, Compression* job, JSAMPLE* row)
{
    jpeg_compress_struct* cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->errors.pub);
    job->errors.pub.error_exit = errorExit;
    job->errors.pub.emit_message = dropMessage;
    job->errors.pub.output_message = dropOutput;
    job->errors.messageCode = 0;
    // jpeg_CreateCompress clears the memory manager pointer before anything
    // can fail, so jpeg_destroy is safe on every path back here.
    cinfo->mem = nullptr;

    if (setjmp(job->errors.jump)) {
        jpeg_destroy(reinterpret_cast<j_common_ptr>(&job->cinfo));
        return job->errors.messageCode;
    }

    jpeg_CreateCompress(cinfo, kLibraryVersion, sizeof(*cinfo));
    job->destination.pub.init_destination = initDestination;
    job->destination.pub.empty_output_buffer = emptyOutputBuffer;
    job->destination.pub.term_destination = termDestination;
    cinfo->dest = &job->destination.pub;

    cinfo->image_width = static_cast<JDIMENSION>(bitmap.width());
    cinfo->image_height = static_cast<JDIMENSION>(bitmap.height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, kQuality, TRUE);

    // These equal the library defaults today; they are what the files we
    // write promise, so they are stated rather than inherited.
    cinfo->dct_method = JDCT_FLOAT;
    cinfo->write_JFIF_header = TRUE;
    cinfo->JFIF_major_version = 1;
    cinfo->JFIF_minor_version = 1;
    cinfo->density_unit = 0;
    cinfo->X_density = 1;
    cinfo->Y_density = 1;
    cinfo->comp_info[0].h_samp_factor = 2;
    cinfo->comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        cinfo->comp_info[c].h_samp_factor = 1;
        cinfo->comp_info[c].v_samp_factor = 1;
    }

    jpeg_start_compress(cinfo, TRUE);
    const int width = bitmap.width();
    JSAMPROW rows[1] = {row};
    for (int y = 0; y < bitmap.height(); ++y) {
        // The bitmap holds blue, green, red; libjpeg wants red, green, blue.
        const std::uint8_t* source = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x, source += 3) {
            row[3 * x] = source[2];
            row[3 * x + 1] = source[1];
            row[3 * x + 2] = source[0];
        }
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
    return 0;
}

} // namespace

std::string jpegErrorMessage(int messageCode)
{
    return "JPEG error #" + std::to_string(messageCode);
}

std::vector<std::uint8_t> encodeJpeg(const Bitmap& bitmap24, std::size_t maxOutputBytes)
{
    if (bitmap24.bitsPerPixel() != 24)
        throw std::invalid_argument("encodeJpeg needs a 24-bit bitmap");
    std::vector<std::uint8_t> block;
    if (bitmap24.empty())
        return block;

    // Growing the block by doubling copies the data again and again and
    // touches fresh pages each time, which costs more than the encoding of a
    // large picture's flat areas. The raw pixel size bounds all but
    // pathological pictures; untouched capacity costs address space only.
    const std::size_t rawSize = static_cast<std::size_t>(bitmap24.width()) * bitmap24.height() * 3;
    block.reserve(std::min(rawSize + kOutputBufferSize, maxOutputBytes));

    std::vector<JSAMPLE> row(static_cast<std::size_t>(bitmap24.width()) * 3);
    auto job = std::make_unique<Compression>();
    job->destination.block = &block;
    job->destination.maxBytes = maxOutputBytes;
    const int messageCode = compressRows(bitmap24, job.get(), row.data());
    if (messageCode != 0)
        throw Error(jpegErrorMessage(messageCode));
    return block;
}

} // namespace vornik
