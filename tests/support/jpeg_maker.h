#pragma once
#include <cstdlib>
#include <string>
#include <vector>
#include <jpeglib.h>

namespace testsupport {

// A JPEG file made with libjpeg (the project writes none of its own), for tests
// and fuzz seeds. sample(x, y, channel) gives each sample; colour files are
// RGB, progressive ones use libjpeg's simple progression (10 scans in colour).
template <class Sample>
std::string MakeJpeg(int w, int h, bool grey, bool progressive, Sample sample) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = w;
    cinfo.image_height = h;
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(w) * cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < cinfo.input_components; ++c)
                row[size_t(x) * cinfo.input_components + c] = static_cast<JSAMPLE>(sample(x, y, c));
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<char*>(out), size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

} // namespace testsupport
