#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <new>

#include "WindowTestSupport.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"

TEST(LongOperation, HooksOutsideAnOperationLogAndNeverAbort) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    bool delivered = false;
    QMetaObject::invokeMethod(
        w.window.get(), [&] { delivered = true; }, Qt::QueuedConnection);
    EXPECT_FALSE(w->Log(""));
    EXPECT_TRUE(delivered);  // pending events were processed
    EXPECT_TRUE(LogOf(w).isEmpty());

    EXPECT_FALSE(w->Log("Matching features "));
    EXPECT_FALSE(w->Log("\xc3\xa4."));  // UTF-8
    EXPECT_EQ(LogOf(w), QString::fromUtf8("Matching features \xc3\xa4."));
    EXPECT_FALSE(w->Status("Extracting features: Image 1 of 3"));
    EXPECT_EQ(w->statusBar()->currentMessage(), "Extracting features: Image 1 of 3");
    EXPECT_FALSE(w->Status(""));
    EXPECT_EQ(w->statusBar()->currentMessage(), "Extracting features: Image 1 of 3");

    // The hooks are the engine's.
    MainWindowFixture::Engine(*w).Log("from the engine");
    EXPECT_TRUE(LogOf(w).endsWith("from the engine"));
}

TEST(LongOperation, TheProgressDialogShowsTheLabelAndAbortOnly) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    w->show();
    bool checked = false;
    bool result = MainWindowFixture::RunWithProgress(*w, "Stitching panorama ... ", [&] {
        QProgressDialog* d = MainWindowFixture::CurrentProgress(*w);
        EXPECT_TRUE(d);
        if (!d)
            return false;
        EXPECT_EQ(d->labelText(), "Stitching panorama ... ");
        EXPECT_EQ(d->windowModality(), Qt::WindowModal);
        EXPECT_EQ(d->minimumDuration(), 0);
        QPushButton* abort = d->findChild<QPushButton*>();
        EXPECT_TRUE(abort && abort->text() == "Abort");
        QProgressBar* bar = d->findChild<QProgressBar*>();
        EXPECT_TRUE(bar && bar->isHidden());
        EXPECT_FALSE(w->Status("Stitching: Image 2 of 5"));
        EXPECT_EQ(d->labelText(), "Stitching: Image 2 of 5");
        checked = true;
        return true;
    });
    EXPECT_TRUE(result);
    EXPECT_TRUE(checked);
    EXPECT_EQ(MainWindowFixture::CurrentProgress(*w), nullptr);
}

TEST(LongOperation, WhatAnOperationThrowsIsLoggedAndReportedAsFailure) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    EXPECT_FALSE(MainWindowFixture::RunWithProgress(*w, "x", []() -> bool { throw std::bad_alloc(); }));
    EXPECT_TRUE(LogOf(w).endsWith("\nNot enough memory to complete the operation\n"));
    EXPECT_FALSE(MainWindowFixture::RunWithProgress(*w, "x", []() -> bool { throw "\nCould not load a image!\n"; }));
    EXPECT_TRUE(LogOf(w).endsWith("\nCould not load a image!\n"));
    EXPECT_FALSE(MainWindowFixture::RunWithProgress(*w, "x", []() -> bool { throw 42; }));
    EXPECT_TRUE(LogOf(w).endsWith("\nCan't complete the operation because of an unknown error\n"));
    EXPECT_EQ(MainWindowFixture::CurrentProgress(*w), nullptr);
    EXPECT_FALSE(w->Log("after"));
}

TEST(LongOperation, AbortDuringFeatureExtractionStopsAfterTheCurrentImage) {
    RenderedViews set({View(0, 0, 0, 400, 320, 240), View(20, 0, 0, 400, 320, 240), View(40, 0, 0, 400, 320, 240)});
    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    w->show();
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    EngineFixture::SetImagePaths(engine, {set.Path(0), set.Path(1), set.Path(2)});
    // "Abort" is pressed as soon as the operation first lets events through.
    QMetaObject::invokeMethod(
        w.window.get(),
        [&] {
            QProgressDialog* d = MainWindowFixture::CurrentProgress(*w);
            ASSERT_TRUE(d);
            QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
        },
        Qt::QueuedConnection);
    bool done = MainWindowFixture::RunWithProgress(*w, "Finding overlapping images ... ",
                                                   [&] { return engine.ExtractAndMatchFeatures(); });
    EXPECT_FALSE(done);
    EXPECT_TRUE(LogOf(w).endsWith("\nAborted!\n")) << LogOf(w).toStdString();
    EXPECT_FALSE(engine.Image(0).featurePoints.empty());
    EXPECT_TRUE(engine.Image(1).featurePoints.empty());
    EXPECT_EQ(engine.LastFailure(), EngineFailure::Aborted);
    // Nothing is left that could abort the next operation.
    EXPECT_FALSE(w->Log("."));
}

TEST(LongOperation, LoadingProgressHasNoCancelButtonAndLocksTheRotation) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    auto& page = MainWindowFixture::ProjectPage(*w);
    {
        std::unique_ptr<QProgressDialog> d = MainWindowFixture::BeginProgress(*w, "Loading images");
        EXPECT_EQ(d->labelText(), "Loading images");
        EXPECT_EQ(d->findChild<QPushButton*>(), nullptr);
        EXPECT_FALSE(d->autoClose());
        EXPECT_FALSE(d->autoReset());
        EXPECT_EQ(d->windowModality(), Qt::WindowModal);
        EXPECT_FALSE(page.m_rotateImages90RadioButton->isEnabled());
        EXPECT_FALSE(page.m_rotateImages0RadioButton->isEnabled());
        d->setRange(0, 2);
        d->setValue(2);
        EXPECT_FALSE(w->Log("."));  // no cancel button, no abort
    }
    EXPECT_TRUE(page.m_rotateImages0RadioButton->isEnabled());
    EXPECT_TRUE(page.m_rotateImages270RadioButton->isEnabled());
}
