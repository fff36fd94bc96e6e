#include "render/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>

namespace render {

JsonValue JsonValue::MakeBool(bool b) {
    JsonValue v;
    v.type = Type::Bool;
    v.boolean = b;
    return v;
}

JsonValue JsonValue::MakeNumber(double n) {
    JsonValue v;
    v.type = Type::Number;
    v.number = n;
    return v;
}

JsonValue JsonValue::MakeString(std::string s) {
    JsonValue v;
    v.type = Type::String;
    v.text = std::move(s);
    return v;
}

JsonValue JsonValue::MakeArray(std::vector<JsonValue> list) {
    JsonValue v;
    v.type = Type::Array;
    v.items = std::move(list);
    return v;
}

JsonValue JsonValue::MakeObject(std::vector<std::pair<std::string, JsonValue>> list) {
    JsonValue v;
    v.type = Type::Object;
    v.members = std::move(list);
    return v;
}

const char* JsonTypeName(JsonValue::Type type) {
    switch (type) {
    case JsonValue::Type::Null: return "null";
    case JsonValue::Type::Bool: return "a boolean";
    case JsonValue::Type::Number: return "a number";
    case JsonValue::Type::String: return "a string";
    case JsonValue::Type::Array: return "an array";
    case JsonValue::Type::Object: return "an object";
    }
    return "?";
}

namespace {

[[noreturn]] void WrongType(JsonValue::Type want, JsonValue::Type have) {
    throw JsonError(std::string("expected ") + JsonTypeName(want) + ", found " + JsonTypeName(have));
}

}  // namespace

bool JsonValue::AsBool() const {
    if (type != Type::Bool)
        WrongType(Type::Bool, type);
    return boolean;
}

double JsonValue::AsNumber() const {
    if (type != Type::Number)
        WrongType(Type::Number, type);
    return number;
}

const std::string& JsonValue::AsString() const {
    if (type != Type::String)
        WrongType(Type::String, type);
    return text;
}

const std::vector<JsonValue>& JsonValue::AsArray() const {
    if (type != Type::Array)
        WrongType(Type::Array, type);
    return items;
}

const std::vector<std::pair<std::string, JsonValue>>& JsonValue::AsObject() const {
    if (type != Type::Object)
        WrongType(Type::Object, type);
    return members;
}

const JsonValue* JsonValue::Find(const std::string& key) const {
    for (const auto& [name, value] : AsObject())
        if (name == key)
            return &value;
    return nullptr;
}

namespace {

// Recursive descent over the text; the nesting depth is bounded so that a hostile file
// cannot overflow the stack.
class Parser {
public:
    explicit Parser(const std::string& s) : text(s) {}

    JsonValue Document() {
        SkipSpace();
        JsonValue v = Value(0);
        SkipSpace();
        if (pos < text.size())
            Fail("unexpected text after the value");
        return v;
    }

private:
    static constexpr int kMaxDepth = 200;
    const std::string& text;
    size_t pos = 0;

