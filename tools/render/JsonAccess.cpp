#include "render/JsonAccess.h"

#include <QJsonObject>
#include <QString>

#include <cmath>

namespace render {

const char* JsonTypeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null: return "null";
    case QJsonValue::Bool: return "a boolean";
    case QJsonValue::Double: return "a number";
    case QJsonValue::String: return "a string";
    case QJsonValue::Array: return "an array";
    case QJsonValue::Object: return "an object";
    case QJsonValue::Undefined: break;
    }
    return "no value";
}

std::string MemberPath(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
}

std::string IndexPath(const std::string& where, size_t index) { return where + "[" + std::to_string(index) + "]"; }

namespace {

std::string Place(const std::string& where) { return where.empty() ? std::string("the document") : where; }

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw JsonError(Place(where) + ": " + what);
}

[[noreturn]] void WrongType(const std::string& where, const char* expected, const QJsonValue& value) {
    Fail(where, std::string("expected ") + expected + ", found " + JsonTypeName(value));
}

QJsonObject ReadObject(const QJsonValue& value, const std::string& where) {
    if (!value.isObject())
        WrongType(where, "an object", value);
    return value.toObject();
}

}  // namespace

std::optional<QJsonValue> OptionalMember(const QJsonValue& object, const std::string& key, const std::string& where) {
    const QJsonObject members = ReadObject(object, where);
    const auto member = members.constFind(QString::fromStdString(key));
    if (member == members.constEnd())
        return std::nullopt;
    return member.value();
}

QJsonValue RequiredMember(const QJsonValue& object, const std::string& key, const std::string& where) {
    std::optional<QJsonValue> member = OptionalMember(object, key, where);
    if (!member)
        Fail(where, "missing member \"" + key + "\"");
    return *member;
}

double ReadNumber(const QJsonValue& value, const std::string& where) {
    if (!value.isDouble())
        WrongType(where, "a number", value);
    return value.toDouble();
}

int ReadInteger(const QJsonValue& value, const std::string& where, int low, int high) {
    const double n = ReadNumber(value, where);
    if (n != std::floor(n) || n < low || n > high)
        Fail(where, "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return static_cast<int>(n);
}

std::string ReadString(const QJsonValue& value, const std::string& where) {
    if (!value.isString())
        WrongType(where, "a string", value);
    return value.toString().toStdString();
}

bool ReadBool(const QJsonValue& value, const std::string& where) {
    if (!value.isBool())
        WrongType(where, "true or false", value);
    return value.toBool();
}

QJsonArray ReadArray(const QJsonValue& value, const std::string& where) {
    if (!value.isArray())
        WrongType(where, "an array", value);
    return value.toArray();
}

namespace {

constexpr const char* kMatrixShape = "expected 3 rows of 3 numbers (or 9 numbers row by row)";

void ReadMatrixRow(const QJsonValue& value, const std::string& where, double* row) {
    if (!value.isArray() || value.toArray().size() != 3)
        Fail(where, kMatrixShape);
    const QJsonArray numbers = value.toArray();
    for (qsizetype j = 0; j < 3; ++j)
        row[j] = ReadNumber(numbers[j], IndexPath(where, static_cast<size_t>(j)));
}

}  // namespace

Mat3 ReadMatrix(const QJsonValue& value, const std::string& where) {
    if (!value.isArray())
        Fail(where, kMatrixShape);
    const QJsonArray items = value.toArray();
    Mat3 m{};
    if (items.size() == 9) {
        for (qsizetype k = 0; k < 9; ++k)
            m[static_cast<size_t>(k)] = ReadNumber(items[k], IndexPath(where, static_cast<size_t>(k)));
        return m;
    }
    if (items.size() != 3)
        Fail(where, kMatrixShape);
    for (qsizetype i = 0; i < 3; ++i)
        ReadMatrixRow(items[i], IndexPath(where, static_cast<size_t>(i)), &m[static_cast<size_t>(i) * 3]);
    return m;
}

}  // namespace render
