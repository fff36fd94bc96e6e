#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

#include <tiffio.h>

#include "image/RowImageWriter.h"
#include "image/TiffExifTags.h"

bool TiffNeedsBigTiff(int64_t width, int64_t height, int bitsPerChannel) {
    const int64_t pixelBytes = width * height * 3 * (bitsPerChannel / 8);
    // Deflate grows content it cannot shrink by well under 1/256 (stored blocks), each strip
    // adds a few bytes of stream framing and its offset and size in the tables (at most one
    // strip a row), and the header and directory take a few hundred bytes more.
    const int64_t worstFileBytes = pixelBytes + pixelBytes / 256 + height * 32 + (int64_t(1) << 20);
    return worstFileBytes >= (int64_t(1) << 32);
}

namespace {

// Strips of about a quarter megabyte: large enough that deflate and the strip tables cost
// little, small enough that the strip libtiff gathers before it writes stays small.
constexpr int64_t kStripBytes = 1 << 18;

int RowsPerStrip(int64_t rowBytes, int height) {
    return static_cast<int>(std::clamp<int64_t>(kStripBytes / rowBytes, 1, height));
}

class TiffRowWriter final : public RowImageWriter {
public:
    TiffRowWriter(PartialFile file, int width, int height, int bitsPerChannel, const EmbeddedMetadata& metadata)
        : RowImageWriter(std::move(file), width, height, bitsPerChannel), metadata_(metadata), exifTags_(metadata.exif),
          bitsPerChannel_(bitsPerChannel),
          rowBytes_(static_cast<size_t>(width) * 3 * static_cast<size_t>(bitsPerChannel / 8)),
          row_(new uint8_t[rowBytes_]) {
        tiffError_[0] = '\0';
    }
    ~TiffRowWriter() override {
        if (!tif_)
            return;
        discarding_ = true;  // an unfinished image: nothing more goes to the file
        TIFFClose(tif_);
    }

    bool Start(bool bigTiff) {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        if (!options)
            return Fail("cannot write " + File().Path() + " (out of memory)");
        TIFFOpenOptionsSetErrorHandlerExtR(options, &TiffRowWriter::OnError, this);
        TIFFOpenOptionsSetWarningHandlerExtR(options, &TiffRowWriter::OnWarning, this);
        // libtiff writes through these procedures, so that every write and seek is seen and a
        // failed one is reported with its cause.
        tif_ = TIFFClientOpenExt(File().Path().c_str(), bigTiff ? "w8" : "w", this, &TiffRowWriter::Read,
                                 &TiffRowWriter::Write, &TiffRowWriter::Seek, &TiffRowWriter::Close,
                                 &TiffRowWriter::Size, &TiffRowWriter::Map, &TiffRowWriter::Unmap, options);
        TIFFOpenOptionsFree(options);
        return Checked(tif_ && SetTags());
    }

protected:
    bool EncodeRows(const uint8_t* first, int count, ptrdiff_t strideBytes) override {
        for (int k = 0; k < count; ++k) {
            if (bitsPerChannel_ == 8)
                SwapToRgb(reinterpret_cast<const Rgb*>(first + k * strideBytes));
            else
                SwapToRgb(reinterpret_cast<const uint16_t*>(first + k * strideBytes));
            const uint32_t y = static_cast<uint32_t>(RowsWritten() + k);
            if (!Checked(TIFFWriteScanline(tif_, row_.get(), y, 0) == 1))
                return false;
        }
        return true;
    }

