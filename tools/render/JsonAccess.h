#pragma once

// Typed reads of JSON members that name the value's place in the file in every error, for
// example "images[2].rotation: expected 3 rows of 3 numbers". `where` is that place: "" for
// the document itself, then MemberPath and IndexPath down to the value.
#include <QJsonArray>
#include <QJsonValue>

#include <optional>
#include <string>

#include "render/JsonParse.h"
#include "render/Mat3.h"

namespace render {

// "null", "a boolean", "a number", "a string", "an array" or "an object".
const char* JsonTypeName(const QJsonValue& value);

// The member of an object; throws when `object` is not an object or has no such member.
QJsonValue RequiredMember(const QJsonValue& object, const std::string& key, const std::string& where);
// The member, or nothing when the object has none; throws when `object` is not an object.
std::optional<QJsonValue> OptionalMember(const QJsonValue& object, const std::string& key, const std::string& where);

double ReadNumber(const QJsonValue& value, const std::string& where);
// A number that must be a whole number within [low, high].
int ReadInteger(const QJsonValue& value, const std::string& where, int low, int high);
std::string ReadString(const QJsonValue& value, const std::string& where);
bool ReadBool(const QJsonValue& value, const std::string& where);
QJsonArray ReadArray(const QJsonValue& value, const std::string& where);
// Either three rows of three numbers or nine numbers row by row.
Mat3 ReadMatrix(const QJsonValue& value, const std::string& where);

std::string MemberPath(const std::string& where, const std::string& key);
std::string IndexPath(const std::string& where, size_t index);

}  // namespace render
