#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextEdit>

#include "WindowTestSupport.h"

namespace {

const char* const kSaveQuestion = "The application is about to quit.\nDo you want to save the project before quitting?";

// A window with pictures in its view and a project saved at path (none when empty).
TestWindow WindowWithPictures(QTemporaryDir& dir, const QString& savedAt = QString()) {
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    MainWindowFixture::SetSourcePictureCount(*w, 3);
    if (!savedAt.isEmpty()) {
        w.prompts->AnswerSaveFile(savedAt);
        MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
    }
    return w;
}

}  // namespace

TEST(ClosePrompt, NothingToLoseClosesWithoutAQuestion) {
    QTemporaryDir dir;
    TestWindow empty = OpenWindow(dir.filePath("vedora"));
    ASSERT_TRUE(MainWindowFixture::Engine(*empty).IsDirty());  // a new project is dirty but has no pictures
    EXPECT_TRUE(empty->close());

    TestWindow saved = WindowWithPictures(dir, dir.filePath("a.vdp"));
    EXPECT_FALSE(MainWindowFixture::Engine(*saved).IsDirty());
    EXPECT_TRUE(saved->close());
    EXPECT_EQ(saved.prompts->History().size(), 1u);  // only the save dialog of the set-up
}

TEST(ClosePrompt, ADirtyProjectOffersSaveDontSaveAndCancel) {
    QTemporaryDir dir;
    TestWindow w = WindowWithPictures(dir);
    w.prompts->AnswerAsk("Cancel and don't quit");
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w.prompts->Last().title, "Vedora 1.02");
    EXPECT_EQ(w.prompts->Last().text, kSaveQuestion);
    EXPECT_EQ(w.prompts->Last().buttons, QStringList({"Save", "Don't save", "Cancel and don't quit"}));

    w.prompts->AnswerAsk("Don't save");
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("a.vdp")));
}

TEST(ClosePrompt, SaveWithAPathWritesTheProjectAndQuits) {
    QTemporaryDir dir;
    QString file = dir.filePath("a.vdp");
    TestWindow w = WindowWithPictures(dir, file);
    QFile::remove(file);
    MainWindowFixture::Engine(*w).SetDirty(true);
    w.prompts->AnswerAsk("Save");
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_FALSE(MainWindowFixture::Engine(*w).IsDirty());
}

TEST(ClosePrompt, AFailedSaveKeepsTheWindowOpen) {
    QTemporaryDir dir;
    QString file = dir.filePath("a.vdp");
    TestWindow w = WindowWithPictures(dir, file);
    // The project's folder disappears under it.
    ASSERT_TRUE(QDir(dir.path()).removeRecursively());
    MainWindowFixture::Engine(*w).SetDirty(true);
    w.prompts->AnswerAsk("Save");
    w.prompts->ExpectWarn();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w.prompts->Last().text, "The project could not be saved !\n");
    EXPECT_TRUE(LogOf(w).endsWith("Could not save the project!"));
    EXPECT_TRUE(MainWindowFixture::Engine(*w).IsDirty());
    EXPECT_EQ(w.prompts->Pending(), 0u);
    w.prompts->AnswerAsk("Don't save");
    EXPECT_TRUE(w->close());
}

TEST(ClosePrompt, SaveWithoutAPathAsksForOneFirst) {
    QTemporaryDir dir;
    TestWindow w = WindowWithPictures(dir);
    w.prompts->AnswerAsk("Save");
    w.prompts->AnswerSaveFile(QString());  // cancelled: the window stays
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(MainWindowFixture::CurrentProjectPath(*w).IsEmpty());

    w.prompts->AnswerAsk("Save");
    w.prompts->AnswerSaveFile(dir.filePath("new"));  // no suffix: ".vdp" is added
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("new.vdp")));
    EXPECT_TRUE(LogOf(w).contains("Saving project '" + dir.filePath("new.vdp") + "' ... done"));
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " Project:new ");
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(ClosePrompt, ASavedProjectWithAResultAsksBeforeQuitting) {
    QTemporaryDir dir;
    TestWindow w = WindowWithPictures(dir, dir.filePath("a.vdp"));
    MainWindowFixture::SetResultPictureCount(*w, 2);
    w.prompts->AnswerAsk("Don't quit");
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w.prompts->Last().text, "Do you want to quit the application?");
    EXPECT_EQ(w.prompts->Last().buttons, QStringList({"Quit", "Don't quit"}));
    w.prompts->AnswerAsk("Quit");
    EXPECT_TRUE(w->close());
}
