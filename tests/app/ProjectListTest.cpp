// The project list dialog: inserting, removing, renaming (with the project files on disk) and
// loading, through the dialog's own buttons.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "ProjectTestSupport.h"
#include "app/XmlListWidget.h"

using Zelvo::XmlElement;

namespace {

QString Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not read by the list");
    return path;
}

XmlListWidget* List(TestWindow& w) { return MainWindowFixture::ProjectList(*w).m_xmlListWidget; }

QStringList Listed(TestWindow& w) { return Rows(List(w)); }

void Insert(TestWindow& w, const QStringList& files) {
    w.prompts->AnswerOpenFiles(files);
    MainWindowFixture::ProjectList(*w).m_insertProjectButton->click();
}

void ClickEntry(TestWindow& w, const QString& text) {
    QList<QListWidgetItem*> found = List(w)->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    emit List(w)->itemClicked(found[0]);
}

// Renames the entry in place, as the user types into the row's editor.
void Rename(TestWindow& w, const QString& from, const QString& to) {
    ClickEntry(w, from);
    MainWindowFixture::ProjectList(*w).m_renameProjectToolButton->click();
    auto* editor = List(w)->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->setText(to);
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor closes from the event loop, and the list is refilled after a rename.
    QTest::qWait(50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

XmlElement* Entry(TestWindow& w, const char* item) {
    return MainWindowFixture::Settings(*w).Section("Projects")->FindDescendant("Project", "item", item, false);
}

}  // namespace

TEST(ProjectList, InsertingNamesEveryFileOnceAndRemovingLeavesTheFiles) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    const QString a1 = Touch(dir.filePath("one/a.vdp")), a2 = Touch(dir.filePath("two/a.vdp"));
    const QString b1 = Touch(dir.filePath("one/b.vdp")), b2 = Touch(dir.filePath("two/b.vdp"));
    Insert(w, {a1});
    EXPECT_EQ(w.prompts->Last().title, "Select one or more projects to insert");
    Insert(w, {a1});  // the same file again, in a second step
    EXPECT_EQ(Listed(w), QStringList({"a"}));
    EXPECT_EQ(Attr(MainWindowFixture::Settings(*w).Section("Projects"), "currentPath"),
              (dir.filePath("one") + "/").toUtf8().constData());
    Insert(w, {a2});
    // Two files of one base name in one step get names of their own as well.
    Insert(w, {b2, b1});
    EXPECT_EQ(Listed(w), QStringList({"a", "a(1)", "b", "b(1)"}));
    EXPECT_EQ(Attr(Entry(w, "a(1)"), "path"), a2.toUtf8().constData());
    EXPECT_EQ(Attr(Entry(w, "b"), "path"), b2.toUtf8().constData());

    // Removing needs a chosen row; the file itself stays.
    auto& form = MainWindowFixture::ProjectList(*w);
    w.prompts->ExpectWarn();
    form.m_removeProjectButton->click();
    EXPECT_EQ(w.prompts->Last().text, "Please select first a project from the list !");
    ClickEntry(w, "a(1)");
    EXPECT_EQ(w->statusBar()->currentMessage(), a2);
    form.m_removeProjectButton->click();
    EXPECT_EQ(Listed(w), QStringList({"a", "b", "b(1)"}));
    EXPECT_TRUE(QFileInfo::exists(a2));
    // The selection is forgotten with every refill.
    w.prompts->ExpectWarn();
    form.m_removeProjectButton->click();
    w.prompts->ExpectWarn();
    form.m_renameProjectToolButton->click();
    w.prompts->ExpectWarn();
    form.m_loadSelectedProjectButton->click();

    w.prompts->AnswerAsk("Don't remove");
    form.m_removeAllProjectsButton->click();
    EXPECT_EQ(w.prompts->Last().text, "Do you want to remove all projects from the list?");
    EXPECT_EQ(w.prompts->Last().buttons, QStringList({"Remove all", "Don't remove"}));
    EXPECT_EQ(Listed(w).size(), 3);
    w.prompts->AnswerAsk("Remove all");
    form.m_removeAllProjectsButton->click();
    EXPECT_TRUE(Listed(w).isEmpty());
    EXPECT_TRUE(MainWindowFixture::Settings(*w).Section("Projects")->ChildElements("Project").empty());
    EXPECT_TRUE(QFileInfo::exists(a1) && QFileInfo::exists(b1));
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectList, RenamingRenamesTheFileAndNeverOverwritesAnother) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddPhotos(w, Photos({0, 1}));
    w.prompts->AnswerSaveFile(dir.filePath("p.vdp"));
    MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
    const QString q = Touch(dir.filePath("q.vdp"));
    const QString s = Touch(dir.filePath("s.vdp"));
    Insert(w, {q});
    MainWindowFixture::ProjectListDialog(*w)->show();
    ASSERT_EQ(Listed(w), QStringList({"p", "q"}));

    // The name of another entry: the old name comes back and nothing on disk changes.
    Rename(w, "q", "p");
    EXPECT_EQ(Listed(w), QStringList({"p", "q"}));
    EXPECT_TRUE(QFileInfo::exists(q));

    // A free name renames the file in its folder.
    Rename(w, "q", "r");
    const QString r = dir.filePath("r.vdp");
    EXPECT_FALSE(QFileInfo::exists(q));
    EXPECT_TRUE(QFileInfo::exists(r));
    EXPECT_EQ(Listed(w), QStringList({"p", "r"}));
    EXPECT_EQ(Attr(Entry(w, "r"), "path"), r.toUtf8().constData());
    EXPECT_TRUE(LogText(*w).endsWith("Project file path renamed from '" + q + "' to '" + r + "'\n"));

    // A file of the new name that the list does not know is never replaced.
    const QByteArray other = FileBytes(s);
    Rename(w, "r", "s");
    EXPECT_EQ(Listed(w), QStringList({"p", "r"}));
    EXPECT_TRUE(QFileInfo::exists(r));
    EXPECT_EQ(FileBytes(s), other);
    // Nor does a name with a folder in it move the file elsewhere.
    Rename(w, "r", "../r");
    EXPECT_EQ(Listed(w), QStringList({"p", "r"}));
    EXPECT_TRUE(QFileInfo::exists(r));

    // The open project: the window follows its new name and path.
    Rename(w, "p", "open");
    const QString opened = dir.filePath("open.vdp");
    EXPECT_TRUE(QFileInfo::exists(opened));
    EXPECT_EQ(MainWindowFixture::CurrentProjectPath(*w), opened.toUtf8().constData());
    EXPECT_EQ(MainWindowFixture::ProjectPage(*w).m_currentProjectLineEdit->text(), "open");
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " Project: open ");
    EXPECT_EQ(MainWindowFixture::ProjectPage(*w).m_currentProjectLineEdit->toolTip(), "Current path: " + opened);

    // An entry whose file is gone keeps its name and path.
    QFile::remove(r);
    Rename(w, "r", "t");
    EXPECT_EQ(Attr(Entry(w, "r"), "path"), r.toUtf8().constData());
    EXPECT_EQ(Entry(w, "t"), nullptr);
    MainWindowFixture::ProjectListDialog(*w)->hide();
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectList, EntriesWithoutNameOrPathAreNotListedAndADoubleClickLoads) {
    QTemporaryDir dir;
    const QString exe = dir.filePath("vedora");
    TestWindow saver = ShownWindow(dir);
    AddPhotos(saver, Photos({0, 1, 2}));
    const QString file = dir.filePath("trip.vdp");
    saver.prompts->AnswerSaveFile(file);
    MainWindowFixture::ProjectPage(*saver).m_actionSaveProjectAs->trigger();
    saver.window.reset();

    const QString settings = QString("<Vedora Version=\"1\"><Projects currentPath=\"/\">"
                                     "<Project path=\"/nowhere/no-item.vdp\"/>"
                                     "<Project item=\"no path\"/>"
                                     "<Project item=\"empty path\" path=\"\"/>"
                                     "<Project item=\"trip\" path=\"%1\"/>"
                                     "</Projects></Vedora>")
                                 .arg(file);
    ASSERT_TRUE(WriteSettings(dir.filePath("vedora.xml"), settings.toUtf8().constData()));
    TestWindow w = ShownWindow(dir);
    w.prompts->AnswerDialog(QDialog::Accepted, [&](QDialog&) {
        EXPECT_EQ(Listed(w), QStringList({"trip"}));
        emit List(w)->itemDoubleClicked(List(w)->item(0));
    });
    MainWindowFixture::ProjectPage(*w).m_loadProjectFromListToolButton->click();
    EXPECT_EQ(ImageRows(*w), QStringList({"0: view0.jpg", "1: view1.jpg", "2: view2.jpg"}));
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " Project: trip ");

    // A dirty project with pictures asks before another is loaded from the list.
    MainWindowFixture::Engine(*w).SetDirty(true);
    w.prompts->AnswerDialog(QDialog::Accepted, [&](QDialog&) {
        ClickEntry(w, "trip");
        MainWindowFixture::ProjectList(*w).m_loadSelectedProjectButton->click();
    });
    w.prompts->AnswerAsk("Don't save");
    MainWindowFixture::ProjectPage(*w).m_loadProjectFromListToolButton->click();
    EXPECT_EQ(w.prompts->Last().text, "Loading a project.\nDo you want to save the current project ?");
    EXPECT_FALSE(MainWindowFixture::Engine(*w).IsDirty());
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ProjectList, AnEntryWithoutANameGetsOneWhenItsProjectOpens) {
    QTemporaryDir dir;
    const QString file = dir.filePath("trip.vdp");
    {
        TestWindow saver = ShownWindow(dir);
        AddPhotos(saver, Photos({0}));
        saver.prompts->AnswerSaveFile(file);
        MainWindowFixture::ProjectPage(*saver).m_actionSaveProjectAs->trigger();
    }
    const QString settings =
        QString("<Vedora Version=\"1\"><Projects><Project path=\"%1\"/></Projects></Vedora>").arg(file);
    ASSERT_TRUE(WriteSettings(dir.filePath("vedora.xml"), settings.toUtf8().constData()));
    TestWindow w = ShownWindow(dir);
    EXPECT_TRUE(MainWindowFixture::LoadProject(*w, file.toUtf8().constData()));
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " Project: trip ");
    EXPECT_EQ(Listed(w), QStringList({"trip"}));
    EXPECT_EQ(MainWindowFixture::Settings(*w).Section("Projects")->ChildElements("Project").size(), 1u);
}

