// The per-image extraction step of the engine and the extraction loop of long operations.
#include <QString>

#include <algorithm>
#include <future>

#include "matching/ExtractionGeometry.h"
#include "matching/FullResolutionImages.h"
#include "matching/ImageFeatures.h"
#include "project/EngineText.h"
#include "project/PanoramaEngine.h"
#include "xml/Chars.h"

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

ImageFeatureSettings PanoramaEngine::FeatureSettings() const {
    ImageFeatureSettings settings;
    settings.rotation = GetSourceImageRotation();
    settings.imageSize = GetFeatureExtractionImageSize();
    settings.spacingPercent = GetFeatureExtractionSpacing();
    settings.radiusPercent = GetFeatureMatchingRadius();
    settings.maxPoints = GetFeatureExtractionMaxNofPoints();
    settings.keepGray = fullResolution != nullptr;
    return settings;
}

void PanoramaEngine::StoreImageFeatures(int index, ImageFeatures&& features) {
    if (!features.loaded)
        ThrowUnreadableImage(index);
    if (fullResolution)
        fullResolution->Keep(index, std::move(features.gray));
    ImageRecord& record = images.at(static_cast<size_t>(index));
    record.featurePoints = std::move(features.points);
    record.descriptors = std::move(features.descriptors);
}

void PanoramaEngine::ExtractImageFeatures(int index) {
    StoreImageFeatures(index,
                       ExtractFeaturesFromFile(images.at(static_cast<size_t>(index)).path.c_str(), FeatureSettings()));
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
    const ImageFeatureSettings settings = FeatureSettings();
    auto announce = [&](int i) {
        Step(i + 1, n, Zelvo::Chars::Format(Tr("Extracting features: Image %d of %d").c_str(), i + 1, n).c_str());
    };
    // Two photographs at a time, the second on a worker thread: extraction shares nothing, and
    // the results are stored (and the hooks called) here in the photographs' order.
    for (int i = 0; i < n; i += 2) {
        announce(i);
        std::future<ImageFeatures> second;
        if (i + 1 < n)
            second = std::async(std::launch::async, ExtractFeaturesFromFile,
                                images[static_cast<size_t>(i + 1)].path.c_str(), settings);
        StoreImageFeatures(i, ExtractFeaturesFromFile(images[static_cast<size_t>(i)].path.c_str(), settings));
        Tick();
        if (!second.valid())
            continue;
        announce(i + 1);
        StoreImageFeatures(i + 1, second.get());
        Tick();
    }
    Log(Tr(" done\n"));
}
