// The tools' JSON reader and the two file formats built on it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "render/CamerasFile.h"
#include "render/GroundTruth.h"
#include "render/Json.h"

using render::JsonError;
using render::JsonValue;
using render::ParseJson;

namespace {

// The error text of parsing, or "" when it parsed.
std::string ErrorOf(const std::string& text) {
    try {
        ParseJson(text);
    } catch (const JsonError& e) {
        return e.what();
    }
    return "";
}

std::string CamerasErrorOf(const std::string& text) {
    try {
        render::ParseCamerasFile(text);
    } catch (const JsonError& e) {
        return e.what();
    }
    return "";
}

const char* kCameras = R"({
  "projection": "cylindrical", "focal_length": 1400.5,
  "panorama": {"width": 2000, "height": 800, "transform": [[500, 0, 1000], [0, 500, 400], [0, 0, 1]]},
  "crop": {"left": 10, "top": 20, "width": 1900, "height": 700},
  "vignetting": [-1e-7, 0, 0],
  "images": [
    {"path": "C:\\photos\\a.jpg", "width": 1600, "height": 1200, "registered": true,
     "rotation": [1, 0, 0, 0, 1, 0, 0, 0, 1], "yaw_deg": 0, "gain": [1.1, 1.0, 0.9], "offset": -2},
    {"path": "b.jpg", "width": 1600, "height": 1200, "registered": false},
    {"path": "c.jpg", "width": 1600, "height": 1200, "unknown": {"ignored": [null]},
     "rotation": [[0, 0, 1], [0, 1, 0], [-1, 0, 0]]}
  ]
})";

}  // namespace

TEST(Json, ReadsEveryKindOfValue) {
    JsonValue v = ParseJson(" {\"a\": [1, -0.5, 2.5e3, -1E-2, 0], \"b\": {\"t\": true, \"f\": false, \"n\": null},"
                            " \"s\": \"q\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\", \"e\": [], \"o\": {}}\n");
    ASSERT_TRUE(v.IsObject());
    const auto& a = v.Find("a")->AsArray();
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0].AsNumber(), 1);
    EXPECT_EQ(a[1].AsNumber(), -0.5);
    EXPECT_EQ(a[2].AsNumber(), 2500);
    EXPECT_EQ(a[3].AsNumber(), -0.01);
    const JsonValue& b = *v.Find("b");
    EXPECT_TRUE(b.Find("t")->AsBool());
    EXPECT_FALSE(b.Find("f")->AsBool());
    EXPECT_TRUE(b.Find("n")->IsNull());
    EXPECT_EQ(v.Find("s")->AsString(), "q\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_TRUE(v.Find("e")->AsArray().empty());
    EXPECT_TRUE(v.Find("o")->AsObject().empty());
    EXPECT_EQ(v.Find("missing"), nullptr);
    // Members keep the file's order.
    EXPECT_EQ(v.AsObject()[2].first, "s");
    // A scalar document, and typed reads of the wrong type.
    EXPECT_EQ(ParseJson("42").AsNumber(), 42);
    EXPECT_THROW(ParseJson("42").AsString(), JsonError);
    EXPECT_THROW(ParseJson("[1]").Find("x"), JsonError);
}

TEST(Json, QuotedStringsReadBackUnchanged) {
    std::string odd = "a \"quoted\" C:\\path\n\ttab \x01 end \xC3\xA9";
    EXPECT_EQ(ParseJson(render::JsonQuoted(odd)).AsString(), odd);
}