TEST(ProjectList, SavingANewProjectRegistersAUniqueName) {
    QTemporaryDir dir;
    const QString settings = QString("<Vedora Version=\"1\"><Projects>"
                                     "<Project item=\"a\" path=\"/elsewhere/a.vdp\"/>"
                                     "<Project item=\"a(1)\" path=\"/elsewhere/too/a.vdp\"/>"
                                     "</Projects></Vedora>");
    ASSERT_TRUE(WriteSettings(dir.filePath("vedora.xml"), settings.toUtf8().constData()));
    TestWindow w = ShownWindow(dir);
    AddPhotos(w, Photos({0}));
    w.prompts->AnswerSaveFile(dir.filePath("a.vdp"));
    MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
    ASSERT_NE(Entry(w, "a(2)"), nullptr);
    EXPECT_EQ(Attr(Entry(w, "a(2)"), "path"), dir.filePath("a.vdp").toUtf8().constData());
    EXPECT_EQ(Listed(w), QStringList({"a", "a(1)", "a(2)"}));
    // Saving again under the same name registers nothing new.
    w.prompts->AnswerSaveFile(dir.filePath("a.vdp"));
    MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
    EXPECT_EQ(MainWindowFixture::Settings(*w).Section("Projects")->ChildElements("Project").size(), 3u);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}
