#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ProjectTestSupport.h"
#include "WindowTestSupport.h"
#include "app/SettingsDocument.h"
#include "dialogs/ImageViewSettingsDialog.h"

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

// One changed byte no longer costs the project list: the file parses, so it is taken over
// whole, a copy of the damaged file stays beside it, and the log says so once.
TEST(Settings, ABadChecksumKeepsACopyAndTheProjectList) {
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
    {
        TestWindow w = OpenWindow(dir.filePath("vedora"));
        XmlElement* projects = MainWindowFixture::Settings(*w).Section("Projects");
        ASSERT_EQ(projects->ChildElements("Project").size(), 1u);
        EXPECT_EQ(Attr(projects->ChildElements("Project")[0], "path"), "/x/b.vdp");
        EXPECT_EQ(Attr(projects, "currentPath"), "/x/");
        EXPECT_EQ(w->pos(), QPoint(300, 80));
        const QStringList copies = QDir(dir.path()).entryList({"vedora.xml.damaged-*"}, QDir::Files);
        ASSERT_EQ(copies.size(), 1);
        QFile copy(dir.filePath(copies[0]));
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), bytes);
        const QString log = LogText(*w);
        EXPECT_EQ(log.count("was damaged"), 1) << log.toStdString();
        EXPECT_TRUE(log.contains("it is kept as " + dir.filePath(copies[0]))) << log.toStdString();
        EXPECT_TRUE(log.contains("1 of its projects were recovered")) << log.toStdString();
    }
    // The file written at exit is whole again: the next start says nothing and keeps the list.
    TestWindow again = OpenWindow(dir.filePath("vedora"));
    EXPECT_FALSE(LogText(*again).contains("damaged"));
    EXPECT_EQ(MainWindowFixture::Settings(*again).Section("Projects")->ChildElements("Project").size(), 1u);
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
        EXPECT_EQ(Attr(frame, "x"), "1000");  // the file's range, before the screen is looked at
        EXPECT_EQ(Attr(frame, "y"), "0");
        EXPECT_EQ(Attr(frame, "w"), "850");
        EXPECT_EQ(Attr(frame, "h"), "4096");
        EXPECT_EQ(Attr(frame, "s1"), "220");
        EXPECT_EQ(Attr(frame, "s2"), "2048");
        EXPECT_EQ(Attr(frame, "s3"), "200");
        EXPECT_EQ(Attr(frame, "s4"), "2048");
        // x = 1000 would leave the window mostly off this screen: it is moved into it.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_EQ(w->pos(), QPoint(std::max(area.left(), std::min(1000, area.right() + 1 - 850)), 0));
        EXPECT_GE(area.intersected(w->geometry()).width() * 2, std::min(850, area.width()));
        EXPECT_EQ(w->width(), 850);
        TextureLimits t = MainWindowFixture::Settings(*w).ReadTextureLimits();
        EXPECT_EQ(t.sourceImages, kMinTextureLimit);
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
    EXPECT_LE(std::atoi(Attr(root->FindChild("MainWindow", false), "x").c_str()), 1000);
    EXPECT_EQ(Attr(root->FindChild("MaxTextureSizes", false), "imagePair"), "1024");
    EXPECT_EQ(Attr(root->FindChild("PointMarkers", false), "size"), "10");
}

// Cut off, with other line endings, past the size limit or not ours at all: the projects whose
// entries are still whole come back, a copy of the file is kept, and what is not a file at all
// (a folder) gives a fresh document without a word.
TEST(Settings, DamagedFilesKeepTheirProjectsAndACopyOfThemselves) {
    QTemporaryDir dir;
    QString file = dir.filePath("vedora.xml");
    auto write = [&](const QByteArray& content) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    };
    auto projectsAfterLoad = [&](SettingsDocument& settings) {
        settings.Load(file);
        EXPECT_EQ(settings.Root()->Name(), "Vedora");
        std::vector<std::string> paths;
        for (XmlElement* entry : settings.Section("Projects")->ChildElements("Project"))
            paths.push_back(Attr(entry, "path").c_str());
        return paths;
    };
    auto copies = [&] { return QDir(dir.path()).entryList({"vedora.xml.damaged-*"}, QDir::Files).size(); };
    std::string list = "<Vedora Version=\"1\"><Projects currentPath=\"/p/\">";
    for (int k = 0; k < 3; ++k)
        list +=
            "<Project item=\"p" + std::to_string(k) + "\" path=\"/p/&quot;q&quot; " + std::to_string(k) + ".vdp\"/>";
    list += "</Projects><MainWindow x=\"10\"/></Vedora>";
    ASSERT_TRUE(WriteSettings(file, list.c_str()));
    QFile good(file);
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray text = good.readAll();
    good.close();
    {
        SettingsDocument whole;
        EXPECT_EQ(projectsAfterLoad(whole).size(), 3u);  // the intact file, as it is
        EXPECT_TRUE(whole.LoadNotice().isEmpty());
        EXPECT_EQ(copies(), 0);
    }
    // Cut off inside the third entry: the first two are whole.
    write(text.left(text.indexOf("p2") + 4));
    {
        SettingsDocument cut;
        const auto paths = projectsAfterLoad(cut);
        ASSERT_EQ(paths.size(), 2u);
        EXPECT_EQ(paths[1], "/p/\"q\" 1.vdp");
        EXPECT_EQ(Attr(cut.Section("Projects"), "currentPath"), "/p/");
        EXPECT_TRUE(cut.LoadNotice().contains("2 of its projects were recovered"));
        EXPECT_EQ(copies(), 1);
    }
    // Windows line endings: the document still parses and comes back whole.
    QByteArray crlf = text;
    crlf.replace("><", ">\r\n<");
    write(crlf);
    {
        SettingsDocument lines;
        EXPECT_EQ(projectsAfterLoad(lines).size(), 3u);
        EXPECT_EQ(Attr(lines.MainWindowElement(), "x"), "10");
    }
    // Past the size limit: the entries are found in the text.
    QByteArray big = text;
    big.insert(big.indexOf("</Projects>"), QByteArray(kMaxSettingsFileBytes, ' '));
    write(big);
    {
        SettingsDocument huge;
        EXPECT_EQ(projectsAfterLoad(huge).size(), 3u);
    }
    // Garbage, and another root: nothing to recover, but the file is kept all the same.
    QByteArray garbage;
    for (int i = 0; i < 70000; ++i)
        garbage.append(static_cast<char>((i * 7919 + 13) % 256));
    write(garbage);
    {
        SettingsDocument noise;
        EXPECT_TRUE(projectsAfterLoad(noise).empty());
        EXPECT_TRUE(noise.LoadNotice().contains("0 of its projects"));
    }
    ASSERT_TRUE(WriteSettings(file, "<Other><Vedora Version=\"1\"/></Other>"));
    {
        SettingsDocument other;
        EXPECT_TRUE(projectsAfterLoad(other).empty());
        EXPECT_EQ(Attr(other.Root(), "Version"), "1");
    }
    EXPECT_GE(copies(), 5);
    // Missing, or a folder in the file's place: a fresh document and nothing to say.
    QFile::remove(file);
    {
        SettingsDocument missing;
        EXPECT_TRUE(projectsAfterLoad(missing).empty());
        EXPECT_TRUE(missing.LoadNotice().isEmpty());
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("vedora.xml"));
    SettingsDocument folder;
    folder.Load(file);
    EXPECT_EQ(folder.Root()->Name(), "Vedora");
    EXPECT_TRUE(folder.LoadNotice().isEmpty());
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
