#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <stdexcept>

#include "WindowTestSupport.h"
#include "app/MyApplication.h"
#include "dialogs/AboutDialog.h"

namespace {

// One control as the forms must carry it; null entries are not checked.
struct Control {
    const char* name;
    const char* text;
    const char* toolTip;
    const char* statusTip;
    const char* icon;
};

const Control kControls[] = {
    // Frame.
    {"m_projectToolButton", "Project", "Manage projects and import images", "Manage projects and import images",
     ":/images/IconTask1.png"},
    {"m_matchingToolButton", "Matching", "Find the overlapping images", "Find the overlapping images",
     ":/images/IconTask2.png"},
    {"m_panoramaToolButton", "Panorama", "Stitch and save the panorama image", "Stitch and save the panorama image",
     ":/images/IconTask3.png"},
    {"m_clearLogToolButton", nullptr, "Clear the status log", "Clear the status log", ":/images/IconDeleteLog.png"},
    // Project page.
    {"m_newProjectToolButton", nullptr, "Blank project", nullptr, ":/images/IconNew.png"},
    {"m_loadProjectFromListToolButton", nullptr, "Open project list...", nullptr, ":/images/IconListLoad.png"},
    {"m_loadProjectToolButton", nullptr, nullptr, nullptr, ":/images/IconFloppyLoad.png"},
    {"m_currentProjectLineEdit", nullptr, nullptr, nullptr, nullptr},
    {"m_loadImagesButton", "Load image(s)...", "Load images...", nullptr, ":/images/IconOpenFile.png"},
    {"m_removeAllImagesButton", nullptr, "Removes all images", nullptr, ":/images/IconStop.png"},
    {"m_removeSelectedImageButton", nullptr, "Removes selected image", nullptr, ":/images/IconRemove1.png"},
    {"m_rotateImages0RadioButton", "0", nullptr, nullptr, nullptr},
    {"m_rotateImages90RadioButton", "90", nullptr, nullptr, nullptr},
    {"m_rotateImages180RadioButton", "180", nullptr, nullptr, nullptr},
    {"m_rotateImages270RadioButton", "270", nullptr, nullptr, nullptr},
    {"m_xmlListWidget", nullptr, nullptr, nullptr, nullptr},
    // Matching page.
    {"m_matchingParametersToolButton", "Automatic matching parameters...", "Automatic matching parameters...",
     "Automatic matching parameters...", ":/images/IconTool.png"},
    {"m_automaticMatchingButton", "Automatic matching", "Automatic matching of all images",
     "Automatic matching of all images", ":/images/IconFind.png"},
    {"m_showFeaturePointsCheckBox", "Show feature extraction", "Shows the extracted features",
     "Shows the extracted features", nullptr},
    {"m_selectFirstToolButton", nullptr, "Selects the 1st image of the image pair  (Ctrl+1 key)",
     "Selects the 1st image of the image pair  (Ctrl+1 key)", ":/images/IconSelectFirst.png"},
    {"m_selectSecondToolButton", nullptr, "Selects the 2nd image of the image pair (Ctrl+2 key)",
     "Selects the 2nd image of the image pair (Ctrl+2 key)", ":/images/IconSelectSecond.png"},
    {"m_pairAutomaticMatchingButton", nullptr, "Automatic matching of the selected image pair",
     "Automatic matching of the selected image pair", nullptr},
    {"m_insertPointToolButton", nullptr, "Inserts four points or a single point for manual matching",
     "Inserts four points or a single point for manual matching", ":/images/IconInsertPoint.png"},
    {"m_deletePointToolButton", nullptr, "Deletes the selected point", "Deletes the selected point",
     ":/images/IconDeletePoint.png"},
    {"m_deleteAllPointsToolButton", nullptr, "Delete all points of the image pair",
     "Delete all points of the image pair", ":/images/IconStop.png"},
    {"m_applyManualChangesToolButton", nullptr, "Apply manual changes and deselect the image pair",
     "Apply manual changes and deselect the image pair", ":/images/IconApply16x16.png"},
    {"m_selectRefPushButton", "Select reference image", "Set the selected image as the reference image",
     "Set the selected image as the reference image", ":/images/IconSelectRef.png"},
    {"m_overlappingHierarchyTreeWidget", nullptr, nullptr, nullptr, nullptr},
    // Panorama page.
    {"m_stitchParametersToolButton", "Stitch options...", "Stitch paramters...", "Stitch paramters...",
     ":/images/IconTool.png"},
    {"m_stitchPreviewPushButton", "Preview stitch  ", nullptr,
     "Preview stitching without blending and without photometric corrections", ":/images/IconStitch.png"},
    {"m_stitchPushButton", "Final stitch ", "Final stitching of the panorama image",
     "Final stitching of the panorama image", nullptr},
    {"m_crop360CheckBox", "Crop and blend 360 degrees", "Crops 360 degrees and blends the transition",
     "Crops 360 degrees and blends the transition", nullptr},
    {"m_cropPushButton", " Crop panorama manually ", nullptr,
     "Crops the stitched image to the manually placed rectangle", ":/images/IconCrop.png"},
    {"m_savePanoramaPushButton", "Save cropped panorama image... ", nullptr, nullptr, ":/images/IconFloppy16x16.png"},
    // View toolbar.
    {"m_imageViewSettingsToolButton", "View settings...", "Image view settings...", nullptr, ":/images/IconTool.png"},
    {"m_zoomInToolButton", "Zoom in (PageUp key)", "Zoom in (PageUp key)", nullptr, ":/images/IconZoomIn.png"},
    {"m_zoomOutToolButton", "Zoom out (PageDown key)", "Zoom out (PageDown key)", nullptr, ":/images/IconZoomOut.png"},
    {"m_zoomAllToolButton", "Zoom to all (Home key)", "Zoom to all (Home key)", nullptr, ":/images/IconZoomAll.png"},
    {"m_zoomToSelectionToolButton", "Zoom to selection (End key)", "Zoom to selection (End key)", nullptr,
     ":/images/IconZoomToSelection.png"},
    {"m_zoomToPanoramaToolButton", "Zoom to panorama", "Zoom to panorama", nullptr, ":/images/IconZoomPanorama.png"},
    {"m_zoomToFirstSecondToolButton", "Zoom to image pair (End key)", "Zoom to image pair (End key)", nullptr,
     ":/images/IconZoomToFirstSecond.png"},
    {"m_bringFirstToFrontToolButton", "Bring 1st image to front (1 key)", "Bring 1st image to front (1 key)", nullptr,
     ":/images/IconBringFirstToFront.png"},
    {"m_bringSecondToFrontToolButton", "Bring 2nd image to front  (2 key)", "Bring 2nd image to front  (2 key)",
     nullptr, ":/images/IconBringSecondToFront.png"},
    {"m_bringToFrontToolButton", "Bring selected image to front", "Bring selected image to front",
     "Brings the selected object on top", ":/images/IconBringToFront.png"},
    {"m_sendToBackToolButton", "Send selected image to back", "Send selected image to back",
     "Send the selected object to the bottom", ":/images/IconSendToBack.png"},
    {"m_arrangeToolButton", "Arrange images in a grid", "Arrange images in a grid", nullptr,
     ":/images/IconArrange.png"},
    {"m_alignToolButton", "Arrange overlapping images", "Arrange overlapping images", nullptr,
     ":/images/IconAlign.png"},
};

QString TextOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    return QString();
}

