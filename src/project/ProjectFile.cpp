// The engine's part of the project file: the Panorama element with the parameters, the image
// list and the matched pairs, and the rules by which a file's values are read back.
#include <cfloat>
#include <numbers>

#include "matching/PairFit.h"
#include "project/PanoramaEngine.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

constexpr double kDegree = std::numbers::pi / 180;

const char* ProjectionName(int type) {
    return type == kProjectionPlanar ? "planar" : type == kProjectionCylindrical ? "cylindrical" : "spherical";
}

const char* PhotometricName(int type) {
    return type == kPhotometricNone ? "none" : type == kPhotometricColor ? "color" : "gray";
}

void WritePoints(XmlElement* list, const std::vector<PointD>& points) {
    for (const PointD& p : points) {
        auto* point = new XmlElement("Point");
        list->AppendChild(point);
        point->Attribute("x", true)->SetDouble(p.x);
        point->Attribute("y", true)->SetDouble(p.y);
    }
}

void ReadPoints(XmlElement* list, std::vector<PointD>& points, double width, double height) {
    points.clear();
    for (XmlElement* point : list->ChildElements("Point"))
        points.push_back({point->Attribute("x", true)->ToDouble(0, true, 0, width),
                          point->Attribute("y", true)->ToDouble(0, true, 0, height)});
}

int ReadInt(XmlElement* e, const char* name, int fallback, int min, int max) {
    return e->Attribute(name, true)->ToInt(fallback, true, min, max);
}

double ReadDouble(XmlElement* e, const char* name, double fallback, double min, double max) {
    return e->Attribute(name, true)->ToDouble(fallback, true, min, max);
}

}  // namespace

bool PanoramaEngine::WriteTo(XmlDocument& document, const char* name) {
    if (!document.Root())
        document.Reset("VedoraProject");
    document.DeleteNode(document.Root()->FindDescendant("Panorama", "name", name, false));
    XmlElement* panorama = document.Root()->FindDescendant("Panorama", "name", "panorama", true);
    panorama->Attribute("name", true)->Set(name);

    auto setInt = [panorama](const char* attribute, int v) { panorama->Attribute(attribute, true)->SetInt(v); };
    auto setDouble = [panorama](const char* attribute, double v) {
        panorama->Attribute(attribute, true)->SetDouble(v);
    };
    setInt("featureExtractionImageSize", featureExtractionImageSize);
    setDouble("featureExtractionSpacing", featureExtractionSpacing);
    setInt("featureExtractionMaxNofPoints", featureExtractionMaxNofPoints);
    setDouble("featureMatchingRadius", featureMatchingRadius);
    setDouble("featureMatchingRansacThreshold", featureMatchingRansacThreshold);
    panorama->Attribute("projectionType", true)->Set(ProjectionName(projectionType));
    panorama->Attribute("photometricCorrectionType", true)->Set(PhotometricName(photometricCorrectionType));
    setDouble("verticalCameraRotation", verticalCameraRotation / kDegree);
    setDouble("correctionLimit", correctionLimit);
    setInt("doCrop360Degrees", doCrop360Degrees ? 1 : 0);
    setInt("doGammaCorrection", doGammaCorrection ? 1 : 0);
    setDouble("gamma", gamma);
    setInt("panoramaImageSize", panoramaImageSize);
    setInt("panoramaPreviewImageSize", panoramaPreviewImageSize);
    setDouble("panoramaImageRotation", panoramaImageRotation / kDegree);
    setInt("sourceImageRotation", sourceImageRotation);
    panorama->Attribute("referenceImagePath", true)->Set(referenceImagePath);

    document.DeleteNode(panorama->FindChild("Images", false));
    XmlElement* list = panorama->FindChild("Images", true);
    for (const ImageRecord& image : images) {
        auto* element = new XmlElement("Image");
        list->AppendChild(element);
        element->Attribute("item", true)->Set(image.path.FileName());
        element->Attribute("path", true)->Set(image.path);
    }

    document.DeleteNode(panorama->FindChild("Combinations", false));
    XmlElement* pairs = panorama->FindChild("Combinations", true);
    for (const ImageCombination& pair : combinations) {
        if (pair.P.empty())
            continue;
        auto* element = new XmlElement("Combination");
        pairs->AppendChild(element);
        element->Attribute("path1", true)->Set(images[static_cast<size_t>(pair.first)].path);
        element->Attribute("path2", true)->Set(images[static_cast<size_t>(pair.second)].path);
        element->Attribute("error", true)->SetDouble(pair.error);
        element->Attribute("f", true)->SetDouble(pair.f);
        element->Attribute("omega", true)->SetDouble(pair.omega);
        element->Attribute("phi", true)->SetDouble(pair.phi);
        element->Attribute("kappa", true)->SetDouble(pair.kappa);
        WritePoints(element->FindChild("P", true), pair.P);
        WritePoints(element->FindChild("Q", true), pair.Q);
    }
    dirty = false;
    return true;
}

