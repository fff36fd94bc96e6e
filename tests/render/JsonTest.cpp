// Reading the tools' JSON files: malformed text refused with its place, and typed reads of
// members that name the member at fault and what was found there.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "render/JsonAccess.h"

using render::IndexPath;
using render::JsonError;
using render::MemberPath;
using render::ParseJson;
using render::RequiredMember;

namespace {

// The error text of running read, or "" when it threw nothing.
std::string JsonErrorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const JsonError& e) {
        return e.what();
    }
    return "";
}

std::string ParseErrorOf(const std::string& text) {
    return JsonErrorOf([&] { ParseJson(text); });
}

const char* kMembers = R"({"n": 2.5, "i": 7, "s": "text", "b": false, "z": null, "a": [1],
                           "o": {"deep": [0, "x"]}})";

}  // namespace

TEST(JsonParse, ReadsEveryKindOfValue) {
    const QJsonValue v =
        ParseJson(" {\"a\": [1, -0.5, 2.5e3, -1E-2, 0], \"b\": {\"t\": true, \"f\": false, \"n\": null},"
                  " \"s\": \"q\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\", \"e\": [], \"o\": {}}\n");
    const QJsonArray a = render::ReadArray(RequiredMember(v, "a", ""), "a");
    ASSERT_EQ(a.size(), 5);
    EXPECT_EQ(render::ReadNumber(a[0], "a[0]"), 1);
    EXPECT_EQ(render::ReadNumber(a[1], "a[1]"), -0.5);
    EXPECT_EQ(render::ReadNumber(a[2], "a[2]"), 2500);
    EXPECT_EQ(render::ReadNumber(a[3], "a[3]"), -0.01);
    const QJsonValue b = RequiredMember(v, "b", "");
    EXPECT_TRUE(render::ReadBool(RequiredMember(b, "t", "b"), "b.t"));
    EXPECT_FALSE(render::ReadBool(RequiredMember(b, "f", "b"), "b.f"));
    EXPECT_TRUE(RequiredMember(b, "n", "b").isNull());
    // Escapes, and characters beyond the first plane, come out as UTF-8.
    EXPECT_EQ(render::ReadString(RequiredMember(v, "s", ""), "s"), "q\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_TRUE(render::ReadArray(RequiredMember(v, "e", ""), "e").isEmpty());
    EXPECT_TRUE(RequiredMember(v, "o", "").toObject().isEmpty());
    // A document may be an array as well.
    EXPECT_EQ(ParseJson("[1, 2]").toArray().size(), 2);
}

TEST(JsonParse, MalformedTextIsRefusedWithItsLineAndColumn) {
    EXPECT_EQ(ParseErrorOf("{\n}\n  x"),
              "malformed JSON at line 3, column 3 (byte offset 6): garbage at the end of the document");
    EXPECT_EQ(ParseErrorOf("{\n  \"a\": 1,\n  \"b\" 2\n}"),
              "malformed JSON at line 3, column 8 (byte offset 19): missing name separator");
    // Columns count characters: the two bytes of the e acute are one column.
    EXPECT_EQ(ParseErrorOf("{\"\xC3\xA9\": 1} x"),
              "malformed JSON at line 1, column 10 (byte offset 10): garbage at the end of the document");
    EXPECT_NE(ParseErrorOf("[1, 2").find("malformed JSON at line 1"), std::string::npos);
    EXPECT_NE(ParseErrorOf("{\"a\": 1,}").find("malformed JSON at line 1"), std::string::npos);
    EXPECT_NE(ParseErrorOf("[1e400]").find("illegal number"), std::string::npos);
    EXPECT_NE(ParseErrorOf("[\"\xFF\"]").find("invalid UTF8 string"), std::string::npos);
    // A bare number is no document of the tools.
    EXPECT_NE(ParseErrorOf("42"), "");
    EXPECT_EQ(ParseErrorOf(""), "empty text, where a JSON object was expected");
    EXPECT_EQ(ParseErrorOf(" \r\n\t"), "empty text, where a JSON object was expected");
}

TEST(JsonParse, DeepNestingIsRefusedInsteadOfExhaustingTheStack) {
    EXPECT_NE(ParseErrorOf(std::string(100000, '[')).find("too deeply nested"), std::string::npos);
    EXPECT_EQ(ParseErrorOf(std::string(150, '[') + std::string(150, ']')), "");
}

TEST(JsonParse, ARepeatedKeyKeepsItsLastValue) {
    const QJsonValue v = ParseJson(R"({"a": 1, "a": 2})");
    EXPECT_EQ(render::ReadNumber(RequiredMember(v, "a", ""), "a"), 2);
}

TEST(JsonParse, FilesAreReadWithTheirPathInEveryError) {
    QTemporaryDir folder;
    const std::string good = folder.filePath("good.json").toStdString();
    const std::string bad = folder.filePath("bad.json").toStdString();
    const std::string empty = folder.filePath("empty.json").toStdString();
    const std::string missing = folder.filePath("missing.json").toStdString();
    std::ofstream(good) << "{\"k\": \"v\"}";
    std::ofstream(bad) << "{\n\"k\" \"v\"}";
    std::ofstream(empty) << "";
    EXPECT_EQ(render::ReadString(RequiredMember(render::ReadJsonFile(good), "k", ""), "k"), "v");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadJsonFile(bad); }),
              bad + ": malformed JSON at line 2, column 6 (byte offset 7): missing name separator");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadJsonFile(empty); }),
              empty + ": empty text, where a JSON object was expected");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadJsonFile(missing); }), missing + ": cannot be read");
    const std::string directory = folder.path().toStdString();
    EXPECT_EQ(JsonErrorOf([&] { render::ReadJsonFile(directory); }), directory + ": cannot be read");
}

