#include "engine/ProjectParameters.h"

#include <cstring>
#include <numbers>

#include "stitching/Projection.h"

namespace {

constexpr double kDegree = std::numbers::pi / 180;

const char* const kPhotometricNames[] = {"none", "color", "gray"};
// A file without a projection was made before spherical projection existed: it reads as
// cylindrical. Any unknown name reads as spherical, the most forgiving projection.
const ParameterChoices kProjectionChoices{ProjectionNames().data(), static_cast<int>(ProjectionNames().size()),
                                          static_cast<int>(ProjectionType::Spherical), "cylindrical"};
const ParameterChoices kPhotometricChoices{kPhotometricNames, 3, kPhotometricNone, nullptr};

using K = ParameterKind;
using G = ParameterGroup;

// In the order of the project file's attributes.
const ParameterSpec kParameters[kParameterCount] = {
    {kFeatureExtractionImageSize, "featureExtractionImageSize", K::Integer, G::Matching, 600, 600, 200, 2000, false,
     nullptr, "--feature-size", "N", "shorter side of the working image"},
    {kFeatureExtractionSpacing, "featureExtractionSpacing", K::Real, G::Matching, 1.0, 1, 0.3, 3, false, nullptr,
     "--spacing", "PCT", "suppression window, percent of the working image"},
    {kFeatureExtractionMaxNofPoints, "featureExtractionMaxNofPoints", K::Integer, G::Matching, 1000, 1000, 200, 2000,
     false, nullptr, "--feature-points", "N", "strongest points kept per image"},
    {kFeatureMatchingRadius, "featureMatchingRadius", K::Real, G::Matching, 3.0, 3, 1, 6, false, nullptr, "--radius",
     "PCT", "descriptor radius, percent of the working image"},
    {kFeatureMatchingRansacThreshold, "featureMatchingRansacThreshold", K::Real, G::Matching, 3.0, 3, 1, 10, false,
     nullptr, "--ransac", "PX", "RANSAC threshold in pixels"},
    {kProjectionType, "projectionType", K::Choice, G::Stitching, double(ProjectionType::Spherical),
     double(ProjectionType::Cylindrical), 0, 2, false, &kProjectionChoices, "--projection", "NAME",
     "the surface the panorama is drawn on"},
    {kPhotometricCorrectionType, "photometricCorrectionType", K::Choice, G::Stitching, kPhotometricGray,
     kPhotometricNone, 0, 2, false, &kPhotometricChoices, "--photometric", "NAME",
     "exposure and vignetting correction between the photographs"},
    {kVerticalCameraRotation, "verticalCameraRotation", K::Real, G::Stitching, 0, 0, -45, 45, true, nullptr,
     "--vertical-rotation", "DEG", "tilt of the planar panorama's plane, degrees"},
    {kCorrectionLimit, "correctionLimit", K::Real, G::Stitching, 20.0, 20, 1, 30, false, nullptr, "--correction-limit",
     "PCT", "largest photometric correction, percent"},
    {kDoCrop360Degrees, "doCrop360Degrees", K::Flag, G::Stitching, 1, 1, 0, 1, false, nullptr, nullptr, nullptr,
     nullptr},
    {kDoGammaCorrection, "doGammaCorrection", K::Flag, G::Stitching, 0, 1, 0, 1, false, nullptr, nullptr, nullptr,
     nullptr},
    {kGamma, "gamma", K::Real, G::Stitching, 1.0, 1, 0.5, 2, false, nullptr, "--gamma", "G",
     "gamma correction, 0.5 darker .. 2 brighter (turns it on)"},
    {kPanoramaImageSize, "panoramaImageSize", K::Integer, G::Stitching, 1024, 1024, 128, kMaxPanoramaSize, false,
     nullptr, nullptr, nullptr, nullptr},
    {kPanoramaPreviewImageSize, "panoramaPreviewImageSize", K::Integer, G::Stitching, 1024, 1024, 128, kMaxPanoramaSize,
     false, nullptr, nullptr, nullptr, nullptr},
    {kPanoramaImageRotation, "panoramaImageRotation", K::Real, G::Stitching, 0, 0, -180, 180, true, nullptr,
     "--rotation", "DEG", "rotation of the panorama, degrees"},
    {kSourceImageRotation, "sourceImageRotation", K::Integer, G::Images, 0, 0, 0, 3, false, nullptr, nullptr, nullptr,
     nullptr},
};

}  // namespace

std::span<const ParameterSpec> ProjectParameters() { return kParameters; }

const ParameterSpec& Parameter(ParameterId id) { return kParameters[id]; }

double ToEngineUnit(const ParameterSpec& spec, double fileValue) {
    return spec.degrees ? fileValue * kDegree : fileValue;
}

double ToFileUnit(const ParameterSpec& spec, double engineValue) {
    return spec.degrees ? engineValue / kDegree : engineValue;
}

const char* ChoiceName(const ParameterSpec& spec, int code) {
    const ParameterChoices& c = *spec.choices;
    return code >= 0 && code < c.count ? c.names[code] : c.names[c.count - 1];
}

int ChoiceCode(const ParameterSpec& spec, const char* name) {
    const ParameterChoices& c = *spec.choices;
    for (int code = 0; code < c.count; ++code)
        if (std::strcmp(c.names[code], name) == 0)
            return code;
    return c.unknownCode;
}
