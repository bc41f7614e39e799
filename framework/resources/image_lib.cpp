#include "framework/resources/image_lib.h"
#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <jpeglib.h>
#include <jerror.h>
#include "framework/graphics/memory_image.h"
#include "framework/resources/file_access.h"

namespace Zephra::ImageLib {

// Both libraries write 0xAARRGGBB words as B, G, R, A bytes on this byte order.
static_assert(std::endian::native == std::endian::little);

bool SizeAllowed(long long width, long long height, size_t maxPixelBytes) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           static_cast<unsigned long long>(width * height) * 4 <= std::min(maxPixelBytes, kMaxPixelBytes);
}

static std::string SizeError(long long width, long long height) {
    return "image size " + std::to_string(width) + "x" + std::to_string(height) + " refused";
}

static uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Walks the chunks before libpng sees them. libpng allocates what a chunk
// declares before it reads it, so a chunk longer than the bytes that remain is
// refused here; so is a picture larger than its compressed data could ever
// hold, which would otherwise take its full pixel memory first.
static bool CheckPngChunks(const uint8_t* bytes, size_t size, std::string& error) {
    // Deflate packs at most 1032 bytes into one; the slack covers stream headers.
    constexpr unsigned long long kMaxInflation = 1032, kSlack = 1024;
    size_t pos = 8;
    unsigned long long rawBytes = 0, compressed = 0;
    while (size - pos >= 8) {
        uint32_t length = BigEndian32(bytes + pos);
        char type[5] = {};
        std::memcpy(type, bytes + pos + 4, 4);
        for (char& c : type)
            if (c != 0 && !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) c = '?';
        size_t remaining = size - pos - 8;
        if (length > 0x7FFFFFFFu || size_t(length) + 4 > remaining) {
            error = std::string("bad PNG file: chunk ") + type + " declares " + std::to_string(length) +
                    " bytes, " + std::to_string(remaining < 4 ? 0 : remaining - 4) + " remain";
            return false;
        }
        const uint8_t* body = bytes + pos + 8;
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
            static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
            unsigned long long width = BigEndian32(body), height = BigEndian32(body + 4);
            int depth = body[8], colour = body[9];
            int channels = colour <= 6 ? kChannels[colour] : 0;
            // Larger sides are refused by SizeAllowed once libpng has the header.
            if (width <= kMaxSide && height <= kMaxSide) rawBytes = height * ((width * channels * depth + 7) / 8);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            compressed += length;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        pos += size_t(length) + 12;
    }
    if (rawBytes > compressed * kMaxInflation + kSlack) {
        error = "bad PNG file: " + std::to_string(compressed) + " bytes of picture data cannot hold " +
                std::to_string(rawBytes);
        return false;
    }
    return true;
}

// PNG through the simplified interface: its error handling stays inside libpng,
// so no jump ever crosses our frames.
bool DecodePng(const void* data, size_t size, Picture& out, std::string& error, size_t maxPixelBytes) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (data == nullptr || size == 0) {
        error = "empty PNG file";
        return false;
    }
    if (size < 8 || !CheckPngChunks(static_cast<const uint8_t*>(data), size, error)) {
        if (size < 8) error = "bad PNG file: too short";
        return false;
    }
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        error = std::string("bad PNG file: ") + image.message;
        png_image_free(&image);
        return false;
    }
    if (!SizeAllowed(image.width, image.height, maxPixelBytes)) {
        error = SizeError(image.width, image.height);
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    // 16-bit samples without a gamma chunk are sRGB like 8-bit ones; libpng
    // would otherwise take them as linear light and brighten them.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    std::vector<uint32_t> bits(size_t(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, bits.data(), 0, nullptr)) {
        error = std::string("bad PNG file: ") + image.message;
        png_image_free(&image);
        return false;
    }
    png_image_free(&image);
    out.mWidth = static_cast<int>(image.width);
    out.mHeight = static_cast<int>(image.height);
    out.mBits = std::move(bits);
    return true;
}