TEST(JsonAccess, TypedReadsNameThePlaceAndWhatWasFound) {
    const QJsonValue v = ParseJson(kMembers);
    EXPECT_EQ(render::ReadNumber(RequiredMember(v, "n", ""), "n"), 2.5);
    EXPECT_EQ(render::ReadString(RequiredMember(v, "s", ""), "s"), "text");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadNumber(RequiredMember(v, "s", ""), "s"); }),
              "s: expected a number, found a string");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadString(RequiredMember(v, "n", ""), "n"); }),
              "n: expected a string, found a number");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadBool(RequiredMember(v, "z", ""), "z"); }),
              "z: expected true or false, found null");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadArray(RequiredMember(v, "o", ""), "o"); }),
              "o: expected an array, found an object");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadString(RequiredMember(v, "b", ""), "b"); }),
              "b: expected a string, found a boolean");
    EXPECT_EQ(JsonErrorOf([&] { RequiredMember(RequiredMember(v, "a", ""), "x", "a"); }),
              "a: expected an object, found an array");
    EXPECT_EQ(JsonErrorOf([&] { RequiredMember(v, "missing", ""); }), "the document: missing member \"missing\"");
    EXPECT_EQ(JsonErrorOf([&] { RequiredMember(RequiredMember(v, "o", ""), "gone", "o"); }),
              "o: missing member \"gone\"");
    const QJsonArray deep = render::ReadArray(RequiredMember(RequiredMember(v, "o", ""), "deep", "o"), "o.deep");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadNumber(deep[1], IndexPath(MemberPath("o", "deep"), 1)); }),
              "o.deep[1]: expected a number, found a string");
}

TEST(JsonAccess, AnOptionalMemberIsThereEvenWhenFalseOrNull) {
    const QJsonValue v = ParseJson(kMembers);
    EXPECT_FALSE(render::OptionalMember(v, "missing", "").has_value());
    std::optional<QJsonValue> b = render::OptionalMember(v, "b", "");
    ASSERT_TRUE(b.has_value());
    EXPECT_TRUE(b->isBool());
    std::optional<QJsonValue> z = render::OptionalMember(v, "z", "");
    ASSERT_TRUE(z.has_value());
    EXPECT_TRUE(z->isNull());
    EXPECT_EQ(JsonErrorOf([&] { render::OptionalMember(RequiredMember(v, "i", ""), "k", "i"); }),
              "i: expected an object, found a number");
}

TEST(JsonAccess, IntegersMustBeWholeAndInRange) {
    const QJsonValue v = ParseJson(R"({"seven": 7, "half": 7.5, "low": -5, "huge": 1e300})");
    auto read = [&](const char* key, int low, int high) {
        return render::ReadInteger(RequiredMember(v, key, ""), key, low, high);
    };
    EXPECT_EQ(read("seven", 1, 10), 7);
    EXPECT_EQ(read("seven", 7, 7), 7);
    EXPECT_EQ(read("low", -5, 5), -5);
    EXPECT_EQ(JsonErrorOf([&] { read("half", 1, 10); }), "half: expected a whole number from 1 to 10");
    EXPECT_EQ(JsonErrorOf([&] { read("seven", 8, 10); }), "seven: expected a whole number from 8 to 10");
    EXPECT_EQ(JsonErrorOf([&] { read("seven", 1, 6); }), "seven: expected a whole number from 1 to 6");
    EXPECT_EQ(JsonErrorOf([&] { read("huge", 1, 10); }), "huge: expected a whole number from 1 to 10");
}

TEST(JsonAccess, MatricesAreThreeRowsOrNineNumbers) {
    const render::Mat3 expected{1, 2, 3, 4, 5, 6, 7, 8, 9};
    auto matrix = [](const std::string& text) { return render::ReadMatrix(ParseJson(text), "m"); };
    EXPECT_EQ(matrix("[[1, 2, 3], [4, 5, 6], [7, 8, 9]]"), expected);
    EXPECT_EQ(matrix("[1, 2, 3, 4, 5, 6, 7, 8, 9]"), expected);
    const std::string shape = "expected 3 rows of 3 numbers (or 9 numbers row by row)";
    EXPECT_EQ(JsonErrorOf([&] { matrix("[[1, 2], [3, 4], [5, 6]]"); }), "m[0]: " + shape);
    EXPECT_EQ(JsonErrorOf([&] { matrix("[[1, 2, 3], [4, 5, 6], 7]"); }), "m[2]: " + shape);
    EXPECT_EQ(JsonErrorOf([&] { matrix("[1, 2, 3]"); }), "m[0]: " + shape);
    EXPECT_EQ(JsonErrorOf([&] { matrix("[1, 2, 3, 4]"); }), "m: " + shape);
    EXPECT_EQ(JsonErrorOf([&] { matrix("[[1, 2, 3], [4, 5, \"6\"], [7, 8, 9]]"); }),
              "m[1][2]: expected a number, found a string");
    EXPECT_EQ(JsonErrorOf([&] { matrix("[1, 2, 3, 4, null, 6, 7, 8, 9]"); }), "m[4]: expected a number, found null");
    EXPECT_EQ(JsonErrorOf([&] { render::ReadMatrix(RequiredMember(ParseJson(kMembers), "n", ""), "n"); }),
              "n: " + shape);
}
