// Reading a project from any bytes the way the window and the stitcher do: the document, the
// image sizes from the photographs' headers, the engine. A project that loads must save, and
// the saved project must load again and save to the same bytes.
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "FuzzInputFile.h"
#include "engine/ProjectStore.h"

using namespace Zelvo;

namespace {

// The seed projects (written by vedora-stitch --match-only from three rendered 320 x 240
// photographs of these names) name them relative to their own folder, the temporary folder
// where the inputs are written. Only the sizes in the headers are read.
void MakePhotographs() {
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    for (const char* name : {"vedora-fuzz-a.png", "vedora-fuzz-b.png", "vedora-fuzz-c.png"}) {
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(0x406080);
        if (!image.save(QString::fromStdString((folder / name).string())))
            std::abort();
    }
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Loads path into a fresh engine and saves it to target; false when the load fails.
bool LoadAndSave(const std::string& path, const std::string& target, std::string* why) {
    PanoramaEngine engine;
    XmlDocument doc;
    ProjectStore store(engine, doc);
    if (!store.Load(path)) {
        *why = store.LastError();
        return false;
    }
    if (!store.Save(target))
        std::abort();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakePhotographs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzInputFile input(".vdp");
    static FuzzInputFile saved(".vdp");
    static FuzzInputFile resaved(".vdp");
    std::string why;
    if (!LoadAndSave(input.Write(data, size), saved.Path(), &why)) {
        if (why.empty())
            std::abort();  // every refusal gives its reason
        return 0;
    }
    if (!LoadAndSave(saved.Path(), resaved.Path(), &why) || ReadBytes(saved.Path()) != ReadBytes(resaved.Path()))
        std::abort();
    return 0;
}