bool EncodePng(const uint32_t* bits, int width, int height, std::string& bytes, std::string& error) {
    bytes.clear();
    if (bits == nullptr || !SizeAllowed(width, height)) {
        error = SizeError(width, height);
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t needed = 0;
    if (!png_image_write_to_memory(&image, nullptr, &needed, 0, bits, 0, nullptr)) {
        error = std::string("PNG encoding failed: ") + image.message;
        png_image_free(&image);
        return false;
    }
    bytes.resize(needed);
    if (!png_image_write_to_memory(&image, bytes.data(), &needed, 0, bits, 0, nullptr)) {
        error = std::string("PNG encoding failed: ") + image.message;
        png_image_free(&image);
        bytes.clear();
        return false;
    }
    png_image_free(&image);
    bytes.resize(needed);
    return true;
}

bool WritePngImage(const std::string& path, MemoryImage& image, std::string& error) {
    std::string bytes;
    if (!EncodePng(image.GetBits(), image.mWidth, image.mHeight, bytes, error)) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        error = "cannot create " + path;
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) error = "cannot write " + path;
    return ok;
}

// JPEG. libjpeg reports fatal errors by jumping back to the setjmp of the
// step that runs it. The steps below hold nothing but plain C data, and the
// pixel memory belongs to the caller's frame, which no jump reaches.
namespace {

struct JpegError {
    jpeg_error_mgr pub;
    void (*countWarning)(j_common_ptr, int);
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

struct JpegSource {
    jpeg_source_mgr pub;
    const JOCTET* data;
    size_t size;
    bool ended;   // the data ran out and a made-up end marker stands in
};

struct JpegJob {
    jpeg_decompress_struct cinfo;
    JpegError err;
    JpegSource src;
    jpeg_progress_mgr progress;
    int maxScans;
    // A single Huffman-coded scan may lack its end marker: its decoder warns
    // when the data runs short, so a cut can still be told from a whole picture.
    bool endMarkerOptional;
    uint32_t* dest;
};

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void JpegErrorExit(j_common_ptr cinfo) {
    JpegError* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// A file that ends before its picture does is refused: the decoder would
// make up the rest, a whole picture's work (the headers may declare 50 million
// pixels) from a few hundred bytes.
[[noreturn]] void JpegEndedEarly(JpegJob* job) {
    std::snprintf(job->err.message, sizeof job->err.message, "Premature end of JPEG file");
    std::longjmp(job->err.jump, 1);
}

// Other warnings (corrupt data) only count; the decoder goes on.
void JpegOutputMessage(j_common_ptr) {}

// Warnings count as libjpeg counts them, but a scan whose data runs out after
// the file's end was cut.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
    JpegJob* job = reinterpret_cast<JpegJob*>(cinfo);
    if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER && job->src.ended) JpegEndedEarly(job);
    job->err.countWarning(cinfo, level);
}

// Every scan of a multi-scan file is a pass over the whole picture, and a file
// can hold thousands of empty ones: the scans are bounded so that the work
// stays in proportion to a real picture.
void JpegProgress(j_common_ptr common) {
    j_decompress_ptr cinfo = reinterpret_cast<j_decompress_ptr>(common);
    JpegJob* job = reinterpret_cast<JpegJob*>(cinfo);
    if (cinfo->input_scan_number > job->maxScans) {
        std::snprintf(job->err.message, sizeof job->err.message, "more than %d scans", job->maxScans);
        std::longjmp(job->err.jump, 1);
    }
}

// The scans allowed: kMaxJpegScans, fewer for large pictures (at most
// kMaxJpegScanBlocks blocks decoded over all scans), never fewer than a
// full progressive file of 4:4:4 colour needs.
int JpegMaxScans(const jpeg_decompress_struct& cinfo) {
    unsigned long long blocks = 0;
    for (int i = 0; i < cinfo.num_components; ++i)
        blocks += static_cast<unsigned long long>(cinfo.comp_info[i].width_in_blocks) *
                  cinfo.comp_info[i].height_in_blocks;
    unsigned long long byWork = blocks ? kMaxJpegScanBlocks / blocks : kMaxJpegScans;
    return static_cast<int>(std::clamp<unsigned long long>(byWork, kMinJpegScans, kMaxJpegScans));
}

// Huffman codes take at least a bit for each block's DC value: a file smaller
// than that cannot hold the picture its headers declare, and the decoder would
// make up the rest (a file that keeps its end marker is not caught by the end
// of its data).
bool JpegCanHoldItsBlocks(const jpeg_decompress_struct& cinfo, size_t size) {
    if (cinfo.arith_code) return true;
    unsigned long long blocks = 0;
    for (int i = 0; i < cinfo.num_components; ++i)
        blocks = std::max(blocks, static_cast<unsigned long long>(cinfo.comp_info[i].width_in_blocks) *
                                      cinfo.comp_info[i].height_in_blocks);
    return static_cast<unsigned long long>(size) * 8 >= blocks;
}

void JpegInitSource(j_decompress_ptr) {}

// All bytes were handed over at once: asking for more means the file ends
// before its end marker. Inside the headers, in a file of several scans (whose
// count the headers do not tell) or arithmetic-coded data (whose decoder reads
// ahead without a word) that is a cut. A single Huffman scan gets an end
// marker and is refused only if its data then falls short (JpegEmitMessage).
boolean JpegFillInput(j_decompress_ptr cinfo) {
    JpegJob* job = reinterpret_cast<JpegJob*>(cinfo);
    if (!job->endMarkerOptional) JpegEndedEarly(job);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    job->src.ended = true;
    cinfo->src->next_input_byte = kFakeEoi;
    cinfo->src->bytes_in_buffer = sizeof kFakeEoi;
    return TRUE;
}

void JpegSkipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    if (static_cast<unsigned long>(count) >= src->bytes_in_buffer) {
        src->next_input_byte += src->bytes_in_buffer;
        src->bytes_in_buffer = 0;
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void JpegTermSource(j_decompress_ptr) {}

bool JpegReadHeader(JpegJob* job) {
    job->cinfo.err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = JpegErrorExit;
    job->err.pub.output_message = JpegOutputMessage;
    job->err.countWarning = job->err.pub.emit_message;
    job->err.pub.emit_message = JpegEmitMessage;
    if (setjmp(job->err.jump)) return false;
    jpeg_create_decompress(&job->cinfo);
    job->cinfo.mem->max_memory_to_use = 512L << 20;
    job->src.pub.init_source = JpegInitSource;
    job->src.pub.fill_input_buffer = JpegFillInput;
    job->src.pub.skip_input_data = JpegSkipInput;
    job->src.pub.resync_to_restart = jpeg_resync_to_restart;
    job->src.pub.term_source = JpegTermSource;
    job->src.pub.next_input_byte = job->src.data;
    job->src.pub.bytes_in_buffer = job->src.size;
    job->cinfo.src = &job->src.pub;
    jpeg_read_header(&job->cinfo, TRUE);
    J_COLOR_SPACE space = job->cinfo.jpeg_color_space;
    if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) {
        std::snprintf(job->err.message, sizeof job->err.message, "unsupported JPEG colour space %d",
                      static_cast<int>(space));
        return false;
    }
    job->cinfo.out_color_space = JCS_RGB;
    job->endMarkerOptional = !jpeg_has_multiple_scans(&job->cinfo) && !job->cinfo.arith_code;
    job->maxScans = JpegMaxScans(job->cinfo);
    job->progress.progress_monitor = JpegProgress;
    job->cinfo.progress = &job->progress;
    return true;
}

// Reads every scan of a file of several scans, so that a cut one is refused
// before the pixel memory is taken.
bool JpegStart(JpegJob* job) {
    if (setjmp(job->err.jump)) return false;
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
        cinfo->output_components != 3) {
        std::snprintf(job->err.message, sizeof job->err.message, "unexpected JPEG output format");
        return false;
    }
    return true;
}

