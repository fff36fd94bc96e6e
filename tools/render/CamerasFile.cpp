#include "render/CamerasFile.h"

#include "render/JsonAccess.h"

namespace render {

namespace {

constexpr int kMaxSide = 1 << 20;

ProjectionKind ReadProjection(const QJsonValue& value) {
    const std::string name = ReadString(value, "projection");
    if (name == "planar")
        return ProjectionKind::Planar;
    if (name == "cylindrical")
        return ProjectionKind::Cylindrical;
    if (name == "spherical")
        return ProjectionKind::Spherical;
    throw JsonError("projection: \"" + name + "\" is not planar, cylindrical or spherical");
}

// One number for all three channels, or three numbers red, green, blue.
void ReadChannels(const QJsonValue& value, const std::string& where, double out[3]) {
    if (value.isDouble()) {
        out[0] = out[1] = out[2] = value.toDouble();
        return;
    }
    if (!value.isArray() || value.toArray().size() != 3)
        throw JsonError(where + ": expected a number or 3 numbers (red, green, blue)");
    const QJsonArray channels = value.toArray();
    for (qsizetype k = 0; k < 3; ++k)
        out[k] = ReadNumber(channels[k], IndexPath(where, static_cast<size_t>(k)));
}

int ReadSide(const QJsonValue& object, const char* key, const std::string& where, int low) {
    return ReadInteger(RequiredMember(object, key, where), MemberPath(where, key), low, kMaxSide);
}

void ReadPhotometry(const QJsonValue& object, const std::string& where, CameraEntry& e) {
    if (std::optional<QJsonValue> gain = OptionalMember(object, "gain", where)) {
        ReadChannels(*gain, MemberPath(where, "gain"), e.gain);
        e.hasPhotometry = true;
    }
    if (std::optional<QJsonValue> offset = OptionalMember(object, "offset", where)) {
        ReadChannels(*offset, MemberPath(where, "offset"), e.offset);
        e.hasPhotometry = true;
    }
}

CameraEntry ReadImage(const QJsonValue& object, const std::string& where) {
    CameraEntry e;
    e.path = ReadString(RequiredMember(object, "path", where), MemberPath(where, "path"));
    e.width = ReadSide(object, "width", where, 1);
    e.height = ReadSide(object, "height", where, 1);
    if (std::optional<QJsonValue> registered = OptionalMember(object, "registered", where))
        e.registered = ReadBool(*registered, MemberPath(where, "registered"));
    if (e.registered)
        e.rotation = ReadMatrix(RequiredMember(object, "rotation", where), MemberPath(where, "rotation"));
    ReadPhotometry(object, where, e);
    return e;
}

CropWindow ReadCrop(const QJsonValue& crop) {
    return {ReadSide(crop, "left", "crop", -kMaxSide), ReadSide(crop, "top", "crop", -kMaxSide),
            ReadSide(crop, "width", "crop", 1), ReadSide(crop, "height", "crop", 1)};
}

void ReadPanorama(const QJsonValue& root, CamerasFile& file) {
    const QJsonValue panorama = RequiredMember(root, "panorama", "");
    file.panoramaWidth = ReadSide(panorama, "width", "panorama", 1);
    file.panoramaHeight = ReadSide(panorama, "height", "panorama", 1);
    file.transform = ReadMatrix(RequiredMember(panorama, "transform", "panorama"), "panorama.transform");
}

void ReadPlanarFrame(const QJsonValue& root, CamerasFile& file) {
    const QJsonValue planar = RequiredMember(root, "planar", "");
    file.planarK = ReadMatrix(RequiredMember(planar, "K", "planar"), "planar.K");
    if (std::optional<QJsonValue> r = OptionalMember(planar, "R", "planar"))
        file.planarR = ReadMatrix(*r, "planar.R");
}

std::vector<double> ReadCoefficients(const QJsonValue& value, const std::string& where) {
    if (value.isDouble())
        return {value.toDouble()};
    if (!value.isArray())
        throw JsonError(where + ": expected a number or an array of numbers");
    const QJsonArray numbers = value.toArray();
    std::vector<double> out;
    for (qsizetype k = 0; k < numbers.size(); ++k)
        out.push_back(ReadNumber(numbers[k], IndexPath(where, static_cast<size_t>(k))));
    return out;
}

std::vector<CameraEntry> ReadImages(const QJsonValue& root) {
    const QJsonArray images = ReadArray(RequiredMember(root, "images", ""), "images");
    std::vector<CameraEntry> entries;
    for (qsizetype i = 0; i < images.size(); ++i)
        entries.push_back(ReadImage(images[i], IndexPath("images", static_cast<size_t>(i))));
    return entries;
}

CamerasFile CamerasFileFromJson(const QJsonValue& root) {
    if (!root.isObject())
        throw JsonError("the document: expected an object");
    CamerasFile file;
    file.projection = ReadProjection(RequiredMember(root, "projection", ""));
    if (std::optional<QJsonValue> f = OptionalMember(root, "focal_length", ""))
        file.focalLength = ReadNumber(*f, "focal_length");
    ReadPanorama(root, file);
    if (file.projection == ProjectionKind::Planar)
        ReadPlanarFrame(root, file);
    if (std::optional<QJsonValue> crop = OptionalMember(root, "crop", ""))
        file.crop = ReadCrop(*crop);
    if (std::optional<QJsonValue> v = OptionalMember(root, "vignetting", ""))
        file.vignetting = ReadCoefficients(*v, "vignetting");
    file.images = ReadImages(root);
    return file;
}

}  // namespace

CamerasFile ParseCamerasFile(const std::string& text) { return CamerasFileFromJson(ParseJson(text)); }

CamerasFile ReadCamerasFile(const std::string& path) {
    const QJsonValue root = ReadJsonFile(path);
    try {
        return CamerasFileFromJson(root);
    } catch (const JsonError& e) {
        throw JsonError(path + ": " + e.what());
    }
}

}  // namespace render
