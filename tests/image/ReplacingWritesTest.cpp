// Every output is replaced by the same rules, whether text, a panorama written in rows or a
// movie: through a link to its target, never over a device or a read-only file, with the old
// file's owner, group and mode, and a failure at any step or a kill leaving the old file whole
// and, once a later write has run, no temporary file behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <functional>
#include <set>
#include <string>

#include "image/ImageFile.h"
#include "image/RowWriterTestSupport.h"
#include "image/SaveTextWhole.h"
#include "xml/SaveFaults.h"

namespace {

const std::string kOldText = "the old file, which a refused or interrupted write leaves alone\n";

class ReplacingWritesTest : public ::testing::Test {
protected:
    std::string Folder() const { return dir.path().toStdString(); }
    std::string PathOf(const std::string& name) const { return Folder() + "/" + name; }

    QTemporaryDir dir;
};

// A small panorama through the row writers, as vedora-stitch and the window write theirs.
bool WritePicture(const std::string& path, std::string* why, const std::function<bool()>& keep = {}) {
    const Picture8 picture = Gradient8(30, 20);
    auto writer = RowImageWriter::Open(path, picture.width, picture.height, RowWriterOptions(), why);
    if (!writer)
        return false;
    if (!WriteInBands(*writer, picture, {20})) {
        *why = writer->Error();
        return false;
    }
    return writer->Finish(keep, why);
}

// Fails the save step number `at` (counting from 1) with an error, or kills the process there.
struct Fault {
    int at = 0;
    bool kill = false;
    int seen = 0;
};

int Inject(Zelvo::SaveStep step, void* context) {
    auto* fault = static_cast<Fault*>(context);
    if (++fault->seen != fault->at)
        return 0;
    if (fault->kill)
        std::raise(SIGKILL);
    return step == Zelvo::SaveStep::Write ? ENOSPC : EIO;
}

}  // namespace

TEST_F(ReplacingWritesTest, AWriteThroughALinkReplacesItsTargetAndTheLinkStays) {
    ASSERT_EQ(mkdir(PathOf("real").c_str(), 0755), 0);
    WriteBytes(PathOf("real/pano.bmp"), kOldText);
    ASSERT_EQ(symlink("real/pano.bmp", PathOf("link.bmp").c_str()), 0);
    std::string why;
    ASSERT_TRUE(WritePicture(PathOf("link.bmp"), &why)) << why;
    struct stat seen {};
    ASSERT_EQ(lstat(PathOf("link.bmp").c_str(), &seen), 0);
    EXPECT_TRUE(S_ISLNK(seen.st_mode));
    ImgRGB loaded;
    ASSERT_TRUE(LoadImageFile(loaded, 0, QString::fromStdString(PathOf("real/pano.bmp"))));
    EXPECT_EQ(loaded.width, 30);
    EXPECT_EQ(NamesIn(PathOf("real")), std::set<std::string>{"pano.bmp"});
    ASSERT_TRUE(SaveTextWhole("text", PathOf("link.bmp"), &why)) << why;
    EXPECT_EQ(ReadBytes(PathOf("real/pano.bmp")), "text");
}

TEST_F(ReplacingWritesTest, DevicesFoldersAndReadOnlyFilesAreRefusedNotReplaced) {
    std::string why;
    EXPECT_FALSE(WritePicture("/dev/null", &why));
    EXPECT_NE(why.find("a device, not a regular file"), std::string::npos) << why;
    EXPECT_FALSE(SaveTextWhole("text", "/dev/null", &why));
    struct stat seen {};
    ASSERT_EQ(stat("/dev/null", &seen), 0);
    EXPECT_TRUE(S_ISCHR(seen.st_mode));
    // A link to a device is no way round it.
    ASSERT_EQ(symlink("/dev/null", PathOf("out.txt").c_str()), 0);
    EXPECT_FALSE(SaveTextWhole("text", PathOf("out.txt"), &why));
    ASSERT_EQ(lstat(PathOf("out.txt").c_str(), &seen), 0);
    EXPECT_TRUE(S_ISLNK(seen.st_mode));

    ASSERT_EQ(mkdir(PathOf("folder.png").c_str(), 0755), 0);
    EXPECT_FALSE(WritePicture(PathOf("folder.png"), &why));
    EXPECT_NE(why.find("it is a folder"), std::string::npos) << why;

    if (geteuid() != 0) {  // root may write any file
        WriteBytes(PathOf("locked.txt"), kOldText);
        ASSERT_EQ(chmod(PathOf("locked.txt").c_str(), 0444), 0);
        EXPECT_FALSE(SaveTextWhole("new", PathOf("locked.txt"), &why));
        EXPECT_NE(why.find("read-only"), std::string::npos) << why;
        EXPECT_EQ(ReadBytes(PathOf("locked.txt")), kOldText);
    }
    std::set<std::string> names = NamesIn(Folder());
    names.erase("locked.txt");
    EXPECT_EQ(names, (std::set<std::string>{"folder.png", "out.txt"}));  // nothing left behind
}

