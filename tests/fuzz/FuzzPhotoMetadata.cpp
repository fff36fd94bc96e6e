// A photograph's metadata on any bytes, the whole way a stranger's EXIF travels: read through
// Exiv2, made into a panorama's metadata, and written into a small JPEG, PNG and TIFF. The
// first byte picks the input file's suffix (Exiv2 decides by content, the suffix only names
// the file); nothing may crash, hang or leak, and a failed write must leave no file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzInputFile.h"
#include "image/OutputMetadata.h"
#include "image/PhotoMetadata.h"
#include "image/RowImageWriter.h"

namespace {

std::string OutputFolder() {
    static const std::string folder = [] {
        char name[] = "/tmp/fuzz-metadata-XXXXXX";
        if (!mkdtemp(name))
            std::abort();
        return std::string(name);
    }();
    return folder;
}

void WriteSmall(const std::string& path, const EmbeddedMetadata& metadata) {
    RowWriterOptions options;
    options.metadata = metadata;
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0 && !JpegMetadataProblem(metadata).empty())
        options.metadata = EmbeddedMetadata();
    std::string why;
    auto writer = RowImageWriter::Open(path, 3, 2, options, &why);
    if (!writer)
        return;
    const Rgb rows[6] = {};
    if (writer->WriteRows(rows, 2, 3 * sizeof(Rgb)))
        writer->Finish([] { return true; }, &why);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    FuzzInputFile& input = ImageInputFor(data[0]);
    input.Write(data + 1, size - 1);
    const PhotoMetadata photo = ReadPhotoMetadata(input.Path());
    RecordedFocalLengthPixels(photo, 4000, 3000);
    PanoramaFacts facts;
    facts.width = 3;
    facts.height = 2;
    facts.software = "Vedora";
    facts.sphere = PhotoSphereFacts{500, 100, 200, photo.heading};
    std::vector<std::string> notes;
    const EmbeddedMetadata metadata = PanoramaMetadata(photo, facts, &notes);
    for (const char* name : {"/out.jpg", "/out.png", "/out.tif"})
        WriteSmall(OutputFolder() + name, metadata);
    return 0;
}
