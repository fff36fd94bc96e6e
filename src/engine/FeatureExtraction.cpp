// The per-image extraction step of the engine and the extraction loop of long operations.
#include <QString>

#include <algorithm>
#include <future>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "matching/FullResolutionImages.h"
#include "matching/ImageFeatures.h"
#include "xml/Chars.h"

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
