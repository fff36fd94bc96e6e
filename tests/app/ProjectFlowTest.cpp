// New, save, save as, load and the project file's bad cases, through the window with scripted
// prompts and rendered photographs.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <sys/fsuid.h>
#include <unistd.h>

#include "ProjectTestSupport.h"
#include "engine/ProjectPaths.h"
#include "view/GuiMgr.h"

using Zelvo::XmlDocument;
using Zelvo::XmlElement;

namespace {

const QString kGreen = "background-color: rgb(0,210,0)";

// Two matched pairs of five photographs, as matching would leave them.
void MatchSomePairs(PanoramaEngine& engine) {
    const std::vector<PointD> P = Points({{250, 40}, {300, 120}, {260, 200}, {290, 60}, {310, 180}});
    const std::vector<PointD> Q = Points({{30, 42}, {80, 118}, {40, 198}, {72, 61}, {95, 178}});
    ASSERT_TRUE(engine.SetCombinationPoints(0, 1, P, Q));
    ASSERT_TRUE(engine.SetCombinationPoints(1, 2, P, Q));
}

void SaveAs(TestWindow& w, const QString& file) {
    w.prompts->AnswerSaveFile(file);
    MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
}

void ExpectNewProject(TestWindow& w) {
    EXPECT_TRUE(ImageRows(*w).isEmpty());
    EXPECT_TRUE(MainWindowFixture::SourcePictures(*w).empty());
    EXPECT_EQ(MainWindowFixture::Engine(*w).ImageCount(), 0);
    EXPECT_TRUE(MainWindowFixture::CurrentProjectPath(*w).IsEmpty());
    EXPECT_EQ(MainWindowFixture::ProjectPage(*w).m_currentProjectLineEdit->text(), "New project");
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " New project ");
}

// While alive, files are opened with the rights of an ordinary user: root writes into
// read-only folders anyway.
class OrdinaryFileRights {
public:
    OrdinaryFileRights() : root(::geteuid() == 0) {
        if (root)
            ::setfsuid(65534);
    }
    ~OrdinaryFileRights() {
        if (root)
            ::setfsuid(0);
    }

private:
    bool root;
};

}  // namespace

