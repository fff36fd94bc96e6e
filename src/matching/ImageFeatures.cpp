#include "matching/ImageFeatures.h"

#include "image/ImageFile.h"
#include "image/ResampleImage.h"
#include "matching/ExtractionGeometry.h"
#include "matching/FeatureExtractor.h"

namespace {

constexpr double kDetectorSigma = 1.8;
constexpr double kDetectorThreshold = 10.0;
constexpr double kReductionSmoothing = 0.7355;

}  // namespace

ImageFeatures ExtractFeatures(const PhotographSource& photographs, int index, const ImageFeatureSettings& settings) {
    ImageFeatures features;
    ImgFLOAT gray;
    photographs.LoadGray(index, gray);
    const ExtractionGeometry g = ExtractionGeometryFor(gray.width, gray.height, settings.imageSize,
                                                       settings.spacingPercent, settings.radiusPercent);
    if (settings.keepGray) {
        features.gray.Resize(gray.width, gray.height);
        gray.CopyTo(features.gray);
    }
    ImgFLOAT work;
    ResampleImageConsuming(gray, work, g.scale, kReductionSmoothing);
    gray.Resize(0, 0);

    FeatureExtractor extractor;
    extractor.DetectFeatures(work, settings.maxPoints, g.border, g.spacing, kDetectorSigma, kDetectorThreshold);
    extractor.ComputeDescriptors(work, g.radius, 8, Descriptor::kLength);

    features.points.reserve(extractor.points.size());
    for (const FeaturePoint& p : extractor.points)
        features.points.push_back({p.x / g.scale, p.y / g.scale});
    features.descriptors = std::move(extractor.descriptors);
    return features;
}
