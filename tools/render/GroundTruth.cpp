#include "render/GroundTruth.h"

#include <cmath>
#include <cstdio>

#include "render/JsonAccess.h"

namespace render {

namespace {

std::string Number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string ViewJson(const RenderedView& view) {
    const ViewSpec& v = view.spec;
    std::string out = "    {\"file\": " + JsonQuoted(view.file) + ", \"width\": " + std::to_string(v.width) +
                      ", \"height\": " + std::to_string(v.height) + ", \"focal\": " + Number("%.6f", v.focal) +
                      ", \"yaw\": " + Number("%.6f", v.yaw) + ", \"pitch\": " + Number("%.6f", v.pitch) +
                      ", \"roll\": " + Number("%.6f", v.roll) + ", \"gain\": " + Number("%.6f", v.gain) +
                      ", \"offset\": " + Number("%.6f", v.offset) +
                      ", \"vignetting\": " + Number("%.6f", v.vignetting) + ", \"rotation\": [";
    Mat3 R = WorldFromCamera(v);
    for (int k = 0; k < 9; ++k)
        out += Number("%.12f", R[k]) + (k < 8 ? ", " : "]}");
    return out;
}

double Member(const JsonValue& object, const char* key, const std::string& where) {
    return ReadNumber(RequiredMember(object, key, where), MemberPath(where, key));
}

RenderedView ReadView(const JsonValue& object, const std::string& where) {
    RenderedView view;
    view.file = ReadString(RequiredMember(object, "file", where), MemberPath(where, "file"));
    ViewSpec& v = view.spec;
    v.width = ReadInteger(RequiredMember(object, "width", where), MemberPath(where, "width"), 1, 1 << 20);
    v.height = ReadInteger(RequiredMember(object, "height", where), MemberPath(where, "height"), 1, 1 << 20);
    v.focal = Member(object, "focal", where);
    if (!(v.focal > 0))
        throw JsonError(MemberPath(where, "focal") + ": must be positive");
    v.yaw = Member(object, "yaw", where);
    v.pitch = Member(object, "pitch", where);
    v.roll = Member(object, "roll", where);
    v.gain = Member(object, "gain", where);
    v.offset = Member(object, "offset", where);
    v.vignetting = Member(object, "vignetting", where);
    if (const JsonValue* rotation = object.Find("rotation")) {
        Mat3 written = ReadMatrix(*rotation, MemberPath(where, "rotation"));
        if (AngleBetweenRotations(written, WorldFromCamera(v)) > 1e-4)
            throw JsonError(MemberPath(where, "rotation") + ": disagrees with yaw, pitch and roll");
    }
    return view;
}

GroundTruth GroundTruthFromJson(const JsonValue& root) {
    GroundTruth truth;
    truth.world = ReadString(RequiredMember(root, "world", ""), "world");
    const JsonValue& views = RequiredMember(root, "views", "");
    if (!views.IsArray())
        throw JsonError("views: expected an array");
    for (size_t i = 0; i < views.AsArray().size(); ++i)
        truth.views.push_back(ReadView(views.AsArray()[i], IndexPath("views", i)));
    return truth;
}

}  // namespace

std::string GroundTruthJson(const std::string& world, const std::vector<RenderedView>& views) {
    std::string out = "{\n  \"world\": " + JsonQuoted(world) +
                      ",\n  \"convention\": \"camera x right, y down, z forward; world x east, y down, z north; "
                      "rotation = world from camera, row-major\",\n"
                      "  \"principal_point\": \"image centre (width / 2, height / 2), pixel centres on "
                      "integer coordinates\",\n  \"views\": [\n";
    for (size_t i = 0; i < views.size(); ++i)
        out += ViewJson(views[i]) + (i + 1 < views.size() ? ",\n" : "\n");
    return out + "  ]\n}\n";
}

GroundTruth ParseGroundTruth(const std::string& text) { return GroundTruthFromJson(ParseJson(text)); }

GroundTruth ReadGroundTruth(const std::string& path) {
    JsonValue root = ReadJsonFile(path);
    try {
        return GroundTruthFromJson(root);
    } catch (const JsonError& e) {
        throw JsonError(path + ": " + e.what());
    }
}

}  // namespace render
