#include <csetjmp>
#include <cstdio>
#include <memory>
#include <string>

#include <jpeglib.h>

#include "image/RowImageWriter.h"

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's extended colour spaces (JCS_EXT_BGR) are needed"
#endif

static_assert(kJpegMaxSide == JPEG_MAX_DIMENSION, "the largest JPEG side is libjpeg's");

namespace {

struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void NoJpegMessages(j_common_ptr, int) {}

// libjpeg reports errors by a jump out of the library. Every call into it is made from one of
// these frames, which hold plain C data only: the jump lands here and skips no destructor.
// The largest payload of one marker segment: its length field counts itself.
constexpr size_t kMarkerPayload = 65533;
constexpr char kExifHeader[] = "Exif\0";                       // with the string's own NUL: "Exif\0\0"
constexpr char kXmpHeader[] = "http://ns.adobe.com/xap/1.0/";  // and its NUL

// The EXIF and XMP segments right after the start of the image, and the colour profile in as
// many APP2 segments as it needs. A block larger than one segment is left out: the caller has
// checked what it hands in (JpegMetadataFits).
void WriteMarkers(jpeg_compress_struct* info, const EmbeddedMetadata& metadata) {
    if (!metadata.exif.empty()) {
        std::string segment(kExifHeader, sizeof(kExifHeader));
        segment += metadata.exif;
        if (segment.size() <= kMarkerPayload)
            jpeg_write_marker(info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(segment.data()),
                              static_cast<unsigned>(segment.size()));
    }
    if (!metadata.xmp.empty()) {
        std::string segment(kXmpHeader, sizeof(kXmpHeader));
        segment += metadata.xmp;
        if (segment.size() <= kMarkerPayload)
            jpeg_write_marker(info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(segment.data()),
                              static_cast<unsigned>(segment.size()));
    }
    if (!metadata.icc.empty())
        jpeg_write_icc_profile(info, reinterpret_cast<const JOCTET*>(metadata.icc.data()),
                               static_cast<unsigned>(metadata.icc.size()));
}

bool SetupJpeg(jpeg_compress_struct* info, JpegErrors* errors, jpeg_destination_mgr* destination, int width, int height,
               int quality, const EmbeddedMetadata* metadata) {
    info->err = jpeg_std_error(&errors->base);
    errors->base.error_exit = OnJpegError;
    errors->base.emit_message = NoJpegMessages;
    errors->message[0] = '\0';
    if (setjmp(errors->jump))
        return false;
    jpeg_create_compress(info);
    info->dest = destination;
    info->image_width = static_cast<JDIMENSION>(width);
    info->image_height = static_cast<JDIMENSION>(height);
    info->input_components = 3;
    info->in_color_space = JCS_EXT_BGR;  // the order of Rgb: rows go in without a copy
    jpeg_set_defaults(info);
    // Quality and chroma as Qt's writer, which SaveImageFile uses, sets them: chroma halved both
    // ways at every quality, so that a panorama looks the same whichever way it was written.
    jpeg_set_quality(info, quality, TRUE);
    jpeg_start_compress(info, TRUE);
    WriteMarkers(info, *metadata);
    return true;
}

bool WriteScanlines(jpeg_compress_struct* info, JpegErrors* errors, const uint8_t* first, int count,
                    ptrdiff_t strideBytes) {
    if (setjmp(errors->jump))
        return false;
    constexpr int kBatch = 16;
    JSAMPROW rows[kBatch];
    int done = 0;
    while (done < count) {
        const int batch = count - done < kBatch ? count - done : kBatch;
        for (int k = 0; k < batch; ++k)
            rows[k] = const_cast<JSAMPROW>(first + (done + k) * strideBytes);
        const int taken = static_cast<int>(jpeg_write_scanlines(info, rows, static_cast<JDIMENSION>(batch)));
        if (taken <= 0)
            return false;
        done += taken;
    }
    return true;
}

bool FinishCompress(jpeg_compress_struct* info, JpegErrors* errors) {
    if (setjmp(errors->jump))
        return false;
    jpeg_finish_compress(info);
    return true;
}

class JpegRowWriter;

// The encoder's output goes to the file a buffer at a time. A failed write is remembered and
// later output dropped, rather than reported by a jump through this C++ code: the writer
// checks after every call into the library.
struct JpegSink {
    jpeg_destination_mgr base;
    JpegRowWriter* writer;
};

class JpegRowWriter final : public RowImageWriter {
public:
    JpegRowWriter(PartialFile file, int width, int height) : RowImageWriter(std::move(file), width, height, 8) {
        sink_.base.init_destination = &JpegRowWriter::Init;
        sink_.base.empty_output_buffer = &JpegRowWriter::Empty;
        sink_.base.term_destination = &JpegRowWriter::Term;
        sink_.writer = this;
    }
    ~JpegRowWriter() override {
        if (created_)
            jpeg_destroy_compress(&info_);
    }