    [[noreturn]] void Fail(const std::string& what) const {
        int line = 1, column = 1;
        for (size_t k = 0; k < pos && k < text.size(); ++k) {
            if (text[k] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw JsonError("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what);
    }

    bool AtEnd() const { return pos >= text.size(); }
    char Peek() const { return AtEnd() ? '\0' : text[pos]; }

    void SkipSpace() {
        while (!AtEnd() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r'))
            ++pos;
    }

    void Expect(char c, const char* what) {
        if (Peek() != c)
            Fail(AtEnd() ? std::string("unexpected end of text, ") + what : std::string(what));
        ++pos;
    }

    JsonValue Value(int depth) {
        if (depth > kMaxDepth)
            Fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels");
        if (AtEnd())
            Fail("unexpected end of text, a value was expected");
        char c = Peek();
        if (c == '{')
            return Object(depth);
        if (c == '[')
            return Array(depth);
        if (c == '"')
            return JsonValue::MakeString(String());
        if (c == '-' || (c >= '0' && c <= '9'))
            return Number();
        if (Keyword("true"))
            return JsonValue::MakeBool(true);
        if (Keyword("false"))
            return JsonValue::MakeBool(false);
        if (Keyword("null"))
            return JsonValue();
        Fail(std::string("unexpected character '") + c + "'");
    }

    bool Keyword(const char* word) {
        size_t n = std::char_traits<char>::length(word);
        if (text.compare(pos, n, word) != 0)
            return false;
        char after = pos + n < text.size() ? text[pos + n] : '\0';
        if ((after >= 'a' && after <= 'z') || (after >= 'A' && after <= 'Z') || (after >= '0' && after <= '9'))
            return false;
        pos += n;
        return true;
    }

    JsonValue Object(int depth) {
        ++pos;  // '{'
        std::vector<std::pair<std::string, JsonValue>> members;
        std::set<std::string> seen;
        SkipSpace();
        if (Peek() == '}') {
            ++pos;
            return JsonValue::MakeObject(std::move(members));
        }
        for (;;) {
            SkipSpace();
            if (Peek() != '"')
                Fail(AtEnd() ? "unexpected end of text inside an object" : "expected a member name in quotes");
            size_t keyStart = pos;
            std::string key = String();
            if (!seen.insert(key).second) {
                pos = keyStart;
                Fail("member \"" + key + "\" appears twice");
            }
            SkipSpace();
            Expect(':', "expected ':' after a member name");
            SkipSpace();
            members.emplace_back(std::move(key), Value(depth + 1));
            SkipSpace();
            if (Peek() == ',') {
                ++pos;
                continue;
            }
            Expect('}', "expected ',' or '}' in an object");
            return JsonValue::MakeObject(std::move(members));
        }
    }

    JsonValue Array(int depth) {
        ++pos;  // '['
        std::vector<JsonValue> items;
        SkipSpace();
        if (Peek() == ']') {
            ++pos;
            return JsonValue::MakeArray(std::move(items));
        }
        for (;;) {
            SkipSpace();
            items.push_back(Value(depth + 1));
            SkipSpace();
            if (Peek() == ',') {
                ++pos;
                continue;
            }
            Expect(']', "expected ',' or ']' in an array");
            return JsonValue::MakeArray(std::move(items));
        }
    }

    bool Digit() const { return Peek() >= '0' && Peek() <= '9'; }

    // The JSON grammar exactly: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    JsonValue Number() {
        size_t start = pos;
        if (Peek() == '-')
            ++pos;
        if (Peek() == '0') {
            ++pos;
        } else if (Digit()) {
            while (Digit())
                ++pos;
        } else {
            Fail("a digit must follow '-'");
        }
        if (Peek() == '.') {
            ++pos;
            if (!Digit())
                Fail("a digit must follow the decimal point");
            while (Digit())
                ++pos;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++pos;
            if (Peek() == '+' || Peek() == '-')
                ++pos;
            if (!Digit())
                Fail("a digit must follow the exponent mark");
            while (Digit())
                ++pos;
        }
        double value = 0;
        auto [end, error] = std::from_chars(text.data() + start, text.data() + pos, value);
        if (error != std::errc() || end != text.data() + pos || !std::isfinite(value)) {
            pos = start;
            Fail("number out of range");
        }
        return JsonValue::MakeNumber(value);
    }

    unsigned Hex4() {
        unsigned code = 0;
        for (int k = 0; k < 4; ++k) {
            char c = Peek();
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0)
                Fail("\\u must be followed by four hexadecimal digits");
            code = code * 16 + static_cast<unsigned>(digit);
            ++pos;
        }
        return code;
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    unsigned Escape() {
        size_t at = pos;
        unsigned code = Hex4();
        if (code >= 0xDC00 && code <= 0xDFFF) {
            pos = at;
            Fail("unpaired low surrogate in \\u escape");
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (text.compare(pos, 2, "\\u") != 0) {
                pos = at;
                Fail("unpaired high surrogate in \\u escape");
            }
            pos += 2;
            unsigned low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) {
                pos = at;
                Fail("unpaired high surrogate in \\u escape");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        return code;
    }

    std::string String() {
        ++pos;  // opening quote
        std::string out;
        for (;;) {
            if (AtEnd())
                Fail("unexpected end of text inside a string");
            char c = text[pos];
            if (c == '"') {
                ++pos;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                Fail("control character inside a string (write it as an escape)");
            ++pos;
            if (c != '\\') {
                out += c;
                continue;
            }
            char e = Peek();
            ++pos;
            switch (e) {
            case '"':
            case '\\':
            case '/': out += e; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': AppendUtf8(out, Escape()); break;
            default:
                --pos;
                Fail(e ? std::string("unknown escape \\") + e : std::string("unexpected end of text inside a string"));
            }
        }
    }
};

}  // namespace

JsonValue ParseJson(const std::string& text) { return Parser(text).Document(); }

std::string JsonQuoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

}  // namespace render
