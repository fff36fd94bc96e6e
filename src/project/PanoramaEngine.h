#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CMatrix.h"
#include "Chars.h"
#include "ImageCombination.h"
#include "ImageRecord.h"

namespace Zelvo {
class XmlDocument;
}

enum ProjectionType { kProjectionPlanar = 0, kProjectionCylindrical = 1, kProjectionSpherical = 2 };
enum PhotometricCorrectionType { kPhotometricNone = 0, kPhotometricColor = 1, kPhotometricGray = 2 };

// Holds the open panorama project and runs every long operation on it. Headless: it reports
// through the log and status hooks, which return true when the user asked to abort.
class PanoramaEngine {
public:
    // Takes UTF-8 text; returns "abort requested".
    using TextHook = std::function<bool(const char* utf8)>;

    PanoramaEngine();

    void SetLogHook(TextHook hook) { logHook = std::move(hook); }
    void SetStatusHook(TextHook hook) { statusHook = std::move(hook); }
    bool Log(const char* utf8) const { return logHook ? logHook(utf8) : false; }
    bool Log(const std::string& utf8) const { return Log(utf8.c_str()); }
    bool Status(const char* utf8) const { return statusHook ? statusHook(utf8) : false; }
    bool Status(const std::string& utf8) const { return Status(utf8.c_str()); }
    // The progress tick of a long operation: logs "." and unwinds with "\nAborted!\n" when asked.
    void Tick() const;

    // Pair index of images a and b in either order; -1 when a == b or either is negative.
    int CombinationIndex(int a, int b) const;
    int FindImage(const char* path) const;
    void RebuildCombinations();
    void SetDefaultMatchingParameters();
    void SetDefaultStitchParameters();
    void Reset();
    bool IsDirty() const { return dirty; }
    void SetDirty(bool value) { dirty = value; }

    // Takes the image list over from the project document, keeping the pairs whose images
    // both survive.
    void SyncImages(Zelvo::XmlDocument& document);
    // Turns the stored points of every pair to the new source image rotation (0..3).
    void RotateSourceImages(int rotation);

    // Loads image index, reduces it to the working size, detects points and descriptors.
    void ExtractImageFeatures(int index);
    // The extraction loop of the long operations, with progress and abort.
    void ExtractFeaturesOfAllImages();

    std::vector<ImageRecord> images;
    std::vector<ImageCombination> combinations;
    CMatrix stitchMatrix;
    CMatrix straightenMatrix;

#define VEDORA_PARAMETER(Type, Name, Getter, Setter) \
public:                                              \
    Type Getter() const { return Name; }             \
    void Setter(Type value) {                        \
        if (!(Name == value)) {                      \
            Name = value;                            \
            dirty = true;                            \
        }                                            \
    }                                                \
                                                     \
private:                                             \
    Type Name;

    VEDORA_PARAMETER(int, featureExtractionImageSize, GetFeatureExtractionImageSize, SetFeatureExtractionImageSize)
    VEDORA_PARAMETER(double, featureExtractionSpacing, GetFeatureExtractionSpacing, SetFeatureExtractionSpacing)
    VEDORA_PARAMETER(int, featureExtractionMaxNofPoints, GetFeatureExtractionMaxNofPoints,
                     SetFeatureExtractionMaxNofPoints)
    VEDORA_PARAMETER(double, featureMatchingRadius, GetFeatureMatchingRadius, SetFeatureMatchingRadius)
    VEDORA_PARAMETER(double, featureMatchingRansacThreshold, GetFeatureMatchingRansacThreshold,
                     SetFeatureMatchingRansacThreshold)
    VEDORA_PARAMETER(int, projectionType, GetProjectionType, SetProjectionType)
    VEDORA_PARAMETER(int, photometricCorrectionType, GetPhotometricCorrectionType, SetPhotometricCorrectionType)
    VEDORA_PARAMETER(double, verticalCameraRotation, GetVerticalCameraRotation, SetVerticalCameraRotation)
    VEDORA_PARAMETER(double, correctionLimit, GetCorrectionLimit, SetCorrectionLimit)
    VEDORA_PARAMETER(bool, doCrop360Degrees, GetDoCrop360Degrees, SetDoCrop360Degrees)
    VEDORA_PARAMETER(bool, doGammaCorrection, GetDoGammaCorrection, SetDoGammaCorrection)
    VEDORA_PARAMETER(double, gamma, GetGamma, SetGamma)
    VEDORA_PARAMETER(int, panoramaImageSize, GetPanoramaImageSize, SetPanoramaImageSize)
    VEDORA_PARAMETER(int, panoramaPreviewImageSize, GetPanoramaPreviewImageSize, SetPanoramaPreviewImageSize)
    VEDORA_PARAMETER(double, panoramaImageRotation, GetPanoramaImageRotation, SetPanoramaImageRotation)
    VEDORA_PARAMETER(int, sourceImageRotation, GetSourceImageRotation, SetSourceImageRotation)
    VEDORA_PARAMETER(Zelvo::Chars, referenceImagePath, GetReferenceImagePath, SetReferenceImagePath)
#undef VEDORA_PARAMETER

public:
    // Fixed values: neither a file nor the user changes them.
    int GetBlendWidth() const { return blendWidth; }
    bool GetUseGradientBlending() const { return useGradientBlending; }
    bool GetFitSharedVignetting() const { return fitSharedVignetting; }

private:
    void SetFixedValues();

    bool dirty = true;
    int blendWidth = 30;
    bool useGradientBlending = true;
    bool fitSharedVignetting = true;
    TextHook logHook;
    TextHook statusHook;
};
