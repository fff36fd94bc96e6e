// The cameras file as the ground-truth tools read it: every member, and errors that name the
// member at fault.
#include <gtest/gtest.h>

#include <string>

#include "render/CamerasFile.h"
#include "render/JsonParse.h"

namespace {

std::string CamerasErrorOf(const std::string& text) {
    try {
        render::ParseCamerasFile(text);
    } catch (const render::JsonError& e) {
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

// kCameras with the first occurrence of `from` replaced by `to`.
std::string CamerasWith(const std::string& from, const std::string& to) {
    std::string s = kCameras;
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

}  // namespace

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
    EXPECT_EQ(f.images[0].width, 1600);
    EXPECT_EQ(f.images[0].height, 1200);
    EXPECT_TRUE(f.images[0].hasPhotometry);
    EXPECT_EQ(f.images[0].gain[0], 1.1);
    EXPECT_EQ(f.images[0].gain[2], 0.9);
    EXPECT_EQ(f.images[0].offset[1], -2);
    EXPECT_FALSE(f.images[1].registered);
    EXPECT_FALSE(f.images[1].hasPhotometry);
    EXPECT_TRUE(f.images[2].registered);  // registered unless said otherwise
    EXPECT_EQ(f.images[2].rotation, (render::Mat3{0, 0, 1, 0, 1, 0, -1, 0, 0}));
}

TEST(CamerasFile, OptionalMembersMayBeLeftOut) {
    render::CamerasFile f = render::ParseCamerasFile(R"({"projection": "spherical", "images": [],
        "panorama": {"width": 1, "height": 1, "transform": [1,0,0,0,1,0,0,0,1]}})");
    EXPECT_EQ(f.projection, render::ProjectionKind::Spherical);
    EXPECT_FALSE(f.crop.has_value());
    EXPECT_TRUE(f.vignetting.empty());
    EXPECT_EQ(f.focalLength, 0);
    EXPECT_TRUE(f.images.empty());
    // A planar file needs its frame; R may be left out.
    render::CamerasFile planar = render::ParseCamerasFile(
        CamerasWith("\"cylindrical\"", "\"planar\", \"planar\": {\"K\": [2,0,0,0,2,0,0,0,1]}"));
    EXPECT_EQ(planar.planarK, (render::Mat3{2, 0, 0, 0, 2, 0, 0, 0, 1}));
    EXPECT_EQ(planar.planarR, (render::Mat3{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

TEST(CamerasFile, ErrorsNameTheMember) {
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"cylindrical\"", "\"conical\"")),
              "projection: \"conical\" is not planar, cylindrical or spherical");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"transform\"", "\"transfrom\"")), "panorama: missing member \"transform\"");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("[[500, 0, 1000], [0, 500, 400], [0, 0, 1]]", "[[500, 0], [0, 500], [0, 0]]")),
              "panorama.transform[0]: expected 3 rows of 3 numbers (or 9 numbers row by row)");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"height\": 800", "\"height\": 800.5")),
              "panorama.height: expected a whole number from 1 to 1048576");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"width\": 1900", "\"width\": 0")),
              "crop.width: expected a whole number from 1 to 1048576");
    EXPECT_EQ(
        CamerasErrorOf(CamerasWith("[[0, 0, 1], [0, 1, 0], [-1, 0, 0]]", "[[0, 0, 1], [0, \"1\", 0], [-1, 0, 0]]")),
        "images[2].rotation[1][1]: expected a number, found a string");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"registered\": false", "\"registered\": true")),
              "images[1]: missing member \"rotation\"");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"registered\": false", "\"registered\": \"no\"")),
              "images[1].registered: expected true or false, found a string");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"offset\": -2", "\"offset\": [1, 2]")),
              "images[0].offset: expected a number or 3 numbers (red, green, blue)");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"gain\": [1.1, 1.0, 0.9]", "\"gain\": [1.1, true, 0.9]")),
              "images[0].gain[1]: expected a number, found a boolean");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("[-1e-7, 0, 0]", "{}")),
              "vignetting: expected a number or an array of numbers");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"cylindrical\"", "\"planar\"")), "the document: missing member \"planar\"");
    EXPECT_EQ(CamerasErrorOf(CamerasWith("\"crop\": {", "\"crop\": 5, \"x\": {")),
              "crop: expected an object, found a number");
    EXPECT_EQ(CamerasErrorOf(R"({"projection": "spherical", "images": {},
        "panorama": {"width": 1, "height": 1, "transform": [1,0,0,0,1,0,0,0,1]}})"),
              "images: expected an array, found an object");
    EXPECT_EQ(CamerasErrorOf("[]"), "the document: expected an object");
}

TEST(CamerasFile, MalformedTextIsRefusedWithItsPlace) {
    // The comma after "vignetting" dropped: the next line starts with an unexpected name.
    EXPECT_EQ(CamerasErrorOf(CamerasWith("[-1e-7, 0, 0],", "[-1e-7, 0, 0]")).rfind("malformed JSON at line 6, ", 0),
              0u);
    EXPECT_EQ(CamerasErrorOf(""), "empty text, where a JSON object was expected");
}
