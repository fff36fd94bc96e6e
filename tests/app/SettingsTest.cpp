#include <gtest/gtest.h>

#include <QFile>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <string>

#include "WindowTestSupport.h"
#include "app/SettingsDocument.h"

namespace {

using Zelvo::XmlElement;

std::string AttributeNames(XmlElement* element) {
    std::string names;
    for (int i = 0; i < element->AttributeCount(); ++i)
        names += std::string(i ? " " : "") + element->AttributeAt(i)->Name().c_str();
    return names;
}

XmlElement* LoadSaved(Zelvo::XmlDocument& document, const QString& path) {
    if (!Zelvo::LoadWithChecksum(document, path.toUtf8().constData()))
        return nullptr;
    return document.Root();
}

}  // namespace

TEST(Settings, FirstRunUsesTheDefaultsAndWritesACompleteFile) {
    QTemporaryDir dir;
    QString exe = dir.filePath("vedora");
    {
        TestWindow w = OpenWindow(exe);
        EXPECT_EQ(w->SettingsPath(), dir.filePath("vedora.xml"));
        EXPECT_EQ(w->pos(), QPoint(80, 80));
        EXPECT_EQ(w->size(), QSize(850, 650));
        SplitterSizes s = MainWindowFixture::Settings(*w).ReadSplitterSizes();
        EXPECT_EQ(s.s1, 220);
        EXPECT_EQ(s.s2, 100);
        EXPECT_EQ(s.s3, 200);
        EXPECT_EQ(s.s4, 100);
        EXPECT_FALSE(QFile::exists(dir.filePath("vedora.xml")));  // written at exit only
    }
    Zelvo::XmlDocument saved;
    XmlElement* root = LoadSaved(saved, dir.filePath("vedora.xml"));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Name(), "Vedora");
    EXPECT_EQ(Attr(root, "Version"), "1");
    XmlElement* frame = root->FindChild("MainWindow", false);
    ASSERT_TRUE(frame);
    EXPECT_EQ(AttributeNames(frame), "s2 s1 s4 s3 y x h w");
    EXPECT_EQ(Attr(frame, "x"), "80");
    EXPECT_EQ(Attr(frame, "y"), "80");
    EXPECT_EQ(Attr(frame, "w"), "850");
    EXPECT_EQ(Attr(frame, "h"), "650");
    XmlElement* textures = root->FindChild("MaxTextureSizes", false);
    ASSERT_TRUE(textures);
    EXPECT_EQ(AttributeNames(textures), "sourceImages imagePair stitchImage cropImage");
    EXPECT_EQ(Attr(textures, "cropImage"), "2048");
    XmlElement* markers = root->FindChild("PointMarkers", false);
    ASSERT_TRUE(markers);
    EXPECT_EQ(Attr(markers, "size"), "4");
    EXPECT_EQ(Attr(markers, "thickness"), "1");
    QString home = QDir::homePath();
    EXPECT_EQ(Attr(root->FindChild("Projects", false), "currentPath"), home.toUtf8().constData());
}

TEST(Settings, ASecondStartRestoresWhatTheFirstLeft) {
    QTemporaryDir dir;
    QString exe = dir.filePath("vedora");
    {
        TestWindow w = OpenWindow(exe);
        w->move(120, 64);
        w->resize(1000, 720);
        w->show();
        MainWindowFixture::Frame(*w).m_horzSplitter->setSizes({400, 570});
    }
    TestWindow w = OpenWindow(exe);
    EXPECT_EQ(w->pos(), QPoint(120, 64));
    EXPECT_EQ(w->size(), QSize(1000, 720));
    SplitterSizes s = MainWindowFixture::Settings(*w).ReadSplitterSizes();
    EXPECT_EQ(s.s1, 400);
    w->show();
    QCoreApplication::processEvents();
    QList<int> shown = MainWindowFixture::Frame(*w).m_horzSplitter->sizes();
    EXPECT_EQ(shown.value(0), 400);
    EXPECT_EQ(s.s1 + s.s2, shown.value(0) + shown.value(1));
}

TEST(Settings, ABadChecksumDiscardsTheWholeFile) {
    QTemporaryDir dir;
    QString file = dir.filePath("vedora.xml");
    ASSERT_TRUE(WriteSettings(file, "<Vedora Version=\"1\"><Projects currentPath=\"/x/\">"
                                    "<Project item=\"a\" path=\"/x/a.vdp\"/></Projects>"
                                    "<MainWindow x=\"300\"/></Vedora>"));
    QByteArray bytes;
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    bytes.replace("a.vdp", "b.vdp");  // the checksum no longer matches
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    XmlElement* projects = MainWindowFixture::Settings(*w).Section("Projects");
    EXPECT_TRUE(projects->ChildElements("Project").empty());
    EXPECT_EQ(Attr(projects, "currentPath"), QDir::homePath().toUtf8().constData());
    EXPECT_EQ(w->pos(), QPoint(80, 80));
}