QIcon IconOf(QWidget* w) {
    auto* b = qobject_cast<QAbstractButton*>(w);
    return b ? b->icon() : QIcon();
}

bool SameIcon(const QIcon& a, const QString& path) {
    QPixmap expected(path);
    return !a.isNull() && !expected.isNull() &&
           a.pixmap(expected.size()).toImage().convertToFormat(QImage::Format_ARGB32) ==
               expected.toImage().convertToFormat(QImage::Format_ARGB32);
}

QString NewExe(QTemporaryDir& dir) { return dir.filePath("vedora"); }

// An object whose event handler throws, as a failing slot would.
class Thrower : public QObject {
public:
    int kind = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            if (kind == 0)
                throw "boom";
            throw std::runtime_error("other");
        }
        return QObject::event(e);
    }
};

}  // namespace

TEST(Frame, FormsCarryEveryControlWithItsTextsAndIcons) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(NewExe(dir));
    for (const Control& c : kControls) {
        SCOPED_TRACE(c.name);
        QWidget* widget = w->findChild<QWidget*>(c.name);
        ASSERT_TRUE(widget);
        if (c.text) {
            EXPECT_EQ(TextOf(widget), QString(c.text));
        }
        if (c.toolTip) {
            EXPECT_EQ(widget->toolTip(), QString(c.toolTip));
        }
        if (c.statusTip) {
            EXPECT_EQ(widget->statusTip(), QString(c.statusTip));
        }
        if (c.icon) {
            EXPECT_TRUE(SameIcon(IconOf(widget), c.icon));
        }
    }
    auto& frame = MainWindowFixture::Frame(*w);
    EXPECT_EQ(frame.menuOptions->title(), "Options");
    EXPECT_EQ(frame.menuMovie->title(), "Movie");
    EXPECT_EQ(frame.m_aboutAction->text(), "About");
    EXPECT_EQ(frame.m_actionQuicktimeVR->text(), "Quicktime VR");
    EXPECT_TRUE(frame.menuOptions->actions().contains(frame.m_aboutAction));
    EXPECT_TRUE(frame.menuMovie->actions().contains(frame.m_actionQuicktimeVR));
    EXPECT_EQ(frame.m_statusLogLabel->text(), "Status log");
    EXPECT_FALSE(frame.m_bannerLabel->pixmap().isNull());
    auto& project = MainWindowFixture::ProjectPage(*w);
    EXPECT_EQ(project.m_actionSaveProject->text(), "Save the current project");
    EXPECT_TRUE(SameIcon(project.m_actionSaveProject->icon(), ":/images/IconFloppySave.png"));
    EXPECT_EQ(project.m_actionSaveProjectAs->text(), "Save the current project as...");
    EXPECT_TRUE(project.m_saveProjectToolButton->actions().contains(project.m_actionSaveProject));
    EXPECT_TRUE(project.m_saveProjectToolButton->actions().contains(project.m_actionSaveProjectAs));
    EXPECT_EQ(project.m_currentProjectLineEdit->text(), "New project");
    EXPECT_EQ(project.m_projectHeadingLabel->text(), " 1. Project");
    EXPECT_EQ(MainWindowFixture::MatchingPage(*w).m_matchingHeadingLabel->text(), " 2. Matching");
    auto& panorama = MainWindowFixture::PanoramaPage(*w);
    EXPECT_EQ(panorama.m_panoramaHeadingLabel->text(), " 3. Panorama");
    EXPECT_EQ(panorama.m_imageRotationDSpinBox->minimum(), -180);
    EXPECT_EQ(panorama.m_imageRotationDSpinBox->maximum(), 180);
    EXPECT_EQ(panorama.m_imageRotationDSpinBox->singleStep(), 0.5);
    EXPECT_EQ(panorama.m_imageRotationDSpinBox->decimals(), 2);
    for (QSpinBox* box : {panorama.m_imageSizeSpinBox, panorama.m_previewImageSizeSpinBox}) {
        EXPECT_EQ(box->minimum(), 128);
        EXPECT_EQ(box->maximum(), kMaxPanoramaSize);
        EXPECT_EQ(box->singleStep(), 128);
        EXPECT_EQ(box->value(), 1024);
    }
    EXPECT_TRUE(panorama.m_crop360CheckBox->isChecked());
    // Every picture the program names is compiled in.
    for (const char* name : {"IconFloppySave", "IconLineEdit", "IconRedFrame", "IconBlueFrame", "IconVedora"})
        EXPECT_FALSE(QPixmap(QString(":/images/%1.png").arg(name)).isNull()) << name;
    EXPECT_FALSE(QPixmap(":/images/banner3.jpg").isNull());
}