TEST(Json, MalformedInputIsRefusedWithItsPlace) {
    EXPECT_EQ(ErrorOf("{\n  \"a\": 1,\n  \"b\" 2\n}"), "line 3, column 7: expected ':' after a member name");
    EXPECT_EQ(ErrorOf("[1, 2,]"), "line 1, column 7: unexpected character ']'");
    EXPECT_EQ(ErrorOf("{\"a\": 1,}"), "line 1, column 9: expected a member name in quotes");
    EXPECT_EQ(ErrorOf("{\"a\": 1, \"a\": 2}"), "line 1, column 10: member \"a\" appears twice");
    EXPECT_EQ(ErrorOf("[1 2]"), "line 1, column 4: expected ',' or ']' in an array");
    EXPECT_EQ(ErrorOf("{} x"), "line 1, column 4: unexpected text after the value");
    EXPECT_EQ(ErrorOf(""), "line 1, column 1: unexpected end of text, a value was expected");
    EXPECT_EQ(ErrorOf("[1, 2"), "line 1, column 6: unexpected end of text, expected ',' or ']' in an array");
    EXPECT_EQ(ErrorOf("\"abc"), "line 1, column 5: unexpected end of text inside a string");
    EXPECT_EQ(ErrorOf("\"a\\qb\""), "line 1, column 4: unknown escape \\q");
    EXPECT_EQ(ErrorOf("\"a\nb\""), "line 1, column 3: control character inside a string (write it as an escape)");
    EXPECT_EQ(ErrorOf("\"\\u12G4\""), "line 1, column 6: \\u must be followed by four hexadecimal digits");
    EXPECT_EQ(ErrorOf("\"\\ud83d x\""), "line 1, column 4: unpaired high surrogate in \\u escape");
    EXPECT_EQ(ErrorOf("\"\\ude00\""), "line 1, column 4: unpaired low surrogate in \\u escape");
    // Numbers follow the JSON grammar exactly.
    EXPECT_EQ(ErrorOf("01"), "line 1, column 2: unexpected text after the value");
    EXPECT_EQ(ErrorOf("1."), "line 1, column 3: a digit must follow the decimal point");
    EXPECT_EQ(ErrorOf("-"), "line 1, column 2: a digit must follow '-'");
    EXPECT_EQ(ErrorOf("1e+"), "line 1, column 4: a digit must follow the exponent mark");
    EXPECT_EQ(ErrorOf(".5"), "line 1, column 1: unexpected character '.'");
    EXPECT_EQ(ErrorOf("1e400"), "line 1, column 1: number out of range");
    EXPECT_EQ(ErrorOf("NaN"), "line 1, column 1: unexpected character 'N'");
    EXPECT_EQ(ErrorOf("tru"), "line 1, column 1: unexpected character 't'");
    EXPECT_EQ(ErrorOf("nulls"), "line 1, column 1: unexpected character 'n'");
    // Deep nesting is refused instead of exhausting the stack.
    EXPECT_NE(ErrorOf(std::string(100000, '[')).find("nesting deeper than"), std::string::npos);
    EXPECT_EQ(ErrorOf(std::string(150, '[') + std::string(150, ']')), "");
}

TEST(CamerasFile, ReadsEveryMember) {
    render::CamerasFile f = render::ParseCamerasFile(kCameras);
    EXPECT_EQ(f.projection, render::ProjectionKind::Cylindrical);
    EXPECT_EQ(f.focalLength, 1400.5);
    EXPECT_EQ(f.panoramaWidth, 2000);
    EXPECT_EQ(f.panoramaHeight, 800);
    EXPECT_EQ(f.transform, (render::Mat3{500, 0, 1000, 0, 500, 400, 0, 0, 1}));
    ASSERT_TRUE(f.crop.has_value());
    EXPECT_EQ(f.crop->left, 10);
    EXPECT_EQ(f.crop->top, 20);
    EXPECT_EQ(f.crop->width, 1900);
    EXPECT_EQ(f.crop->height, 700);
    EXPECT_EQ(f.vignetting, (std::vector<double>{-1e-7, 0, 0}));
    ASSERT_EQ(f.images.size(), 3u);
    EXPECT_EQ(f.images[0].path, "C:\\photos\\a.jpg");
    EXPECT_TRUE(f.images[0].hasPhotometry);
    EXPECT_EQ(f.images[0].gain[0], 1.1);
    EXPECT_EQ(f.images[0].gain[2], 0.9);
    EXPECT_EQ(f.images[0].offset[1], -2);
    EXPECT_FALSE(f.images[1].registered);
    EXPECT_FALSE(f.images[1].hasPhotometry);
    EXPECT_TRUE(f.images[2].registered);  // registered unless said otherwise
    EXPECT_EQ(f.images[2].rotation, (render::Mat3{0, 0, 1, 0, 1, 0, -1, 0, 0}));
    EXPECT_FALSE(render::ParseCamerasFile(R"({"projection": "spherical", "images": [],
        "panorama": {"width": 1, "height": 1, "transform": [1,0,0,0,1,0,0,0,1]}})")
                     .crop.has_value());
}

