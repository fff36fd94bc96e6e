#pragma once

// The shipped world and its cameras, for benchmarks that render their own photographs.
#include "render/ViewRenderer.h"

inline render::ViewSpec BenchCamera(double yaw, int width, int height, double focal) {
    render::ViewSpec v;
    v.yaw = yaw;
    v.focal = focal;
    v.width = width;
    v.height = height;
    return v;
}

inline const render::World& BenchWorld() {
    static render::World world;
    static bool loaded = world.Load(VEDORA_SOURCE_DIR "/tests/data/world.jpg");
    (void)loaded;
    return world;
}
