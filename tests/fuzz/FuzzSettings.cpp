// The window's settings document on any bytes: whatever the file holds (whole, damaged, cut
// off, foreign), loading gives a settings document with its root, every value read within its
// range, and a damaged file's copy beside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/SettingsDocument.h"
#include "dialogs/TextureLimitRange.h"

namespace {

// A folder of this process's own for the settings file and the copies of it a damaged one
// leaves, so that clearing them looks at nothing else.
const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        std::string name = (std::filesystem::temp_directory_path() / "vedora-fuzz-settings-XXXXXX").string();
        if (!mkdtemp(name.data()))
            std::abort();
        return std::filesystem::path(name);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = (Folder() / "vedora.xml").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out)
            std::abort();
    }
    SettingsDocument settings;
    settings.Load(QString::fromStdString(path));
    if (!settings.Root() || settings.Root()->Name() != "Vedora")
        std::abort();
    const TextureLimits t = settings.ReadTextureLimits();
    for (int limit : {t.sourceImages, t.imagePair, t.stitchImage, t.cropImage})
        if (limit < kMinTextureLimit || limit > kMaxTextureLimit)
            std::abort();
    const WindowPlacement p = settings.ReadWindowPlacement();
    if (p.w < 150 || p.h < 150 || p.x < 0 || p.y < 0)
        std::abort();
    settings.ProjectsFolder();
    // The copies a damaged file leaves are the run's own litter here.
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
        if (entry.path().filename() != "vedora.xml")
            std::filesystem::remove(entry.path());
    return 0;
}