bool JpegReadPixels(JpegJob* job) {
    if (setjmp(job->err.jump)) return false;
    j_decompress_ptr cinfo = &job->cinfo;
    JDIMENSION width = cinfo->image_width;
    JDIMENSION height = cinfo->image_height;
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 width * 3, 1);
    while (cinfo->output_scanline < height) {
        JDIMENSION y = cinfo->output_scanline;
        if (jpeg_read_scanlines(cinfo, row, 1) != 1) {
            std::snprintf(job->err.message, sizeof job->err.message, "JPEG decoder stalled");
            return false;
        }
        uint32_t* dest = job->dest + size_t(y) * width;
        const JSAMPLE* p = row[0];
        for (JDIMENSION x = 0; x < width; ++x, p += 3)
            dest[x] = 0xFF000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

} // namespace

bool DecodeJpeg(const void* data, size_t size, Picture& out, std::string& error, size_t maxPixelBytes) {
    if (data == nullptr || size == 0) {
        error = "empty JPEG file";
        return false;
    }
    JpegJob job;
    std::memset(&job, 0, sizeof job);
    job.src.data = static_cast<const JOCTET*>(data);
    job.src.size = size;
    bool ok = JpegReadHeader(&job);
    std::vector<uint32_t> bits;
    if (ok && !SizeAllowed(job.cinfo.image_width, job.cinfo.image_height, maxPixelBytes)) {
        error = SizeError(job.cinfo.image_width, job.cinfo.image_height);
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    if (ok && !JpegCanHoldItsBlocks(job.cinfo, size)) {
        error = "bad JPEG file: Premature end of JPEG file";
        jpeg_destroy_decompress(&job.cinfo);
        return false;
    }
    if (ok) ok = JpegStart(&job);
    if (ok) {
        bits.resize(size_t(job.cinfo.image_width) * job.cinfo.image_height);
        job.dest = bits.data();
        ok = JpegReadPixels(&job);
    }
    if (!ok) error = std::string("bad JPEG file: ") + job.err.message;
    else {
        out.mWidth = static_cast<int>(job.cinfo.image_width);
        out.mHeight = static_cast<int>(job.cinfo.image_height);
        out.mBits = std::move(bits);
    }
    jpeg_destroy_decompress(&job.cinfo);
    return ok;
}

static std::string LowerExtension(const std::string& name) {
    size_t dot = name.find_last_of('.');
    size_t sep = name.find_last_of("/\\");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

bool DecodeImage(const void* data, size_t size, const std::string& name, Picture& out, std::string& error,
                 size_t maxPixelBytes) {
    static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (bytes != nullptr && size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0)
        return DecodePng(data, size, out, error, maxPixelBytes);
    if (bytes != nullptr && size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return DecodeJpeg(data, size, out, error, maxPixelBytes);
    std::string ext = LowerExtension(name);
    if (ext == "png") return DecodePng(data, size, out, error, maxPixelBytes);
    if (ext == "jpg" || ext == "jpeg") return DecodeJpeg(data, size, out, error, maxPixelBytes);
    error = "unknown image format";
    return false;
}

bool LoadImage(const std::string& path, MemoryImage& image, std::string& error, size_t maxPixelBytes) {
    std::string bytes;
    if (!GetFileAccess().ReadFile(path, bytes)) {
        error = "cannot read file" + ReadFailureReason();
        return false;
    }
    Picture picture;
    if (!DecodeImage(bytes.data(), bytes.size(), path, picture, error, maxPixelBytes)) return false;
    bytes = std::string();
    image.SetBits(picture.mBits.data(), picture.mWidth, picture.mHeight);
    image.mFilePath = path;
    return true;
}

} // namespace Zephra::ImageLib