    bool EndEncoding() override {
        const bool flushed = exifTags_.WriteDirectories(tif_) && TIFFFlush(tif_) == 1;
        TIFFClose(tif_);
        tif_ = nullptr;
        return Checked(flushed);
    }

private:
    bool SetTags() {
        const int rowsPerStrip = RowsPerStrip(static_cast<int64_t>(rowBytes_), Height());
        return TIFFSetField(tif_, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(Width())) &&
               TIFFSetField(tif_, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(Height())) &&
               TIFFSetField(tif_, TIFFTAG_BITSPERSAMPLE, bitsPerChannel_) &&
               TIFFSetField(tif_, TIFFTAG_SAMPLESPERPIXEL, 3) &&
               TIFFSetField(tif_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
               TIFFSetField(tif_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
               TIFFSetField(tif_, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
               TIFFSetField(tif_, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
               TIFFSetField(tif_, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
               // zlib's fastest level: a panorama of hundreds of megapixels spent minutes in the
               // default level for files a tenth smaller.
               TIFFSetField(tif_, TIFFTAG_ZIPQUALITY, 1) &&
               TIFFSetField(tif_, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rowsPerStrip)) &&
               TIFFSetField(tif_, TIFFTAG_XRESOLUTION, 72.0) && TIFFSetField(tif_, TIFFTAG_YRESOLUTION, 72.0) &&
               TIFFSetField(tif_, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) && SetMetadataTags();
    }

    bool SetMetadataTags() {
        const EmbeddedMetadata& m = metadata_;
        return (m.xmp.empty() ||
                TIFFSetField(tif_, TIFFTAG_XMLPACKET, static_cast<uint32_t>(m.xmp.size()), m.xmp.data()) == 1) &&
               (m.icc.empty() ||
                TIFFSetField(tif_, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(m.icc.size()), m.icc.data()) == 1) &&
               exifTags_.SetImageTags(tif_);
    }

    // TIFF keeps red first. The row is copied anyway: the predictor rewrites what it encodes.
    void SwapToRgb(const Rgb* in) {
        uint8_t* out = row_.get();
        for (int x = 0; x < Width(); ++x, out += 3) {
            out[0] = in[x].r;
            out[1] = in[x].g;
            out[2] = in[x].b;
        }
    }
    void SwapToRgb(const uint16_t* in) {
        auto* out = reinterpret_cast<uint16_t*>(row_.get());
        const uint16_t* end = in + static_cast<ptrdiff_t>(Width()) * 3;
        for (; in != end; in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }

    bool Checked(bool encoded) {
        if (!writeError_.empty())
            return Fail(writeError_);
        if (!encoded)
            return Fail("cannot write " + File().Path() + " (" + (tiffError_[0] ? tiffError_ : "libtiff failed") + ")");
        return true;
    }

    // Once the image is abandoned (or its file closed) the descriptor is no longer this
    // writer's to touch: it may already belong to another file.
    bool FileUsable() const { return !discarding_ && File().Descriptor() >= 0; }

    static TiffRowWriter* Of(thandle_t handle) { return static_cast<TiffRowWriter*>(handle); }

    static tmsize_t Write(thandle_t handle, void* data, tmsize_t size) {
        TiffRowWriter* writer = Of(handle);
        if (!writer->FileUsable())
            return size;
        if (writer->writeError_.empty())
            writer->File().Append(data, static_cast<size_t>(size), &writer->writeError_);
        return writer->writeError_.empty() ? size : -1;
    }
    static tmsize_t Read(thandle_t handle, void* data, tmsize_t size) {
        TiffRowWriter* writer = Of(handle);
        if (!writer->FileUsable())
            return 0;
        return read(writer->File().Descriptor(), data, static_cast<size_t>(size));
    }
    static toff_t Seek(thandle_t handle, toff_t offset, int whence) {
        TiffRowWriter* writer = Of(handle);
        if (!writer->FileUsable())
            return offset;
        const off_t at = lseek(writer->File().Descriptor(), static_cast<off_t>(offset), whence);
        if (at < 0 && writer->writeError_.empty())
            writer->writeError_ = WriteFailure(writer->File().Path(), errno);
        return at < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(at);
    }
    static toff_t Size(thandle_t handle) {
        TiffRowWriter* writer = Of(handle);
        struct stat seen {};
        if (!writer->FileUsable() || fstat(writer->File().Descriptor(), &seen) != 0)
            return 0;
        return static_cast<toff_t>(seen.st_size);
    }
    static int Close(thandle_t) { return 0; }  // the descriptor belongs to the partial file
    static int Map(thandle_t, void**, toff_t*) { return 0; }
    static void Unmap(thandle_t, void*, toff_t) {}

    // libtiff's messages go into the writer's error, never to the program's standard error.
    // The first one is kept: later ones are its consequences.
    static int OnError(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
        TiffRowWriter* writer = Of(user);
        if (writer->tiffError_[0] == '\0') {
            int n = std::snprintf(writer->tiffError_, sizeof(writer->tiffError_), "%s: ", module ? module : "libtiff");
            n = std::clamp(n, 0, static_cast<int>(sizeof(writer->tiffError_)) - 1);
            std::vsnprintf(writer->tiffError_ + n, sizeof(writer->tiffError_) - static_cast<size_t>(n), format,
                           arguments);
        }
        return 1;  // handled: libtiff's default handler, which prints, is not called
    }
    static int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

    TIFF* tif_ = nullptr;
    EmbeddedMetadata metadata_;
    TiffExifTags exifTags_;
    int bitsPerChannel_;
    size_t rowBytes_;
    std::unique_ptr<uint8_t[]> row_;
    std::string writeError_;
    char tiffError_[512];
    bool discarding_ = false;
};

}  // namespace

std::unique_ptr<RowImageWriter> RowImageWriter::OpenTiff(const std::string& path, int width, int height,
                                                         const RowWriterOptions& options, std::string* why) {
    PartialFile file;
    if (!file.Create(path, why))
        return nullptr;
    auto writer =
        std::make_unique<TiffRowWriter>(std::move(file), width, height, options.bitsPerChannel, options.metadata);
    // BigTIFF only when it may be needed: many programs still read classic TIFF only.
    if (!writer->Start(options.bigTiff || TiffNeedsBigTiff(width, height, options.bitsPerChannel))) {
        *why = writer->Error();
        return nullptr;
    }
    return writer;
}
