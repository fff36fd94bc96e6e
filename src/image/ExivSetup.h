#pragma once

#include <string>

// Exiv2's process-wide set-up, done once before any use from any thread: the XMP toolkit
// initialised with a lock (it is shared between threads), the panorama XMP namespace known,
// and Exiv2's own messages kept from stderr (a damaged block is reported by its caller).
void PrepareExiv2();

// While one lives, the first error Exiv2 reports on this thread: how a damaged block shows,
// since Exiv2 reads past many faults without throwing.
class ExivMessages {
public:
    ExivMessages();
    ~ExivMessages();
    ExivMessages(const ExivMessages&) = delete;
    ExivMessages& operator=(const ExivMessages&) = delete;

    const std::string& First() const { return first; }
    void Heard(const char* message);

private:
    ExivMessages* previous;
    std::string first;
};

// The XMP namespace of photo-sphere panoramas, and its prefix.
constexpr const char* kPanoramaXmpNamespace = "http://ns.google.com/photos/1.0/panorama/";
constexpr const char* kPanoramaXmpPrefix = "GPano";
