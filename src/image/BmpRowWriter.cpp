#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "image/RowImageWriter.h"

namespace {

constexpr int64_t kHeaderBytes = 14 + 40;  // file header and BITMAPINFOHEADER
constexpr int64_t kLargestFile = 0xFFFFFFFF;
constexpr int64_t kChunkBytes = 1 << 20;

// Rows of 24-bit pixels padded to whole 32-bit words.
int64_t RowBytesOf(int width) { return (static_cast<int64_t>(width) * 3 + 3) & ~int64_t(3); }

void Put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    Put16(at, value);
    Put16(at + 2, value >> 16);
}

// A bottom-up BMP, the kind every reader takes (some skip the top-down kind with a negative
// height). Every row's place is known from the sizes, so each band goes straight to where it
// belongs, counted from the end of the file, and the file is complete when row 0 is written.
class BmpRowWriter final : public RowImageWriter {
public:
    BmpRowWriter(PartialFile file, int width, int height)
        : RowImageWriter(std::move(file), width, height, 8), rowBytes_(RowBytesOf(width)),
          rowsPerChunk_(static_cast<int>(std::clamp<int64_t>(kChunkBytes / rowBytes_, 1, height))),
          chunk_(new uint8_t[static_cast<size_t>(rowBytes_ * rowsPerChunk_)]()) {}

    bool Start() {
        uint8_t header[kHeaderBytes] = {};
        const int64_t pixelBytes = rowBytes_ * Height();
        header[0] = 'B';
        header[1] = 'M';
        Put32(header + 2, static_cast<uint32_t>(kHeaderBytes + pixelBytes));
        Put32(header + 10, static_cast<uint32_t>(kHeaderBytes));
        Put32(header + 14, 40);
        Put32(header + 18, static_cast<uint32_t>(Width()));
        Put32(header + 22, static_cast<uint32_t>(Height()));  // positive: bottom-up
        Put16(header + 26, 1);                                // planes
        Put16(header + 28, 24);                               // bits per pixel
        Put32(header + 30, 0);                                // BI_RGB: uncompressed
        Put32(header + 34, static_cast<uint32_t>(pixelBytes));
        std::string why;
        return File().WriteAt(header, sizeof(header), 0, &why) || Fail(why);
    }

protected:
    bool EncodeRows(const uint8_t* first, int count, ptrdiff_t strideBytes) override {
        const size_t pixelBytes = static_cast<size_t>(Width()) * 3;
        for (int done = 0; done < count;) {
            const int rows = std::min(count - done, rowsPerChunk_);
            // The chunk holds image rows top .. top + rows - 1, lowest first as in the file.
            for (int k = 0; k < rows; ++k)
                std::memcpy(chunk_.get() + (rows - 1 - k) * rowBytes_, first + (done + k) * strideBytes, pixelBytes);
            const int64_t top = RowsWritten() + done;
            const int64_t offset = kHeaderBytes + (Height() - top - rows) * rowBytes_;
            std::string why;
            if (!File().WriteAt(chunk_.get(), static_cast<size_t>(rows * rowBytes_), static_cast<off_t>(offset), &why))
                return Fail(why);
            done += rows;
        }
        return true;
    }
    bool EndEncoding() override { return true; }  // every row was written where it belongs

private:
    int64_t rowBytes_;
    int rowsPerChunk_;
    std::unique_ptr<uint8_t[]> chunk_;  // zeroed once: the padding at each row's end stays zero
};

}  // namespace

std::string RowImageWriter::BmpSizeProblem(const std::string& path, int width, int height) {
    const int64_t fileBytes = kHeaderBytes + RowBytesOf(width) * height;
    if (fileBytes <= kLargestFile)
        return std::string();
    return "cannot write " + path + ": a BMP file is at most 4 GB, and this image would take " +
           std::to_string((fileBytes + (1 << 20) - 1) >> 20) + " MB; save it as TIFF (.tif)";
}

std::unique_ptr<RowImageWriter> RowImageWriter::OpenBmp(const std::string& path, int width, int height,
                                                        const RowWriterOptions& options, std::string* why) {
    if (options.bitsPerChannel != 8) {
        *why = "cannot write " + path + ": BMP holds 8 bits per channel; save 16 bits as PNG or TIFF";
        return nullptr;
    }
    if (std::string problem = BmpSizeProblem(path, width, height); !problem.empty()) {
        *why = problem;
        return nullptr;
    }
    PartialFile file;
    if (!file.Create(path, why))
        return nullptr;
    auto writer = std::make_unique<BmpRowWriter>(std::move(file), width, height);
    if (!writer->Start()) {
        *why = writer->Error();
        return nullptr;
    }
    return writer;
}
