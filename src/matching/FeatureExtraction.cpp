// The per-image extraction step of the engine and the extraction loop of long operations.
#include <QString>

#include <algorithm>

#include "image/ImageFile.h"
#include "image/ResampleImage.h"
#include "matching/ExtractionGeometry.h"
#include "matching/FeatureExtractor.h"
#include "matching/FullResolutionImages.h"
#include "project/EngineText.h"
#include "project/PanoramaEngine.h"
#include "xml/Chars.h"

namespace {

constexpr double kDetectorSigma = 1.8;
constexpr double kDetectorThreshold = 10.0;
constexpr double kReductionSmoothing = 0.7355;

}  // namespace

ExtractionGeometry ExtractionGeometryFor(int width, int height, int imageSize, double spacingPercent,
                                         double radiusPercent) {
    ExtractionGeometry g;
    // Photographs larger than the working size are reduced to it; smaller ones are matched at
    // their own size, since enlarging adds no detail and only blurs the points apart.
    g.scale = std::min(1.0, static_cast<double>(imageSize) / std::min(width, height));
    g.workWidth = g.scale == 1 ? width : static_cast<int>(width * g.scale);
    g.workHeight = g.scale == 1 ? height : static_cast<int>(height * g.scale);
    const int m = std::min(g.workWidth, g.workHeight);
    g.spacing = std::max(static_cast<int>(m * spacingPercent * 0.01), 3);
    g.radius = std::max(static_cast<int>(m * radiusPercent * 0.01), 20);
    g.border = g.radius + 2;
    return g;
}

void PanoramaEngine::ExtractImageFeatures(int index) {
    ImageRecord& record = images.at(static_cast<size_t>(index));
    ImgFLOAT gray;
    if (!LoadImageFileGray(gray, GetSourceImageRotation(), record.path.c_str()))
        ThrowUnreadableImage(index);
    const ExtractionGeometry g = ExtractionGeometryFor(gray.width, gray.height, GetFeatureExtractionImageSize(),
                                                       GetFeatureExtractionSpacing(), GetFeatureMatchingRadius());
    const double s = g.scale;
    if (fullResolution)
        fullResolution->Keep(index, gray);

    ImgFLOAT work;
    ResampleImageConsuming(gray, work, s, kReductionSmoothing);
    gray.Resize(0, 0);

    const int spacing = g.spacing, radius = g.radius;
    FeatureExtractor extractor;
    extractor.DetectFeatures(work, GetFeatureExtractionMaxNofPoints(), g.border, spacing, kDetectorSigma,
                             kDetectorThreshold);
    extractor.ComputeDescriptors(work, radius, 8, Descriptor::kLength);

    record.featurePoints.clear();
    record.featurePoints.reserve(extractor.points.size());
    for (const FeaturePoint& p : extractor.points)
        record.featurePoints.push_back({p.x / s, p.y / s});
    record.descriptors = std::move(extractor.descriptors);
}

void PanoramaEngine::ThrowUnreadableImage(int index) {
    RecordFailure(EngineFailure::UnreadableImage, std::string("cannot read the photograph ") +
                                                      images[static_cast<size_t>(index)].path.c_str() +
                                                      " (missing, unreadable or not an image)");
    throw "\nCould not load a image!\n";
}

void PanoramaEngine::ExtractFeaturesOfAllImages() {
    Log(Tr("Extracting features "));
    const int n = static_cast<int>(images.size());
    for (int i = 0; i < n; ++i) {
        Step(i + 1, n, Zelvo::Chars::Format(Tr("Extracting features: Image %d of %d").c_str(), i + 1, n).c_str());
        ExtractImageFeatures(i);
        Tick();
    }
    Log(Tr(" done\n"));
}