TEST(Frame, SplittersStatusBarAndPages) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(NewExe(dir));
    auto& frame = MainWindowFixture::Frame(*w);
    for (QSplitter* s : {frame.m_horzSplitter, frame.m_vertSplitter}) {
        EXPECT_EQ(s->handleWidth(), 7);
        EXPECT_EQ(s->styleSheet(),
                  "QSplitter::handle:hover\t\t{background: yellow; border-radius: 3px; border: 2px outset gray;}");
    }
    EXPECT_EQ(frame.m_horzSplitter->widget(0), frame.m_vertSplitter);
    EXPECT_EQ(frame.m_horzSplitter->widget(1), frame.m_imageViewGroupBox);
    EXPECT_EQ(frame.m_vertSplitter->widget(0), frame.m_toolBox);
    EXPECT_EQ(frame.m_horzSplitter->widget(0)->sizePolicy().horizontalStretch(), 0);
    EXPECT_EQ(frame.m_horzSplitter->widget(1)->sizePolicy().horizontalStretch(), 1);
    EXPECT_EQ(frame.m_vertSplitter->widget(0)->sizePolicy().verticalStretch(), 1);
    EXPECT_EQ(frame.m_vertSplitter->widget(1)->sizePolicy().verticalStretch(), 0);

    QLabel* project = MainWindowFixture::ProjectLabel(*w);
    QLabel* view = MainWindowFixture::ViewLabel(*w);
    EXPECT_EQ(project->text(), " New project ");
    QList<QLabel*> labels = w->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_LT(labels.indexOf(project), labels.indexOf(view));

    // Pages: the project page first; each task button shows its page.
    EXPECT_EQ(frame.m_toolBox->count(), 3);
    EXPECT_EQ(frame.m_toolBox->currentWidget(), MainWindowFixture::Page(*w, 0));
    w->show();
    QTest::mouseClick(frame.m_matchingToolButton, Qt::LeftButton);
    EXPECT_EQ(frame.m_toolBox->currentWidget(), MainWindowFixture::Page(*w, 1));
    QTest::mouseClick(frame.m_panoramaToolButton, Qt::LeftButton);
    EXPECT_EQ(frame.m_toolBox->currentWidget(), MainWindowFixture::Page(*w, 2));
    EXPECT_TRUE(frame.m_panoramaToolButton->isChecked());
    EXPECT_FALSE(frame.m_projectToolButton->isChecked());
    QTest::mouseClick(frame.m_projectToolButton, Qt::LeftButton);
    EXPECT_EQ(frame.m_toolBox->currentWidget(), MainWindowFixture::Page(*w, 0));

    // The view label follows the view's size and the zoom.
    QWidget* container = MainWindowFixture::View(*w).m_viewContainer;
    w->resize(1000, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->text(), QString(" View:[%1x%2] Zoom:1.00 ").arg(container->width()).arg(container->height()));
    MainWindowFixture::SetZoom(*w, 0.5);
    EXPECT_EQ(view->text(),
              QString(" View:[%1x%2] Zoom:0.50 ").arg(container->width() * 2).arg(container->height() * 2));
}