void PanoramaEngine::ReadParameters(XmlElement* p) {
    featureExtractionImageSize = ReadInt(p, "featureExtractionImageSize", 600, 200, 2000);
    featureExtractionSpacing = ReadDouble(p, "featureExtractionSpacing", 1, 0.3, 3);
    featureExtractionMaxNofPoints = ReadInt(p, "featureExtractionMaxNofPoints", 1000, 200, 2000);
    featureMatchingRadius = ReadDouble(p, "featureMatchingRadius", 3, 1, 6);
    featureMatchingRansacThreshold = ReadDouble(p, "featureMatchingRansacThreshold", 3, 1, 10);
    XmlAttribute* projection = p->Attribute("projectionType", true);
    Chars projectionText = projection->Value("cylindrical", true);
    projectionType = projectionText == "cylindrical" ? kProjectionCylindrical
                     : projectionText == "planar"    ? kProjectionPlanar
                                                     : kProjectionSpherical;
    Chars photometric = p->Attribute("photometricCorrectionType", true)->Value();
    photometricCorrectionType = photometric == "color" ? kPhotometricColor
                                : photometric == "gray" ? kPhotometricGray
                                                        : kPhotometricNone;
    verticalCameraRotation = ReadDouble(p, "verticalCameraRotation", 0, -45, 45) * kDegree;
    correctionLimit = ReadDouble(p, "correctionLimit", 20, 1, 30);
    doCrop360Degrees = ReadInt(p, "doCrop360Degrees", 1, 0, 1) == 1;
    doGammaCorrection = ReadInt(p, "doGammaCorrection", 1, 0, 1) == 1;
    gamma = ReadDouble(p, "gamma", 1, 0.5, 2);
    panoramaImageSize = ReadInt(p, "panoramaImageSize", 1024, 128, 32768);
    panoramaPreviewImageSize = ReadInt(p, "panoramaPreviewImageSize", 1024, 128, 32768);
    panoramaImageRotation = ReadDouble(p, "panoramaImageRotation", 0, -180, 180) * kDegree;
    sourceImageRotation = ReadInt(p, "sourceImageRotation", 0, 0, 3);
    referenceImagePath = p->Attribute("referenceImagePath", true)->Value();
}

void PanoramaEngine::ReadImages(XmlElement* panorama) {
    std::vector<XmlElement*> list = panorama->FindChild("Images", true)->ChildElements("Image");
    images.assign(list.size(), ImageRecord());
    for (size_t k = 0; k < list.size(); ++k) {
        if (!ReadImageRecord(list[k], images[k]))
            throw "Bad image attribute";
        // A negative or absurd size would give negative clamping ranges and broken centres.
        if (!(images[k].width > 0 && images[k].width < 1e6 && images[k].height > 0 && images[k].height < 1e6))
            throw "Bad image attribute";
    }
}

void PanoramaEngine::ReadCombinations(XmlElement* panorama) {
    RebuildCombinations();
    std::vector<XmlElement*> list = panorama->FindChild("Combinations", true)->ChildElements("Combination");
    if (list.size() > combinations.size())
        throw "Bad image combination";
    for (XmlElement* element : list) {
        XmlAttribute* path1 = element->Attribute("path1", false);
        XmlAttribute* path2 = element->Attribute("path2", false);
        int a = path1 ? FindImage(path1->Value().c_str()) : -1;
        int b = path2 ? FindImage(path2->Value().c_str()) : -1;
        int k = CombinationIndex(a, b);
        if (k < 0)
            throw "Bad image combination";
        ImageCombination& pair = combinations[static_cast<size_t>(k)];
        pair.first = a;
        pair.second = b;
        pair.matched = true;
        pair.error = ReadDouble(element, "error", DBL_MAX, -DBL_MAX, DBL_MAX);
        pair.f = ReadDouble(element, "f", 0, 0, 20000);
        pair.omega = ReadDouble(element, "omega", 0, -std::numbers::pi, std::numbers::pi);
        pair.phi = ReadDouble(element, "phi", 0, -std::numbers::pi, std::numbers::pi);
        pair.kappa = ReadDouble(element, "kappa", 0, -std::numbers::pi, std::numbers::pi);
        const ImageRecord& first = images[static_cast<size_t>(a)];
        const ImageRecord& second = images[static_cast<size_t>(b)];
        ReadPoints(element->FindChild("P", true), pair.P, first.width, first.height);
        ReadPoints(element->FindChild("Q", true), pair.Q, second.width, second.height);
        if (pair.P.size() != pair.Q.size())
            throw "Bad image combination";
    }
}

void PanoramaEngine::FitPairsAtLoad() {
    for (ImageCombination& pair : combinations) {
        if (!pair.matched) {
            pair.forward.Identity(3);
            pair.backward.Identity(3);
            pair.error = pair.f = pair.omega = pair.phi = pair.kappa = 0;
            continue;
        }
        const ImageRecord& a = images[static_cast<size_t>(pair.first)];
        const ImageRecord& b = images[static_cast<size_t>(pair.second)];
        if (pair.f != 0) {
            PairMatricesFromParameters(pair.f, pair.omega, pair.phi, pair.kappa, {a.width / 2, a.height / 2},
                                       {b.width / 2, b.height / 2}, pair.forward, pair.backward);
        } else if (!pair.P.empty()) {
            StorePairFit(pair, FitPair(pair.first, pair.second, pair.P, pair.Q));
            dirty = true;
        } else {
            // Without points there is nothing to fit; the pair stays unmatched.
            pair.matched = false;
        }
    }
}

bool PanoramaEngine::ReadFrom(XmlDocument& document, const char* name) {
    XmlElement* panorama = document.Root() ? document.Root()->FindDescendant("Panorama", "name", name, false)
                                           : nullptr;
    if (!panorama) {
        Reset();
        dirty = false;
        readError = "No panorama in the project";
        return false;
    }
    try {
        Reset();
        readError = nullptr;
        ReadParameters(panorama);
        ReadImages(panorama);
        ReadCombinations(panorama);
        dirty = false;
        FitPairsAtLoad();
        BuildOverlapHierarchyTrees();
        return true;
    } catch (const char* message) {
        // Never a half-loaded project: any error leaves a new, empty one.
        Reset();
        dirty = false;
        readError = message;
        return false;
    }
}
