#pragma once

// Typed reads of JSON members that name the value's place in the file in every error, for
// example "images[2].rotation: expected 3 rows of 3 numbers".
#include <string>

#include "render/Json.h"
#include "render/Mat3.h"

namespace render {

// The whole file parsed; errors carry the path. Throws JsonError.
JsonValue ReadJsonFile(const std::string& path);

const JsonValue& RequiredMember(const JsonValue& object, const std::string& key, const std::string& where);
double ReadNumber(const JsonValue& value, const std::string& where);
// A number that must be a whole number within [low, high].
int ReadInteger(const JsonValue& value, const std::string& where, int low, int high);
const std::string& ReadString(const JsonValue& value, const std::string& where);
bool ReadBool(const JsonValue& value, const std::string& where);
// Either three rows of three numbers or nine numbers row by row.
Mat3 ReadMatrix(const JsonValue& value, const std::string& where);

std::string MemberPath(const std::string& where, const std::string& key);
std::string IndexPath(const std::string& where, size_t index);

}  // namespace render
