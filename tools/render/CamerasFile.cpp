#include "render/CamerasFile.h"

#include "render/JsonAccess.h"

namespace render {

namespace {

constexpr int kMaxSide = 1 << 20;

ProjectionKind ReadProjection(const JsonValue& value) {
    const std::string& name = ReadString(value, "projection");
    if (name == "planar")
        return ProjectionKind::Planar;
    if (name == "cylindrical")
        return ProjectionKind::Cylindrical;
    if (name == "spherical")
        return ProjectionKind::Spherical;
    throw JsonError("projection: \"" + name + "\" is not planar, cylindrical or spherical");
}

// One number for all three channels, or three numbers red, green, blue.
void ReadChannels(const JsonValue& value, const std::string& where, double out[3]) {
    if (value.IsNumber()) {
        out[0] = out[1] = out[2] = value.AsNumber();
        return;
    }
    if (!value.IsArray() || value.AsArray().size() != 3)
        throw JsonError(where + ": expected a number or 3 numbers (red, green, blue)");
    for (size_t k = 0; k < 3; ++k)
        out[k] = ReadNumber(value.AsArray()[k], IndexPath(where, k));
}

CameraEntry ReadImage(const JsonValue& object, const std::string& where) {
    CameraEntry e;
    e.path = ReadString(RequiredMember(object, "path", where), MemberPath(where, "path"));
    e.width = ReadInteger(RequiredMember(object, "width", where), MemberPath(where, "width"), 1, kMaxSide);
    e.height = ReadInteger(RequiredMember(object, "height", where), MemberPath(where, "height"), 1, kMaxSide);
    if (const JsonValue* registered = object.Find("registered"))
        e.registered = ReadBool(*registered, MemberPath(where, "registered"));
    if (e.registered)
        e.rotation = ReadMatrix(RequiredMember(object, "rotation", where), MemberPath(where, "rotation"));
    if (const JsonValue* gain = object.Find("gain")) {
        ReadChannels(*gain, MemberPath(where, "gain"), e.gain);
        e.hasPhotometry = true;
    }
    if (const JsonValue* offset = object.Find("offset")) {
        ReadChannels(*offset, MemberPath(where, "offset"), e.offset);
        e.hasPhotometry = true;
    }
    return e;
}

CropWindow ReadCrop(const JsonValue& object) {
    auto side = [&](const char* key, int low) {
        return ReadInteger(RequiredMember(object, key, "crop"), MemberPath("crop", key), low, kMaxSide);
    };
    return {side("left", -kMaxSide), side("top", -kMaxSide), side("width", 1), side("height", 1)};
}

void ReadPanorama(const JsonValue& root, CamerasFile& file) {
    const JsonValue& panorama = RequiredMember(root, "panorama", "");
    file.panoramaWidth = ReadInteger(RequiredMember(panorama, "width", "panorama"), "panorama.width", 1, kMaxSide);
    file.panoramaHeight = ReadInteger(RequiredMember(panorama, "height", "panorama"), "panorama.height", 1, kMaxSide);
    file.transform = ReadMatrix(RequiredMember(panorama, "transform", "panorama"), "panorama.transform");
}

std::vector<double> ReadCoefficients(const JsonValue& value, const std::string& where) {
    if (value.IsNumber())
        return {value.AsNumber()};
    if (!value.IsArray())
        throw JsonError(where + ": expected a number or an array of numbers");
    std::vector<double> out;
    for (size_t k = 0; k < value.AsArray().size(); ++k)
        out.push_back(ReadNumber(value.AsArray()[k], IndexPath(where, k)));
    return out;
}

CamerasFile CamerasFileFromJson(const JsonValue& root) {
    if (!root.IsObject())
        throw JsonError("the document: expected an object");
    CamerasFile file;
    file.projection = ReadProjection(RequiredMember(root, "projection", ""));
    if (const JsonValue* f = root.Find("focal_length"))
        file.focalLength = ReadNumber(*f, "focal_length");
    ReadPanorama(root, file);
    if (file.projection == ProjectionKind::Planar) {
        const JsonValue& planar = RequiredMember(root, "planar", "");
        file.planarK = ReadMatrix(RequiredMember(planar, "K", "planar"), "planar.K");
        if (const JsonValue* r = planar.Find("R"))
            file.planarR = ReadMatrix(*r, "planar.R");
    }
    if (const JsonValue* crop = root.Find("crop"))
        file.crop = ReadCrop(*crop);
    if (const JsonValue* v = root.Find("vignetting"))
        file.vignetting = ReadCoefficients(*v, "vignetting");
    const JsonValue& images = RequiredMember(root, "images", "");
    if (!images.IsArray())
        throw JsonError("images: expected an array");
    for (size_t i = 0; i < images.AsArray().size(); ++i)
        file.images.push_back(ReadImage(images.AsArray()[i], IndexPath("images", i)));
    return file;
}

}  // namespace

CamerasFile ParseCamerasFile(const std::string& text) { return CamerasFileFromJson(ParseJson(text)); }

CamerasFile ReadCamerasFile(const std::string& path) {
    JsonValue root = ReadJsonFile(path);
    try {
        return CamerasFileFromJson(root);
    } catch (const JsonError& e) {
        throw JsonError(path + ": " + e.what());
    }
}

}  // namespace render
