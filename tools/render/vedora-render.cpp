// vedora-render: writes perspective photographs of an equirectangular world for given
// cameras, plus their ground truth as JSON.
//
//   vedora-render --world WORLD.jpg --out DIR [--focal F] [--size WxH] [--prefix NAME]
//                 --view YAW,PITCH,ROLL[,GAIN,OFFSET,VIGNETTING] ...
#include <QDir>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "image/ImageFile.h"
#include "render/ViewRenderer.h"

namespace {

int Usage(const char* message) {
    if (message)
        std::fprintf(stderr, "vedora-render: %s\n", message);
    std::fprintf(stderr,
                 "usage: vedora-render --world WORLD.jpg --out DIR [--focal F] [--size WxH] [--prefix NAME]\n"
                 "                     --view YAW,PITCH,ROLL[,GAIN,OFFSET,VIGNETTING] ...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string worldPath, outDir, prefix = "view";
    render::ViewSpec base;
    std::vector<render::ViewSpec> views;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--world" && (v = value()))
            worldPath = v;
        else if (arg == "--out" && (v = value()))
            outDir = v;
        else if (arg == "--prefix" && (v = value()))
            prefix = v;
        else if (arg == "--focal" && (v = value()))
            base.focal = std::atof(v);
        else if (arg == "--size" && (v = value())) {
            if (std::sscanf(v, "%dx%d", &base.width, &base.height) != 2 || base.width <= 0 || base.height <= 0)
                return Usage("bad --size");
        } else if (arg == "--view" && (v = value())) {
            render::ViewSpec view = base;
            int n = std::sscanf(v, "%lf,%lf,%lf,%lf,%lf,%lf", &view.yaw, &view.pitch, &view.roll, &view.gain,
                                &view.offset, &view.vignetting);
            if (n != 3 && n != 6)
                return Usage("bad --view");
            views.push_back(view);
        } else if (arg == "-h" || arg == "--help") {
            Usage(nullptr);
            return 0;
        } else {
            return Usage(("unknown or incomplete option " + arg).c_str());
        }
    }
    if (worldPath.empty() || outDir.empty() || views.empty())
        return Usage("--world, --out and at least one --view are needed");
    render::World world;
    if (!world.Load(worldPath)) {
        std::fprintf(stderr, "vedora-render: cannot read %s\n", worldPath.c_str());
        return 2;
    }
    QDir().mkpath(QString::fromStdString(outDir));
    std::vector<render::RenderedView> written;
    for (size_t k = 0; k < views.size(); ++k) {
        char name[256];
        std::snprintf(name, sizeof name, "%s%02zu.jpg", prefix.c_str(), k + 1);
        std::string path = outDir + "/" + name;
        if (!SaveImageFile(render::RenderView(world, views[k]), QString::fromStdString(path))) {
            std::fprintf(stderr, "vedora-render: cannot write %s\n", path.c_str());
            return 1;
        }
        written.push_back({name, views[k]});
        std::printf("%s\n", path.c_str());
    }
    std::ofstream(outDir + "/truth.json") << render::GroundTruthJson(worldPath, written);
    return 0;
}
