// The per-image extraction step of the engine and the extraction loop of long operations.
#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <vector>

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
    NamingUnreadable([this] { ExtractFeaturesInTurn(); });
}

void PanoramaEngine::ExtractFeaturesInTurn() {
    Log(Tr("Extracting features "));
    const int n = static_cast<int>(images.size());
    const ImageFeatureSettings settings = FeatureSettings();
    const PhotographSource photographs = Photographs();
    // Extraction shares nothing: this thread and a worker each take the next photograph in
    // turn, so neither waits for the other's last one; the results are stored (and the hooks
    // called) here, in the photographs' order.
    std::vector<std::promise<ImageFeatures>> results(static_cast<size_t>(n));
    std::vector<std::future<ImageFeatures>> extracted;
    for (std::promise<ImageFeatures>& result : results)
        extracted.push_back(result.get_future());
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    auto extractNext = [&] {
        const int i = next++;
        if (i >= n || stop)
            return false;
        try {
            results[static_cast<size_t>(i)].set_value(ExtractFeatures(photographs, i, settings));
        } catch (...) {
            results[static_cast<size_t>(i)].set_exception(std::current_exception());
        }
        return true;
    };
    std::future<void> worker;
    if (n > 1)
        worker = std::async(std::launch::async, [&] {
            while (extractNext()) {
            }
        });
    // The worker stops at its next photograph when this thread ends early (an abort, an
    // unreadable photograph), and is waited for before the results it writes go.
    struct StopWorker {
        std::atomic<bool>& stop;
        std::future<void>& worker;
        ~StopWorker() {
            stop = true;
            if (worker.valid())
                worker.wait();
        }
    } stopWorker{stop, worker};
    int stored = 0;
    auto storeNext = [&] {
        Step(stored + 1, n,
             Zelvo::Chars::Format(Tr("Extracting features: Image %d of %d").c_str(), stored + 1, n).c_str());
        StoreImageFeatures(stored, extracted[static_cast<size_t>(stored)].get());
        ++stored;
        Tick();
    };
    auto ready = [&] {
        return stored < n &&
               extracted[static_cast<size_t>(stored)].wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    };
    while (extractNext())
        while (ready())
            storeNext();
    while (stored < n)
        storeNext();
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
