// The photometric fit on synthetic photographs: flat scenes seen by cameras that only slide
// sideways, so that every edge transfer is a translation and every colour is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "linalg/CLevenbergMarquardt.h"
#include "linalg/DifferencedProblem.h"
#include "stitching/PhotometricFit.h"
#include "stitching/PhotometricFitter.h"
#include "stitching/PhotometricImage.h"
#include "stitching/PhotometricImages.h"
#include "stitching/PhotometricSamples.h"
#include "stitching/Vignetting.h"
#include "support/SamePixels.h"

namespace {

// One photograph of the flat scene: it starts at scene column `shift` and applies
// out = gain_k (1 + light r^2) S_k + offset_k, r relative to the corner (light < 0 darkens the
// corners like a lens, light > 0 brightens them).
struct Shot {
    double shift = 0;
    double gain[3] = {1, 1, 1};
    double offset[3] = {0, 0, 0};
    double light = 0;
};

double Scene(int k, double X, double Y) {
    const double s = 110 + 55 * std::sin(X / 170) * std::cos(Y / 130) + 0.04 * X;
    return k == 0 ? s : k == 1 ? 0.85 * s + 15 : 0.7 * s + 35;
}

ImgRGB Render(const Shot& shot, int w, int h) {
    ImgRGB img(w, h);
    const double cx = w / 2.0, cy = h / 2.0, corner2 = cx * cx + cy * cy;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double shade = 1 + shot.light * ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / corner2;
            uint8_t v[3];
            for (int k = 0; k < 3; ++k)
                v[k] = static_cast<uint8_t>(std::clamp(
                    std::lround(shot.gain[k] * shade * Scene(k, x + shot.shift, y) + shot.offset[k]), 0L, 255L));
            img.At(x, y) = Rgb{v[0], v[1], v[2]};
        }
    return img;
}

CMatrix Translation(double dx) {
    const double m[9] = {1, 0, dx, 0, 1, 0, 0, 0, 1};
    return CMatrix(3, 3, m);
}

// Photographs of w x h pixels in a chain: shot i + 1 hangs under shot i.
struct Chain {
    std::vector<Shot> shots;
    int w = 600, h = 400;

    std::vector<Camera> Cameras() const {
        std::vector<Camera> cameras(shots.size());
        for (size_t i = 0; i < cameras.size(); ++i) {
            cameras[i].Initialise(w, h);
            cameras[i].image = static_cast<int>(i);
        }
        return cameras;
    }

    PhotometricInput Input(int mode, double limit = 20) const {
        PhotometricInput input;
        input.mode = mode;
        input.correctionLimit = limit;
        for (size_t c = 1; c < shots.size(); ++c)
            input.edges.push_back(Edge(static_cast<int>(c), static_cast<int>(c - 1)));
        input.load = [this](int i, ImgRGB& image) {
            image = Render(shots[static_cast<size_t>(i)], w, h);
            return true;
        };
        return input;
    }

    PhotometricEdge Edge(int child, int parent) const {
        PhotometricEdge e;
        e.childCamera = child;
        e.parentCamera = parent;
        const double d = shots[static_cast<size_t>(child)].shift - shots[static_cast<size_t>(parent)].shift;
        e.childToParent = Translation(d);
        e.parentToChild = Translation(-d);
        return e;
    }
};

// Three shots 300 pixels apart; the later ones darker or brighter and shifted in level.
Chain ThreeShots() {
    Chain chain;
    chain.shots.resize(3);
    for (int i = 0; i < 3; ++i)
        chain.shots[static_cast<size_t>(i)].shift = 300.0 * i;
    for (int k = 0; k < 3; ++k) {
        chain.shots[1].gain[k] = 0.9;
        chain.shots[1].offset[k] = 6;
        chain.shots[2].gain[k] = 1.12;
        chain.shots[2].offset[k] = -4;
    }
    return chain;
}

// The camera's correction of a shot's value, against what the reference would have seen.
double CorrectionError(const Camera& camera, const Shot& shot, int k, double sceneValue) {
    const double seen = shot.gain[k] * sceneValue + shot.offset[k];
    return camera.gains[k] * seen + camera.offsets[k] - sceneValue;
}

