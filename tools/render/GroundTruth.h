#pragma once

// The ground-truth file written next to rendered photographs (truth.json) and its reader.
//
//   {"world": "...", "convention": "...", "principal_point": "image centre (width / 2, height / 2)",
//    "views": [{"file": "view01.jpg", "width": w, "height": h, "focal": f, "yaw": ..., "pitch": ...,
//               "roll": ..., "gain": ..., "offset": ..., "vignetting": ...,
//               "rotation": [9 numbers, world from camera, row by row]}, ...]}
#include <string>
#include <vector>

#include "render/ViewRenderer.h"

namespace render {

struct RenderedView {
    std::string file;
    ViewSpec spec;
};

struct GroundTruth {
    std::string world;  // as written in the file
    std::vector<RenderedView> views;
};

std::string GroundTruthJson(const std::string& world, const std::vector<RenderedView>& views);

// Throws JsonError naming the offending member; a view whose rotation disagrees with its
// yaw, pitch and roll is refused, since one of the two conventions would then be wrong.
GroundTruth ParseGroundTruth(const std::string& text);
GroundTruth ReadGroundTruth(const std::string& path);

}  // namespace render
