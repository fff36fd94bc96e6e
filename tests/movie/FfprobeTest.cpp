// A general media tool reads the written movies: the file is a well-formed QuickTime movie
// whose image track decodes to the panorama without any help from the program's own reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "MovieTestSupport.h"
#include "movie/VrMovieReader.h"
#include "movie/VrMovieWriter.h"
#include "support/RunProgram.h"

namespace {

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TEST(VrMovieFfprobe, ListsTheImageTrackAndDecodesItToThePanorama) {
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg"))
        GTEST_SKIP() << "ffprobe/ffmpeg (Debian package ffmpeg) is not installed; scripts/install-deps.sh installs it";
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString(), movie = folder + "/pano.mov";
    const int tiles = 6;
    ImgRGB panorama = RenderCylindricalPanorama(1440, 240);
    VrMovieSettings settings;
    settings.tiles = tiles;
    std::string why;
    ASSERT_TRUE(WriteVrMovie(panorama, settings, movie, &why)) << why;

    RunResult probe = RunProgram("ffprobe",
                                 {"-v", "error", "-show_entries", "stream=codec_type,codec_name,nb_frames,width,height",
                                  "-of", "csv=p=0", movie},
                                 folder);
    ASSERT_EQ(probe.status, 0) << probe.err;
    EXPECT_EQ(probe.err, "");
    // One line per track: the QTVR and panorama tracks as data, the image track as video.
    std::istringstream lines(probe.out);
    std::string line, video;
    int streams = 0;
    while (std::getline(lines, line))
        if (!line.empty()) {
            ++streams;
            if (line.find("video") != std::string::npos)
                video = line;
        }
    EXPECT_EQ(streams, 3) << probe.out;
    EXPECT_EQ(video, "mjpeg,video,240,240,6") << probe.out;

    RunResult decode = RunProgram("ffmpeg",
                                  {"-v", "error", "-i", movie, "-map", "0:v:0", "-fps_mode", "passthrough", "-f",
                                   "rawvideo", "-pix_fmt", "yuvj444p", folder + "/frames.yuv"},
                                  folder);
    ASSERT_EQ(decode.status, 0) << decode.err;
    EXPECT_EQ(decode.err, "");
    // The decoded frames as the tool gives them, full-range YCbCr planes (no scaling of its own
    // in between), turned into RGB with the JFIF equations.
    std::string frames = ReadAll(folder + "/frames.yuv");
    const int tw = 240, th = 240, plane = tw * th;
    ASSERT_EQ(frames.size(), size_t(tiles) * plane * 3);
    auto pixel = [&](int k, int r, int c) {
        const auto* base = reinterpret_cast<const uint8_t*>(frames.data()) + size_t(k) * plane * 3 + r * tw + c;
        double y = base[0], cb = base[plane] - 128.0, cr = base[2 * plane] - 128.0;
        auto clamp = [](double v) { return static_cast<uint8_t>(std::clamp(v + 0.5, 0.0, 255.0)); };
        return Rgb{clamp(y + 1.772 * cb), clamp(y - 0.344136 * cb - 0.714136 * cr), clamp(y + 1.402 * cr)};
    };

    // The file declares the stored image turned counter-clockwise and diced top to bottom:
    // stored row r of the whole image is upright column width - 1 - r, stored column c upright row c.
    VrMovie declared;
    ASSERT_TRUE(ReadVrMovieFile(movie, &declared, &why)) << why;
    ASSERT_TRUE(declared.storedTurned);
    ASSERT_EQ(declared.framesX, 1);
    ASSERT_EQ(declared.framesY, tiles);
    ImgRGB assembled(1440, 240);
    for (int k = 0; k < tiles; ++k)
        for (int r = 0; r < th; ++r)
            for (int c = 0; c < tw; ++c)
                assembled.At(1440 - 1 - (k * th + r), c) = pixel(k, r, c);
    EXPECT_GE(PsnrOf(assembled, panorama), 40.0);
    // Both decoders see the same tiles: only their rounding differs.
    EXPECT_GE(PsnrOf(assembled, declared.panorama), 45.0);
}
