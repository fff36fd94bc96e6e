// How the engine takes the source image list over from the project document, and how the
// stored points follow a change of the source image rotation.
#include "engine/PanoramaEngine.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

PointD Turn(const PointD& p, int degrees, double W, double H) {
    switch (degrees) {
    case 90: return {H - p.y, p.x};
    case 180: return {W - p.x, H - p.y};
    case 270: return {p.y, W - p.x};
    default: return p;
    }
}

}  // namespace

bool ReadImageRecord(XmlElement* element, ImageRecord& record) {
    XmlAttribute* path = element->Attribute("path", false);
    XmlAttribute* w = element->Attribute("w", false);
    XmlAttribute* h = element->Attribute("h", false);
    if (!path || !w || !h)
        return false;
    record.path = path->Value();
    record.width = w->ToDouble();
    record.height = h->ToDouble();
    return true;
}

void PanoramaEngine::RotateSourceImages(int rotation) {
    const int current = GetSourceImageRotation();
    if (rotation == current)
        return;
    int turn = (((rotation - current) * 90) % 360 + 360) % 360;
    for (ImageCombination& pair : combinations) {
        const ImageRecord& a = images[static_cast<size_t>(pair.first)];
        const ImageRecord& b = images[static_cast<size_t>(pair.second)];
        for (PointD& p : pair.P)
            p = Turn(p, turn, a.width, a.height);
        for (PointD& q : pair.Q)
            q = Turn(q, turn, b.width, b.height);
    }
    parameters[kSourceImageRotation] = rotation;
    dirty = true;
}

void PanoramaEngine::SyncImages(XmlDocument& document) {
    XmlElement* list = document.FindElement("Images", nullptr, false);
    std::vector<XmlElement*> entries;
    if (list)
        entries = list->ChildElements("Image");

    // Every entry is read before anything changes, so a bad one leaves the project as it was.
    if (entries.size() > static_cast<size_t>(kMaxImages))
        throw kTooManyImages;
    std::vector<ImageRecord> newImages(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        if (!ReadImageRecord(entries[i], newImages[i]))
            throw "Missing image attribute";

    ClearOverlapHierarchy();
    bool changed = newImages.size() != images.size();
    for (size_t i = 0; !changed && i < newImages.size(); ++i)
        changed = newImages[i].path != images[i].path;
    if (changed)
        dirty = true;
    if (newImages.empty()) {
        images.clear();
        combinations.clear();
        return;
    }

    std::vector<ImageRecord> oldImages = std::move(images);
    std::vector<ImageCombination> oldPairs = std::move(combinations);
    const Chars oldReference = referenceImagePath;
    const bool wasDirty = dirty;
    referenceImagePath = Chars();
    images = std::move(newImages);
    for (const ImageRecord& image : images)
        if (image.path == oldReference)
            referenceImagePath = oldReference;
    RebuildCombinations();
    dirty = wasDirty;
    for (ImageCombination& old : oldPairs) {
        int a = FindImage(oldImages[static_cast<size_t>(old.first)].path.c_str());
        int b = FindImage(oldImages[static_cast<size_t>(old.second)].path.c_str());
        int index = CombinationIndex(a, b);
        if (index < 0)
            continue;
        // The pair keeps naming its own two images: P belongs to the old first image wherever
        // that image now stands, so the indices follow the images rather than the slot.
        ImageCombination& target = combinations[static_cast<size_t>(index)];
        target = std::move(old);
        target.first = a;
        target.second = b;
    }
    RebuildHierarchy();
}
