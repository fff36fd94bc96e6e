#pragma once

#include "render/Mat3.h"
#include "render/ViewRenderer.h"

// The camera-to-world turn of a view with these angles (degrees), as the renderer builds it.
inline render::Mat3 Turn(double yaw, double pitch, double roll) {
    render::ViewSpec v;
    v.yaw = yaw;
    v.pitch = pitch;
    v.roll = roll;
    return render::WorldFromCamera(v);
}
