#include "render/JsonAccess.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace render {

JsonValue ReadJsonFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw JsonError(path + ": cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    try {
        return ParseJson(text.str());
    } catch (const JsonError& e) {
        throw JsonError(path + ": " + e.what());
    }
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

}  // namespace

const JsonValue& RequiredMember(const JsonValue& object, const std::string& key, const std::string& where) {
    if (!object.IsObject())
        Fail(where, std::string("expected an object, found ") + JsonTypeName(object.GetType()));
    const JsonValue* member = object.Find(key);
    if (!member)
        Fail(where, "missing member \"" + key + "\"");
    return *member;
}

double ReadNumber(const JsonValue& value, const std::string& where) {
    if (!value.IsNumber())
        Fail(where, std::string("expected a number, found ") + JsonTypeName(value.GetType()));
    return value.AsNumber();
}

int ReadInteger(const JsonValue& value, const std::string& where, int low, int high) {
    double n = ReadNumber(value, where);
    if (n != std::floor(n) || n < low || n > high)
        Fail(where, "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return static_cast<int>(n);
}

const std::string& ReadString(const JsonValue& value, const std::string& where) {
    if (!value.IsString())
        Fail(where, std::string("expected a string, found ") + JsonTypeName(value.GetType()));
    return value.AsString();
}

bool ReadBool(const JsonValue& value, const std::string& where) {
    if (!value.IsBool())
        Fail(where, std::string("expected true or false, found ") + JsonTypeName(value.GetType()));
    return value.AsBool();
}

Mat3 ReadMatrix(const JsonValue& value, const std::string& where) {
    const char* shape = "expected 3 rows of 3 numbers (or 9 numbers row by row)";
    if (!value.IsArray())
        Fail(where, shape);
    const std::vector<JsonValue>& rows = value.AsArray();
    Mat3 m{};
    if (rows.size() == 9) {
        for (size_t k = 0; k < 9; ++k)
            m[k] = ReadNumber(rows[k], IndexPath(where, k));
        return m;
    }
    if (rows.size() != 3)
        Fail(where, shape);
    for (size_t i = 0; i < 3; ++i) {
        if (!rows[i].IsArray() || rows[i].AsArray().size() != 3)
            Fail(IndexPath(where, i), shape);
        for (size_t j = 0; j < 3; ++j)
            m[i * 3 + j] = ReadNumber(rows[i].AsArray()[j], IndexPath(IndexPath(where, i), j));
    }
    return m;
}

}  // namespace render
