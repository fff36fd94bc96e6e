#pragma once

// A small JSON reader for the tools' own files (ground truth, cameras files): objects,
// arrays, numbers, strings, true, false and null. Errors name the line and column.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace render {

class JsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class JsonValue {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    JsonValue() = default;
    static JsonValue MakeBool(bool b);
    static JsonValue MakeNumber(double n);
    static JsonValue MakeString(std::string s);
    static JsonValue MakeArray(std::vector<JsonValue> items);
    // Members in the order the file gives them.
    static JsonValue MakeObject(std::vector<std::pair<std::string, JsonValue>> members);

    Type GetType() const { return type; }
    bool IsNull() const { return type == Type::Null; }
    bool IsBool() const { return type == Type::Bool; }
    bool IsNumber() const { return type == Type::Number; }
    bool IsString() const { return type == Type::String; }
    bool IsArray() const { return type == Type::Array; }
    bool IsObject() const { return type == Type::Object; }

    // Typed reads; each throws JsonError naming the expected type when the value has another.
    bool AsBool() const;
    double AsNumber() const;
    const std::string& AsString() const;
    const std::vector<JsonValue>& AsArray() const;
    const std::vector<std::pair<std::string, JsonValue>>& AsObject() const;

    // Object member by name; nullptr when absent (throws when this is not an object).
    const JsonValue* Find(const std::string& key) const;

private:
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;
};

const char* JsonTypeName(JsonValue::Type type);

// The whole text must be one JSON value (surrounding white space allowed). Throws JsonError
// "line L, column C: ..." on malformed input; a repeated object key is an error too, since it
// leaves a file's meaning ambiguous.
JsonValue ParseJson(const std::string& text);

// s as a JSON string literal, quotes included.
std::string JsonQuoted(const std::string& s);

}  // namespace render