void ExpectNeutral(const std::vector<Camera>& cameras) {
    for (const Camera& c : cameras)
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(c.gains[k], 1);
            EXPECT_EQ(c.offsets[k], 0);
            EXPECT_EQ(c.vignetting[k], 0);
        }
}

}  // namespace

TEST(PhotometricFit, ModeNoneResetsEveryCameraWithoutLoading) {
    Chain chain = ThreeShots();
    std::vector<Camera> cameras = chain.Cameras();
    for (Camera& c : cameras)
        for (int k = 0; k < 3; ++k) {
            c.gains[k] = 1.2;
            c.offsets[k] = -7;
            c.vignetting[k] = 1e-7;
        }
    PhotometricInput input = chain.Input(0);
    int loads = 0;
    input.load = [&](int, ImgRGB&) {
        ++loads;
        return false;
    };
    EXPECT_TRUE(FitPhotometricCorrection(cameras, input));
    EXPECT_EQ(loads, 0);
    ExpectNeutral(cameras);
    EXPECT_EQ(cameras[1].vignettingCentreX, 300);
    EXPECT_EQ(cameras[1].vignettingCentreY, 200);
}

TEST(PhotometricFit, ColourFitRecoversGainsAndOffsetsWithinTheLimit) {
    Chain chain = ThreeShots();
    std::vector<Camera> cameras = chain.Cameras();
    PhotometricFitSummary summary;
    ASSERT_TRUE(FitPhotometricCorrection(cameras, chain.Input(1), &summary));
    EXPECT_TRUE(summary.fitted);
    EXPECT_GT(summary.samples, 2 * 40);
    // The reference keeps its values; the others bring their shots back to the reference's
    // levels across the scene's range.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(cameras[0].gains[k], 1);
        EXPECT_EQ(cameras[0].offsets[k], 0);
        for (size_t i = 1; i < 3; ++i)
            for (double v : {60.0, 120.0, 180.0})
                EXPECT_NEAR(CorrectionError(cameras[i], chain.shots[i], k, v), 0, 3) << i << " " << k << " " << v;
    }
    EXPECT_NEAR(cameras[1].gains[0], 1 / 0.9, 0.04);
    EXPECT_NEAR(cameras[2].gains[0], 1 / 1.12, 0.04);

    // Far beyond the limit (20 %): offsets stay within 2.55 * 20 = 51, gains within
    // [0.8, 1 / 0.8], and the fit presses against them.
    Chain harsh = ThreeShots();
    for (int k = 0; k < 3; ++k) {
        harsh.shots[1].gain[k] = 0.5;
        harsh.shots[1].offset[k] = 90;
        harsh.shots[2].gain[k] = 1.9;
        harsh.shots[2].offset[k] = -150;
    }
    cameras = harsh.Cameras();
    ASSERT_TRUE(FitPhotometricCorrection(cameras, harsh.Input(1, 20), &summary));
    EXPECT_TRUE(summary.fitted);
    bool atABound = false;
    for (const Camera& c : cameras)
        for (int k = 0; k < 3; ++k) {
            EXPECT_GE(c.offsets[k], -51);
            EXPECT_LE(c.offsets[k], 51);
            EXPECT_GE(c.gains[k], 0.8);
            EXPECT_LE(c.gains[k], 1.25);
            atABound = atABound || std::fabs(std::fabs(c.offsets[k]) - 51) < 1e-9 ||
                       std::fabs(c.gains[k] - 0.8) < 1e-9 || std::fabs(c.gains[k] - 1.25) < 1e-9;
        }
    EXPECT_TRUE(atABound);
}

