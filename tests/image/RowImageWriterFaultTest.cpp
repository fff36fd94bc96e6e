#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <functional>
#include <string>

#include "image/ImageFile.h"
#include "image/RowImageWriter.h"
#include "image/RowWriterTestSupport.h"

namespace {

const char* const kEveryFormat[] = {"pano.jpg", "pano.png", "pano.tif", "pano.bmp"};
const std::string kOldContent = "the old panorama, which must survive a failed write\n";

class RowImageWriterFaultTest : public ::testing::Test {
protected:
    std::string Folder() const { return dir.path().toStdString(); }
    std::string PathOf(const std::string& name) const { return Folder() + "/" + name; }

    QTemporaryDir dir;
};

// Runs body in a child process whose files may not grow past limitBytes, with SIGXFSZ ignored
// as the programs ignore it: a write past the limit fails with EFBIG. The child's message comes
// back through a pipe; its exit status says whether body's expectations held.
int InChildWithFileLimit(rlim_t limitBytes, const std::function<int(std::string*)>& body, std::string* message) {
    int channel[2];
    if (pipe(channel) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string said;
        const int status = body(&said);
        ssize_t ignored = write(channel[1], said.data(), said.size());
        (void)ignored;
        _exit(status);
    }
    close(channel[1]);
    char buffer[1024];
    ssize_t n;
    while ((n = read(channel[0], buffer, sizeof(buffer))) > 0)
        message->append(buffer, static_cast<size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

enum ChildOutcome {
    kFailedWhileWriting = 0,
    kNothingFailed = 1,
    kOpenFailed = 2,
    kOnlyFinishFailed = 3,
    kFinished = 4
};

// Writes a picture larger than every writer's buffer and TIFF strip, past the limit: a write
// has to fail while rows are still coming (a long stitch learns of a full disk early), and
// the finish after it as well.
int WriteNoisePastTheLimit(const std::string& path, std::string* said) {
    const Picture8 p = Noise8(333, 700);
    auto writer = RowImageWriter::Open(path, p.width, p.height, {}, said);
    if (!writer)
        return kOpenFailed;
    for (int y = 0; y < p.height; y += 20)
        if (!writer->WriteRows(p.Row(y), std::min(20, p.height - y), p.stride)) {
            *said = writer->Error();
            std::string why;
            return writer->Finish({}, &why) ? kFinished : kFailedWhileWriting;
        }
    return writer->Finish({}, said) ? kNothingFailed : kOnlyFinishFailed;
}

TEST_F(RowImageWriterFaultTest, AWriteBeyondTheFileSizeLimitFailsAndKeepsTheOldFile) {
    for (const char* name : kEveryFormat) {
        SCOPED_TRACE(name);
        const std::string path = PathOf(name);
        WriteBytes(path, kOldContent);
        std::string message;
        const int outcome = InChildWithFileLimit(
            32 * 1024, [&](std::string* said) { return WriteNoisePastTheLimit(path, said); }, &message);
        EXPECT_EQ(outcome, kFailedWhileWriting) << message;
        EXPECT_NE(message.find(std::strerror(EFBIG)), std::string::npos) << message;
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_EQ(ReadBytes(path), kOldContent);
        EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{name});
        std::remove(path.c_str());
    }
}

TEST_F(RowImageWriterFaultTest, AWriterDestroyedUnfinishedKeepsTheOldFileAndLeavesNothingBehind) {
    const Picture8 p = Noise8(333, 157);
    for (const char* name : kEveryFormat) {
        SCOPED_TRACE(name);
        const std::string path = PathOf(name);
        WriteBytes(path, kOldContent);
        std::string why;
        auto writer = RowImageWriter::Open(path, p.width, p.height, {}, &why);
        ASSERT_TRUE(writer) << why;
        ASSERT_TRUE(writer->WriteRows(p.Row(0), 100, p.stride)) << writer->Error();
        EXPECT_EQ(NamesIn(Folder()).size(), 2u);  // the old file and the one being written
        writer.reset();
        EXPECT_EQ(ReadBytes(path), kOldContent);
        EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{name});
        std::remove(path.c_str());
    }
}

TEST_F(RowImageWriterFaultTest, FinishWithRowsMissingOrInterruptedKeepsTheOldFile) {
    const Picture8 p = Gradient8(60, 40);
    const std::string path = PathOf("pano.png");
    WriteBytes(path, kOldContent);
    std::string why;
    auto writer = RowImageWriter::Open(path, p.width, p.height, {}, &why);
    ASSERT_TRUE(writer) << why;
    ASSERT_TRUE(writer->WriteRows(p.Row(0), 10, p.stride));
    EXPECT_FALSE(writer->Finish({}, &why));
    EXPECT_NE(why.find("only 10 of 40 rows"), std::string::npos) << why;
    EXPECT_EQ(ReadBytes(path), kOldContent);
    EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{"pano.png"});

    writer = RowImageWriter::Open(path, p.width, p.height, {}, &why);
    ASSERT_TRUE(writer) << why;
    ASSERT_TRUE(WriteInBands(*writer, p, {40}));
    EXPECT_FALSE(writer->Finish([] { return false; }, &why));
    EXPECT_EQ(why, "interrupted");
    EXPECT_EQ(ReadBytes(path), kOldContent);
    EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{"pano.png"});
}

