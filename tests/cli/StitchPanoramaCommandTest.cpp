// The final stitch end to end through vedora-stitch: photographs rendered with known cameras
// (and known exposures) in, a cropped panorama out, checked against the panorama the true
// cameras give.
#include <gtest/gtest.h>

#include <QDir>
#include <QString>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "image/ImageFile.h"
#include "movie/VrMovieReader.h"
#include "render/CamerasFile.h"
#include "render/ImageCompare.h"
#include "render/TruthPanorama.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

struct StitchRun {
    std::unique_ptr<RenderedViews> set;
    RunResult run;
    render::CamerasFile cameras;
    ImgRGB panorama;  // the cropped panorama written
    std::string folder;
    double psnr = 0;  // against the truth, over the crop, after matching the tone curve
    render::TruthPanorama truth;
};

// The stitch normalises contrast (a stretch that clips the extremes, the output range), a
// global tone curve that is not its geometry's business. So the comparison first maps each
// channel of the truth through the curve the data show: every truth value to the mean of the
// stitched values at the pixels that hold it (values never seen are interpolated). Seams,
// ghosts and misregistration are local and stay in the difference.
double TonalPsnr(const ImgRGB& stitched, const ImgRGB& truth, const ImgUCHAR& mask) {
    ImgRGB fitted(truth);
    for (int k = 0; k < 3; ++k) {
        double sum[256] = {}, count[256] = {};
        for (int y = 0; y < truth.height; ++y)
            for (int x = 0; x < truth.width; ++x)
                if (mask.At(x, y)) {
                    const int t = (&truth.At(x, y).b)[k];
                    sum[t] += (&stitched.At(x, y).b)[k];
                    count[t] += 1;
                }
        double curve[256];
        int last = -1;
        for (int v = 0; v < 256; ++v) {
            if (count[v] == 0)
                continue;
            curve[v] = sum[v] / count[v];
            for (int u = last + 1; u < v; ++u)
                curve[u] = last < 0 ? curve[v] : curve[last] + (curve[v] - curve[last]) * (u - last) / (v - last);
            last = v;
        }
        for (int u = last + 1; u < 256; ++u)
            curve[u] = last < 0 ? u : curve[last];
        for (int y = 0; y < truth.height; ++y)
            for (int x = 0; x < truth.width; ++x) {
                uint8_t& v = (&fitted.At(x, y).b)[k];
                v = static_cast<uint8_t>(std::clamp(curve[v] + 0.5, 0.0, 255.0));
            }
    }
    return render::Psnr(stitched, fitted, &mask).decibels;
}

void Stitch(const std::vector<render::ViewSpec>& views, StitchRun& r, std::vector<std::string> options = {}) {
    r.set = std::make_unique<RenderedViews>(views);
    r.folder = r.set->Folder();
    std::vector<std::string> args = {"-q",     "-o", r.folder + "/pano.png", "--cameras", r.folder + "/cams.json",
                                     "--seed", "7"};
    // An option value "@/name" names a file in the set's folder.
    for (std::string& option : options)
        if (option.rfind("@/", 0) == 0)
            option = r.folder + option.substr(1);
    args.insert(args.end(), options.begin(), options.end());
    std::vector<render::RenderedView> truth;
    for (size_t i = 0; i < views.size(); ++i) {
        args.push_back(r.set->Path(i));
        truth.push_back({r.set->Path(i), views[i]});
    }
    r.run = RunProgram(VEDORA_STITCH, args, r.folder);
    if (r.run.status != 0)
        return;
    r.cameras = render::ReadCamerasFile(r.folder + "/cams.json");
    ASSERT_TRUE(LoadImageFile(r.panorama, 0, QString::fromStdString(r.folder + "/pano.png")));
    ASSERT_TRUE(r.cameras.crop);
    EXPECT_EQ(r.cameras.crop->width, r.panorama.width);
    EXPECT_EQ(r.cameras.crop->height, r.panorama.height);
    for (const render::CameraEntry& image : r.cameras.images)
        EXPECT_TRUE(image.registered) << image.path;
    render::TruthOptions truthOptions;
    truthOptions.crop = true;
    truthOptions.margin = 2;
    r.truth = render::RenderGroundTruthPanorama(TestWorld(), truth, r.cameras, truthOptions);
    r.psnr = TonalPsnr(r.panorama, r.truth.image, r.truth.mask);
    std::printf("%dx%d crop, %.2f dB\n", r.panorama.width, r.panorama.height, r.psnr);
}