TEST(PhotometricFit, GrayModeFitsOnePairPerCameraForAllChannels) {
    Chain chain = ThreeShots();
    std::vector<Camera> cameras = chain.Cameras();
    ASSERT_TRUE(FitPhotometricCorrection(cameras, chain.Input(2)));
    for (size_t i = 1; i < 3; ++i)
        for (double v : {60.0, 120.0, 180.0})
            EXPECT_NEAR(CorrectionError(cameras[i], chain.shots[i], 1, v), 0, 3) << i << " " << v;
    EXPECT_NEAR(cameras[1].gains[0], 1 / 0.9, 0.04);
    EXPECT_NEAR(cameras[2].gains[0], 1 / 1.12, 0.04);

    // Only the red channel of the second shot is darker: the one gain still sees it (the
    // residual compares all three channels) and rises above 1, the same for every channel.
    Chain red = ThreeShots();
    red.shots.pop_back();
    for (int k = 0; k < 3; ++k) {
        red.shots[1].gain[k] = k == 2 ? 0.8 : 1;
        red.shots[1].offset[k] = 0;
    }
    cameras = red.Cameras();
    ASSERT_TRUE(FitPhotometricCorrection(cameras, red.Input(2)));
    for (const Camera& c : cameras) {
        EXPECT_EQ(c.gains[0], c.gains[1]);
        EXPECT_EQ(c.gains[0], c.gains[2]);
        EXPECT_EQ(c.offsets[0], c.offsets[1]);
        EXPECT_EQ(c.offsets[0], c.offsets[2]);
    }
    EXPECT_GT(cameras[1].gains[0] + cameras[1].offsets[0] / 120, 1.02);
    EXPECT_LT(cameras[1].gains[0] + cameras[1].offsets[0] / 120, 1 / 0.8);

    // The parameter vectors: 3 + 2 (n - 1) in gray, 3 + 6 (n - 1) in colour.
    std::vector<Camera> five(5);
    EXPECT_EQ(PhotometricFitter(five, false, 20, {}).Parameters().Length(), 3 + 2 * 4);
    EXPECT_EQ(PhotometricFitter(five, true, 20, {}).Parameters().Length(), 3 + 6 * 4);
}

TEST(PhotometricFit, LensVignettingIsFittedAndANegativeK1SwitchesItOff) {
    // Corners darkened like a lens: a positive k1 that brightens them back.
    Chain lens = ThreeShots();
    for (Shot& s : lens.shots)
        s.light = -0.3;
    std::vector<Camera> cameras = lens.Cameras();
    ASSERT_TRUE(FitPhotometricCorrection(cameras, lens.Input(1)));
    EXPECT_GT(cameras[0].vignetting[0], 0);
    for (const Camera& c : cameras)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(c.vignetting[k], cameras[0].vignetting[k]);
    // At the corner the correction undoes most of the darkening of 0.7.
    const double corner = VignettingFactor(cameras[0], 0, 0);
    EXPECT_GT(corner, 1.2);
    EXPECT_LT(corner, 1.6);

    // Corners brightened instead: the fit wants k1 < 0, which turns vignetting off everywhere
    // while the gains are still fitted.
    Chain bright = ThreeShots();
    for (Shot& s : bright.shots)
        s.light = 0.35;
    cameras = bright.Cameras();
    std::vector<ImgRGB> images;
    std::vector<double> scales;
    PhotometricInput input = bright.Input(1);
    ASSERT_TRUE(MakePhotometricImages(3, input, images, scales));
    PhotometricFitter fitter(cameras, true, 20, CollectPhotometricSamples(input.edges, images, scales));
    ASSERT_EQ(fitter.Fit(), PhotometricFitStatus::Fitted);
    EXPECT_LT(fitter.fittedParameters[0], 0);
    for (const Camera& c : cameras)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(c.vignetting[k], 0);
    EXPECT_NE(cameras[1].gains[0], 1);

    // The same rule on written parameters: k2 and k3 go with k1.
    CVector p = fitter.Parameters();
    p[0] = -1e-9;
    p[1] = 2e-12;
    p[2] = 3e-18;
    fitter.WriteParameters(p);
    for (const Camera& c : cameras)
        EXPECT_TRUE(c.vignetting[0] == 0 && c.vignetting[1] == 0 && c.vignetting[2] == 0);
    p[0] = 1e-9;
    fitter.WriteParameters(p);
    for (const Camera& c : cameras)
        EXPECT_TRUE(c.vignetting[0] == 1e-9 && c.vignetting[1] == 2e-12 && c.vignetting[2] == 3e-18);
}