TEST_F(ReplacingWritesTest, AReplacedFileKeepsItsModeOwnerAndGroupAndANewOneFollowsTheUmask) {
    const std::string path = PathOf("notes.txt");
    WriteBytes(path, kOldText);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path.c_str(), 4321, 8765), 0);
    }
    std::string why;
    ASSERT_TRUE(SaveTextWhole("new text", path, &why)) << why;
    EXPECT_EQ(ReadBytes(path), "new text");
    struct stat seen {};
    ASSERT_EQ(stat(path.c_str(), &seen), 0);
    EXPECT_EQ(seen.st_mode & 0777, 0640u);
    if (root) {
        EXPECT_EQ(seen.st_uid, 4321u);
        EXPECT_EQ(seen.st_gid, 8765u);
        const std::string picture = PathOf("pano.png");
        WriteBytes(picture, kOldText);
        ASSERT_EQ(chown(picture.c_str(), 4321, 8765), 0);
        ASSERT_TRUE(WritePicture(picture, &why)) << why;
        ASSERT_EQ(stat(picture.c_str(), &seen), 0);
        EXPECT_EQ(seen.st_uid, 4321u);
        EXPECT_EQ(seen.st_gid, 8765u);
    }

    const mode_t mask = umask(027);
    const bool saved = SaveTextWhole("fresh", PathOf("fresh.txt"), &why);
    umask(mask);
    ASSERT_TRUE(saved) << why;
    ASSERT_EQ(stat(PathOf("fresh.txt").c_str(), &seen), 0);
    EXPECT_EQ(seen.st_mode & 0777, 0640u);
}

TEST_F(ReplacingWritesTest, AFailureOrAKillAtAnyStepKeepsAWholeFileAndALaterWriteCleansUp) {
    for (const char* name : {"pano.jpg", "pano.png", "pano.tif", "pano.bmp", "cameras.json"}) {
        const std::string path = PathOf(name);
        const bool text = std::string(name).ends_with(".json");
        auto write = [&](std::string* why) {
            return text ? SaveTextWhole("{\"new\": 1}\n", path, why) : WritePicture(path, why);
        };
        int failedSteps = 0;
        for (int at = 1; at < 200; ++at) {
            WriteBytes(path, kOldText);
            Fault fault{at};
            Zelvo::SetSaveFaultHook(Inject, &fault);
            std::string why;
            const bool written = write(&why);
            Zelvo::SetSaveFaultHook(nullptr, nullptr);
            if (fault.seen < at) {  // every step has been failed once
                EXPECT_TRUE(written) << name << ": " << why;
                break;
            }
            ++failedSteps;
            // The folder's flush comes after the rename: the new file is in place by then.
            if (written) {
                EXPECT_NE(ReadBytes(path), kOldText) << name << " step " << at;
            } else {
                EXPECT_EQ(ReadBytes(path), kOldText) << name << " step " << at;
                EXPECT_FALSE(why.empty());
            }
            EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{name}) << name << " step " << at;
        }
        EXPECT_GE(failedSteps, 5) << name;  // create, owner and mode, writes, flush, close, rename

        // Killed at any step: the old file or the new one is whole, and the next write of the
        // same file removes whatever the killed one left.
        for (int at = 1; at <= failedSteps; ++at) {
            WriteBytes(path, kOldText);
            const pid_t child = fork();
            if (child == 0) {
                Fault fault{at, true};
                Zelvo::SetSaveFaultHook(Inject, &fault);
                std::string why;
                write(&why);
                _exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status)) << name << " step " << at;
            const std::string left = ReadBytes(path);
            if (left != kOldText) {  // killed after the rename: the new file is whole
                std::string why;
                if (text)
                    EXPECT_EQ(left, "{\"new\": 1}\n") << name << " step " << at;
                else
                    EXPECT_TRUE([&] {
                        ImgRGB image;
                        return LoadImageFile(image, 0, path.c_str());
                    }()) << at;
            }
            std::string why;
            ASSERT_TRUE(write(&why)) << why;
            EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{name}) << name << " step " << at;
        }
        unlink(path.c_str());
    }
}

TEST_F(ReplacingWritesTest, AnInterruptedWriteKeepsTheOldFileAndAMissingFolderIsNamed) {
    const std::string path = PathOf("pano.png");
    WriteBytes(path, kOldText);
    std::string why;
    EXPECT_FALSE(WritePicture(path, &why, [] { return false; }));
    EXPECT_EQ(why, "interrupted");
    EXPECT_EQ(ReadBytes(path), kOldText);
    EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{"pano.png"});
    EXPECT_FALSE(SaveTextWhole("text", PathOf("missing/notes.txt"), &why));
    EXPECT_NE(why.find("its folder does not exist"), std::string::npos) << why;
}

TEST_F(ReplacingWritesTest, ANameThatIsNotUtf8IsWrittenUnderExactlyThatName) {
    const std::string name = "pano\xff.png";
    std::string why;
    ASSERT_TRUE(WritePicture(PathOf(name), &why)) << why;
    EXPECT_EQ(NamesIn(Folder()), std::set<std::string>{name});
    ImgRGB loaded;
    ASSERT_TRUE(LoadImageFile(loaded, 0, PathOf(name).c_str()));
    EXPECT_EQ(loaded.width, 30);
    EXPECT_EQ(loaded.height, 20);
}