std::vector<render::ViewSpec> Row(int n, double step, double pitch, double focal, int w = 640, int h = 480) {
    std::vector<render::ViewSpec> views;
    for (int k = 0; k < n; ++k)
        views.push_back(View(step * k, pitch, 0, focal, w, h));
    return views;
}

// Mean of every column over the pixels the mask marks; a column with fewer than half of its
// pixels marked gets -1.
std::vector<double> ColumnMeans(const ImgRGB& image, const ImgUCHAR& mask) {
    std::vector<double> means;
    for (int x = 0; x < image.width; ++x) {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < image.height; ++y) {
            if (!mask.At(x, y))
                continue;
            const Rgb& p = image.At(x, y);
            sum += (p.r + p.g + p.b) / 3.0;
            ++n;
        }
        means.push_back(2 * n >= image.height ? sum / n : -1);
    }
    return means;
}

}  // namespace

TEST(StitchPanoramaCommand, RowAndGridAgainstTheTruth) {
    StitchRun row;
    Stitch(Row(5, 35, 5, 500), row, {"--projection", "cylindrical", "--size", "native"});
    ASSERT_EQ(row.run.status, 0) << row.run.err;
    // Two resamplings (the renderer's and the stitch's) against one cost about a dB or two; the
    // working copies keep the photographs' own resolution at native size.
    EXPECT_GE(row.psnr, 30);

    std::vector<render::ViewSpec> grid = Row(4, 35, 15, 500);
    for (const render::ViewSpec& v : Row(4, 35, -15, 500))
        grid.push_back(v);
    StitchRun two;
    Stitch(grid, two, {"--projection", "spherical", "--size", "native"});
    ASSERT_EQ(two.run.status, 0) << two.run.err;
    EXPECT_GE(two.psnr, 30);
}

TEST(StitchPanoramaCommand, ExposureWhiteBalanceAndVignettingAreCorrected) {
    std::vector<render::ViewSpec> views = Row(5, 35, 5, 500);
    const double gains[] = {1.0, 0.7, 1.3, 0.85, 1.15};
    const double balance[][3] = {{1, 1, 1}, {1.08, 1, 0.92}, {0.92, 1, 1.08}, {1.05, 1, 0.95}, {0.95, 1, 1.05}};
    for (size_t i = 0; i < views.size(); ++i) {
        views[i].gain = gains[i];
        views[i].vignetting = 0.35;
        for (int k = 0; k < 3; ++k)
            views[i].whiteBalance[k] = balance[i][k];
    }
    StitchRun r;
    Stitch(views, r, {"--projection", "cylindrical", "--size", "native", "--photometric", "color"});
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    // Uncorrected, the same photographs give about 22.7 dB.
    EXPECT_GE(r.psnr, 27.5);
}

TEST(StitchPanoramaCommand, TheBlendHidesAnExposureStepWithoutCorrection) {
    // Two photographs, one darker, one brighter, joined without photometric correction: the
    // Poisson blend spreads the difference instead of showing a step at the seam.
    std::vector<render::ViewSpec> views = {View(0, 0, 0, 500, 640, 480), View(30, 0, 0, 500, 640, 480)};
    views[0].gain = 0.75;
    views[1].gain = 1.25;
    StitchRun r;
    Stitch(views, r, {"--projection", "cylindrical", "--photometric", "none", "--size", "1200"});
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    // The scene has edges of its own, so what is measured is the gain each column of the stitch
    // carries against the truth, once the stitch's global tone line (its contrast stretch) is
    // taken out: a step at the seam is a jump of about half the gain there, a spread difference
    // a slow ramp.
    const std::vector<double> stitched = ColumnMeans(r.panorama, r.truth.mask);
    const std::vector<double> truth = ColumnMeans(r.truth.image, r.truth.mask);
    ASSERT_EQ(stitched.size(), truth.size());
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t x = 0; x < truth.size(); ++x) {
        if (truth[x] < 0)
            continue;
        n += 1;
        sx += truth[x];
        sy += stitched[x];
        sxx += truth[x] * truth[x];
        sxy += truth[x] * stitched[x];
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx), offset = (sy - slope * sx) / n;
    auto gain = [&](size_t x) { return (stitched[x] - offset) / (slope * truth[x]); };
    double worst = 0;
    int compared = 0;
    for (size_t x = 1; x < stitched.size(); ++x)
        if (truth[x] > 0 && truth[x - 1] > 0) {
            worst = std::max(worst, std::fabs(gain(x) - gain(x - 1)));
            ++compared;
        }
    EXPECT_GT(compared, r.panorama.width * 9 / 10);
    // Scene edges leave jumps of about 0.05 where the tone line is not exact; a step is 0.5.
    EXPECT_LT(worst, 0.1) << "largest jump of the gain between neighbouring columns";
}

