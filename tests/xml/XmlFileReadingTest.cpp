#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/NamedPipe.h"
#include "support/TempFolder.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

const char kValidFile[] = "<?XmlFileChecksum 13695 ?><r/>\r";

}  // namespace

// Only regular files are read, and only up to the cap; everything else is refused at once
// with a reason, instead of waiting on a pipe or reading a device without end.
TEST(XmlFileReading, OnlyRegularFilesUpToTheCap) {
    TempFolder temp;
    XmlDocument doc;
    std::string why;

    std::string pipePath = temp.Path("project.vdp");
    NamedPipe pipe(pipePath, kValidFile);
    ASSERT_TRUE(pipe.Created());
    bool loaded = LoadWithChecksum(doc, pipePath.c_str(), &why);
    pipe.Release();
    EXPECT_FALSE(loaded);
    EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
    EXPECT_EQ(doc.FirstNode(), nullptr);

    for (const char* device : {"/dev/zero", "/dev/null"}) {
        why.clear();
        Chars text("unchanged");
        EXPECT_FALSE(text.ReadFile(device, &why)) << device;
        EXPECT_TRUE(text == "unchanged");
        EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
        EXPECT_FALSE(LoadWithChecksum(doc, device, &why));
    }

    why.clear();
    EXPECT_FALSE(LoadWithChecksum(doc, temp.Folder().c_str(), &why));
    EXPECT_NE(why.find("is a folder"), std::string::npos) << why;

    // A sparse file one byte over the cap takes no disk space and is refused by its size.
    std::string huge = temp.Path("huge.vdp");
    int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, kMaxReadFileBytes + 1), 0);
    ::close(fd);
    why.clear();
    Chars text;
    EXPECT_FALSE(text.ReadFile(huge.c_str(), &why));
    EXPECT_NE(why.find("larger than 256 MB"), std::string::npos) << why;

    why.clear();
    EXPECT_FALSE(LoadWithChecksum(doc, temp.Path("missing.vdp").c_str(), &why));
    EXPECT_NE(why.find("no such file"), std::string::npos) << why;

    std::string good = temp.Path("good.vdp");
    ASSERT_TRUE(Chars(kValidFile).WriteFile(good.c_str()));
    EXPECT_TRUE(LoadWithChecksum(doc, good.c_str(), &why)) << why;
    ASSERT_TRUE(Chars("<?XmlFileChecksum 13694 ?><r/>\r").WriteFile(good.c_str()));
    EXPECT_FALSE(LoadWithChecksum(doc, good.c_str(), &why));
    EXPECT_NE(why.find("checksum does not match"), std::string::npos) << why;
    ASSERT_TRUE(Chars("<r/>\r").WriteFile(good.c_str()));
    EXPECT_FALSE(LoadWithChecksum(doc, good.c_str(), &why));
    EXPECT_NE(why.find("does not start with"), std::string::npos) << why;
}
