// vedora-render: writes perspective photographs of an equirectangular world for given
// cameras, plus their ground truth as JSON; renders the ground-truth panorama for a cameras
// file of the stitcher; compares two images.
//
//   vedora-render --world WORLD.jpg --out DIR [--focal F] [--size WxH] [--prefix NAME]
//                 --view YAW,PITCH,ROLL[,GAIN,OFFSET,VIGNETTING] ...
//   vedora-render --truth-panorama CAMERAS.json --views TRUTH.json --out PANO.png
//                 [--mask MASK.png] [--crop] [--margin PX] [--world WORLD.jpg]
//   vedora-render --psnr A.png B.png [--mask MASK.png] [--fit-exposure]
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/ImageFile.h"
#include "render/GroundTruth.h"
#include "render/ImageCompare.h"
#include "render/TruthPanorama.h"
#include "render/ViewRenderer.h"

namespace {

struct Options {
    std::string world, out, prefix = "view", mask, cameras, truth, psnrA, psnrB;
    bool fitExposure = false;  // --psnr after a gain and an offset per channel carry A onto B
    render::ViewSpec base;
    std::vector<render::ViewSpec> views;
    bool crop = false;
    double margin = 0;
};

int Usage(const char* message) {
    if (message)
        std::fprintf(stderr, "vedora-render: %s\n", message);
    std::fprintf(stderr, "usage: vedora-render --world WORLD.jpg --out DIR [--focal F] [--size WxH] [--prefix NAME]\n"
                         "                     --view YAW,PITCH,ROLL[,GAIN,OFFSET,VIGNETTING] ...\n"
                         "       vedora-render --truth-panorama CAMERAS.json --views TRUTH.json --out PANO.png\n"
                         "                     [--mask MASK.png] [--crop] [--margin PX] [--world WORLD.jpg]\n"
                         "       vedora-render --psnr A.png B.png [--mask MASK.png] [--fit-exposure]\n");
    return 2;
}

bool ParseView(const char* text, const render::ViewSpec& base, std::vector<render::ViewSpec>& views) {
    render::ViewSpec view = base;
    int n = std::sscanf(text, "%lf,%lf,%lf,%lf,%lf,%lf", &view.yaw, &view.pitch, &view.roll, &view.gain, &view.offset,
                        &view.vignetting);
    if (n != 3 && n != 6)
        return false;
    views.push_back(view);
    return true;
}

// Returns an error text, or an empty string when the arguments were read.
std::string ParseArguments(int argc, char** argv, Options& o, bool* help) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--world" && (v = value()))
            o.world = v;
        else if (arg == "--out" && (v = value()))
            o.out = v;
        else if (arg == "--prefix" && (v = value()))
            o.prefix = v;
        else if (arg == "--focal" && (v = value()))
            o.base.focal = std::atof(v);
        else if (arg == "--size" && (v = value())) {
            if (std::sscanf(v, "%dx%d", &o.base.width, &o.base.height) != 2 || o.base.width <= 0 || o.base.height <= 0)
                return "bad --size";
        } else if (arg == "--view" && (v = value())) {
            if (!ParseView(v, o.base, o.views))
                return "bad --view";
        } else if (arg == "--truth-panorama" && (v = value()))
            o.cameras = v;
        else if (arg == "--views" && (v = value()))
            o.truth = v;
        else if (arg == "--mask" && (v = value()))
            o.mask = v;
        else if (arg == "--crop")
            o.crop = true;
        else if (arg == "--margin" && (v = value())) {
            char* end = nullptr;
            o.margin = std::strtod(v, &end);
            if (*end || !(o.margin >= 0))
                return "bad --margin";
        } else if (arg == "--fit-exposure") {
            o.fitExposure = true;
        } else if (arg == "--psnr" && i + 2 < argc) {
            o.psnrA = argv[++i];
            o.psnrB = argv[++i];
        } else if (arg == "-h" || arg == "--help")
            *help = true;
        else
            return "unknown or incomplete option " + arg;
    }
    return "";
}

