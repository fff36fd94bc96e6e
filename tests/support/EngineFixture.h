#pragma once

// Builds engines in the states the tests need (images without files, pairs with chosen points
// and fits), which the window and the command line only reach through matching.
#include <string>
#include <vector>

#include "engine/PanoramaEngine.h"

class EngineFixture {
public:
    // Replaces the images and makes their empty pairs.
    static void SetImages(PanoramaEngine& engine, const std::vector<ImageRecord>& images) {
        engine.images = images;
        engine.RebuildCombinations();
    }
    // n images "img0.jpg", "img1.jpg", ... of one size.
    static void SetImages(PanoramaEngine& engine, int n, double width, double height,
                          const char* pattern = "img%d.jpg") {
        std::vector<ImageRecord> images;
        for (int i = 0; i < n; ++i) {
            ImageRecord r;
            r.path = Zelvo::Chars::Format(pattern, i);
            r.width = width;
            r.height = height;
            images.push_back(r);
        }
        SetImages(engine, images);
    }
    // Photographs on disk, sizes left to matching.
    static void SetImagePaths(PanoramaEngine& engine, const std::vector<std::string>& paths, double width = 0,
                              double height = 0) {
        std::vector<ImageRecord> images;
        for (const std::string& p : paths)
            images.push_back(ImageRecord{p.c_str(), width, height, {}, {}});
        SetImages(engine, images);
    }
    // The pair of images a and b, to be edited in place.
    static ImageCombination& Pair(PanoramaEngine& engine, int a, int b) { return engine.Pair(a, b); }
    static ImageCombination& PairAt(PanoramaEngine& engine, size_t k) { return engine.combinations.at(k); }
    static ImageRecord& Image(PanoramaEngine& engine, int index) { return engine.images[static_cast<size_t>(index)]; }
};
