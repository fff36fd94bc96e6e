#pragma once

// The one range of every picture's texture limit, for the view settings dialog and for the
// settings file alike; the view lowers a limit further to what the graphics driver takes.
constexpr int kMinTextureLimit = 128, kMaxTextureLimit = 16384;
