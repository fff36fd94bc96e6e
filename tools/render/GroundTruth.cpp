#include "render/GroundTruth.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "render/JsonAccess.h"

namespace render {

namespace {

QJsonArray RotationJson(const ViewSpec& v) {
    const Mat3 R = WorldFromCamera(v);
    QJsonArray numbers;
    for (double n : R)
        numbers.append(n);
    return numbers;
}

QJsonObject ViewJson(const RenderedView& view) {
    const ViewSpec& v = view.spec;
    return {{"file", QString::fromStdString(view.file)},
            {"width", v.width},
            {"height", v.height},
            {"focal", v.focal},
            {"yaw", v.yaw},
            {"pitch", v.pitch},
            {"roll", v.roll},
            {"gain", v.gain},
            {"offset", v.offset},
            {"vignetting", v.vignetting},
            {"rotation", RotationJson(v)}};
}

double Member(const QJsonValue& object, const char* key, const std::string& where) {
    return ReadNumber(RequiredMember(object, key, where), MemberPath(where, key));
}

int Side(const QJsonValue& object, const char* key, const std::string& where) {
    return ReadInteger(RequiredMember(object, key, where), MemberPath(where, key), 1, 1 << 20);
}

// The rotation is written for scripts; read back, it must still be the one the angles give.
void CheckRotation(const QJsonValue& object, const std::string& where, const ViewSpec& v) {
    std::optional<QJsonValue> rotation = OptionalMember(object, "rotation", where);
    if (!rotation)
        return;
    const Mat3 written = ReadMatrix(*rotation, MemberPath(where, "rotation"));
    if (AngleBetweenRotations(written, WorldFromCamera(v)) > 1e-4)
        throw JsonError(MemberPath(where, "rotation") + ": disagrees with yaw, pitch and roll");
}

RenderedView ReadView(const QJsonValue& object, const std::string& where) {
    RenderedView view;
    view.file = ReadString(RequiredMember(object, "file", where), MemberPath(where, "file"));
    ViewSpec& v = view.spec;
    v.width = Side(object, "width", where);
    v.height = Side(object, "height", where);
    v.focal = Member(object, "focal", where);
    if (!(v.focal > 0))
        throw JsonError(MemberPath(where, "focal") + ": must be positive");
    v.yaw = Member(object, "yaw", where);
    v.pitch = Member(object, "pitch", where);
    v.roll = Member(object, "roll", where);
    v.gain = Member(object, "gain", where);
    v.offset = Member(object, "offset", where);
    v.vignetting = Member(object, "vignetting", where);
    CheckRotation(object, where, v);
    return view;
}

GroundTruth GroundTruthFromJson(const QJsonValue& root) {
    GroundTruth truth;
    truth.world = ReadString(RequiredMember(root, "world", ""), "world");
    const QJsonArray views = ReadArray(RequiredMember(root, "views", ""), "views");
    for (qsizetype i = 0; i < views.size(); ++i)
        truth.views.push_back(ReadView(views[i], IndexPath("views", static_cast<size_t>(i))));
    return truth;
}

}  // namespace

std::string GroundTruthJson(const std::string& world, const std::vector<RenderedView>& views) {
    QJsonArray viewList;
    for (const RenderedView& view : views)
        viewList.append(ViewJson(view));
    const QJsonObject root{
        {"world", QString::fromStdString(world)},
        {"convention", "camera x right, y down, z forward; world x east, y down, z north; "
                       "rotation = world from camera, row-major"},
        {"principal_point", "image centre (width / 2, height / 2), pixel centres on integer coordinates"},
        {"views", viewList}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

GroundTruth ParseGroundTruth(const std::string& text) { return GroundTruthFromJson(ParseJson(text)); }

GroundTruth ReadGroundTruth(const std::string& path) {
    const QJsonValue root = ReadJsonFile(path);
    try {
        return GroundTruthFromJson(root);
    } catch (const JsonError& e) {
        throw JsonError(path + ": " + e.what());
    }
}

}  // namespace render