TEST_F(RowImageWriterFaultTest, AReplacedFileKeepsItsPermissionBits) {
    const Picture8 p = Gradient8(60, 40);
    const std::string path = PathOf("pano.tif");
    WriteBytes(path, kOldContent);
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    std::string why;
    auto writer = RowImageWriter::Open(path, p.width, p.height, {}, &why);
    ASSERT_TRUE(writer && WriteInBands(*writer, p, {40}) && writer->Finish({}, &why)) << why;
    struct stat seen {};
    ASSERT_EQ(stat(path.c_str(), &seen), 0);
    EXPECT_EQ(seen.st_mode & 0777, 0604u);
    EXPECT_NE(ReadBytes(path), kOldContent);
}

TEST_F(RowImageWriterFaultTest, AWriteThroughALinkReplacesItsTargetAndTheLinkStays) {
    ASSERT_EQ(mkdir(PathOf("real").c_str(), 0755), 0);
    const std::string target = PathOf("real/pano.png");
    WriteBytes(target, kOldContent);
    ASSERT_EQ(symlink("real/pano.png", PathOf("link.png").c_str()), 0);
    const Picture8 p = Gradient8(60, 40);
    std::string why;
    auto writer = RowImageWriter::Open(PathOf("link.png"), p.width, p.height, {}, &why);
    ASSERT_TRUE(writer && WriteInBands(*writer, p, {7, 9}) && writer->Finish({}, &why)) << why;
    struct stat seen {};
    ASSERT_EQ(lstat(PathOf("link.png").c_str(), &seen), 0);
    EXPECT_TRUE(S_ISLNK(seen.st_mode));
    char linked[256] = {};
    ASSERT_GT(readlink(PathOf("link.png").c_str(), linked, sizeof(linked) - 1), 0);
    EXPECT_STREQ(linked, "real/pano.png");
    ImgRGB image;
    ASSERT_TRUE(LoadImageFile(image, 0, QString::fromStdString(target)));
    EXPECT_EQ(image.width, 60);
    EXPECT_EQ(NamesIn(Folder()), (std::set<std::string>{"link.png", "real"}));
    EXPECT_EQ(NamesIn(PathOf("real")), std::set<std::string>{"pano.png"});
}

// A link to a file that does not exist yet names the file to create, as the project's save
// has it; one into a missing folder is refused with the cause.
TEST_F(RowImageWriterFaultTest, ALinkToAMissingFileCreatesItsTarget) {
    ASSERT_EQ(symlink("nowhere/pano.png", PathOf("link.png").c_str()), 0);
    std::string why;
    EXPECT_FALSE(RowImageWriter::Open(PathOf("link.png"), 10, 10, {}, &why));
    EXPECT_NE(why.find("its folder does not exist"), std::string::npos) << why;

    ASSERT_EQ(symlink("new.png", PathOf("fresh.png").c_str()), 0);
    auto writer = RowImageWriter::Open(PathOf("fresh.png"), 10, 10, {}, &why);
    ASSERT_TRUE(writer) << why;
    const Picture8 p = Gradient8(10, 10);
    ASSERT_TRUE(WriteInBands(*writer, p, {10}));
    ASSERT_TRUE(writer->Finish({}, &why)) << why;
    struct stat seen {};
    ASSERT_EQ(lstat(PathOf("fresh.png").c_str(), &seen), 0);
    EXPECT_TRUE(S_ISLNK(seen.st_mode));
    EXPECT_EQ(stat(PathOf("new.png").c_str(), &seen), 0);
}

TEST_F(RowImageWriterFaultTest, DevicesPipesAndFoldersAreRefusedAndNothingIsCreatedBesideThem) {
    const std::set<std::string> devBefore = NamesIn("/dev");
    std::string why;
    EXPECT_FALSE(RowImageWriter::Open("/dev/null", 10, 10, {}, &why));
    EXPECT_NE(why.find("a device, not a regular file"), std::string::npos) << why;
    EXPECT_EQ(NamesIn("/dev"), devBefore);

    ASSERT_EQ(mkfifo(PathOf("pipe.png").c_str(), 0600), 0);
    EXPECT_FALSE(RowImageWriter::Open(PathOf("pipe.png"), 10, 10, {}, &why));
    EXPECT_NE(why.find("a pipe"), std::string::npos) << why;

    ASSERT_EQ(mkdir(PathOf("folder.png").c_str(), 0755), 0);
    EXPECT_FALSE(RowImageWriter::Open(PathOf("folder.png"), 10, 10, {}, &why));
    EXPECT_NE(why.find("a folder"), std::string::npos) << why;
    EXPECT_EQ(NamesIn(Folder()), (std::set<std::string>{"folder.png", "pipe.png"}));
}

TEST_F(RowImageWriterFaultTest, AFolderThatTakesNoNewFileIsReportedAtOpen) {
    std::string why;
    EXPECT_FALSE(RowImageWriter::Open(PathOf("missing/pano.jpg"), 10, 10, {}, &why));
    EXPECT_NE(why.find("its folder does not exist"), std::string::npos) << why;
}

}  // namespace
