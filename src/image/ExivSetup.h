#pragma once

// Exiv2's process-wide set-up, done once before any use from any thread: the XMP toolkit
// initialised with a lock (it is shared between threads), the panorama XMP namespace known,
// and Exiv2's own warnings on stderr silenced (a damaged block is reported by its caller).
void PrepareExiv2();

// The XMP namespace of photo-sphere panoramas, and its prefix.
constexpr const char* kPanoramaXmpNamespace = "http://ns.google.com/photos/1.0/panorama/";
constexpr const char* kPanoramaXmpPrefix = "GPano";
