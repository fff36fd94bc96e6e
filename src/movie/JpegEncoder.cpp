#include "movie/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void OnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

void Silent(j_common_ptr, int) {}

// Plain C data only in this frame: a longjmp out of the library must not skip destructors.
bool Compress(const uint8_t* rgb, int width, int height, int stride, int quality, bool fullChroma,
              unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = Silent;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (fullChroma)
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

bool EncodeJpeg(const uint8_t* rgb, int width, int height, int stride, int quality, bool fullChroma,
                std::vector<uint8_t>* out) {
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool ok = Compress(rgb, width, height, stride, quality, fullChroma, &buffer, &size);
    if (ok)
        out->assign(buffer, buffer + size);
    std::free(buffer);
    return ok;
}
