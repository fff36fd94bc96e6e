#include "image/RowImageWriter.h"

#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include <utility>

namespace {

enum class RowFormat { kJpeg, kPng, kTiff, kBmp, kOtherImage };

std::string SuffixLowered(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string suffix = path.substr(dot + 1);
    for (char& c : suffix)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return suffix;
}

// A suffix that names no image format is written as JPEG, as SaveImageFile does; one that
// names a format other than these four is refused rather than given JPEG content under a
// name that promises something else.
RowFormat FormatOf(const std::string& path) {
    const std::string suffix = SuffixLowered(path);
    if (suffix.empty() || suffix == "jpg" || suffix == "jpeg")
        return RowFormat::kJpeg;
    if (suffix == "png")
        return RowFormat::kPng;
    if (suffix == "tif" || suffix == "tiff")
        return RowFormat::kTiff;
    if (suffix == "bmp")
        return RowFormat::kBmp;
    const QByteArray name(suffix.data(), static_cast<qsizetype>(suffix.size()));
    if (name == "gif" || QImageReader::supportedImageFormats().contains(name) ||
        QImageWriter::supportedImageFormats().contains(name))
        return RowFormat::kOtherImage;
    return RowFormat::kJpeg;
}

void Tell(std::string* why, const std::string& message) {
    if (why)
        *why = message;
}

}  // namespace

std::unique_ptr<RowImageWriter> RowImageWriter::Open(const std::string& path, int width, int height,
                                                     const RowWriterOptions& options, std::string* why) {
    std::string reason;
    std::unique_ptr<RowImageWriter> writer;
    if (width < 1 || height < 1)
        reason = "cannot write " + path + ": the image has no pixels";
    else if (options.bitsPerChannel != 8 && options.bitsPerChannel != 16)
        reason = "cannot write " + path + ": channels have 8 or 16 bits, not " + std::to_string(options.bitsPerChannel);
    else
        switch (FormatOf(path)) {
        case RowFormat::kJpeg: writer = OpenJpeg(path, width, height, options, &reason); break;
        case RowFormat::kPng: writer = OpenPng(path, width, height, options, &reason); break;
        case RowFormat::kTiff: writer = OpenTiff(path, width, height, options, &reason); break;
        case RowFormat::kBmp: writer = OpenBmp(path, width, height, options, &reason); break;
        case RowFormat::kOtherImage:
            reason = "cannot write " + path + ": ." + SuffixLowered(path) +
                     " files are not written here; choose .jpg, .png, .tif or .bmp";
            break;
        }
    if (!writer)
        Tell(why, reason);
    return writer;
}

bool RowImageWriter::WritesSuffixOf(const std::string& path) { return FormatOf(path) != RowFormat::kOtherImage; }

bool RowImageWriter::IsJpegPath(const std::string& path) { return FormatOf(path) == RowFormat::kJpeg; }

int RowImageWriter::BitsPerChannelFor(const std::string& path, int requested) {
    switch (FormatOf(path)) {
    case RowFormat::kTiff: return requested == 8 ? 8 : 16;
    case RowFormat::kPng: return requested == 16 ? 16 : 8;
    default: return 8;
    }
}

std::string RowImageWriter::SizeProblem(const std::string& path, int width, int height) {
    switch (FormatOf(path)) {
    case RowFormat::kJpeg: return JpegSizeProblem(path, width, height);
    case RowFormat::kBmp: return BmpSizeProblem(path, width, height);
    default: return std::string();
    }
}

RowImageWriter::RowImageWriter(PartialFile file, int width, int height, int bitsPerChannel)
    : file_(std::move(file)), width_(width), height_(height), bitsPerChannel_(bitsPerChannel) {}

RowImageWriter::~RowImageWriter() = default;

bool RowImageWriter::Fail(const std::string& message) {
    if (!failed_)
        error_ = message;
    failed_ = true;
    return false;
}

bool RowImageWriter::Accept(const void* first, int count, int bitsPerChannel) {
    const std::string where = "cannot write " + file_.Path() + ": ";
    if (finished_)
        return Fail(where + "rows after the image was finished");
    if (failed_)
        return false;
    if (bitsPerChannel != bitsPerChannel_)
        return Fail(where + "rows of " + std::to_string(bitsPerChannel) + "-bit channels for an image opened with " +
                    std::to_string(bitsPerChannel_));
    if (count < 0 || count > height_ - rowsWritten_)
        return Fail(where + "more rows than the image's height of " + std::to_string(height_));
    if (count > 0 && !first)
        return Fail(where + "no rows given");
    return true;
}

bool RowImageWriter::WriteRows(const Rgb* first, int count, ptrdiff_t strideBytes) {
    if (!Accept(first, count, 8))
        return false;
    if (count > 0 && !EncodeRows(reinterpret_cast<const uint8_t*>(first), count, strideBytes))
        return Fail("cannot write " + file_.Path());
    rowsWritten_ += count;
    return true;
}

bool RowImageWriter::WriteRows16(const uint16_t* first, int count, ptrdiff_t strideBytes) {
    if (!Accept(first, count, 16))
        return false;
    if (count > 0 && !EncodeRows(reinterpret_cast<const uint8_t*>(first), count, strideBytes))
        return Fail("cannot write " + file_.Path());
    rowsWritten_ += count;
    return true;
}

bool RowImageWriter::Finish(const std::function<bool()>& keep, std::string* why) {
    if (finished_) {
        Tell(why, "cannot write " + file_.Path() + ": the image was already finished");
        return false;
    }
    finished_ = true;
    if (!failed_ && rowsWritten_ < height_)
        Fail("cannot write " + file_.Path() + ": only " + std::to_string(rowsWritten_) + " of " +
             std::to_string(height_) + " rows were given");
    if (!failed_ && !EndEncoding())
        Fail("cannot write " + file_.Path());
    std::string reason;
    if (!failed_ && !file_.Commit(keep, &reason))
        Fail(reason);
    if (failed_) {
        file_.Discard();
        Tell(why, error_);
        return false;
    }
    return true;
}
