#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "image/ImageFile.h"
#include "image/SaveImageWhole.h"

namespace {

const std::string kOldText = "the old file, which a refused or interrupted write leaves alone\n";

class SaveImageWholeTest : public ::testing::Test {
protected:
    std::string Folder() const { return dir.path().toStdString(); }
    std::string PathOf(const std::string& name) const { return Folder() + "/" + name; }

    std::set<std::string> NamesIn(const std::string& folder) const {
        std::set<std::string> names;
        if (DIR* d = opendir(folder.c_str())) {
            while (dirent* entry = readdir(d))
                if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                    names.insert(entry->d_name);
            closedir(d);
        }
        return names;
    }
    static std::string ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteBytes(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    QTemporaryDir dir;
};

ImgRGB Ramp(int width, int height) {
    ImgRGB image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.At(x, y) = Rgb{static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 12), 200};
    return image;
}

TEST_F(SaveImageWholeTest, AWriteThroughALinkReplacesItsTargetAndTheLinkStays) {
    ASSERT_EQ(mkdir(PathOf("real").c_str(), 0755), 0);
    WriteBytes(PathOf("real/pano.bmp"), kOldText);
    ASSERT_EQ(symlink("real/pano.bmp", PathOf("link.bmp").c_str()), 0);
    std::string why;
    ASSERT_TRUE(SaveImageWhole(Ramp(30, 20), PathOf("link.bmp"), 100, {}, &why)) << why;
    struct stat seen {};
    ASSERT_EQ(lstat(PathOf("link.bmp").c_str(), &seen), 0);
    EXPECT_TRUE(S_ISLNK(seen.st_mode));
    ImgRGB loaded;
    ASSERT_TRUE(LoadImageFile(loaded, 0, QString::fromStdString(PathOf("real/pano.bmp"))));
    EXPECT_EQ(loaded.width, 30);
    EXPECT_EQ(NamesIn(PathOf("real")), std::set<std::string>{"pano.bmp"});
}

TEST_F(SaveImageWholeTest, DevicesAreRefusedNotReplaced) {
    const std::set<std::string> devBefore = NamesIn("/dev");
    std::string why;
    EXPECT_FALSE(SaveImageWhole(Ramp(4, 4), "/dev/null", 100, {}, &why));
    EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
    EXPECT_FALSE(SaveTextWhole("text", "/dev/null", &why));
    struct stat seen {};
    ASSERT_EQ(stat("/dev/null", &seen), 0);
    EXPECT_TRUE(S_ISCHR(seen.st_mode));
    EXPECT_EQ(NamesIn("/dev"), devBefore);
}

TEST_F(SaveImageWholeTest, AnInterruptedSaveKeepsTheOldFileAndLeavesNothingBehind) {
    const std::string path = PathOf("pano.png");
    WriteBytes(path, kOldText);
    std::string why;
    EXPECT_FALSE(SaveImageWhole(
        Ramp(10, 10), path, 100, [] { return false; }, &why));
    EXPECT_EQ(why, "interrupted");
    EXPECT_EQ(ReadBytes(path), kOldText);
    EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{"pano.png"});
}

TEST_F(SaveImageWholeTest, ReplacedTextKeepsThePermissionBitsAndNewTextFollowsTheUmask) {
    const std::string path = PathOf("notes.txt");
    WriteBytes(path, kOldText);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::string why;
    ASSERT_TRUE(SaveTextWhole("new text", path, &why)) << why;
    EXPECT_EQ(ReadBytes(path), "new text");
    struct stat seen {};
    ASSERT_EQ(stat(path.c_str(), &seen), 0);
    EXPECT_EQ(seen.st_mode & 0777, 0640u);

    const mode_t mask = umask(027);
    const bool saved = SaveTextWhole("fresh", PathOf("fresh.txt"), &why);
    umask(mask);
    ASSERT_TRUE(saved) << why;
    ASSERT_EQ(stat(PathOf("fresh.txt").c_str(), &seen), 0);
    EXPECT_EQ(seen.st_mode & 0777, 0640u);
    EXPECT_EQ(NamesIn(Folder()), (std::set<std::string>{"fresh.txt", "notes.txt"}));
}

TEST_F(SaveImageWholeTest, AMissingFolderIsReportedWithItsCause) {
    std::string why;
    EXPECT_FALSE(SaveTextWhole("text", PathOf("missing/notes.txt"), &why));
    EXPECT_NE(why.find("No such file or directory"), std::string::npos) << why;
}

TEST_F(SaveImageWholeTest, ANameThatIsNotUtf8IsWrittenUnderExactlyThatName) {
    const std::string name = "pano\xff.png";
    const ImgRGB image = Ramp(30, 20);
    std::string why;
    ASSERT_TRUE(SaveImageWhole(image, PathOf(name), 100, {}, &why)) << why;
    EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{name});
    ImgRGB loaded;
    ASSERT_TRUE(LoadImageFile(loaded, 0, PathOf(name).c_str()));
    ASSERT_EQ(loaded.width, 30);
    ASSERT_EQ(loaded.height, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_TRUE(loaded.At(x, y).b == image.At(x, y).b && loaded.At(x, y).g == image.At(x, y).g &&
                        loaded.At(x, y).r == image.At(x, y).r)
                << x << "," << y;
}

}  // namespace
