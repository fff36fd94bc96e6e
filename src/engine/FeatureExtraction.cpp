// The per-image extraction step of the engine and the extraction loop of long operations.
#include <QString>

#include <algorithm>
#include <future>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "image/PhotoMetadata.h"
#include "matching/FullResolutionImages.h"
#include "matching/ImageFeatures.h"
#include "xml/Chars.h"

ImageFeatureSettings PanoramaEngine::FeatureSettings() const {
    ImageFeatureSettings settings;
    settings.imageSize = GetFeatureExtractionImageSize();
    settings.spacingPercent = GetFeatureExtractionSpacing();
    settings.radiusPercent = GetFeatureMatchingRadius();
    settings.maxPoints = GetFeatureExtractionMaxNofPoints();
    settings.keepGray = fullResolution != nullptr;
    return settings;
}

void PanoramaEngine::StoreImageFeatures(int index, ImageFeatures&& features) {
    if (fullResolution)
        fullResolution->Keep(index, std::move(features.gray));
    ImageRecord& record = images.at(static_cast<size_t>(index));
    record.featurePoints = std::move(features.points);
    record.descriptors = std::move(features.descriptors);
}

void PanoramaEngine::ExtractImageFeatures(int index) {
    NamingUnreadable([&] { StoreImageFeatures(index, ExtractFeatures(Photographs(), index, FeatureSettings())); });
}

PhotographSource PanoramaEngine::Photographs() const {
    std::vector<std::string> paths;
    paths.reserve(images.size());
    for (const ImageRecord& image : images)
        paths.emplace_back(image.path.c_str());
    return PhotographSource(std::move(paths), GetSourceImageRotation());
}

void PanoramaEngine::ExtractFeaturesOfAllImages() {
    NamingUnreadable([this] { ExtractFeaturesInPairs(); });
}

void PanoramaEngine::ExtractFeaturesInPairs() {
    Log(Tr("Extracting features "));
    const int n = static_cast<int>(images.size());
    const ImageFeatureSettings settings = FeatureSettings();
    const PhotographSource photographs = Photographs();
    auto announce = [&](int i) {
        Step(i + 1, n, Zelvo::Chars::Format(Tr("Extracting features: Image %d of %d").c_str(), i + 1, n).c_str());
    };
    // Two photographs at a time, the second on a worker thread: extraction shares nothing, and
    // the results are stored (and the hooks called) here in the photographs' order.
    for (int i = 0; i < n; i += 2) {
        announce(i);
        std::future<ImageFeatures> second;
        if (i + 1 < n)
            second =
                std::async(std::launch::async, ExtractFeatures, std::cref(photographs), i + 1, std::cref(settings));
        StoreImageFeatures(i, ExtractFeatures(photographs, i, settings));
        Tick();
        if (!second.valid())
            continue;
        announce(i + 1);
        StoreImageFeatures(i + 1, second.get());
        Tick();
    }
    Log(Tr(" done\n"));
    LogDamagedMetadata();
}

// A stranger's photograph may carry any bytes as its EXIF: a damaged block is read past, the
// photograph is matched and stitched all the same, and the user learns that its metadata (its
// focal length, or the panorama's EXIF when it is the reference) goes unused.
void PanoramaEngine::LogDamagedMetadata() {
    for (const ImageRecord& image : images) {
        const PhotoMetadata metadata = ReadPhotoMetadata(image.path.c_str());
        if (!metadata.problem.empty())
            Log(Zelvo::Chars::Format(
                    Tr("Photograph %s: its metadata is damaged (%s); it is stitched without it.\n").c_str(),
                    image.path.c_str(), metadata.problem.c_str())
                    .c_str());
    }
}