TEST(PhotometricFit, EdgesWithoutSamplesAddNoRowsAndNoSamplesMeanNoFit) {
    Chain chain = ThreeShots();
    PhotometricInput input = chain.Input(1);
    // The second edge claims a transfer that puts its photographs far apart: no overlap.
    input.edges[1].childToParent = Translation(5000);
    input.edges[1].parentToChild = Translation(-5000);
    std::vector<ImgRGB> images;
    std::vector<double> scales;
    ASSERT_TRUE(MakePhotometricImages(3, input, images, scales));
    std::vector<PhotometricEdgeSamples> samples = CollectPhotometricSamples(input.edges, images, scales);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_GT(samples[0].samples.size(), 40u);
    EXPECT_TRUE(samples[1].samples.empty());

    std::vector<Camera> cameras = chain.Cameras();
    PhotometricFitSummary summary;
    ASSERT_TRUE(FitPhotometricCorrection(cameras, input, &summary));
    EXPECT_TRUE(summary.fitted);
    EXPECT_EQ(summary.samples, static_cast<int>(samples[0].samples.size()));
    EXPECT_NEAR(cameras[1].gains[0], 1 / 0.9, 0.04);
    // Camera 2 has no sample: its parameters never move from the start.
    EXPECT_EQ(cameras[2].gains[0], 1);
    EXPECT_EQ(cameras[2].offsets[0], 0);

    // No edge with samples at all (and a single photograph without edges): the reset values,
    // no fit, and still done.
    input.edges.erase(input.edges.begin());
    cameras = chain.Cameras();
    cameras[1].gains[1] = 1.1;
    ASSERT_TRUE(FitPhotometricCorrection(cameras, input, &summary));
    EXPECT_FALSE(summary.fitted);
    EXPECT_EQ(summary.samples, 0);
    ExpectNeutral(cameras);
    std::vector<Camera> single(cameras.begin(), cameras.begin() + 1);
    input.edges.clear();
    ASSERT_TRUE(FitPhotometricCorrection(single, input, &summary));
    EXPECT_FALSE(summary.fitted);
    ExpectNeutral(single);
}

TEST(PhotometricFit, ADivergingFitKeepsTheResetValuesAndIsDone) {
    // A camera whose stated size puts its vignetting centre beyond any double's square: every
    // model value is not finite and the optimiser ends on that.
    Chain chain = ThreeShots();
    std::vector<Camera> cameras = chain.Cameras();
    cameras[2].lens.width = 1e200;
    PhotometricFitSummary summary;
    ASSERT_TRUE(FitPhotometricCorrection(cameras, chain.Input(1), &summary));
    EXPECT_TRUE(summary.diverged);
    EXPECT_FALSE(summary.fitted);
    ExpectNeutral(cameras);
}

TEST(PhotometricFit, SampleGridFollowsTheOverlap) {
    // Two 300-pixel photographs (scale 1) half overlapping: the parent's outline covers the
    // child's columns 0..149, all rows; 10 % steps without the outer ones give 9 x 9 points.
    Chain chain;
    chain.w = 300;
    chain.h = 200;
    chain.shots.resize(2);
    chain.shots[1].shift = 150;
    PhotometricInput input = chain.Input(1);
    std::vector<ImgRGB> images;
    std::vector<double> scales;
    ASSERT_TRUE(MakePhotometricImages(2, input, images, scales));
    EXPECT_EQ(scales[0], 1);
    std::vector<PhotometricSample> s = CollectEdgeSamples(input.edges[0], images[1], 1, images[0], 1);
    ASSERT_EQ(s.size(), 81u);
    EXPECT_EQ(s[0].child.x, 14);
    EXPECT_EQ(s[0].child.y, 19);
    EXPECT_EQ(s[0].parent.x, 164);
    EXPECT_EQ(s.back().child.x, 126);
    EXPECT_EQ(s.back().child.y, 171);
    for (const PhotometricSample& p : s) {
        const Rgb& c = images[1].At(static_cast<int>(p.child.x), static_cast<int>(p.child.y));
        const Rgb& q = images[0].At(static_cast<int>(p.parent.x), static_cast<int>(p.parent.y));
        EXPECT_EQ(p.childColour[0], c.b);
        EXPECT_EQ(p.childColour[2], c.r);
        EXPECT_EQ(p.parentColour[1], q.g);
    }
    // The same pair at half resolution (600 wide, scale 0.5): positions in full-resolution pixels.
    chain.w = 600;
    chain.shots[1].shift = 300;
    input = chain.Input(1);
    ASSERT_TRUE(MakePhotometricImages(2, input, images, scales));
    EXPECT_EQ(scales[1], 0.5);
    s = CollectEdgeSamples(input.edges[0], images[1], 0.5, images[0], 0.5);
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s[0].child.x, 28);
    EXPECT_EQ(s[0].parent.x, 328);
}

