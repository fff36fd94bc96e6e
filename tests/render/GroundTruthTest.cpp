// The ground-truth file next to rendered photographs: written and read back, and refused when
// its rotation no longer belongs to its angles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/GroundTruth.h"
#include "render/JsonParse.h"

namespace {

std::string TruthErrorOf(const std::string& text) {
    try {
        render::ParseGroundTruth(text);
    } catch (const render::JsonError& e) {
        return e.what();
    }
    return "";
}

render::ViewSpec TurnedView() {
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
    return a;
}

// text with the first occurrence of `from` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

}  // namespace

TEST(GroundTruth, WrittenFileReadsBackExactly) {
    render::ViewSpec thirds = TurnedView();
    thirds.yaw = 100.0 / 3;  // no short decimal: the writer must keep every digit
    thirds.focal = 1000.0 / 7;
    const std::vector<render::RenderedView> written = {
        {"odd \"name\" \\.jpg", TurnedView()}, {"view02.jpg", render::ViewSpec()}, {"thirds.jpg", thirds}};
    const std::string world = "C:\\worlds\\w\xC3\xA9.jpg";
    render::GroundTruth t = render::ParseGroundTruth(render::GroundTruthJson(world, written));
    EXPECT_EQ(t.world, world);
    ASSERT_EQ(t.views.size(), 3u);
    for (size_t i = 0; i < written.size(); ++i) {
        const render::ViewSpec& w = written[i].spec;
        const render::ViewSpec& r = t.views[i].spec;
        EXPECT_EQ(t.views[i].file, written[i].file);
        EXPECT_EQ(r.width, w.width);
        EXPECT_EQ(r.height, w.height);
        EXPECT_EQ(r.focal, w.focal);
        EXPECT_EQ(r.yaw, w.yaw);
        EXPECT_EQ(r.pitch, w.pitch);
        EXPECT_EQ(r.roll, w.roll);
        EXPECT_EQ(r.gain, w.gain);
        EXPECT_EQ(r.offset, w.offset);
        EXPECT_EQ(r.vignetting, w.vignetting);
    }
}

TEST(GroundTruth, ARotationThatDisagreesWithTheAnglesIsRefused) {
    // A rotation that does not belong to the angles means the conventions have drifted apart.
    const std::string text = render::GroundTruthJson("w.jpg", {{"v.jpg", TurnedView()}});
    EXPECT_EQ(TruthErrorOf(text), "");
    EXPECT_EQ(TruthErrorOf(Replaced(text, "\"yaw\": -31.5", "\"yaw\": -30.5")),
              "views[0].rotation: disagrees with yaw, pitch and roll");
}

TEST(GroundTruth, ErrorsNameTheMember) {
    const std::string text = render::GroundTruthJson("w.jpg", {{"v.jpg", TurnedView()}});
    EXPECT_EQ(TruthErrorOf(Replaced(text, "\"focal\"", "\"focus\"")), "views[0]: missing member \"focal\"");
    EXPECT_EQ(TruthErrorOf(Replaced(text, "\"focal\": 987.5", "\"focal\": -987.5")),
              "views[0].focal: must be positive");
    EXPECT_EQ(TruthErrorOf(Replaced(text, "\"width\": 800", "\"width\": 800.5")),
              "views[0].width: expected a whole number from 1 to 1048576");
    EXPECT_EQ(TruthErrorOf(Replaced(text, "\"world\": \"w.jpg\"", "\"world\": 3")),
              "world: expected a string, found a number");
    EXPECT_EQ(TruthErrorOf(R"({"world": "w.jpg", "views": {}})"), "views: expected an array, found an object");
}
