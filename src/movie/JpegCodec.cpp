#include "movie/JpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "image/ImgTypes.h"

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void OnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

// Warnings are counted (decoding refuses data that caused any), never printed.
void Silent(j_common_ptr info, int level) {
    if (level < 0)
        ++info->err->num_warnings;
}

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

// Decodes a JPEG of exactly width x height, three components, handing the started decompressor
// to readRows; true when the library neither failed nor warned. readRows must own nothing that
// needs destroying: an error leaves it by a long jump.
template <class ReadRows>
bool DecodeFrame(const uint8_t* data, size_t size, int width, int height, ReadRows readRows) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = Silent;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || int(info.image_width) != width ||
        int(info.image_height) != height || info.num_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_EXT_BGR;  // the order of Rgb
    jpeg_start_decompress(&info);
    readRows(info);
    jpeg_finish_decompress(&info);
    const bool clean = errors.base.num_warnings == 0;
    jpeg_destroy_decompress(&info);
    return clean;
}

bool Decompress(const uint8_t* data, size_t size, int width, int height, ImgRGB* out) {
    return DecodeFrame(data, size, width, height, [out](jpeg_decompress_struct& info) {
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = out->RowBytes(static_cast<int>(info.output_scanline));
            jpeg_read_scanlines(&info, &row, 1);
        }
    });
}

// Reads the frame storing one row: the library skips the transform of skipped rows but still
// decodes every coefficient, so a stream cut short or corrupt warns as in a decode. Skipping to
// the very end would skip nothing (the library just jumps there): every row but the last is
// skipped, and the last one read into a buffer of the library's own pool, which an error's
// long jump frees with the rest.
bool WalkEntropyData(const uint8_t* data, size_t size, int width, int height) {
    return DecodeFrame(data, size, width, height, [](jpeg_decompress_struct& info) {
        JSAMPARRAY row =
            (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, info.output_width * 3, 1);
        jpeg_skip_scanlines(&info, info.output_height - 1);
        jpeg_read_scanlines(&info, row, 1);
    });
}

}  // namespace

bool JpegDecodes(const uint8_t* data, size_t size, int width, int height) {
    return width > 0 && height > 0 && WalkEntropyData(data, size, width, height);
}

bool DecodeJpeg(const uint8_t* data, size_t size, int width, int height, ImgRGB* out) {
    ImgRGB image(width, height);
    if (!image.HasPixels() || !Decompress(data, size, width, height, &image))
        return false;
    *out = std::move(image);
    return true;
}

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
