// The photometric fit on photographs rendered from the test world with known exposure and
// vignetting: after correction, overlapping photographs agree in colour.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "image/GaussianSmooth.h"
#include "render/ViewRenderer.h"
#include "stitching/PhotometricFit.h"
#include "stitching/PhotometricFitter.h"
#include "stitching/PhotometricImage.h"
#include "stitching/PhotometricSamples.h"
#include "stitching/Vignetting.h"
#include "support/RenderedViews.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr double kFocal = 500;

CMatrix ToMatrix(const render::Mat3& m) { return CMatrix(3, 3, m.data()); }

// child -> parent pixels through the true cameras: K R_p^T R_c K^-1.
CMatrix TrueTransfer(const render::ViewSpec& child, const render::ViewSpec& parent) {
    const render::Mat3 K = {kFocal, 0, kWidth / 2.0, 0, kFocal, kHeight / 2.0, 0, 0, 1};
    const render::Mat3 KInverse = {1 / kFocal, 0,          -kWidth / 2.0 / kFocal,   //
                                   0,          1 / kFocal, -kHeight / 2.0 / kFocal,  //
                                   0,          0,          1};
    return ToMatrix(render::Multiply(K, render::Multiply(render::RelativeRotation(child, parent), KInverse)));
}

// A row of five looking up by `pitch` degrees: the reference in the middle, exposures from 0.7
// to 1.3 with some black-level shifts, every lens darkening its corners by a quarter. List
// order is the tree's pre-order: 0 (yaw 0) -> 1 (-30) -> 2 (-60), 0 -> 3 (30) -> 4 (60).
struct RenderedRow {
    explicit RenderedRow(double pitch) {
        const double yaw[5] = {0, -30, -60, 30, 60};
        const double gain[5] = {1.0, 0.85, 0.7, 1.15, 1.3};
        const double offset[5] = {0, 4, 0, -5, 0};
        for (int i = 0; i < 5; ++i) {
            render::ViewSpec v = View(yaw[i], pitch, 0, kFocal, kWidth, kHeight);
            v.gain = gain[i];
            v.offset = offset[i];
            v.vignetting = 0.25;
            views.push_back(v);
            photographs.push_back(render::RenderView(TestWorld(), v));
            cameras.emplace_back();
            cameras.back().Initialise(kWidth, kHeight);
            cameras.back().image = i;
        }
        for (auto [child, parent] : {std::array<int, 2>{1, 0}, {2, 1}, {3, 0}, {4, 3}}) {
            PhotometricEdge e;
            e.childCamera = child;
            e.parentCamera = parent;
            e.childToParent = TrueTransfer(views[static_cast<size_t>(child)], views[static_cast<size_t>(parent)]);
            e.parentToChild = e.childToParent.Inverse();
            edges.push_back(e);
        }
    }

    PhotometricInput Input(int mode) const {
        PhotometricInput input;
        input.mode = mode;
        input.correctionLimit = 30;
        input.edges = edges;
        input.load = [this](int i, ImgRGB& image) {
            image = photographs[static_cast<size_t>(i)];
            return true;
        };
        return input;
    }

    std::vector<render::ViewSpec> views;
    std::vector<ImgRGB> photographs;
    std::vector<Camera> cameras;
    std::vector<PhotometricEdge> edges;
};

// The three channels of a 16-bit image, lightly smoothed so that a comparison of two
// photographs measures their levels, not the resampling of fine texture.
std::array<ImgFLOAT, 3> SmoothedChannels(const ImgRGBSHORT& image) {
    std::array<ImgFLOAT, 3> planes;
    for (int k = 0; k < 3; ++k) {
        planes[k] = ImgFLOAT(image.width, image.height);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                planes[k].At(x, y) = reinterpret_cast<const int16_t*>(&image.At(x, y))[k];
        GaussianSmooth(planes[k], 3);
    }
    return planes;
}

double Sample(const ImgFLOAT& plane, double x, double y) {
    const int col = static_cast<int>(x), row = static_cast<int>(y);
    const double fx = x - col, fy = y - row;
    return (plane.At(col, row) * (1 - fx) + plane.At(col + 1, row) * fx) * (1 - fy) +
           (plane.At(col, row + 1) * (1 - fx) + plane.At(col + 1, row + 1) * fx) * fy;
}