TEST(ProjectFlow, SaveNewAndReopenFromTheProjectList) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddPhotos(w, Photos({0, 1, 2, 3, 4}));
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    MatchSomePairs(engine);
    std::vector<GuiBitmap*> pictures = MainWindowFixture::SourcePictures(*w);
    pictures[3]->SetTopLeft({500, -20});  // moved by the user

    const QString file = dir.filePath("p.vdp");
    SaveAs(w, dir.filePath("p"));
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(LogText(*w).endsWith("Saving project '" + file + "' ... done\n")) << LogText(*w).toStdString();
    EXPECT_FALSE(engine.IsDirty());
    EXPECT_EQ(MainWindowFixture::CurrentProjectPath(*w), file.toUtf8().constData());
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " Project:p ");
    EXPECT_EQ(MainWindowFixture::ProjectPage(*w).m_currentProjectLineEdit->text(), "p");
    EXPECT_EQ(MainWindowFixture::ProjectPage(*w).m_currentProjectLineEdit->toolTip(), "Current path: " + file);
    EXPECT_TRUE(QTest::qWaitFor([&] { return MainWindowFixture::ProjectLabel(*w)->styleSheet() == kGreen; }, 2100));
    // Listed in the project list under its base name.
    XmlElement* projects = MainWindowFixture::Settings(*w).Section("Projects");
    ASSERT_EQ(projects->ChildElements("Project").size(), 1u);
    EXPECT_EQ(Attr(projects->ChildElements("Project")[0], "item"), "p");
    EXPECT_EQ(Attr(projects->ChildElements("Project")[0], "path"), file.toUtf8().constData());
    EXPECT_EQ(Attr(projects, "currentPath"), (dir.path() + "/").toUtf8().constData());
    EXPECT_EQ(Rows(MainWindowFixture::ProjectList(*w).m_xmlListWidget), QStringList({"p"}));

    // The file verifies, names the photographs as the file dialog gave them and keeps where the
    // pictures stood.
    XmlDocument saved;
    ASSERT_TRUE(Zelvo::LoadWithChecksum(saved, file.toUtf8().constData()));
    std::vector<XmlElement*> images = saved.FindElement("Images", nullptr, false)->ChildElements("Image");
    ASSERT_EQ(images.size(), 5u);
    EXPECT_EQ(Attr(images[0], "item"), "view0.jpg");
    EXPECT_EQ(Attr(images[0], "path"), Photographs().Path(0).c_str());
    EXPECT_EQ(Attr(images[3], "x"), "500");
    EXPECT_EQ(Attr(images[3], "y"), "-20");
    EXPECT_EQ(saved.FindElement("Combinations", nullptr, false)->ChildElements("Combination").size(), 2u);
    const ImageCombination pair01 = *engine.Combination(0, 1);

    // A new project: the question, "Don't save", and a blank page; the file stays as it was.
    engine.SetDirty(true);
    const QByteArray bytes = FileBytes(file);
    w.prompts->AnswerAsk("Don't save");
    MainWindowFixture::ProjectPage(*w).m_newProjectToolButton->click();
    EXPECT_EQ(w.prompts->Last().text, "Creating a blank project.\nDo you want to save the current project ?");
    EXPECT_EQ(w.prompts->Last().buttons, QStringList({"Save", "Don't save"}));
    ExpectNewProject(w);
    EXPECT_EQ(FileBytes(file), bytes);

    // Reopened from the project list: the same rows, pairs and picture positions, and clean.
    w.prompts->AnswerDialog(QDialog::Accepted, [&](QDialog& dialog) {
        auto& list = MainWindowFixture::ProjectList(*w);
        EXPECT_EQ(&dialog, MainWindowFixture::ProjectListDialog(*w));
        ASSERT_EQ(list.m_xmlListWidget->count(), 1);
        emit list.m_xmlListWidget->itemClicked(list.m_xmlListWidget->item(0));
        list.m_loadSelectedProjectButton->click();
    });
    MainWindowFixture::ProjectPage(*w).m_loadProjectFromListToolButton->click();
    EXPECT_EQ(ImageRows(*w),
              QStringList({"0: view0.jpg", "1: view1.jpg", "2: view2.jpg", "3: view3.jpg", "4: view4.jpg"}));
    ASSERT_EQ(engine.ImageCount(), 5);
    EXPECT_EQ(engine.Image(4).path, Photographs().Path(4).c_str());
    EXPECT_FALSE(engine.IsDirty());
    const ImageCombination& again = *engine.Combination(0, 1);
    EXPECT_EQ(again.P, pair01.P);
    EXPECT_EQ(again.Q, pair01.Q);
    EXPECT_NEAR(again.f, pair01.f, 1e-5 * pair01.f);  // six digits in the file
    EXPECT_TRUE(engine.Combination(1, 2)->matched);
    EXPECT_FALSE(engine.Combination(0, 2)->matched);
    pictures = MainWindowFixture::SourcePictures(*w);
    ASSERT_EQ(pictures.size(), 5u);
    EXPECT_DOUBLE_EQ(pictures[3]->TopLeft().x, 500);
    EXPECT_DOUBLE_EQ(pictures[0]->TopLeft().x, 16);
    EXPECT_EQ(MainWindowFixture::CurrentProjectPath(*w), file.toUtf8().constData());
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " Project: p ");
    EXPECT_TRUE(LogText(*w).endsWith("Loading project '" + file + "' ..... done\n")) << LogText(*w).toStdString();
    EXPECT_EQ(MainWindowFixture::ProjectPage(*w).m_loadImagesButton->toolTip(),
              "Load images... (CurrentPath: " + QString::fromStdString(Photographs().Folder()) + "/)");
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectFlow, LoadingAskedForThroughTheFileDialogWithTheSavePrompt) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddPhotos(w, Photos({0, 1}));
    SaveAs(w, dir.filePath("first.vdp"));
    AddPhotos(w, Photos({2}));
    // Unsaved work: "Save" writes it before the other project is opened.
    w.prompts->AnswerAsk("Save");
    w.prompts->AnswerOpenFile(dir.filePath("first"));  // the suffix is added
    MainWindowFixture::ProjectPage(*w).m_loadProjectToolButton->click();
    EXPECT_EQ(w.prompts->History()[w.prompts->History().size() - 2].text,
              "Loading a project.\nDo you want to save the current project ?");
    EXPECT_EQ(w.prompts->Last().title, "Load project...");
    EXPECT_EQ(ImageRows(*w), QStringList({"0: view0.jpg", "1: view1.jpg", "2: view2.jpg"}));
    EXPECT_EQ(w.prompts->Pending(), 0u);

    // "Save as" without a suffix over an existing file asks first; Cancel is a failed save.
    w.prompts->AnswerSaveFile(dir.filePath("first"));
    w.prompts->AnswerStandard(QMessageBox::Cancel);
    w.prompts->ExpectWarn();
    MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
    EXPECT_EQ(w.prompts->History()[w.prompts->History().size() - 2].text,
              "The file exits!\nDo you want to overwrite it ?");
    EXPECT_TRUE(LogText(*w).endsWith("failed.\n"));
    EXPECT_TRUE(MainWindowFixture::Engine(*w).IsDirty());
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectFlow, ASaveAskedForButCancelledKeepsTheProjectOpen) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddPhotos(w, Photos({0, 1}));
    // "Save", then the file dialog cancelled: the pictures are not thrown away.
    w.prompts->AnswerAsk("Save");
    w.prompts->AnswerSaveFile(QString());
    MainWindowFixture::ProjectPage(*w).m_newProjectToolButton->click();
    EXPECT_EQ(ImageRows(*w).size(), 2);
    // "Save" with a file: saved, then the blank project.
    w.prompts->AnswerAsk("Save");
    w.prompts->AnswerSaveFile(dir.filePath("kept.vdp"));
    MainWindowFixture::ProjectPage(*w).m_newProjectToolButton->click();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("kept.vdp")));
    ExpectNewProject(w);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectFlow, AFailedSaveKeepsTheOldFileAndTheProjectDirty) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    ASSERT_TRUE(QDir(dir.path()).mkdir("projects"));
    const QString folder = dir.filePath("projects");
    const QString file = folder + "/p.vdp";
    AddPhotos(w, Photos({0, 1, 2}));
    SaveAs(w, file);
    const QByteArray before = FileBytes(file);
    ASSERT_FALSE(before.isEmpty());
    MatchSomePairs(MainWindowFixture::Engine(*w));

    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                                  QFile::ReadOther | QFile::ExeOther));
    w.prompts->ExpectWarn();
    {
        OrdinaryFileRights rights;
        MainWindowFixture::ProjectPage(*w).m_actionSaveProject->trigger();
    }
    EXPECT_EQ(w.prompts->Last().title, "Vedora 1.02");
    EXPECT_EQ(w.prompts->Last().text, "The project could not be saved !\n");
    // The log says why: the folder takes no new file.
    EXPECT_TRUE(LogText(*w).contains("Saving project '" + file + "' ... \nCannot save \"" + file + "\""))
        << LogText(*w).toStdString();
    EXPECT_TRUE(LogText(*w).endsWith("\n\nCould not save the project\n")) << LogText(*w).toStdString();
    EXPECT_EQ(FileBytes(file), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_TRUE(MainWindowFixture::Engine(*w).IsDirty());
    EXPECT_EQ(MainWindowFixture::CurrentProjectPath(*w), file.toUtf8().constData());

    // The window goes on: once the folder can be written again the save succeeds.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    MainWindowFixture::ProjectPage(*w).m_actionSaveProject->trigger();
    EXPECT_FALSE(MainWindowFixture::Engine(*w).IsDirty());
    EXPECT_NE(FileBytes(file), before);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectFlow, BadProjectFilesEndInANewProject) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    const QStringList photos = CopyPhotos(dir.path(), {0, 1, 2});
    AddPhotos(w, photos);
    SaveAs(w, dir.filePath("good.vdp"));
    const QByteArray good = FileBytes(dir.filePath("good.vdp"));

    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name);
    };
    // The message box and the log say why the loader refused the file.
    auto expectFailedLoad = [&](const QString& file, const QString& reason) {
        SCOPED_TRACE(file.toStdString());
        w.prompts->ExpectWarn();
        EXPECT_FALSE(MainWindowFixture::LoadProject(*w, file.toUtf8().constData()));
        EXPECT_EQ(w.prompts->Last().text, "The project could not be loaded !\n" + reason);
        const QString log = LogText(*w);
        EXPECT_TRUE(log.endsWith("Loading project '" + file + "' \n" + reason + "\n failed\n")) << log.toStdString();
        ExpectNewProject(w);
        EXPECT_TRUE(MainWindowFixture::ViewManager(*w).Layer(0).Objects().empty());
    };

    // One changed byte fails the checksum; a cut file fails it too.
    QByteArray changed = good;
    changed[changed.indexOf("view1")] = 'V';
    const QString damaged = "The project could not be loaded (missing, damaged or not a project): ";
    expectFailedLoad(write("changed.vdp", changed), damaged + dir.filePath("changed.vdp"));
    expectFailedLoad(write("cut.vdp", good.left(good.size() / 2)), damaged + dir.filePath("cut.vdp"));
    expectFailedLoad(dir.filePath("missing.vdp"), damaged + dir.filePath("missing.vdp"));

    // A photograph gone: named, and no picture is left in the view.
    QFile::rename(photos[2], dir.filePath("elsewhere.jpg"));
    expectFailedLoad(dir.filePath("good.vdp"), "cannot read image " + photos[2]);
    QFile::rename(dir.filePath("elsewhere.jpg"), photos[2]);

    // A pair naming a photograph that is not in the list.
    XmlDocument document;
    ASSERT_TRUE(Zelvo::LoadWithChecksum(document, dir.filePath("good.vdp").toUtf8().constData()));
    auto* pair = new XmlElement("Combination");
    document.FindElement("Combinations", nullptr, false)->AppendChild(pair);
    pair->Attribute("path1", true)->Set("view0.jpg");
    pair->Attribute("path2", true)->Set("nowhere.jpg");
    ASSERT_TRUE(Zelvo::SaveWithChecksum(document, dir.filePath("badpair.vdp").toUtf8().constData()));
    expectFailedLoad(dir.filePath("badpair.vdp"), "Bad image combination");

    // The good file still opens.
    EXPECT_TRUE(MainWindowFixture::LoadProject(*w, dir.filePath("good.vdp").toUtf8().constData()));
    EXPECT_EQ(ImageRows(*w).size(), 3);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectFlow, TheCommandLineProjectOpensAfterTheFirstPaint) {
    QTemporaryDir dir;
    QString file = dir.filePath("start.vdp");
    {
        TestWindow w = ShownWindow(dir);
        AddPhotos(w, Photos({0, 1}));
        SaveAs(w, file);
    }
    TestWindow w = OpenWindow(dir.filePath("vedora"), file.toUtf8().constData());
    EXPECT_TRUE(ImageRows(*w).isEmpty());  // not before the window shows
    w->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ImageRows(*w).size() == 2; }, 2000));
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " Project: start ");
    EXPECT_FALSE(MainWindowFixture::Engine(*w).IsDirty());
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectFlow, PhotographsNamedRelativeToTheProjectFollowItsFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("trip"));
    const QString folder = dir.filePath("trip");
    const QStringList photos = CopyPhotos(folder, {0, 1, 2});
    // A project as vedora-stitch writes it for photographs given relative to the project.
    XmlDocument document;
    ASSERT_TRUE(document.Parse("<VedoraProject Version=\"1\"><Panorama name=\"panorama\"><Images>"
                               "<Image item=\"view0.jpg\" path=\"view0.jpg\"/>"
                               "<Image item=\"view1.jpg\" path=\"view1.jpg\"/>"
                               "<Image item=\"view2.jpg\" path=\"./view2.jpg\"/>"
                               "</Images></Panorama></VedoraProject>"));
    const QString file = folder + "/trip.vdp";
    ASSERT_TRUE(Zelvo::SaveWithChecksum(document, file.toUtf8().constData()));

    TestWindow w = ShownWindow(dir);
    ASSERT_TRUE(MainWindowFixture::LoadProject(*w, file.toUtf8().constData()));
    EXPECT_EQ(ImageRows(*w), QStringList({"0: view0.jpg", "1: view1.jpg", "2: view2.jpg"}));
    // The same photograph chosen in the file dialog is already there.
    AddPhotos(w, {photos[1]});
    EXPECT_EQ(ImageRows(*w).size(), 3);

    // Saved again, the paths stay relative to the project; the folder can move.
    MainWindowFixture::Engine(*w).SetDirty(true);
    MainWindowFixture::ProjectPage(*w).m_actionSaveProject->trigger();
    ASSERT_TRUE(Zelvo::LoadWithChecksum(document, file.toUtf8().constData()));
    std::vector<XmlElement*> images = document.FindElement("Images", nullptr, false)->ChildElements("Image");
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(Attr(images[0], "path"), "view0.jpg");
    EXPECT_EQ(Attr(images[2], "path"), "view2.jpg");
    ASSERT_TRUE(QDir(dir.path()).rename("trip", "moved"));
    EXPECT_TRUE(MainWindowFixture::LoadProject(*w, dir.filePath("moved/trip.vdp").toUtf8().constData()));
    EXPECT_EQ(MainWindowFixture::SourcePictures(*w).size(), 3u);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}
