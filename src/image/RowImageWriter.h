#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "image/EmbeddedMetadata.h"
#include "image/PartialFile.h"
#include "image/Pixels.h"

// Image files written a band of rows at a time, top to bottom, in memory that does not grow
// with the image: the way out for a panorama too large to hold whole.

struct RowWriterOptions {
    int quality = 100;       // JPEG quality 1..100
    int bitsPerChannel = 8;  // 8, or 16 for PNG and TIFF
    bool bigTiff = false;    // TIFF: BigTIFF even when a classic TIFF would hold the image
    // Written into the file in the format's own way (BMP holds none).
    EmbeddedMetadata metadata;
};

// Why a JPEG cannot hold this metadata (a block larger than one marker segment); empty when it can.
std::string JpegMetadataProblem(const EmbeddedMetadata& metadata);

// The largest side libjpeg encodes; a JPEG header could say 65,535 but the library refuses
// anything above this.
constexpr int kJpegMaxSide = 65500;

// Whether a TIFF of this size needs BigTIFF's 64-bit offsets: classic TIFF addresses 4 GB,
// and the compressed size is known only once written, so the decision is made on the
// uncompressed size with room for incompressible content.
bool TiffNeedsBigTiff(int64_t width, int64_t height, int bitsPerChannel);

class RowImageWriter {
public:
    // The writer for path's suffix (.jpg/.jpeg or none: JPEG; .png; .tif/.tiff; .bmp), writing
    // width x height pixels into a hidden file beside path (beside a link's target). Null, with
    // the reason in *why and no file created, when the format cannot hold the image (a JPEG
    // side above kJpegMaxSide, a BMP past 4 GB, 16 bits for JPEG or BMP), when the suffix names
    // another image format Qt knows (.gif, .webp), when path is not a regular file or when the
    // folder takes no new file. Any other suffix is written as JPEG, as SaveImageFile does.
    static std::unique_ptr<RowImageWriter> Open(const std::string& path, int width, int height,
                                                const RowWriterOptions& options, std::string* why);
    // Whether Open accepts path's suffix: for refusing an output name before the work that
    // would fill it.
    static bool WritesSuffixOf(const std::string& path);
    // Whether path is written as JPEG (its suffix, or none that names another format).
    static bool IsJpegPath(const std::string& path);
    // The depth path's format is written with when requested bits (0: none asked for) are
    // wanted: a TIFF keeps 16 bits unless 8 are asked for (it is the format for further
    // editing), a PNG has 8 unless 16 are asked for, JPEG and BMP hold 8 only.
    static int BitsPerChannelFor(const std::string& path, int requested);
    // Why path's format cannot hold a width x height image (a JPEG side above kJpegMaxSide, a BMP
    // past 4 GB); empty when it can. For refusing before the work, as Open would after it.
    static std::string SizeProblem(const std::string& path, int width, int height);

    RowImageWriter(const RowImageWriter&) = delete;
    RowImageWriter& operator=(const RowImageWriter&) = delete;
    // A writer that did not finish removes its hidden file: the old file stays as it was.
    virtual ~RowImageWriter();

    // The next count rows of width 8-bit pixels in the library's order (blue, green, red), row
    // k at first + k * strideBytes. False, with the reason in Error(), when a write failed or
    // the rows do not fit what was opened; after one failure every call fails.
    bool WriteRows(const Rgb* first, int count, ptrdiff_t strideBytes);
    // The same with 16-bit channels, blue, green, red, 0..65535 (PNG and TIFF opened with 16 bits).
    bool WriteRows16(const uint16_t* first, int count, ptrdiff_t strideBytes);
    // After the last row: finishes the encoder, checks that every byte reached the file, makes
    // it durable and renames it over path keeping an old file's permission bits. keep() is
    // asked just before the rename (false: interrupted, the old file stays). Once only.
    bool Finish(const std::function<bool()>& keep, std::string* why);

    const std::string& Error() const { return error_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int RowsWritten() const { return rowsWritten_; }

protected:
    RowImageWriter(PartialFile file, int width, int height, int bitsPerChannel);

    // count rows of the depth opened (3 channels of 1 or 2 bytes each), row k at first + k * strideBytes.
    virtual bool EncodeRows(const uint8_t* first, int count, ptrdiff_t strideBytes) = 0;
    // Ends the encoding after the last row; every byte handed to the file.
    virtual bool EndEncoding() = 0;

    // Records the first failure (later ones are its consequences) and returns false.
    bool Fail(const std::string& message);
    PartialFile& File() { return file_; }
    const PartialFile& File() const { return file_; }

private:
    bool Accept(const void* first, int count, int bitsPerChannel);

    static std::string JpegSizeProblem(const std::string& path, int width, int height);
    static std::string BmpSizeProblem(const std::string& path, int width, int height);
    // Each format checks its limits before its file is created.
    static std::unique_ptr<RowImageWriter> OpenJpeg(const std::string& path, int width, int height,
                                                    const RowWriterOptions& options, std::string* why);
    static std::unique_ptr<RowImageWriter> OpenPng(const std::string& path, int width, int height,
                                                   const RowWriterOptions& options, std::string* why);
    static std::unique_ptr<RowImageWriter> OpenTiff(const std::string& path, int width, int height,
                                                    const RowWriterOptions& options, std::string* why);
    static std::unique_ptr<RowImageWriter> OpenBmp(const std::string& path, int width, int height,
                                                   const RowWriterOptions& options, std::string* why);

    PartialFile file_;
    std::string error_;
    int width_;
    int height_;
    int bitsPerChannel_;
    int rowsWritten_ = 0;
    bool failed_ = false;
    bool finished_ = false;
};
