#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "linalg/CLevenbergMarquardt.h"

namespace {

// Points on a circle: input holds the angles, parameters are (cx, cy, r), observations the
// x and y coordinates (two rows per point).
class CircleModel {
public:
    void Predict(const CMatrix& angles, const CVector& p, CMatrix& out, void*) {
        for (int i = 0; i < angles.count; ++i) {
            out.data[2 * i] = p[0] + p[2] * std::cos(angles.data[i]);
            out.data[2 * i + 1] = p[1] + p[2] * std::sin(angles.data[i]);
        }
    }
};

// The model reproduces the observations whatever the parameters.
class ExactModel {
public:
    void Predict(const CMatrix&, const CVector&, CMatrix& out, void* context) {
        const CMatrix& observations = *static_cast<const CMatrix*>(context);
        for (int k = 0; k < out.count; ++k)
            out.data[k] = observations.data[k];
    }
};

// A model whose output is fresh noise at every call, so the spread never settles.
class RestlessModel {
public:
    void Predict(const CMatrix&, const CVector&, CMatrix& out, void*) {
        for (int k = 0; k < out.count; ++k)
            out.data[k] = noise(random) * (1 + (calls % 7));
        ++calls;
    }
    std::mt19937 random{11};
    std::normal_distribution<double> noise{0, 1};
    int calls = 0;
};

}  // namespace

TEST(CLevenbergMarquardt, ExactModelStopsAfterIterationIndexEleven) {
    CMatrix observations(6, 1);
    for (int k = 0; k < 6; ++k)
        observations.data[k] = k * 0.5;
    ExactModel model;
    CLevenbergMarquardt lm;
    lm.context = &observations;
    CVector p(2);
    p.Fill(1);
    EXPECT_TRUE(lm.Fit(CMatrix(), observations, p, CLevenbergMarquardt::Bind(&model, &ExactModel::Predict)));
    EXPECT_EQ(lm.iterations, 12);  // indices 0..11
    EXPECT_EQ(lm.residualStdDev, 0);
}

TEST(CLevenbergMarquardt, RestlessModelRunsAllIterations) {
    CMatrix observations(20, 1);
    for (int k = 0; k < 20; ++k)
        observations.data[k] = 0;
    RestlessModel model;
    CLevenbergMarquardt lm;
    CVector p(1);
    p.Fill(0);
    lm.Fit(CMatrix(), observations, p, CLevenbergMarquardt::Bind(&model, &RestlessModel::Predict));
    EXPECT_EQ(lm.iterations, 100);
}

TEST(CLevenbergMarquardt, FitsACircleFromNoisyPoints) {
    const int n = 60;
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0, 0.01);
    CMatrix angles(n, 1), observations(2 * n, 1);
    for (int i = 0; i < n; ++i) {
        double t = 2 * M_PI * i / n;
        angles.data[i] = t;
        observations.data[2 * i] = 3 + 2 * std::cos(t) + noise(random);
        observations.data[2 * i + 1] = -1 + 2 * std::sin(t) + noise(random);
    }
    CircleModel model;
    CLevenbergMarquardt lm;
    CVector p(3);
    p[0] = 2.5;
    p[1] = -0.5;
    p[2] = 1.5;
    lm.Fit(angles, observations, p, CLevenbergMarquardt::Bind(&model, &CircleModel::Predict));
    EXPECT_NEAR(p[0], 3, 0.01);
    EXPECT_NEAR(p[1], -1, 0.01);
    EXPECT_NEAR(p[2], 2, 0.01);
    EXPECT_NEAR(lm.residualStdDev, 0.01, 0.003);
    EXPECT_GT(lm.iterations, 10);
}

namespace {

// A line y = a x whose model breaks down (NaN) once a leaves the region near its start, and
// one that is NaN everywhere.
class FragileLine {
public:
    void Predict(const CMatrix& x, const CVector& p, CMatrix& out, void*) {
        for (int k = 0; k < out.count; ++k)
            out.data[k] = std::fabs(p[0]) > limit ? std::nan("") : p[0] * x.data[k];
    }
    double limit = 1e300;
};

}  // namespace

TEST(CLevenbergMarquardt, ADivergedFitIsAFailureAndRejectedStepsDoNotSpoilTheQuality) {
    CMatrix x(8, 1), y(8, 1);
    for (int k = 0; k < 8; ++k) {
        x.data[k] = k;
        y.data[k] = 3.0 * k + (k % 2 ? 0.2 : -0.2);
    }
    FragileLine everywhere;
    everywhere.limit = -1;
    CLevenbergMarquardt lm;
    CVector p(1);
    p.Fill(1);
    EXPECT_FALSE(lm.Fit(x, y, p, CLevenbergMarquardt::Bind(&everywhere, &FragileLine::Predict)));

    // Steps into the NaN region are rejected; the fit ends on finite numbers and says so.
    FragileLine fragile;
    fragile.limit = 2.5;
    CLevenbergMarquardt bounded;
    bounded.maxIterations = 30;
    p.Fill(1);
    EXPECT_TRUE(bounded.Fit(x, y, p, CLevenbergMarquardt::Bind(&fragile, &FragileLine::Predict)));
    EXPECT_TRUE(std::isfinite(bounded.residualStdDev));
    EXPECT_LE(std::fabs(p[0]), 2.5);
}