TEST(PhotometricImage, SizesAndBordersOfTheSmallCopies) {
    // 1000 x 750 -> scale 0.3, 300 x 225; 333 x 250 -> 300 x int(225.7) = 225.
    for (auto [w, h, sw, sh] : {std::array<int, 4>{1000, 750, 300, 225}, {333, 250, 300, 225}, {200, 100, 300, 150}}) {
        ImgRGB photo(w, h), small;
        photo.FillRect(0, 0, w - 1, h - 1, Rgb{10, 100, 200});
        const double s = MakePhotometricImage(photo, small);
        EXPECT_DOUBLE_EQ(s, 300.0 / w);
        ASSERT_EQ(small.width, sw);
        ASSERT_EQ(small.height, sh);
        // A plain photograph stays plain to its last row and column, where the enlargement
        // cannot sample (and a black fill would have bled in through the blur).
        int wrong = 0;
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) {
                const Rgb& p = small.At(x, y);
                wrong += p.b != 10 || p.g != 100 || p.r != 200;
            }
        EXPECT_EQ(wrong, 0) << w << " x " << h;
    }
}

TEST(PhotometricImages, ThreadsGiveTheSameResultAbortAndFailuresComeInOrder) {
    Chain chain = ThreeShots();
    chain.shots.push_back(chain.shots[1]);
    chain.shots.push_back(chain.shots[2]);
    chain.shots[3].shift = 900;
    chain.shots[4].shift = 1200;
    PhotometricInput input = chain.Input(1);
    std::vector<ImgRGB> one, many;
    std::vector<double> s1, s3;
    input.threads = 1;
    ASSERT_TRUE(MakePhotometricImages(5, input, one, s1));
    input.threads = 3;
    ASSERT_TRUE(MakePhotometricImages(5, input, many, s3));
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(SamePixels(one[i], many[i])) << i;
        EXPECT_EQ(s1[i], s3[i]);
    }
    std::vector<Camera> a = chain.Cameras(), b = chain.Cameras();
    input.threads = 1;
    ASSERT_TRUE(FitPhotometricCorrection(a, input));
    input.threads = 4;
    ASSERT_TRUE(FitPhotometricCorrection(b, input));
    for (size_t i = 0; i < a.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(a[i].gains[k], b[i].gains[k]);
            EXPECT_EQ(a[i].offsets[k], b[i].offsets[k]);
            EXPECT_EQ(a[i].vignetting[k], b[i].vignetting[k]);
        }

    // An abort at the third announcement: nothing from the third photograph on is loaded.
    const std::thread::id caller = std::this_thread::get_id();
    for (int threads : {1, 2}) {
        std::mutex mutex;
        std::vector<int> loaded, announced;
        bool offThread = false;
        input.threads = threads;
        input.load = [&](int i, ImgRGB& image) {
            std::lock_guard<std::mutex> lock(mutex);
            loaded.push_back(i);
            image = Render(chain.shots[static_cast<size_t>(i)], 64, 48);
            return true;
        };
        input.blurring = [&](int step, int count) {
            offThread = offThread || std::this_thread::get_id() != caller;
            EXPECT_EQ(count, 5);
            announced.push_back(step);
            return step == 3;
        };
        std::vector<Camera> cameras = chain.Cameras();
        cameras[1].gains[0] = 1.1;
        EXPECT_FALSE(FitPhotometricCorrection(cameras, input)) << threads;
        EXPECT_FALSE(offThread);
        EXPECT_EQ(announced, (std::vector<int>{1, 2, 3}));
        std::sort(loaded.begin(), loaded.end());
        EXPECT_EQ(loaded, (std::vector<int>{0, 1})) << threads;
        ExpectNeutral(cameras);
    }

    // Photograph 3 unreadable and 1 throwing: the calling thread reports the first in list order.
    input.blurring = nullptr;
    input.threads = 3;
    std::vector<int> reported;
    bool reportedOffThread = false;
    input.loadFailed = [&](int i) {
        reported.push_back(i);
        reportedOffThread = std::this_thread::get_id() != caller;
    };
    input.load = [&](int i, ImgRGB& image) {
        image = Render(chain.shots[static_cast<size_t>(i)], 64, 48);
        return i != 3;
    };
    std::vector<Camera> cameras = chain.Cameras();
    const char* message = nullptr;
    try {
        FitPhotometricCorrection(cameras, input);
    } catch (const char* text) {
        message = text;
    }
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(message, "\nCould not load a image!\n");
    EXPECT_EQ(reported, (std::vector<int>{3}));
    EXPECT_FALSE(reportedOffThread);
    input.load = [&](int i, ImgRGB& image) {
        if (i == 1)
            throw std::bad_alloc();
        image = Render(chain.shots[static_cast<size_t>(i)], 64, 48);
        return i != 3;
    };
    reported.clear();
    EXPECT_THROW(FitPhotometricCorrection(cameras, input), std::bad_alloc);
    EXPECT_TRUE(reported.empty());
}