TEST(CamerasFile, ErrorsNameTheMember) {
    std::string good = kCameras;
    auto with = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return s.replace(at, from.size(), to);
    };
    EXPECT_EQ(CamerasErrorOf(with("\"cylindrical\"", "\"conical\"")),
              "projection: \"conical\" is not planar, cylindrical or spherical");
    EXPECT_EQ(CamerasErrorOf(with("\"transform\"", "\"transfrom\"")), "panorama: missing member \"transform\"");
    EXPECT_EQ(CamerasErrorOf(with("[[500, 0, 1000], [0, 500, 400], [0, 0, 1]]", "[[500, 0], [0, 500], [0, 0]]")),
              "panorama.transform[0]: expected 3 rows of 3 numbers (or 9 numbers row by row)");
    EXPECT_EQ(CamerasErrorOf(with("\"height\": 800", "\"height\": 800.5")),
              "panorama.height: expected a whole number from 1 to 1048576");
    EXPECT_EQ(CamerasErrorOf(with("\"width\": 1900", "\"width\": 0")),
              "crop.width: expected a whole number from 1 to 1048576");
    EXPECT_EQ(CamerasErrorOf(with("[[0, 0, 1], [0, 1, 0], [-1, 0, 0]]", "[[0, 0, 1], [0, \"1\", 0], [-1, 0, 0]]")),
              "images[2].rotation[1][1]: expected a number, found a string");
    EXPECT_EQ(CamerasErrorOf(with("\"unknown\"", "\"rotation\": null, \"unknown\"")),
              "line 11, column 6: member \"rotation\" appears twice");
    EXPECT_EQ(CamerasErrorOf(with("\"registered\": false", "\"registered\": true")),
              "images[1]: missing member \"rotation\"");
    EXPECT_EQ(CamerasErrorOf(with("\"offset\": -2", "\"offset\": [1, 2]")),
              "images[0].offset: expected a number or 3 numbers (red, green, blue)");
    EXPECT_EQ(CamerasErrorOf(with("\"cylindrical\"", "\"planar\"")), "the document: missing member \"planar\"");
    EXPECT_EQ(CamerasErrorOf("[]"), "the document: expected an object");
    EXPECT_EQ(render::ParseCamerasFile(with("\"cylindrical\"", "\"planar\", \"planar\": {\"K\": [2,0,0,0,2,0,0,0,1]}"))
                  .planarK[0],
              2);
}

TEST(GroundTruth, WrittenFileReadsBackAndGuardsItsConvention) {
    render::ViewSpec a;
    a.yaw = -31.5;
    a.pitch = 7.25;
    a.roll = 2;
    a.focal = 987.5;
    a.width = 800;
    a.height = 600;
    a.gain = 1.2;
    a.offset = -3;
    a.vignetting = 0.3;
    render::ViewSpec b;
    std::vector<render::RenderedView> written = {{"odd \"name\".jpg", a}, {"view02.jpg", b}};
    render::GroundTruth t = render::ParseGroundTruth(render::GroundTruthJson("C:\\worlds\\w.jpg", written));
    EXPECT_EQ(t.world, "C:\\worlds\\w.jpg");
    ASSERT_EQ(t.views.size(), 2u);
    EXPECT_EQ(t.views[0].file, "odd \"name\".jpg");
    const render::ViewSpec& r = t.views[0].spec;
    EXPECT_EQ(r.width, 800);
    EXPECT_EQ(r.height, 600);
    EXPECT_DOUBLE_EQ(r.focal, 987.5);
    EXPECT_DOUBLE_EQ(r.yaw, -31.5);
    EXPECT_DOUBLE_EQ(r.pitch, 7.25);
    EXPECT_DOUBLE_EQ(r.roll, 2);
    EXPECT_DOUBLE_EQ(r.gain, 1.2);
    EXPECT_DOUBLE_EQ(r.offset, -3);
    EXPECT_DOUBLE_EQ(r.vignetting, 0.3);
    // A rotation that does not belong to the angles means the conventions have drifted apart.
    std::string text = render::GroundTruthJson("w.jpg", {{"v.jpg", a}});
    text.replace(text.find("\"yaw\": -31.5"), 12, "\"yaw\": -30.5");
    EXPECT_THROW(render::ParseGroundTruth(text), JsonError);
}
