// The engine's part of the project file: the Panorama element with the parameters, the image
// list and the matched pairs, and the rules by which a file's values are read back.
#include <cfloat>
#include <new>
#include <numbers>

#include "engine/PanoramaEngine.h"
#include "matching/PairFit.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

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

    WriteParameters(panorama);
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

void PanoramaEngine::WriteParameters(XmlElement* panorama) const {
    for (const ParameterSpec& spec : ProjectParameters()) {
        XmlAttribute* attribute = panorama->Attribute(spec.attribute, true);
        const double value = parameters[spec.id];
        switch (spec.kind) {
        case ParameterKind::Integer: attribute->SetInt(static_cast<int>(value)); break;
        case ParameterKind::Flag: attribute->SetInt(value != 0 ? 1 : 0); break;
        case ParameterKind::Real: attribute->SetDouble(ToFileUnit(spec, value)); break;
        case ParameterKind::Choice: attribute->Set(ChoiceName(spec, static_cast<int>(value))); break;
        }
    }
}

// Every attribute is found or created, and a missing, unreadable or out-of-range value is
// replaced in the document by the one actually used.
void PanoramaEngine::ReadParameters(XmlElement* p) {
    for (const ParameterSpec& spec : ProjectParameters()) {
        XmlAttribute* attribute = p->Attribute(spec.attribute, true);
        double& value = parameters[spec.id];
        switch (spec.kind) {
        case ParameterKind::Integer:
            value = attribute->ToInt(static_cast<int>(spec.fileDefault), true, static_cast<int>(spec.minimum),
                                     static_cast<int>(spec.maximum));
            break;
        case ParameterKind::Flag:
            value = attribute->ToInt(static_cast<int>(spec.fileDefault), true, 0, 1) == 1 ? 1 : 0;
            break;
        case ParameterKind::Real:
            value = ToEngineUnit(spec, attribute->ToDouble(spec.fileDefault, true, spec.minimum, spec.maximum));
            break;
        case ParameterKind::Choice: {
            const char* empty = spec.choices->emptyText;
            Chars text = empty ? attribute->Value(empty, true) : attribute->Value();
            value = ChoiceCode(spec, text.c_str());
            break;
        }
        }
    }
    referenceImagePath = p->Attribute("referenceImagePath", true)->Value();
}

void PanoramaEngine::ReadImages(XmlElement* panorama) {
    std::vector<XmlElement*> list = panorama->FindChild("Images", true)->ChildElements("Image");
    if (list.size() > static_cast<size_t>(kMaxImages))
        throw kTooManyImages;
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
    XmlElement* panorama = document.Root() ? document.Root()->FindDescendant("Panorama", "name", name, false) : nullptr;
    ClearFailure();
    if (!panorama) {
        Reset();
        dirty = false;
        RecordFailure(EngineFailure::Failed, "No panorama in the project");
        return false;
    }
    try {
        Reset();
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
        RecordFailure(EngineFailure::Failed, message);
        return false;
    } catch (const std::bad_alloc&) {
        Reset();
        dirty = false;
        RecordFailure(EngineFailure::OutOfMemory, "not enough memory to load the project");
        return false;
    }
}