TEST(ApplyPhotometricCorrection, KeepsValuesBeyondTheByteRange) {
    Camera camera;
    camera.Initialise(4, 2);
    camera.gains[0] = 1.25;
    camera.gains[1] = 0.8;
    camera.gains[2] = 1;
    camera.offsets[0] = 51;
    camera.offsets[1] = -51;
    camera.offsets[2] = 0.5;
    ImgRGB source(4, 2);
    source.FillRect(0, 0, 3, 1, Rgb{255, 10, 0});
    source.At(1, 0) = Rgb{200, 63, 7};
    ImgRGBSHORT target;
    ApplyPhotometricCorrection(camera, source, target);
    ASSERT_EQ(target.width, 4);
    ASSERT_EQ(target.height, 2);
    EXPECT_EQ(target.At(0, 0).b, 369);  // 255 * 1.25 + 51 = 369.75
    EXPECT_EQ(target.At(0, 0).g, -43);  // 10 * 0.8 - 51 = -43: below 0, kept
    EXPECT_EQ(target.At(0, 0).r, 0);    // 0.5 truncates to 0
    EXPECT_EQ(target.At(1, 0).g, -0);   // 63 * 0.8 - 51 = -0.6: toward zero
    EXPECT_EQ(target.At(1, 0).r, 7);

    // Vignetting about the centre (2, 1): V = 1 + k1 r^2 + k2 r^4 + k3 r^6.
    camera.vignetting[0] = 0.1;
    camera.vignetting[1] = 0.01;
    camera.vignetting[2] = 0.001;
    ApplyPhotometricCorrection(camera, source, target);
    const double r2 = 4 + 1;  // pixel (0, 0)
    const double V = 1 + 0.1 * r2 + 0.01 * r2 * r2 + 0.001 * r2 * r2 * r2;
    EXPECT_EQ(target.At(0, 0).b, static_cast<int>((255 * 1.25 + 51) * V));
    EXPECT_EQ(target.At(2, 1).b, 369);  // the centre: V = 1

    // What 16 bits cannot hold is limited, never wrapped, and never becomes the empty mark.
    camera.vignetting[0] = camera.vignetting[1] = camera.vignetting[2] = 0;
    camera.gains[0] = 1000;
    camera.offsets[1] = -1e6;
    ApplyPhotometricCorrection(camera, source, target);
    EXPECT_EQ(target.At(0, 0).b, 32767);
    EXPECT_EQ(target.At(0, 0).g, -32767);
}

