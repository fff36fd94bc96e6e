#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "WindowTestSupport.h"
#include "app/MovieSupport.h"
#include "movie/MovieDialog.h"
#include "movie/MovieWidget.h"

// Movie > Quicktime VR opens the movie dialog now that the program writes movies itself; the
// dialog edits the window's own movie parameters, which outlive it.
TEST(MovieMenu, QuicktimeVrOpensTheMovieDialog) {
    EXPECT_TRUE(InitializeMovieExport());
    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    auto& frame = MainWindowFixture::Frame(*w);
    bool opened = false;
    w.prompts->AnswerDialog(QDialog::Rejected, [&](QDialog& d) {
        auto* movie = dynamic_cast<MovieDialog*>(&d);
        opened =
            movie && movie->windowTitle() == "Create a cylindrical Quicktime VR movie" && !movie->Viewer()->HasMovie();
    });
    frame.m_actionQuicktimeVR->trigger();
    EXPECT_TRUE(opened);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}