TEST(Settings, OutOfRangeAndNonNumericValuesAreClampedAndWrittenBack) {
    QTemporaryDir dir;
    QString file = dir.filePath("vedora.xml");
    ASSERT_TRUE(WriteSettings(file, "<Vedora Version=\"1\"><MainWindow x=\"5000\" y=\"-7\" w=\"abc\" h=\"99999\" "
                                    "s1=\"10\" s2=\"3000\" s3=\"\" s4=\"1e9\"/>"
                                    "<MaxTextureSizes sourceImages=\"1\" imagePair=\"nan\" stitchImage=\"777\"/>"
                                    "<PointMarkers size=\"100\" thickness=\"0\"/></Vedora>"));
    {
        TestWindow w = OpenWindow(dir.filePath("vedora"));
        XmlElement* frame = MainWindowFixture::Settings(*w).MainWindowElement();
        EXPECT_EQ(Attr(frame, "x"), "1000");
        EXPECT_EQ(Attr(frame, "y"), "0");
        EXPECT_EQ(Attr(frame, "w"), "850");
        EXPECT_EQ(Attr(frame, "h"), "4096");
        EXPECT_EQ(Attr(frame, "s1"), "220");
        EXPECT_EQ(Attr(frame, "s2"), "2048");
        EXPECT_EQ(Attr(frame, "s3"), "200");
        EXPECT_EQ(Attr(frame, "s4"), "2048");
        EXPECT_EQ(w->pos(), QPoint(1000, 0));
        EXPECT_EQ(w->width(), 850);
        TextureLimits t = MainWindowFixture::Settings(*w).ReadTextureLimits();
        EXPECT_EQ(t.sourceImages, 256);
        EXPECT_EQ(t.imagePair, 1024);
        EXPECT_EQ(t.stitchImage, 777);
        EXPECT_EQ(t.cropImage, 2048);
        PointMarkerStyle m = MainWindowFixture::Settings(*w).ReadPointMarkers();
        EXPECT_EQ(m.size, 10);
        EXPECT_EQ(m.thickness, 1);
    }
    Zelvo::XmlDocument saved;
    XmlElement* root = LoadSaved(saved, file);
    ASSERT_TRUE(root);
    EXPECT_EQ(Attr(root->FindChild("MainWindow", false), "x"), "1000");
    EXPECT_EQ(Attr(root->FindChild("MaxTextureSizes", false), "imagePair"), "1024");
    EXPECT_EQ(Attr(root->FindChild("PointMarkers", false), "size"), "10");
}

TEST(Settings, DamagedFilesLoadAsAFreshDocument) {
    QTemporaryDir dir;
    QString file = dir.filePath("vedora.xml");
    auto loadsFresh = [&](const QByteArray& content) {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        f.write(content);
        f.close();
        SettingsDocument settings;
        settings.Load(file);
        XmlElement* root = settings.Root();
        return root && root->Name() == "Vedora" && Attr(root, "Version") == "1" &&
               settings.Section("Projects")->ChildElements("Project").empty();
    };
    // A good file, then the same cut short.
    ASSERT_TRUE(WriteSettings(file, "<Vedora Version=\"1\"><Projects><Project item=\"a\" path=\"/a.vdp\"/>"
                                    "</Projects></Vedora>"));
    QFile good(file);
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    QByteArray text = good.readAll();
    good.close();
    EXPECT_FALSE(loadsFresh(text));  // the intact file keeps its project
    EXPECT_TRUE(loadsFresh(text.left(text.size() / 2)));
    EXPECT_TRUE(loadsFresh(QByteArray()));
    QByteArray garbage;
    for (int i = 0; i < 70000; ++i)
        garbage.append(static_cast<char>((i * 7919 + 13) % 256));
    EXPECT_TRUE(loadsFresh(garbage));
    // Another root element with a valid checksum.
    ASSERT_TRUE(WriteSettings(file, "<Other><Vedora Version=\"1\"/></Other>"));
    SettingsDocument other;
    other.Load(file);
    EXPECT_EQ(other.Root()->Name(), "Vedora");
    EXPECT_EQ(other.Root()->FirstChild() ? AsElement(other.Root()->FirstChild())->Name() : Zelvo::Chars(), "Projects");
    // 100 MB of text is not read at all.
    {
        QFile big(file);
        ASSERT_TRUE(big.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray block(1 << 20, 'x');
        block.prepend("<Vedora Version=\"1\">");
        for (int i = 0; i < 100; ++i)
            big.write(block);
    }
    SettingsDocument huge;
    huge.Load(file);
    EXPECT_EQ(huge.Root()->Name(), "Vedora");
    EXPECT_TRUE(huge.Section("Projects")->ChildElements("Project").empty());
    // A folder in the file's place.
    QFile::remove(file);
    ASSERT_TRUE(QDir(dir.path()).mkdir("vedora.xml"));
    SettingsDocument folder;
    folder.Load(file);
    EXPECT_EQ(folder.Root()->Name(), "Vedora");
    EXPECT_FALSE(folder.Save());
}

TEST(Settings, AnUnwritableProgramFolderKeepsTheSettingsInTheUserConfiguration) {
    // /proc takes no new files, not even from root.
    QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QString expected = config + "/vedora.xml";
    EXPECT_EQ(SettingsFilePath("/proc/vedora"), expected);
    QFile::remove(expected);
    {
        TestWindow w = OpenWindow("/proc/vedora");
        EXPECT_EQ(w->SettingsPath(), expected);
        w->resize(900, 700);
    }
    ASSERT_TRUE(QFile::exists(expected));
    TestWindow w = OpenWindow("/proc/vedora");
    EXPECT_EQ(w->size(), QSize(900, 700));
    w.window.reset();
    QFile::remove(expected);
}

TEST(Settings, AFolderThatCannotBeWrittenLosesTheSettingsQuietly) {
    QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/proc/vedora-no-config");
    {
        TestWindow w = OpenWindow("/proc/vedora");
        EXPECT_TRUE(w->SettingsPath().startsWith("/proc/"));
        w->resize(700, 500);
    }  // the scripted prompts fail the test on any message
    qputenv("XDG_CONFIG_HOME", saved);
}