TEST(PhotometricFit, NormalEquationsFromTheDerivativesEqualTheDifferencedOnesAndTheFitEndsAtLeastAsClose) {
    Chain chain = ThreeShots();
    chain.shots.push_back(chain.shots[2]);
    chain.shots[3].shift = 900;
    for (Shot& s : chain.shots)
        s.light = -0.25;
    for (int mode : {1, 2}) {
        PhotometricInput input = chain.Input(mode, 10);
        std::vector<ImgRGB> images;
        std::vector<double> scales;
        ASSERT_TRUE(MakePhotometricImages(4, input, images, scales));
        const std::vector<PhotometricEdgeSamples> samples = CollectPhotometricSamples(input.edges, images, scales);
        std::vector<Camera> cameras = chain.Cameras();
        PhotometricFitter fitter(cameras, mode == 1, 10, samples);
        CMatrix X, Y;
        fitter.BuildMatrices(X, Y);
        DifferencedProblem differenced(
            X, Y, CLevenbergMarquardt::Bind(&fitter, &PhotometricFitter::PhotometricResidual), nullptr);

        // At the start, at a point with vignetting, and at one where a gain and an offset sit
        // beyond their clamps (the model does not move with them there).
        std::vector<CVector> points(3, fitter.Parameters());
        points[1][0] = 2e-7;
        points[1][1] = -1e-13;
        for (int k = 3; k < points[1].count; ++k)
            points[1][k] += k % 2 ? 0.03 : 1.5;
        points[2] = points[1];
        points[2][3] = 40;                     // an offset beyond 2.55 L
        points[2][points[2].count - 1] = 1.5;  // a gain beyond 1 / (1 - L/100)
        for (size_t which = 0; which < points.size(); ++which) {
            CVector& point = points[which];
            CVector a = point, b = point;
            const CVector ra = fitter.Residuals(a), rb = differenced.Residuals(b);
            ASSERT_EQ(ra.count, rb.count);
            for (int k = 0; k < ra.count; ++k)
                ASSERT_EQ(ra[k], rb[k]) << k;
            CMatrix Na, ga, Nb, gb;
            fitter.NormalEquations(a, ra, Na, ga);
            differenced.NormalEquations(b, rb, Nb, gb);
            ASSERT_EQ(Na.rows, Nb.rows);
            for (int i = 0; i < Na.rows; ++i) {
                for (int j = 0; j < Na.cols; ++j) {
                    // Relative to the diagonal, floored where a clamped parameter has none.
                    const double scale = std::sqrt((std::fabs(Nb(i, i)) + 1) * (std::fabs(Nb(j, j)) + 1));
                    EXPECT_NEAR(Na(i, j) / scale, Nb(i, j) / scale, 2e-3)
                        << "mode " << mode << " point " << which << " N " << i << "," << j;
                }
                const double scale = std::sqrt(std::fabs(Nb(i, i)) + 1) * ra.Length();
                EXPECT_NEAR(ga.data[i] / scale, gb.data[i] / scale, 2e-3)
                    << "mode " << mode << " point " << which << " g " << i;
            }
        }

        // From the same start, the fit by derivatives ends at least as close as the one by
        // differences (whose quotients carry rounding of 1e-4 and stop it early), and on the
        // true corrections.
        std::vector<Camera> byDerivatives = chain.Cameras(), byDifferences = chain.Cameras();
        PhotometricFitter fast(byDerivatives, mode == 1, 10, samples), slow(byDifferences, mode == 1, 10, samples);
        slow.differencedJacobian = true;
        ASSERT_EQ(fast.Fit(), PhotometricFitStatus::Fitted);
        ASSERT_EQ(slow.Fit(), PhotometricFitStatus::Fitted);
        EXPECT_LE(fast.residualStdDev, slow.residualStdDev + 1e-3);
        for (size_t i = 1; i < byDerivatives.size(); ++i)
            for (double v : {60.0, 120.0, 180.0})
                EXPECT_NEAR(CorrectionError(byDerivatives[i], chain.shots[i], 1, v), 0, 3) << i << " " << v;
        EXPECT_GT(byDerivatives[0].vignetting[0], 0) << "the corners were darkened";
    }
}
