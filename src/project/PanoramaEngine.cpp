#include "project/PanoramaEngine.h"

#include "project/EngineText.h"

ImageCombination::ImageCombination() {
    forward.Identity(3);
    backward.Identity(3);
}

PanoramaEngine::PanoramaEngine()
    : featureExtractionImageSize(600), featureExtractionSpacing(1.0), featureExtractionMaxNofPoints(1000),
      featureMatchingRadius(3.0), featureMatchingRansacThreshold(3.0), projectionType(kProjectionSpherical),
      photometricCorrectionType(kPhotometricGray), verticalCameraRotation(0), correctionLimit(20.0),
      doCrop360Degrees(true), doGammaCorrection(false), gamma(1.0), panoramaImageSize(1024),
      panoramaPreviewImageSize(1024), panoramaImageRotation(0), sourceImageRotation(0) {
    Reset();
}

void PanoramaEngine::Tick() const {
    if (Log("."))
        throw "\nAborted!\n";
}

int PanoramaEngine::CombinationIndex(int a, int b) const {
    int n = static_cast<int>(images.size());
    if (a == b || a < 0 || b < 0 || a >= n || b >= n)
        return -1;
    int i = a < b ? a : b, j = a < b ? b : a;
    return i * n - i * (i + 1) / 2 + j - i - 1;
}

int PanoramaEngine::FindImage(const char* path) const {
    for (size_t i = 0; i < images.size(); ++i)
        if (images[i].path == path)
            return static_cast<int>(i);
    return -1;
}

void PanoramaEngine::RebuildCombinations() {
    combinations.clear();
    int n = static_cast<int>(images.size());
    if (n < 2)
        return;
    combinations.reserve(static_cast<size_t>(n) * (n - 1) / 2);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            ImageCombination pair;
            pair.first = i;
            pair.second = j;
            combinations.push_back(std::move(pair));
        }
}

void PanoramaEngine::SetDefaultMatchingParameters() {
    featureExtractionSpacing = 1.0;
    featureExtractionImageSize = 600;
    featureExtractionMaxNofPoints = 1000;
    featureMatchingRadius = 3.0;
    featureMatchingRansacThreshold = 3.0;
    dirty = true;
}

void PanoramaEngine::SetFixedValues() {
    blendWidth = 30;
    useGradientBlending = true;
    fitSharedVignetting = true;
}

void PanoramaEngine::SetDefaultStitchParameters() {
    verticalCameraRotation = 0;
    panoramaImageRotation = 0;
    doCrop360Degrees = true;
    projectionType = kProjectionSpherical;
    photometricCorrectionType = kPhotometricGray;
    correctionLimit = 20.0;
    doGammaCorrection = false;
    gamma = 1.0;
    panoramaImageSize = 1024;
    panoramaPreviewImageSize = 1024;
    SetFixedValues();
    dirty = true;
}

void PanoramaEngine::Reset() {
    ClearOverlapHierarchy();
    images.clear();
    combinations.clear();
    SetDefaultMatchingParameters();
    SetDefaultStitchParameters();
    sourceImageRotation = 0;
    referenceImagePath = Zelvo::Chars();
    stitchMatrix.Identity(3);
    straightenMatrix.Identity(3);
    dirty = true;
}
