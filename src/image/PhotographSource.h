#pragma once

#include <string>
#include <vector>

#include "image/ImgTypes.h"

// A photograph that could not be read, thrown by PhotographSource: which one, and a sentence
// naming the file for the user.
struct UnreadablePhotograph {
    int index = -1;
    std::string reason;
};

// A project's photographs as every stage decodes them: by index, with the project's source
// rotation applied, a failure naming the file. Decoding shares nothing, so any thread may load
// any photograph at any time.
class PhotographSource {
public:
    PhotographSource() = default;
    PhotographSource(std::vector<std::string> paths, int rotation) : paths(std::move(paths)), rotation(rotation) {}

    int Count() const { return static_cast<int>(paths.size()); }
    // index must lie in 0 .. Count() - 1.
    const std::string& Path(int index) const { return paths[static_cast<size_t>(index)]; }
    int Rotation() const { return rotation; }

    // Decodes photograph index as 24-bit colour or as gray values; throws UnreadablePhotograph
    // (the target untouched) when it cannot be read.
    void Load(int index, ImgRGB& target) const;
    void LoadGray(int index, ImgFLOAT& target) const;
    // Reduced while it is decoded (a JPEG by 1/2, 1/4 or 1/8) as far as it stays at least
    // minimumWidth wide; throws as Load.
    void LoadReduced(int index, ImgRGB& target, int minimumWidth) const;
    // The same without the exception: false when it cannot be read.
    bool TryLoad(int index, ImgRGB& target) const;
    bool TryLoadGray(int index, ImgFLOAT& target) const;

    // "cannot read the photograph PATH (missing, unreadable or not an image)"
    std::string UnreadableReason(int index) const;
    [[noreturn]] void ThrowUnreadable(int index) const;

private:
    std::vector<std::string> paths;
    int rotation = 0;
};
