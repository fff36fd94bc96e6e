#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "image/ImgTypes.h"

namespace fs = std::filesystem;

namespace {

class RawImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("vedora-raw-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string Path(const char* name) const { return (folder / name).string(); }

    static std::string Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string Header(int code, int w, int h, int bpp, int stride) {
        std::string s = "ZELV";
        for (int v : {code, w, h, bpp, stride})
            for (int i = 0; i < 4; ++i)
                s += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
        return s;
    }

    template <class Image>
    void RoundTrip(const char* name) {
        Image img(7, 3);
        std::memset(img.pixels, 0, img.ByteCount());
        for (size_t k = 0; k < img.ByteCount(); ++k)
            img.pixels[k] = static_cast<unsigned char>(k * 31 + 7);
        ASSERT_TRUE(img.Save(Path(name).c_str()));
        std::string bytes = Bytes(Path(name));
        ASSERT_EQ(bytes.size(), 24 + img.ByteCount());
        EXPECT_EQ(bytes.substr(0, 24), Header(img.typeCode, 7, 3, img.bytesPerPixel, img.rowStride));
        Image back;
        ASSERT_TRUE(back.Load(Path(name).c_str())) << name;
        EXPECT_EQ(back.width, 7);
        EXPECT_EQ(std::memcmp(back.pixels, img.pixels, img.ByteCount()), 0);
    }

    fs::path folder;
};

}  // namespace

TEST_F(RawImageFile, RoundTripForEveryType) {
    RoundTrip<ImgUCHAR>("u");
    RoundTrip<ImgINT>("i");
    RoundTrip<ImgFLOAT>("f");
    RoundTrip<ImgDOUBLE>("d");
    RoundTrip<ImgRGB>("rgb");
    RoundTrip<ImgRGBA>("rgba");
    RoundTrip<ImgRGBSHORT>("s");
    RoundTrip<ImgCPXFLOAT>("c");
}

TEST_F(RawImageFile, RejectsMismatchesWithoutTouchingTheImage) {
    ImgRGB rgb(3, 2);
    ASSERT_TRUE(rgb.Save(Path("rgb").c_str()));
    std::string good = Bytes(Path("rgb"));
    ImgFLOAT f(2, 2);
    f.FillRect(0, 0, 1, 1, 5.0f);
    auto rejected = [&](const std::string& bytes) {
        Put(Path("bad"), bytes);
        bool loaded = f.Load(Path("bad").c_str());
        return !loaded && f.width == 2 && f.At(1, 1) == 5.0f;
    };
    EXPECT_TRUE(rejected(good));  // type 6 into a float image
    ImgRGB r;
    Put(Path("long"), good + "x");
    EXPECT_FALSE(r.Load(Path("long").c_str()));
    std::string magic = good;
    magic[0] = 'X';
    Put(Path("magic"), magic);
    EXPECT_FALSE(r.Load(Path("magic").c_str()));
    Put(Path("short"), good.substr(0, 23));
    EXPECT_FALSE(r.Load(Path("short").c_str()));
    EXPECT_FALSE(r.Load(Path("missing").c_str()));
    EXPECT_FALSE(r.Load(nullptr));

    // Crafted headers: sizes that overflow 32 bits, wrong strides, zero or negative sizes.
    std::string pixels(16, '\0');
    EXPECT_TRUE(rejected(Header(3, 65536, 65537, 4, 262144) + pixels));
    EXPECT_TRUE(rejected(Header(3, 0x40000000, 4, 4, 0) + pixels));         // stride product wraps to 0
    EXPECT_TRUE(rejected(Header(3, 2, 2, 4, 4) + pixels.substr(0, 8)));     // stride too small for the width
    EXPECT_TRUE(rejected(Header(3, 1, 2, 4, 8) + pixels));                  // stride too large
    EXPECT_TRUE(rejected(Header(3, 2, 2, 8, 16) + std::string(32, '\0')));  // wrong bytes per pixel
    EXPECT_TRUE(rejected(Header(3, -2, -2, 4, -8) + pixels));
    EXPECT_TRUE(rejected(Header(3, 0, 5, 4, 0)));
    Put(Path("ok"), Header(3, 2, 2, 4, 8) + pixels);
    EXPECT_TRUE(f.Load(Path("ok").c_str()));
    EXPECT_EQ(f.At(1, 1), 0.0f);

    // A view cannot be resized, so it cannot take a file of another size.
    std::vector<float> memory(4);
    ImgFLOAT view(2, 2, memory.data());
    Put(Path("big"), Header(3, 3, 3, 4, 12) + std::string(36, '\0'));
    EXPECT_FALSE(view.Load(Path("big").c_str()));
}
