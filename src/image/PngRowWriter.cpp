#include <bit>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <string>

#include <png.h>

#include "image/RowImageWriter.h"

namespace {

struct PngErrors {
    char message[256];
};

// libpng's error callback must not return. It keeps the message and jumps back to the frame
// that called into the library; no C++ object is alive in between.
void OnPngError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    std::strncpy(errors->message, message ? message : "", sizeof(errors->message) - 1);
    errors->message[sizeof(errors->message) - 1] = '\0';
    png_longjmp(png, 1);
}

void NoPngWarnings(png_structp, png_const_charp) {}

// Every call into libpng is made from one of these frames, which hold plain C data only.
// EXIF in its own chunk, XMP in the international text chunk under the keyword XMP readers look
// for, the colour profile in iCCP. libpng copies what it is given.
void SetMetadata(png_structp png, png_infop info, const EmbeddedMetadata& metadata) {
    if (!metadata.exif.empty())
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(metadata.exif.size()),
                       reinterpret_cast<png_bytep>(const_cast<char*>(metadata.exif.data())));
    if (!metadata.icc.empty())
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(metadata.icc.data()),
                     static_cast<png_uint_32>(metadata.icc.size()));
    if (!metadata.xmp.empty()) {
        png_text text{};
        text.compression = PNG_ITXT_COMPRESSION_NONE;
        text.key = const_cast<char*>("XML:com.adobe.xmp");
        text.text = const_cast<char*>(metadata.xmp.c_str());
        text.itxt_length = metadata.xmp.size();
        text.lang = const_cast<char*>("");
        text.lang_key = const_cast<char*>("");
        png_set_text(png, info, &text, 1);
    }
}

bool SetupPng(png_structp png, png_infop info, int width, int height, int bitsPerChannel,
              const EmbeddedMetadata* metadata) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    // libpng refuses images wider or taller than a million pixels unless told otherwise; a
    // panorama can be wider, and PNG itself allows 2^31 - 1.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitsPerChannel,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    SetMetadata(png, info, *metadata);
    png_write_info(png, info);
    png_set_bgr(png);  // rows come blue first
    if (bitsPerChannel == 16 && std::endian::native == std::endian::little)
        png_set_swap(png);  // PNG's samples are big-endian
    return true;
}

bool WriteRowsOf(png_structp png, const uint8_t* first, int count, ptrdiff_t strideBytes) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int k = 0; k < count; ++k)
        png_write_row(png, first + k * strideBytes);
    return true;
}

bool WriteEnd(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_write_end(png, info);
    return true;
}

class PngRowWriter final : public RowImageWriter {
public:
    PngRowWriter(PartialFile file, int width, int height, int bitsPerChannel)
        : RowImageWriter(std::move(file), width, height, bitsPerChannel), bitsPerChannel_(bitsPerChannel) {
        errors_.message[0] = '\0';
    }
    ~PngRowWriter() override {
        if (png_)
            png_destroy_write_struct(&png_, &info_);
    }

    bool Start(const EmbeddedMetadata& metadata) {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors_, OnPngError, NoPngWarnings);
        if (png_)
            info_ = png_create_info_struct(png_);
        if (!png_ || !info_)
            return Fail("cannot write " + File().Path() + " (out of memory)");
        // Compression level and filters stay libpng's defaults, as in Qt's writer at its own default.
        png_set_write_fn(png_, this, &PngRowWriter::Write, &PngRowWriter::Flush);
        return Checked(SetupPng(png_, info_, Width(), Height(), bitsPerChannel_, &metadata));
    }

protected:
    bool EncodeRows(const uint8_t* first, int count, ptrdiff_t strideBytes) override {
        return Checked(WriteRowsOf(png_, first, count, strideBytes));
    }
    bool EndEncoding() override {
        if (!Checked(WriteEnd(png_, info_)))
            return false;
        Drain();
        return Checked(true);
    }

private:
    static constexpr size_t kBufferBytes = 1 << 18;

    bool Checked(bool encoded) {
        if (!writeError_.empty())
            return Fail(writeError_);
        if (!encoded)
            return Fail("cannot write " + File().Path() + " (" + errors_.message + ")");
        return true;
    }

    // libpng hands over a few kilobytes at a time; they reach the file in larger writes. A
    // failed write is remembered and later output dropped: the writer checks after each call.
    bool Drain() {
        if (writeError_.empty())
            File().Append(buffer_.get(), used_, &writeError_);
        used_ = 0;
        return writeError_.empty();
    }
    void Take(const uint8_t* data, size_t size) {
        if (used_ + size > kBufferBytes)
            Drain();
        if (size > kBufferBytes) {
            if (writeError_.empty())
                File().Append(data, size, &writeError_);
            return;
        }
        std::memcpy(buffer_.get() + used_, data, size);
        used_ += size;
    }

    static void Write(png_structp png, png_bytep data, size_t size) {
        static_cast<PngRowWriter*>(png_get_io_ptr(png))->Take(data, size);
    }
    static void Flush(png_structp) {}

    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    PngErrors errors_;
    int bitsPerChannel_;
    std::unique_ptr<uint8_t[]> buffer_{new uint8_t[kBufferBytes]};
    size_t used_ = 0;
    std::string writeError_;
};

}  // namespace

std::unique_ptr<RowImageWriter> RowImageWriter::OpenPng(const std::string& path, int width, int height,
                                                        const RowWriterOptions& options, std::string* why) {
    PartialFile file;
    if (!file.Create(path, why))
        return nullptr;
    auto writer = std::make_unique<PngRowWriter>(std::move(file), width, height, options.bitsPerChannel);
    if (!writer->Start(options.metadata)) {
        *why = writer->Error();
        return nullptr;
    }
    return writer;
}
