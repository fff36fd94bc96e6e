#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>

#include "support/TempFolder.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

constexpr uid_t kNobody = 65534;

// A project document whose root carries a version number to tell saves apart.
void MakeDocument(XmlDocument& doc, int version) {
    doc.Reset("VedoraProject");
    doc.Root()->Attribute("version", true)->SetInt(version);
}

// The version a saved file holds, or -1 when it does not load.
int SavedVersion(const std::string& path) {
    XmlDocument doc;
    if (!LoadWithChecksum(doc, path.c_str()))
        return -1;
    return doc.Root()->Attribute("version", true)->ToInt();
}

bool Save(const std::string& path, int version, std::string* why = nullptr) {
    XmlDocument doc;
    MakeDocument(doc, version);
    return SaveWithChecksum(doc, path.c_str(), why);
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

bool IsLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Runs check in a child process as an unprivileged user and returns its exit status, so that
// permission checks are exercised even when the tests run as root.
int AsUnprivilegedUser(const std::function<int()>& check) {
    pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(90);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

}  // namespace

// A save replaces the content, never who may read it: the permission bits of the old file
// stay, and so do its owner and group where the process may set them.
TEST(XmlSave, KeepsPermissionsAndOwner) {
    TempFolder temp;
    for (mode_t mode : {0600, 0640, 0664, 0604}) {
        std::string path = temp.Path("p" + std::to_string(mode) + ".vdp");
        ASSERT_TRUE(Save(path, 1));
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        std::string why;
        ASSERT_TRUE(Save(path, 2, &why)) << why;
        EXPECT_EQ(ModeOf(path), mode);
        EXPECT_EQ(SavedVersion(path), 2);
    }
    // A new file gets the usual bits: everything the umask allows, no execute bits.
    mode_t mask = ::umask(022);
    ::umask(mask);
    std::string fresh = temp.Path("fresh.vdp");
    ASSERT_TRUE(Save(fresh, 1));
    EXPECT_EQ(ModeOf(fresh), 0666 & ~mask);

    if (::geteuid() == 0) {
        std::string given = temp.Path("given.vdp");
        ASSERT_TRUE(Save(given, 1));
        ASSERT_EQ(::chown(given.c_str(), kNobody, kNobody), 0);
        ASSERT_TRUE(Save(given, 2));
        struct stat info {};
        ASSERT_EQ(::stat(given.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, kNobody);
        EXPECT_EQ(info.st_gid, kNobody);
    }
}

// A link at the path stays a link, and the file it names gets the new content, through
// chains of links, relative and absolute; a dangling link creates the file it names.
TEST(XmlSave, WritesThroughSymbolicLinks) {
    TempFolder temp;
    std::filesystem::create_directories(temp.Folder() / "real");
    std::string real = temp.Path("real/project.vdp");
    ASSERT_TRUE(Save(real, 1));
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    std::string link = temp.Path("link.vdp"), chain = temp.Path("chain.vdp");
    ASSERT_EQ(::symlink("real/project.vdp", link.c_str()), 0);
    ASSERT_EQ(::symlink(link.c_str(), chain.c_str()), 0);

    std::string why;
    ASSERT_TRUE(Save(link, 2, &why)) << why;
    EXPECT_TRUE(IsLink(link));
    EXPECT_EQ(SavedVersion(real), 2);
    ASSERT_TRUE(Save(chain, 3, &why)) << why;
    EXPECT_TRUE(IsLink(chain));
    EXPECT_TRUE(IsLink(link));
    EXPECT_EQ(SavedVersion(real), 3);
    EXPECT_EQ(ModeOf(real), 0600u);
    EXPECT_EQ(temp.Entries(), (std::vector<std::string>{"chain.vdp", "link.vdp", "real"}));

    std::string dangling = temp.Path("dangling.vdp");
    ASSERT_EQ(::symlink("real/new.vdp", dangling.c_str()), 0);
    ASSERT_TRUE(Save(dangling, 4, &why)) << why;
    EXPECT_TRUE(IsLink(dangling));
    EXPECT_EQ(SavedVersion(temp.Path("real/new.vdp")), 4);

    std::string loopA = temp.Path("a.vdp"), loopB = temp.Path("b.vdp");
    ASSERT_EQ(::symlink("b.vdp", loopA.c_str()), 0);
    ASSERT_EQ(::symlink("a.vdp", loopB.c_str()), 0);
    EXPECT_FALSE(Save(loopA, 5, &why));
    EXPECT_NE(why.find("too many levels of symbolic links"), std::string::npos) << why;
}

// Write permission on the folder is not enough to replace a read-only file. Root may write
// any file, so the refusal is checked as an unprivileged user.
TEST(XmlSave, RefusesAFileTheUserMayNotWrite) {
    TempFolder temp;
    ASSERT_EQ(::chmod(temp.Folder().c_str(), 0777), 0);
    std::string path = temp.Path("readonly.vdp");
    ASSERT_TRUE(Save(path, 1));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    int status = AsUnprivilegedUser([&] {
        std::string why;
        if (Save(path, 2, &why))
            return 1;
        if (why.find("read-only") == std::string::npos)
            return 2;
        return SavedVersion(path) == 1 ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(SavedVersion(path), 1);
    EXPECT_EQ(temp.Entries(), std::vector<std::string>{"readonly.vdp"});
}

// Every failure says why, in terms of the path the user chose.
TEST(XmlSave, ReasonsNameTheCause) {
    TempFolder temp;
    std::string why;
    EXPECT_FALSE(Save(temp.Path("no/such/folder/p.vdp"), 1, &why));
    EXPECT_NE(why.find("does not exist"), std::string::npos) << why;
    EXPECT_FALSE(Save("", 1, &why));
    EXPECT_NE(why.find("No file name"), std::string::npos) << why;
    std::filesystem::create_directories(temp.Folder() / "folder.vdp");
    EXPECT_FALSE(Save(temp.Path("folder.vdp"), 1, &why));
    EXPECT_NE(why.find("is a folder"), std::string::npos) << why;
    EXPECT_FALSE(Save("/dev/null", 1, &why));
    EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;

    std::filesystem::create_directories(temp.Folder() / "locked");
    ASSERT_EQ(::chmod(temp.Folder().c_str(), 0777), 0);
    ASSERT_EQ(::chmod((temp.Folder() / "locked").c_str(), 0555), 0);
    std::string inLocked = temp.Path("locked/p.vdp");
    int status = AsUnprivilegedUser([&] {
        std::string reason;
        if (Save(inLocked, 1, &reason))
            return 1;
        return reason.find("no permission to create files in the folder") == std::string::npos ? 2 : 0;
    });
    EXPECT_EQ(status, 0);
}

// A save killed before its rename leaves ".<name>.vedora-save-XXXXXX" beside the project; the
// next save of that project removes such files, and nothing else: not other projects' files,
// not near-misses of the pattern, not links or folders, and not a file a running save holds.
TEST(XmlSave, StaleTemporaryFilesOfTheTargetAreRemoved) {
    TempFolder temp;
    std::string path = temp.Path("p.vdp");
    ASSERT_TRUE(Save(path, 1));
    auto touch = [&](const std::string& name) { ASSERT_TRUE(Chars("x").WriteFile(temp.Path(name).c_str())); };
    for (const char* stale : {".p.vdp.vedora-save-Ab12Cd", ".p.vdp.vedora-save-zzzzzz", ".p.vdp.vedora-save-000000"})
        touch(stale);
    std::vector<std::string> kept = {
        ".p.vdp.vedora-save-Ab12C",  ".p.vdp.vedora-save-Ab12Cde", ".p.vdp.vedora-save-Ab!2Cd",
        ".q.vdp.vedora-save-Ab12Cd", "p.vdp.vedora-save-Ab12Cd",   ".p.vdp.vedora-save-",
        "p.vdp.tmpAb12Cd",           ".p.vdp.vedora-save-Ab12Cd~", "x.p.vdp.vedora-save-Ab12Cd"};
    for (const std::string& name : kept)
        touch(name);
    touch("target-of-link");
    ASSERT_EQ(::symlink("target-of-link", temp.Path(".p.vdp.vedora-save-LiNk00").c_str()), 0);
    std::filesystem::create_directories(temp.Folder() / ".p.vdp.vedora-save-Folder");
    touch(".p.vdp.vedora-save-InUse0");
    int inUse = ::open(temp.Path(".p.vdp.vedora-save-InUse0").c_str(), O_RDONLY);
    ASSERT_GE(inUse, 0);
    ASSERT_EQ(::flock(inUse, LOCK_EX), 0);  // as a save running in another process holds it

    std::string why;
    ASSERT_TRUE(Save(path, 2, &why)) << why;
    ::close(inUse);
    kept.insert(kept.end(), {"p.vdp", "target-of-link", ".p.vdp.vedora-save-LiNk00", ".p.vdp.vedora-save-Folder",
                             ".p.vdp.vedora-save-InUse0"});
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(temp.Entries(), kept);
    EXPECT_EQ(SavedVersion(path), 2);

    ASSERT_TRUE(Save(path, 3, &why)) << why;  // the lock is gone now
    kept.erase(std::find(kept.begin(), kept.end(), ".p.vdp.vedora-save-InUse0"));
    EXPECT_EQ(temp.Entries(), kept);
}