int RenderViews(const Options& o) {
    if (o.world.empty() || o.out.empty() || o.views.empty())
        return Usage("--world, --out and at least one --view are needed");
    render::World world;
    if (!world.Load(o.world)) {
        std::fprintf(stderr, "vedora-render: cannot read %s\n", o.world.c_str());
        return 2;
    }
    QDir().mkpath(QString::fromStdString(o.out));
    std::vector<render::RenderedView> written;
    for (size_t k = 0; k < o.views.size(); ++k) {
        char name[256];
        std::snprintf(name, sizeof name, "%s%02zu.jpg", o.prefix.c_str(), k + 1);
        std::string path = o.out + "/" + name;
        if (!SaveImageFile(render::RenderView(world, o.views[k]), QString::fromStdString(path))) {
            std::fprintf(stderr, "vedora-render: cannot write %s\n", path.c_str());
            return 1;
        }
        written.push_back({name, o.views[k]});
        std::printf("%s\n", path.c_str());
    }
    // The world's absolute path, so that the truth file can be used from any folder.
    std::string worldPath = QFileInfo(QString::fromStdString(o.world)).absoluteFilePath().toStdString();
    std::ofstream truth(o.out + "/truth.json");
    truth << render::GroundTruthJson(worldPath, written);
    if (!truth.flush()) {
        std::fprintf(stderr, "vedora-render: cannot write %s/truth.json\n", o.out.c_str());
        return 1;
    }
    return 0;
}

// --world, else the truth file's world as written, else relative to the truth file's folder.
std::string WorldFor(const Options& o, const render::GroundTruth& truth) {
    if (!o.world.empty())
        return o.world;
    if (QFileInfo::exists(QString::fromStdString(truth.world)))
        return truth.world;
    return QFileInfo(QString::fromStdString(o.truth)).dir().filePath(QString::fromStdString(truth.world)).toStdString();
}

bool Save(const ImgRGB& image, const std::string& path) {
    if (SaveImageFile(image, QString::fromStdString(path)))
        return true;
    std::fprintf(stderr, "vedora-render: cannot write %s\n", path.c_str());
    return false;
}

int RunTruthPanorama(const Options& o) {
    if (o.truth.empty() || o.out.empty())
        return Usage("--truth-panorama needs --views and --out");
    render::CamerasFile cameras = render::ReadCamerasFile(o.cameras);
    render::GroundTruth truth = render::ReadGroundTruth(o.truth);
    render::World world;
    std::string worldPath = WorldFor(o, truth);
    if (!world.Load(worldPath)) {
        std::fprintf(stderr, "vedora-render: cannot read the world %s\n", worldPath.c_str());
        return 2;
    }
    render::TruthPanorama pano =
        render::RenderGroundTruthPanorama(world, truth.views, cameras, {.crop = o.crop, .margin = o.margin});
    if (!Save(pano.image, o.out) || (!o.mask.empty() && !Save(render::ImageFromMask(pano.mask), o.mask)))
        return 1;
    std::printf("%s: %dx%d, %d registered images, frame spread %.4f degrees\n", o.out.c_str(), pano.image.width,
                pano.image.height, pano.registeredImages, pano.spreadDegrees);
    return 0;
}

ImgRGB LoadOrThrow(const std::string& path) {
    ImgRGB image;
    if (!LoadImageFile(image, 0, QString::fromStdString(path)))
        throw std::runtime_error("cannot read " + path);
    return image;
}

int PrintPsnr(const Options& o) {
    ImgRGB a = LoadOrThrow(o.psnrA), b = LoadOrThrow(o.psnrB);
    ImgUCHAR mask;
    if (!o.mask.empty())
        mask = render::MaskFromImage(LoadOrThrow(o.mask));
    const ImgUCHAR* m = o.mask.empty() ? nullptr : &mask;
    render::PsnrResult r = o.fitExposure ? render::PsnrWithFittedExposure(a, b, m) : render::Psnr(a, b, m);
    if (std::isinf(r.decibels))
        std::printf("inf dB (%ld pixels, identical)\n", r.pixels);
    else
        std::printf("%.3f dB (%ld pixels, mean squared error %.4f)\n", r.decibels, r.pixels, r.meanSquaredError);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    bool help = false;
    std::string error = ParseArguments(argc, argv, o, &help);
    if (help) {
        Usage(nullptr);
        return 0;
    }
    if (!error.empty())
        return Usage(error.c_str());
    if (!o.cameras.empty() && !o.psnrA.empty())
        return Usage("--truth-panorama and --psnr are separate tasks");
    try {
        if (!o.cameras.empty())
            return RunTruthPanorama(o);
        if (!o.psnrA.empty())
            return PrintPsnr(o);
        return RenderViews(o);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vedora-render: %s\n", e.what());
        return 2;
    }
}