TEST(Frame, SaveIndicatorTurnsRedForUnsavedWorkAndGreenAfterASave) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(NewExe(dir));
    QLabel* label = MainWindowFixture::ProjectLabel(*w);
    const QString green = "background-color: rgb(0,210,0)", red = "background-color: rgb(250,0,0)";
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    // The first run comes a second after the first paint.
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->styleSheet() == green; }, 1500));

    // A new project with pictures is unsaved work.
    MainWindowFixture::SetSourcePictureCount(*w, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->styleSheet() == red; }, 1100));

    QString file = dir.filePath("p.vdp");
    w.prompts->AnswerSaveFile(file);
    MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
    EXPECT_EQ(MainWindowFixture::CurrentProjectPath(*w), file.toUtf8().constData());
    EXPECT_FALSE(MainWindowFixture::Engine(*w).IsDirty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->styleSheet() == green; }, 1100));

    MainWindowFixture::Engine(*w).SetDirty(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->styleSheet() == red; }, 1100));
    MainWindowFixture::ProjectPage(*w).m_actionSaveProject->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->styleSheet() == green; }, 1100));
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(Frame, StatusLogClearsAndTheMenusAnswer) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(NewExe(dir));
    auto& frame = MainWindowFixture::Frame(*w);
    w->Log("Extracting features ");
    w->Log("...");
    EXPECT_EQ(frame.m_statusTextEdit->toPlainText(), "Extracting features ...");
    w->show();
    QTest::mouseClick(frame.m_clearLogToolButton, Qt::LeftButton);
    EXPECT_TRUE(frame.m_statusTextEdit->toPlainText().isEmpty());

    bool banner = false;
    w.prompts->AnswerDialog(QDialog::Accepted, [&](QDialog& d) {
        auto* about = dynamic_cast<AboutDialog*>(&d);
        banner = about && !about->ui.m_bannerLabel->pixmap().isNull() &&
                 about->ui.m_textBrowser->toPlainText().contains("panorama");
    });
    frame.m_aboutAction->trigger();
    EXPECT_EQ(w.prompts->Last().title, "Vedora 1.02");
    EXPECT_TRUE(banner);

    w->SetQuickTimeAvailable(false);
    w.prompts->ExpectWarn();
    frame.m_actionQuicktimeVR->trigger();
    EXPECT_EQ(w.prompts->Last().text,
              "Quicktime could not be initialized.\nYou must install Quicktime in order to use this function.\n");
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(Frame, TheCommandLineProjectIsOpenedAfterTheFirstPaint) {
    QTemporaryDir dir;
    TestWindow w = OpenWindow(NewExe(dir), "C:/data/p.vdp");
    EXPECT_EQ(MainWindowFixture::StartupProjectPath(*w), "C:/data/p.vdp");
    EXPECT_TRUE(MainWindowFixture::Frame(*w).m_statusTextEdit->toPlainText().isEmpty());
    // No such project here: after the first paint the load fails with its message.
    w.prompts->ExpectWarn();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.prompts->Pending() == 0; }, 1000));
    QString log = MainWindowFixture::Frame(*w).m_statusTextEdit->toPlainText();
    EXPECT_TRUE(log.contains("Loading project '")) << log.toStdString();
    const QString reason = "The project could not be loaded (missing, damaged or not a project): ";
    EXPECT_TRUE(log.contains("C:/data/p.vdp' \n" + reason)) << log.toStdString();
    EXPECT_TRUE(log.endsWith(" failed\n")) << log.toStdString();
    EXPECT_TRUE(w.prompts->Last().text.startsWith("The project could not be loaded !\n" + reason));
}

TEST(Notify, AnExceptionFromAnEventHandlerIsShownAndRethrown) {
    auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance());
    ASSERT_TRUE(app);
    ScriptedPrompts prompts;
    app->SetPrompts(&prompts);
    Thrower thrower;
    QEvent event(QEvent::User);
    prompts.ExpectWarn();
    try {
        app->notify(&thrower, &event);
        ADD_FAILURE() << "not rethrown";
    } catch (const char* message) {
        EXPECT_STREQ(message, "boom");
    }
    EXPECT_EQ(prompts.Last().title, "Exception");
    EXPECT_EQ(prompts.Last().text, "Exception in notify(): boom!");

    thrower.kind = 1;
    prompts.ExpectWarn();
    EXPECT_THROW(app->notify(&thrower, &event), std::runtime_error);
    EXPECT_EQ(prompts.Last().title, "Exception");
    EXPECT_EQ(prompts.Last().text, "Unknown exception in notify()!");
    app->SetPrompts(nullptr);
}