    bool Start(int quality, const EmbeddedMetadata& metadata) {
        created_ = true;  // jpeg_destroy_compress is safe on a half-created object
        const bool started = SetupJpeg(&info_, &errors_, &sink_.base, Width(), Height(), quality, &metadata);
        return Checked(started);
    }

protected:
    bool EncodeRows(const uint8_t* first, int count, ptrdiff_t strideBytes) override {
        return Checked(WriteScanlines(&info_, &errors_, first, count, strideBytes));
    }
    bool EndEncoding() override { return Checked(FinishCompress(&info_, &errors_)); }

private:
    static constexpr size_t kBufferBytes = 1 << 16;

    bool Checked(bool encoded) {
        if (!writeError_.empty())
            return Fail(writeError_);
        if (!encoded)
            return Fail("cannot write " + File().Path() + " (" + errors_.message + ")");
        return true;
    }

    void Rewind() {
        sink_.base.next_output_byte = buffer_.get();
        sink_.base.free_in_buffer = kBufferBytes;
    }
    void Drain(size_t bytes) {
        if (writeError_.empty())
            File().Append(buffer_.get(), bytes, &writeError_);
        Rewind();
    }

    static JpegRowWriter* Of(j_compress_ptr info) { return reinterpret_cast<JpegSink*>(info->dest)->writer; }
    static void Init(j_compress_ptr info) { Of(info)->Rewind(); }
    static boolean Empty(j_compress_ptr info) {
        Of(info)->Drain(kBufferBytes);
        return TRUE;
    }
    static void Term(j_compress_ptr info) { Of(info)->Drain(kBufferBytes - info->dest->free_in_buffer); }

    jpeg_compress_struct info_{};
    JpegErrors errors_{};
    JpegSink sink_{};
    std::unique_ptr<JOCTET[]> buffer_{new JOCTET[kBufferBytes]};
    std::string writeError_;
    bool created_ = false;
};

}  // namespace

std::string JpegMetadataProblem(const EmbeddedMetadata& metadata) {
    if (metadata.exif.size() + sizeof(kExifHeader) > kMarkerPayload)
        return "its EXIF is larger than a JPEG segment holds";
    if (metadata.xmp.size() + sizeof(kXmpHeader) > kMarkerPayload)
        return "its XMP is larger than a JPEG segment holds";
    return std::string();
}

std::string RowImageWriter::JpegSizeProblem(const std::string& path, int width, int height) {
    if (width <= kJpegMaxSide && height <= kJpegMaxSide)
        return std::string();
    return "cannot write " + path + ": a JPEG is at most " + std::to_string(kJpegMaxSide) +
           " pixels wide and high, and this image is " + std::to_string(width) + " x " + std::to_string(height) +
           "; save it as TIFF (.tif), which has no such limit";
}

std::unique_ptr<RowImageWriter> RowImageWriter::OpenJpeg(const std::string& path, int width, int height,
                                                         const RowWriterOptions& options, std::string* why) {
    if (std::string problem = JpegSizeProblem(path, width, height); !problem.empty()) {
        *why = problem;
        return nullptr;
    }
    if (options.bitsPerChannel != 8) {
        *why = "cannot write " + path + ": JPEG holds 8 bits per channel; save 16 bits as PNG or TIFF";
        return nullptr;
    }
    if (options.quality < 1 || options.quality > 100) {
        *why = "cannot write " + path + ": JPEG quality is 1 to 100, not " + std::to_string(options.quality);
        return nullptr;
    }
    PartialFile file;
    if (!file.Create(path, why))
        return nullptr;
    auto writer = std::make_unique<JpegRowWriter>(std::move(file), width, height);
    if (!writer->Start(options.quality, options.metadata)) {
        *why = writer->Error();
        return nullptr;
    }
    return writer;
}
