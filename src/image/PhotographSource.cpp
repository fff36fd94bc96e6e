#include "image/PhotographSource.h"

#include "image/ImageFile.h"

bool PhotographSource::TryLoad(int index, ImgRGB& target) const {
    return index >= 0 && index < Count() && LoadImageFile(target, rotation, Path(index).c_str());
}

bool PhotographSource::TryLoadGray(int index, ImgFLOAT& target) const {
    return index >= 0 && index < Count() && LoadImageFileGray(target, rotation, Path(index).c_str());
}

void PhotographSource::Load(int index, ImgRGB& target) const {
    if (!TryLoad(index, target))
        ThrowUnreadable(index);
}

void PhotographSource::LoadReduced(int index, ImgRGB& target, int minimumWidth) const {
    if (index < 0 || index >= Count() || !LoadImageFileReduced(target, rotation, Path(index).c_str(), minimumWidth))
        ThrowUnreadable(index);
}

void PhotographSource::LoadGray(int index, ImgFLOAT& target) const {
    if (!TryLoadGray(index, target))
        ThrowUnreadable(index);
}

std::string PhotographSource::UnreadableReason(int index) const {
    const std::string path = index >= 0 && index < Count() ? Path(index) : "number " + std::to_string(index);
    return "cannot read the photograph " + path + " (missing, unreadable or not an image)";
}

void PhotographSource::ThrowUnreadable(int index) const { throw UnreadablePhotograph{index, UnreadableReason(index)}; }
