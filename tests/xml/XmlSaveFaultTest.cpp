#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#include "xml/SaveFaults.h"
#include "xml/TemporaryFile.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

// Interrupts the save at its k-th step (counting from 1): makes it fail with an error number,
// or kills the process there.
struct Interruption {
    int atStep = 0;
    bool kill = false;
    int seen = 0;
    std::vector<SaveStep> steps;
};

int Interrupt(SaveStep step, void* context) {
    auto* interruption = static_cast<Interruption*>(context);
    interruption->steps.push_back(step);
    if (++interruption->seen != interruption->atStep)
        return 0;
    if (interruption->kill)
        std::raise(SIGKILL);
    return step == SaveStep::Write ? ENOSPC : EIO;
}

// A document big enough to make the old and the new content differ in size.
void MakeDocumentWithImages(XmlDocument& doc, int version) {
    doc.Reset("VedoraProject");
    doc.Root()->Attribute("version", true)->SetInt(version);
    for (int i = 0; i < version * 20; ++i)
        doc.Root()->FindChild("Images", true)->AppendChild(new XmlElement("Image"));
}

bool SaveWithImages(const std::string& path, int version, std::string* why = nullptr) {
    XmlDocument doc;
    MakeDocumentWithImages(doc, version);
    return SaveWithChecksum(doc, path.c_str(), why);
}

// The version the file holds whole (its checksum matches and it is exactly what that
// version's save writes), 0 when there is no file, -1 for anything else.
int WholeVersion(const std::string& path) {
    if (::access(path.c_str(), F_OK) != 0)
        return 0;
    XmlDocument loaded;
    if (!LoadWithChecksum(loaded, path.c_str()))
        return -1;
    int version = loaded.Root()->Attribute("version", true)->ToInt();
    XmlDocument expected;
    MakeDocumentWithImages(expected, version);
    return Serialise(loaded) == Serialise(expected) ? version : -1;
}

// The steps a save of an existing file goes through.
std::vector<SaveStep> StepsOfASave(const std::string& path) {
    Interruption none;
    SetSaveFaultHook(Interrupt, &none);
    bool saved = SaveWithImages(path, 1);
    SetSaveFaultHook(nullptr, nullptr);
    EXPECT_TRUE(saved);
    return none.steps;
}

bool OnlyTemporariesBeside(const TempFolder& temp, const std::string& name) {
    for (const std::string& entry : temp.Entries())
        if (entry != name && !IsTemporaryNameOf(entry, name))
            return false;
    return true;
}

Interruption At(int step, bool kill) {
    Interruption interruption;
    interruption.atStep = step;
    interruption.kill = kill;
    return interruption;
}

std::vector<std::string> Expected(int version) {
    return version == 0 ? std::vector<std::string>{} : std::vector<std::string>{"p.vdp"};
}

}  // namespace

// A save that fails at any step leaves the complete old file (or, after the rename, the
// complete new one), no temporary file, and a reason; a full disk is named as such.
TEST(XmlSaveFaults, EveryFailedStepLeavesAWholeFile) {
    TempFolder temp;
    std::string path = temp.Path("p.vdp");
    ASSERT_TRUE(SaveWithImages(path, 1));
    std::vector<SaveStep> steps = StepsOfASave(path);
    ASSERT_EQ(steps, (std::vector<SaveStep>{SaveStep::CreateTemporary, SaveStep::SetOwnerAndMode, SaveStep::Write,
                                            SaveStep::Write, SaveStep::Flush, SaveStep::Close, SaveStep::Rename,
                                            SaveStep::SyncFolder}));
    for (bool existing : {true, false}) {
        int k = 1;
        for (;; ++k) {
            SCOPED_TRACE("existing " + std::to_string(existing) + ", failing step " + std::to_string(k));
            ::unlink(path.c_str());
            if (existing) {
                ASSERT_TRUE(SaveWithImages(path, 1));
            }
            Interruption failure = At(k, false);
            SetSaveFaultHook(Interrupt, &failure);
            std::string why;
            bool saved = SaveWithImages(path, 2, &why);
            SetSaveFaultHook(nullptr, nullptr);
            if (failure.seen < k) {
                EXPECT_TRUE(saved) << why;
                EXPECT_EQ(WholeVersion(path), 2);
                break;
            }
            SaveStep failed = failure.steps[static_cast<size_t>(k - 1)];
            EXPECT_FALSE(saved);
            EXPECT_FALSE(why.empty());
            if (failed == SaveStep::Write) {
                EXPECT_NE(why.find("the disk is full"), std::string::npos) << why;
            }
            int version = WholeVersion(path);
            EXPECT_EQ(version, failed == SaveStep::SyncFolder ? 2 : (existing ? 1 : 0));
            EXPECT_EQ(temp.Entries(), Expected(version));
        }
        EXPECT_EQ(k - 1, existing ? 8 : 7);  // every step was interrupted once
    }
}

// A save killed at any step leaves the complete old file or the complete new one; what it
// leaves besides are temporary files named for the project, and the next save removes them.
TEST(XmlSaveFaults, EveryKilledStepLeavesAWholeFile) {
    TempFolder temp;
    std::string path = temp.Path("p.vdp");
    for (bool existing : {true, false}) {
        int k = 1;
        for (;; ++k) {
            SCOPED_TRACE("existing " + std::to_string(existing) + ", killed at step " + std::to_string(k));
            ::unlink(path.c_str());
            if (existing) {
                ASSERT_TRUE(SaveWithImages(path, 1));
            }
            pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                Interruption kill = At(k, true);
                SetSaveFaultHook(Interrupt, &kill);
                ::_exit(SaveWithImages(path, 2) ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            int version = WholeVersion(path);
            if (WIFEXITED(status)) {  // the save ran to its end before step k
                EXPECT_EQ(WEXITSTATUS(status), 0);
                EXPECT_EQ(version, 2);
                EXPECT_EQ(temp.Entries(), Expected(2));
                break;
            }
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            EXPECT_TRUE(version == 2 || version == (existing ? 1 : 0)) << version;
            EXPECT_TRUE(OnlyTemporariesBeside(temp, "p.vdp"));

            std::string why;
            ASSERT_TRUE(SaveWithImages(path, 3, &why)) << why;
            EXPECT_EQ(WholeVersion(path), 3);
            EXPECT_EQ(temp.Entries(), Expected(3));
        }
        EXPECT_EQ(k - 1, existing ? 8 : 7);
    }
}
