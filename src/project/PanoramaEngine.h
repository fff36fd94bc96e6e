#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "linalg/CMatrix.h"
#include "xml/Chars.h"
#include "project/ImageCombination.h"
#include "project/ImageRecord.h"
#include "stitching/Camera.h"
#include "matching/HierarchyNode.h"

namespace Zelvo {
class XmlDocument;
class XmlElement;
}

// The fitted pure rotation of a pair and its transfers between the two images.
struct PairFitResult {
    double f = 0, omega = 0, phi = 0, kappa = 0;
    CMatrix forward;   // first image -> second
    CMatrix backward;  // second -> first
};

// One image placed by GroupLayout.
struct PlacedImage {
    int image;
    double x, y;
};

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

    // Pair fitting. The genetic search is seeded from the clock unless a seed is set.
    void SetGeneticSeed(int32_t seed) { geneticSeed = seed; }
    PairFitResult FitPair(int i, int j, const std::vector<PointD>& P, const std::vector<PointD>& Q) const;
    // Stores a fit in the pair: parameters, transforms, error and the matched flag.
    static void StorePairFit(ImageCombination& pair, const PairFitResult& fit);

    // Automatic matching and the overlap hierarchy.
    bool ExtractAndMatchFeatures();
    bool FindOverlappingImages();
    bool BuildOverlapHierarchyTrees();
    void ClearOverlapHierarchy();
    std::vector<int> FindImageGroups() const;
    std::unique_ptr<Zelvo::XmlDocument> HierarchyDocument(const char* rootName) const;
    void GroupLayout(std::vector<PlacedImage>& placed, std::vector<int>& unplaced) const;

    // One pair at a time, named by the caller's image order (a first, b second).
    bool MatchImagePair(int a, int b);
    void GetCombinationPoints(int a, int b, std::vector<PointD>& Pa, std::vector<PointD>& Pb) const;
    bool ComparePoints(int a, int b, const std::vector<PointD>& Pa, const std::vector<PointD>& Pb) const;
    bool SetCombinationPoints(int a, int b, const std::vector<PointD>& Pa, const std::vector<PointD>& Pb);
    void ClearCombinationPoints(int a, int b);
    void SetReferenceImagePath(const Zelvo::Chars& path);
    void GetFeaturePoints(int index, std::vector<PointD>& out) const;

    // The project file's Panorama element.
    bool WriteTo(Zelvo::XmlDocument& document, const char* name);
    bool ReadFrom(Zelvo::XmlDocument& document, const char* name);
    // Why the last ReadFrom failed ("Bad image attribute", "Bad image combination", ...).
    const char* ReadError() const { return readError; }

    std::vector<std::unique_ptr<HierarchyNode>> imageTrees;
    int referenceIndex = -1;
    std::unique_ptr<HierarchyNode> mainTree;
    std::unique_ptr<HierarchyNode> transitionTree;
    std::vector<Camera> cameraList;
    std::vector<Camera> closingCameraList;
    std::vector<PointD> layoutPositions;

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
#undef VEDORA_PARAMETER

public:
    const Zelvo::Chars& GetReferenceImagePath() const { return referenceImagePath; }

private:
    Zelvo::Chars referenceImagePath;

public:
    // Fixed values: neither a file nor the user changes them.
    int GetBlendWidth() const { return blendWidth; }
    bool GetUseGradientBlending() const { return useGradientBlending; }
    bool GetFitSharedVignetting() const { return fitSharedVignetting; }

private:
    void SetFixedValues();
    void ReadParameters(Zelvo::XmlElement* panorama);
    void ReadImages(Zelvo::XmlElement* panorama);
    void ReadCombinations(Zelvo::XmlElement* panorama);
    void FitPairsAtLoad();

    int32_t geneticSeed = 0;
    const char* readError = nullptr;

    bool dirty = true;
    int blendWidth = 30;
    bool useGradientBlending = true;
    bool fitSharedVignetting = true;
    TextHook logHook;
    TextHook statusHook;
};