// The mean absolute colour difference of the corrected photographs at true correspondences
// across every edge, relative to their mean level. Places that are clipped in a photograph
// (near 0 or 255 before correction) are left out: no correction can bring them back.
double RelativeDifference(const RenderedRow& row, const std::vector<Camera>& cameras) {
    std::vector<std::array<ImgFLOAT, 3>> corrected, raw;
    Camera neutral;
    neutral.Initialise(kWidth, kHeight);
    for (size_t i = 0; i < row.photographs.size(); ++i) {
        ImgRGBSHORT image;
        ApplyPhotometricCorrection(cameras[i], row.photographs[i], image);
        corrected.push_back(SmoothedChannels(image));
        ApplyPhotometricCorrection(neutral, row.photographs[i], image);
        raw.push_back(SmoothedChannels(image));
    }
    double difference = 0, level = 0;
    for (const PhotometricEdge& e : row.edges) {
        const size_t c = static_cast<size_t>(e.childCamera), p = static_cast<size_t>(e.parentCamera);
        for (int y = 12; y < kHeight - 12; y += 12)
            for (int x = 12; x < kWidth - 12; x += 12) {
                double u, v;
                if (!render::MapBetweenViews(row.views[c], row.views[p], x, y, &u, &v) || u < 12 || v < 12 ||
                    u > kWidth - 12 || v > kHeight - 12)
                    continue;
                bool clipped = false;
                for (int k = 0; k < 3; ++k) {
                    const double a = Sample(raw[c][k], x, y), b = Sample(raw[p][k], u, v);
                    clipped = clipped || a < 4 || b < 4 || a > 250 || b > 250;
                }
                if (clipped)
                    continue;
                for (int k = 0; k < 3; ++k) {
                    const double a = Sample(corrected[c][k], x, y), b = Sample(corrected[p][k], u, v);
                    difference += std::fabs(a - b);
                    level += (a + b) / 2;
                }
            }
    }
    return difference / level;
}

}  // namespace

TEST(PhotometricRendered, CorrectedPhotographsAgreeWhereTheyOverlap) {
    RenderedRow row(20);  // the lake, the sky and the boats: bright and varied
    std::vector<Camera> cameras = row.cameras;
    const double before = RelativeDifference(row, cameras);

    PhotometricFitSummary summary;
    ASSERT_TRUE(FitPhotometricCorrection(cameras, row.Input(1), &summary));
    ASSERT_TRUE(summary.fitted);
    const double after = RelativeDifference(row, cameras);
    EXPECT_LT(after, 0.02) << "before " << before;
    EXPECT_GT(before, 5 * after);
    // The exposures are undone and the offsets stay near the truth (the pull does not push them
    // off by 20 per unit of gain); the lens darkening is found (corners brightened back).
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(cameras[2].gains[k], 1 / 0.7, 0.07);
        EXPECT_NEAR(cameras[4].gains[k], 1 / 1.3, 0.04);
        EXPECT_NEAR(cameras[2].offsets[k], 0, 5);
        EXPECT_NEAR(cameras[4].offsets[k], 0, 5);
    }
    EXPECT_GT(VignettingFactor(cameras[0], 0, 0), 1.1);

    // Gray mode: one pair per photograph does as well here (the exposures are gray).
    std::vector<Camera> gray = row.cameras;
    ASSERT_TRUE(FitPhotometricCorrection(gray, row.Input(2), &summary));
    EXPECT_LT(RelativeDifference(row, gray), 0.02);

    // Copies blurred with sigma 30 compare border colours of one photograph with the scene the
    // other sees beyond it: the fit follows those false differences.
    std::vector<ImgRGB> images(5);
    std::vector<double> scales(5);
    for (size_t i = 0; i < 5; ++i) {
        ImgRGB photograph = row.photographs[i];
        scales[i] = MakePhotometricImage(photograph, images[i], 30);
    }
    std::vector<Camera> wide = row.cameras;
    PhotometricFitter fitter(wide, true, 30, CollectPhotometricSamples(row.edges, images, scales));
    ASSERT_EQ(fitter.Fit(), PhotometricFitStatus::Fitted);
    EXPECT_GT(RelativeDifference(row, wide), 2 * after);
}
