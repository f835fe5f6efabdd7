#include "tools/camsim/jpegframe.h"

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>

#include <jpeglib.h>

#include <algorithm>

namespace camsim {

namespace {
struct ErrMgr {
    jpeg_error_mgr pub;
    jmp_buf jump;
};
void ErrorExit(j_common_ptr c) { longjmp(reinterpret_cast<ErrMgr*>(c->err)->jump, 1); }
void Quiet(j_common_ptr) {}
}  // namespace

std::vector<unsigned char> MakeJpegFrame(int width, int height, int shade, const std::vector<JpegMarker>& markers,
                                         bool jfif, int quality) {
    std::vector<unsigned char> out;
    if (width <= 0 || height <= 0) return out;
    jpeg_compress_struct c;
    ErrMgr err;
    c.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = &ErrorExit;
    err.pub.output_message = &Quiet;
    unsigned char* mem = nullptr;
    unsigned long memLen = 0;
    std::vector<unsigned char> row((size_t)width);
    jpeg_create_compress(&c);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        free(mem);
        return std::vector<unsigned char>();
    }
    jpeg_mem_dest(&c, &mem, &memLen);
    c.image_width = (JDIMENSION)width;
    c.image_height = (JDIMENSION)height;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.write_JFIF_header = jfif ? TRUE : FALSE;
    jpeg_start_compress(&c, TRUE);
    for (const JpegMarker& m : markers) {
        jpeg_write_marker(&c, m.first, reinterpret_cast<const JOCTET*>(m.second.data()), (unsigned int)m.second.size());
    }
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < width; ++x) row[(size_t)x] = (unsigned char)((x * 255 / width + (int)c.next_scanline + shade) & 0xFF);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    out.assign(mem, mem + memLen);
    jpeg_destroy_compress(&c);
    free(mem);
    return out;
}

void AddEmptyComments(std::vector<unsigned char>& frame, size_t count) {
    if (frame.size() < 2) return;
    static const unsigned char kEmpty[4] = {0xFF, 0xFE, 0x00, 0x02};
    std::vector<unsigned char> bomb(count * 4);
    for (size_t i = 0; i < count; ++i) std::copy(kEmpty, kEmpty + 4, bomb.begin() + (long)(i * 4));
    frame.insert(frame.begin() + 2, bomb.begin(), bomb.end());
}

}  // namespace camsim