TEST(StitchPanoramaCommand, TheRingWrapsAround) {
    StitchRun r;
    Stitch(Row(12, 30, 0, 600), r, {"--projection", "cylindrical", "--size", "native"});
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    EXPECT_GE(r.psnr, 32);
    // The last column continues into the first as well as neighbouring columns continue.
    const ImgRGB& p = r.panorama;
    auto difference = [&](int a, int b) {
        double sum = 0;
        for (int y = 0; y < p.height; ++y) {
            const Rgb& u = p.At(a, y);
            const Rgb& v = p.At(b, y);
            sum += std::abs(u.r - v.r) + std::abs(u.g - v.g) + std::abs(u.b - v.b);
        }
        return sum / (3.0 * p.height);
    };
    double neighbours = 0;
    for (int x = 1; x < p.width; ++x)
        neighbours += difference(x - 1, x);
    neighbours /= p.width - 1;
    EXPECT_LT(difference(p.width - 1, 0), 1.5 * neighbours + 1);
    // One turn at f = 600 is 2 pi 600 pixels of the native panorama.
    EXPECT_NEAR(p.width, 2 * std::numbers::pi * r.cameras.focalLength, 3);
}

TEST(StitchPanoramaCommand, MoviesOfAStitchAndOfASavedPanorama) {
    // The movie of the panorama just stitched (the run's folder is its working folder).
    StitchRun stitched;
    Stitch(Row(3, 30, 0, 500), stitched, {"--projection", "cylindrical", "--vr-movie", "@/direct.mov"});
    ASSERT_EQ(stitched.run.status, 0) << stitched.run.err;
    VrMovie direct;
    std::string why;
    ASSERT_TRUE(ReadVrMovieFile(stitched.folder + "/direct.mov", &direct, &why)) << why;
    EXPECT_EQ(direct.tiles, 4);
    EXPECT_EQ(direct.panorama.width, stitched.panorama.width / 4 * 4);

    // The movie of a saved panorama, with every movie option.
    const std::string movie = stitched.folder + "/pano.mov";
    RunResult run = RunProgram(VEDORA_STITCH,
                               {"--vr-movie", movie, "--from-image", stitched.folder + "/pano.png", "--tiles", "6",
                                "--vr-angle", "90", "--vr-window", "320x240"},
                               stitched.folder);
    ASSERT_EQ(run.status, 0) << run.err;
    VrMovie read;
    ASSERT_TRUE(ReadVrMovieFile(movie, &read, &why)) << why;
    EXPECT_EQ(read.tiles, 6);
    EXPECT_EQ(read.windowWidth, 320);
    EXPECT_EQ(read.windowHeight, 240);
    const int tiledWidth = stitched.panorama.width / 6 * 6;
    EXPECT_EQ(read.panorama.width, tiledWidth);
    EXPECT_NEAR(read.panorama.height, double(stitched.panorama.height) * tiledWidth / stitched.panorama.width, 1);
    // A movie written over the image it is made of is refused.
    RunResult over = RunProgram(
        VEDORA_STITCH, {"--vr-movie", stitched.folder + "/pano.png", "--from-image", stitched.folder + "/pano.png"},
        stitched.folder);
    EXPECT_EQ(over.status, 2);
    EXPECT_NE(over.err.find("would overwrite the input"), std::string::npos) << over.err;
}
