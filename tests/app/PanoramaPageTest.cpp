// The panorama page driven through its widgets with scripted prompts: the parameter editors,
// the stitch and the preview on a ring that closes a full turn, the crop frame with its
// 360-degree marker, the manual crop, saving, aborting and bad input.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QProgressDialog>
#include <QSpinBox>
#include <QToolButton>

#include <cmath>

#include "PanoramaTestSupport.h"
#include "support/ExifTags.h"
#include "support/RunProgram.h"
#include "view/GuiTypes.h"

namespace {

// Counts the progress dialogs that were shown while it lives.
class ProgressDialogWatch : public QObject {
public:
    ProgressDialogWatch() { qApp->installEventFilter(this); }
    ~ProgressDialogWatch() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(watched))
            ++shown;
        return false;
    }
};

Ui::PanoramaForm& Page(TestWindow& w) { return MainWindowFixture::PanoramaPage(*w); }

ImgRGB Decoded(const QString& path) {
    ImgRGB image;
    EXPECT_TRUE(LoadImageFile(image, 0, path)) << path.toStdString();
    return image;
}

}  // namespace

TEST(PanoramaPage, FormEditorsWriteTheEngineOnlyWhenTheyDiffer) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    Ui::PanoramaForm& page = Page(w);
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    EXPECT_EQ(page.m_imageRotationDSpinBox->minimum(), -180);
    EXPECT_EQ(page.m_imageRotationDSpinBox->maximum(), 180);
    EXPECT_EQ(page.m_imageRotationDSpinBox->singleStep(), 0.5);
    EXPECT_EQ(page.m_imageRotationDSpinBox->decimals(), 2);
    for (QSpinBox* box : {page.m_imageSizeSpinBox, page.m_previewImageSizeSpinBox}) {
        EXPECT_EQ(box->minimum(), 128);
        EXPECT_EQ(box->maximum(), kMaxPanoramaSize);
        EXPECT_EQ(box->singleStep(), 128);
        EXPECT_EQ(box->value(), 1024);
    }
    EXPECT_TRUE(page.m_crop360CheckBox->isChecked());
    EXPECT_EQ(page.m_stitchParametersToolButton->toolTip(), "Stitch paramters...");
    EXPECT_EQ(page.m_stitchPreviewPushButton->text(), "Preview stitch  ");
    EXPECT_EQ(page.m_cropPushButton->text(), " Crop panorama manually ");
    EXPECT_EQ(page.m_savePanoramaPushButton->toolTip(), "Save panorama... (CurrentPath: " + QDir::homePath() + "/)");
    for (QAbstractButton* button : {static_cast<QAbstractButton*>(page.m_stitchParametersToolButton),
                                    static_cast<QAbstractButton*>(page.m_stitchPreviewPushButton),
                                    static_cast<QAbstractButton*>(page.m_cropPushButton),
                                    static_cast<QAbstractButton*>(page.m_savePanoramaPushButton)})
        EXPECT_FALSE(button->icon().isNull()) << button->objectName().toStdString();

    engine.SetDirty(false);
    page.m_imageRotationDSpinBox->setValue(90);
    EXPECT_EQ(engine.GetPanoramaImageRotation(), 1.5707963267948966);
    EXPECT_TRUE(engine.IsDirty());
    page.m_imageSizeSpinBox->setValue(2048);
    page.m_previewImageSizeSpinBox->setValue(512);
    page.m_crop360CheckBox->setChecked(false);
    EXPECT_EQ(engine.GetPanoramaImageSize(), 2048);
    EXPECT_EQ(engine.GetPanoramaPreviewImageSize(), 512);
    EXPECT_FALSE(engine.GetDoCrop360Degrees());
    // The same value again is no change.
    engine.SetDirty(false);
    QMetaObject::invokeMethod(w.window.get(), "OnPanoramaImageSize", Q_ARG(int, 2048));
    QMetaObject::invokeMethod(w.window.get(), "OnEnableCrop360Degrees", Q_ARG(int, 0));
    QMetaObject::invokeMethod(w.window.get(), "OnPanoramaImageRotation", Q_ARG(double, 90.0));
    EXPECT_FALSE(engine.IsDirty());

    // A saved project shows its own values when it is opened again, and showing them (rounded
    // to the boxes' decimals) neither changes them nor marks the project modified.
    const double rotation = 10.123456 * 0.017453292519943295;
    engine.SetPanoramaImageRotation(rotation);
    AddPhotos(w, Photos({0, 1}));
    const QString project = dir.filePath("values.vdp");
    w.prompts->AnswerSaveFile(project);
    MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
    ASSERT_FALSE(engine.IsDirty());
    MainWindowFixture::LoadProject(*w, Zelvo::Chars());
    EXPECT_EQ(page.m_imageSizeSpinBox->value(), 1024);
    EXPECT_EQ(page.m_imageRotationDSpinBox->value(), 0);
    EXPECT_TRUE(page.m_crop360CheckBox->isChecked());
    ASSERT_TRUE(MainWindowFixture::LoadProject(*w, project.toUtf8().constData()));
    EXPECT_EQ(page.m_imageSizeSpinBox->value(), 2048);
    EXPECT_EQ(page.m_previewImageSizeSpinBox->value(), 512);
    EXPECT_DOUBLE_EQ(page.m_imageRotationDSpinBox->value(), 10.12);
    EXPECT_FALSE(page.m_crop360CheckBox->isChecked());
    // The file keeps the angle to a few decimals; what it holds stays as read, not as shown.
    EXPECT_NEAR(engine.GetPanoramaImageRotation(), rotation, 1e-5);
    EXPECT_NE(engine.GetPanoramaImageRotation(), 10.12 * 0.017453292519943295);
    EXPECT_FALSE(engine.IsDirty());
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(PanoramaPage, NothingToStitchCropOrSave) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    Ui::PanoramaForm& page = Page(w);
    {
        ProgressDialogWatch watch;
        page.m_stitchPushButton->click();
        EXPECT_EQ(watch.shown, 1);
        page.m_stitchPreviewPushButton->click();
        EXPECT_EQ(watch.shown, 2);
    }
    EXPECT_EQ(MainWindowFixture::CurrentProgress(*w), nullptr);
    EXPECT_TRUE(w->findChildren<QProgressDialog*>().isEmpty());
    EXPECT_EQ(MainWindowFixture::PanoramaPictureCount(*w), 0u);
    EXPECT_TRUE(LogText(*w).isEmpty());

    page.m_cropPushButton->click();
    EXPECT_EQ(MainWindowFixture::PanoramaPictureCount(*w), 0u);
    EXPECT_EQ(MainWindowFixture::CropFrame(*w), nullptr);

    w.prompts->ExpectInform();
    page.m_savePanoramaPushButton->click();
    EXPECT_EQ(w.prompts->Last().title, "Vedora 1.02");
    EXPECT_EQ(w.prompts->Last().text,
              "There is no crop image to save.\n Please stitch and crop a panorama image first.");
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

TEST(PanoramaPage, RingStitchCropFrameMarkerManualCropAndSave) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddAndMatchRing(w);
    Ui::PanoramaForm& page = Page(w);
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    page.m_stitchPushButton->click();
    ASSERT_EQ(MainWindowFixture::PanoramaPictureCount(*w), 2u) << LogText(*w).toStdString();
    GuiBitmap* stitch = StitchPicture(*w);
    GuiBitmap* crop = CropPicture(*w);
    ASSERT_TRUE(stitch && crop);
    EXPECT_EQ(std::max(stitch->Image().width, stitch->Image().height), 1024);
    EXPECT_EQ(stitch->Width(), stitch->Image().width);
    EXPECT_EQ(crop->Width(), crop->Image().width);
    EXPECT_EQ(stitch->TextureLimit(), 1024);
    EXPECT_EQ(crop->TextureLimit(), 2048);
    // The crop image stands below the stitched panorama.
    EXPECT_GE(crop->TopLeft().y, stitch->TopLeft().y + stitch->Height());

    // The frame: yellow, movable, resizable, kept inside the panorama, at the automatic crop.
    GuiRect* frame = MainWindowFixture::CropFrame(*w);
    ASSERT_TRUE(Shown(frame));
    EXPECT_EQ(frame->Layer(), &stitch->ChildLayer());
    EXPECT_EQ(frame->Color().r, 1);
    EXPECT_EQ(frame->Color().g, 1);
    EXPECT_EQ(frame->Color().b, 0);
    EXPECT_EQ(frame->Flags(), unsigned(kGuiVisible | kGuiMovable | kGuiResizable | kGuiKeepInside));
    const int turn = engine.Width360();
    ASSERT_GT(turn, 0);
    // A closed panorama crops one turn; the automatic frame is as high as that crop.
    EXPECT_EQ(crop->Image().width, turn);
    EXPECT_NEAR(frame->Height(), crop->Image().height, 1);
    EXPECT_GT(frame->Width(), turn);
    EXPECT_LE(frame->TopLeft().x + frame->Width(), stitch->Image().width + 0.5);

    // The red marker covers the part of the frame beyond one turn.
    GuiRect* marker = MainWindowFixture::Marker360(*w);
    ASSERT_TRUE(Shown(marker));
    EXPECT_EQ(marker->Color().r, 1);
    EXPECT_EQ(marker->Color().g, 0);
    const double excess = frame->Width() - turn;
    EXPECT_NEAR(marker->Width(), excess, 1e-9);
    EXPECT_NEAR(marker->Height(), frame->Height(), 1e-9);
    EXPECT_NEAR(marker->TopLeft().x, frame->TopLeft().x + turn, 1e-9);
    EXPECT_NEAR(marker->TopLeft().y, frame->TopLeft().y, 1e-9);

    // Narrowed by its right handle to well under one turn, the frame has no marker.
    const PointD tl = frame->TopLeft();
    const double w0 = frame->Width(), h0 = frame->Height();
    DragInView(*w, *frame, {tl.x + w0, tl.y + h0 / 2}, {tl.x + 0.6 * turn, tl.y + h0 / 2});
    EXPECT_LT(frame->Width(), turn);
    EXPECT_NEAR(frame->Height(), h0, 1e-6);
    EXPECT_FALSE(Shown(marker));
    // Moved by its top edge: right and down; it stays inside the panorama.
    const PointD grab{tl.x + frame->Width() / 3, tl.y};
    DragInView(*w, *frame, grab, grab + PointD{0.1 * turn, 5000});
    EXPECT_NEAR(frame->TopLeft().x, tl.x + 0.1 * turn, 1);
    EXPECT_NEAR(frame->TopLeft().y + frame->Height(), stitch->Image().height, 1);
    // Pressed inside, far from its outline, with nothing selected: the frame moves, the
    // panorama beneath stays.
    MainWindowFixture::ViewManager(*w).Select(nullptr);
    const PointD stitchAt = stitch->TopLeft();
    const PointD before = frame->TopLeft();
    const PointD inside{before.x + frame->Width() / 2, before.y + frame->Height() / 2};
    DragInView(*w, *frame, inside, inside + PointD{-0.05 * turn, 0});
    EXPECT_NEAR(frame->TopLeft().x, before.x - 0.05 * turn, 1);
    EXPECT_EQ(stitch->TopLeft().x, stitchAt.x);
    EXPECT_EQ(stitch->TopLeft().y, stitchAt.y);

    // The manual crop takes the frame.
    page.m_cropPushButton->click();
    crop = CropPicture(*w);
    EXPECT_EQ(crop->Image().width, int(frame->Width()));
    EXPECT_EQ(crop->Image().height, int(frame->Height()));
    EXPECT_EQ(crop->Width(), crop->Image().width);
    // Moved to the left edge and widened to the right edge, past the turn: the marker is back
    // and the crop is one turn wide.
    const PointD top{frame->TopLeft().x + frame->Width() / 3, frame->TopLeft().y};
    DragInView(*w, *frame, top, top - PointD{double(stitch->Image().width), 0});
    EXPECT_NEAR(frame->TopLeft().x, 0, 1e-6);
    const PointD right{frame->Width(), frame->TopLeft().y + frame->Height() / 2};
    DragInView(*w, *frame, right, {double(stitch->Image().width), right.y});
    ASSERT_GT(frame->Width(), turn) << "the right handle did not widen the frame";
    EXPECT_TRUE(Shown(marker));
    page.m_cropPushButton->click();
    EXPECT_EQ(CropPicture(*w)->Image().width, turn);
    // Without the 360-degree option the crop takes the whole frame.
    page.m_crop360CheckBox->setChecked(false);
    page.m_cropPushButton->click();
    EXPECT_EQ(CropPicture(*w)->Image().width, int(frame->Width()));

    // Saving: a PNG decodes to the crop image's pixels; the folder is remembered.
    const QString png = dir.filePath("pano.png");
    w.prompts->AnswerSaveFile(png);
    page.m_savePanoramaPushButton->click();
    EXPECT_TRUE(SamePixels(Decoded(png), CropPicture(*w)->Image()));
    // With the metadata vedora-stitch writes.
    EXPECT_EQ(FileMetadata(png.toStdString()).Exif("Exif.Image.Software"), "Vedora 1.02");
    EXPECT_EQ(FileMetadata(png.toStdString()).Exif("Exif.Photo.PixelXDimension"),
              std::to_string(CropPicture(*w)->Image().width));
    // More than one turn wide, it is no part of a sphere: said after the save.
    EXPECT_TRUE(LogText(*w).endsWith("Saving the panorama to " + png +
                                     " ... done\nThe panorama's file is written without part of its metadata: the "
                                     "panorama is wider or higher than the full sphere: it is written without "
                                     "photo-sphere metadata.\n"))
        << LogText(*w).toStdString();
    EXPECT_EQ(w.prompts->Last().text, QDir::homePath() + "/");  // where the dialog opened
    EXPECT_EQ(page.m_savePanoramaPushButton->toolTip(), "Save panorama... (CurrentPath: " + dir.path() + "/)");
    EXPECT_EQ(Attr(MainWindowFixture::Settings(*w).Root()->FindChild("CurrentImagePath", false), "currentPath"),
              (dir.path() + "/").toUtf8().constData());

    // A name without a suffix is saved as JPEG; the next time the dialog opens in that folder.
    w.prompts->AnswerSaveFile(dir.filePath("plain"));
    page.m_savePanoramaPushButton->click();
    EXPECT_EQ(w.prompts->Last().text, dir.path() + "/");
    ASSERT_TRUE(QFile::exists(dir.filePath("plain.jpg")));
    EXPECT_EQ(FileBytes(dir.filePath("plain.jpg")).left(2), QByteArray("\xff\xd8"));
    const QByteArray jpeg = FileBytes(dir.filePath("plain.jpg"));
    // Again: "No" keeps the file and says so; "Yes" writes it again.
    w.prompts->AnswerSaveFile(dir.filePath("plain"));
    w.prompts->AnswerStandard(QMessageBox::No);
    w.prompts->ExpectInform();
    page.m_savePanoramaPushButton->click();
    EXPECT_EQ(w.prompts->Last().text, "Could not save the panorama image!");
    EXPECT_EQ(FileBytes(dir.filePath("plain.jpg")), jpeg);
    page.m_crop360CheckBox->setChecked(true);
    page.m_cropPushButton->click();
    w.prompts->AnswerSaveFile(dir.filePath("plain"));
    w.prompts->AnswerStandard(QMessageBox::Yes);
    page.m_savePanoramaPushButton->click();
    EXPECT_EQ(Decoded(dir.filePath("plain.jpg")).width, turn);
    // One closed turn of the sphere: the full sphere's width is the image's.
    const FileMetadata sphere(dir.filePath("plain.jpg").toStdString());
    EXPECT_EQ(sphere.XmpNumber("Xmp.GPano.CroppedAreaImageWidthPixels"), turn);
    EXPECT_NEAR(sphere.XmpNumber("Xmp.GPano.FullPanoWidthPixels"), turn, 1);
    EXPECT_LT(sphere.XmpNumber("Xmp.GPano.CroppedAreaLeftPixels"), turn);
    EXPECT_EQ(w.prompts->Pending(), 0u);

    // A TIFF keeps 16 bits a channel; reduced to 8 it is the crop image.
    const QString tiff = dir.filePath("pano.tif");
    w.prompts->AnswerSaveFile(tiff);
    page.m_savePanoramaPushButton->click();
    const QImage wide(tiff);
    EXPECT_EQ(wide.depth(), 64);
    const int difference = LargestDifference(Decoded(tiff), CropPicture(*w)->Image());
    EXPECT_GE(difference, 0);
    EXPECT_LE(difference, 1);
    EXPECT_TRUE(w.prompts->Last().buttons.contains("16-bit TIFF (*.tif *.tiff)"));

    // A format without a writer fails, logs the messages and leaves nothing behind.
    w.prompts->AnswerSaveFile(dir.filePath("pano.gif"));
    page.m_savePanoramaPushButton->click();
    EXPECT_TRUE(LogText(*w).contains("pano.gif ... failed\n\ncannot write " + dir.filePath("pano.gif") +
                                     ": .gif files are not written here"))
        << LogText(*w).toStdString();
    EXPECT_TRUE(LogText(*w).endsWith("\n\nCould not save the panorama image!\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath("pano.gif")));
    EXPECT_TRUE(HiddenFiles(dir.path()).isEmpty()) << HiddenFiles(dir.path()).join(" ").toStdString();
    // An old file of that name is left as it was; so is everything when the folder is missing.
    {
        QFile old(dir.filePath("old.gif"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("GIF89a old");
    }
    w.prompts->AnswerSaveFile(dir.filePath("old.gif"));
    page.m_savePanoramaPushButton->click();
    EXPECT_EQ(FileBytes(dir.filePath("old.gif")), QByteArray("GIF89a old"));
    EXPECT_TRUE(LogText(*w).contains("old.gif ... failed\n\ncannot write "));
    EXPECT_TRUE(LogText(*w).endsWith("\n\nCould not save the panorama image!\n"));
    w.prompts->AnswerSaveFile(dir.filePath("missing/pano.png"));
    page.m_savePanoramaPushButton->click();
    EXPECT_TRUE(LogText(*w).contains("missing/pano.png ... failed\n\n")) << LogText(*w).toStdString();
    EXPECT_TRUE(LogText(*w).contains("missing")) << LogText(*w).toStdString();
    EXPECT_TRUE(LogText(*w).endsWith("\n\nCould not save the panorama image!\n"));
    EXPECT_TRUE(HiddenFiles(dir.path()).isEmpty());

    // A preview replaces the stitched panorama, hides the frame and removes the crop image.
    page.m_stitchPreviewPushButton->click();
    EXPECT_EQ(MainWindowFixture::PanoramaPictureCount(*w), 1u);
    ASSERT_NE(StitchPicture(*w), nullptr);
    EXPECT_EQ(CropPicture(*w), nullptr);
    EXPECT_FALSE(Shown(frame));
    EXPECT_FALSE(Shown(marker));
    page.m_cropPushButton->click();
    EXPECT_EQ(CropPicture(*w), nullptr);
    w.prompts->ExpectInform();
    page.m_savePanoramaPushButton->click();
    EXPECT_EQ(w.prompts->Last().text,
              "There is no crop image to save.\n Please stitch and crop a panorama image first.");
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

// The window and vedora-stitch run the same engine code: the same project gives the same
// cropped panorama, pixel for pixel.
TEST(PanoramaPage, TheWindowStitchesWhatVedoraStitchWrites) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddAndMatchRing(w);
    const QString project = dir.filePath("ring.vdp");
    w.prompts->AnswerSaveFile(project);
    MainWindowFixture::ProjectPage(*w).m_actionSaveProjectAs->trigger();
    ASSERT_TRUE(MainWindowFixture::LoadProject(*w, project.toUtf8().constData()));
    Ui::PanoramaForm& page = Page(w);
    page.m_stitchPushButton->click();
    ASSERT_NE(CropPicture(*w), nullptr) << LogText(*w).toStdString();
    page.m_cropPushButton->click();  // the automatic frame, untouched
    const QString saved = dir.filePath("window.png");
    w.prompts->AnswerSaveFile(saved);
    page.m_savePanoramaPushButton->click();

    const std::string written = dir.filePath("cli.png").toStdString();
    RunResult run = RunProgram(VEDORA_STITCH, {"-q", "-o", written, project.toStdString()}, dir.path().toStdString());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(SamePixels(Decoded(saved), Decoded(QString::fromStdString(written))));
    EXPECT_EQ(w.prompts->Pending(), 0u);

    // The status log's menu gives the report vedora-stitch writes with --report, as text: all
    // twelve photographs of the ring registered, and a line for each of its pairs.
    QAction* report = w->findChild<QAction*>("m_qualityReportAction");
    ASSERT_NE(report, nullptr);
    report->trigger();
    const QString log = LogText(*w);
    const qsizetype at = log.lastIndexOf("Quality report\n");
    ASSERT_GE(at, 0) << log.toStdString();
    const QString text = log.mid(at);
    EXPECT_TRUE(text.contains("12 of 12 photographs registered")) << text.toStdString();
    EXPECT_GE(text.count(" px rms ("), 12) << text.toStdString();
    EXPECT_TRUE(text.contains("render: ")) << text.toStdString();
}

// An abort at any step of the stitch leaves no panorama picture and a window that stitches
// again; so does a photograph that went missing after matching.
TEST(PanoramaPage, AbortAndAMissingPhotographLeaveNoPictures) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    const QStringList files = CopyPhotos(dir.path(), {0, 1, 2});
    AddPhotos(w, files);
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    engine.SetGeneticSeed(7);
    ASSERT_TRUE(engine.FindOverlappingImages());
    Ui::PanoramaForm& page = Page(w);
    page.m_imageSizeSpinBox->setValue(512);
    page.m_stitchPushButton->click();
    ASSERT_EQ(MainWindowFixture::PanoramaPictureCount(*w), 2u);
    int steps = 0;
    engine.SetProgressHook([&](int, int) { ++steps; });
    page.m_stitchPushButton->click();
    ASSERT_GT(steps, 3);

    int aborted = 0;
    for (int abortAt : {1, steps / 3, 2 * steps / 3}) {
        int calls = 0;
        engine.SetProgressHook([&](int, int) {
            if (++calls == abortAt)
                MainWindowFixture::CurrentProgress(*w)->cancel();
        });
        page.m_stitchPushButton->click();
        EXPECT_EQ(MainWindowFixture::PanoramaPictureCount(*w), 0u) << "abort at step " << abortAt;
        // An abort in the photometric fit is reported as the fit's failure.
        const QString log = LogText(*w);
        EXPECT_EQ(log.count("\nAborted!\n") + log.count("Photometric fit failed\n"), ++aborted)
            << "abort at step " << abortAt;
        engine.SetProgressHook({});
        page.m_stitchPushButton->click();
        EXPECT_EQ(MainWindowFixture::PanoramaPictureCount(*w), 2u) << "after the abort at " << abortAt;
    }

    ASSERT_TRUE(QFile::remove(files[1]));
    page.m_stitchPushButton->click();
    EXPECT_EQ(MainWindowFixture::PanoramaPictureCount(*w), 0u);
    EXPECT_EQ(MainWindowFixture::CurrentProgress(*w), nullptr);
    EXPECT_TRUE(LogText(*w).contains("Could not load a image")) << LogText(*w).toStdString();
    w.prompts->ExpectInform();
    page.m_savePanoramaPushButton->click();
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

// A panorama larger than its pictures' textures stays in the engine: the pictures hold copies
// reduced to their texture limits at the panorama's size in the scene, the crop frame is in the
// panorama's own pixels, and crops and saves come from the full resolution.
TEST(PanoramaPage, ALargePanoramaIsShownReducedAndCroppedAndSavedAtFullResolution) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddAndMatchRing(w);
    Ui::PanoramaForm& page = Page(w);
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    MainWindowFixture::Limits(*w).stitchImage = 256;
    MainWindowFixture::Limits(*w).cropImage = 300;
    page.m_crop360CheckBox->setChecked(false);
    page.m_imageSizeSpinBox->setValue(1400);
    page.m_stitchPushButton->click();
    ASSERT_TRUE(engine.HasPanorama());
    GuiBitmap* stitch = StitchPicture(*w);
    GuiBitmap* crop = CropPicture(*w);
    ASSERT_NE(stitch, nullptr);
    ASSERT_NE(crop, nullptr);
    EXPECT_EQ(engine.PanoramaWidth(), 1400);
    EXPECT_LE(std::max(stitch->Image().width, stitch->Image().height), 256);
    EXPECT_EQ(stitch->Width(), 1400);
    EXPECT_EQ(stitch->Height(), engine.PanoramaHeight());
    EXPECT_LE(std::max(crop->Image().width, crop->Image().height), 300);
    const RectD automatic = engine.AutomaticCrop();
    EXPECT_EQ(crop->Width(), std::trunc(automatic.width));

    // The saved crop has every pixel of the panorama, and equals the engine's own crop.
    w.prompts->AnswerSaveFile(dir.filePath("whole.png"));
    page.m_savePanoramaPushButton->click();
    const ImgRGB saved = Decoded(dir.filePath("whole.png"));
    EXPECT_EQ(saved.width, static_cast<int>(automatic.width));
    EXPECT_EQ(saved.height, static_cast<int>(automatic.height));
    ImgRGB full;
    ASSERT_TRUE(engine.PanoramaImage(automatic, 0, full));
    EXPECT_TRUE(SamePixels(saved, full));

    // A frame moved by hand crops the full panorama in its own pixels.
    GuiRect* frame = MainWindowFixture::CropFrame(*w);
    ASSERT_NE(frame, nullptr);
    frame->SetTopLeft({100, 10});
    frame->SetWidth(600);
    frame->SetHeight(120);
    page.m_cropPushButton->click();
    EXPECT_EQ(crop->Width(), 600);
    EXPECT_LE(crop->Image().width, 300);
    w.prompts->AnswerSaveFile(dir.filePath("part.tif"));
    page.m_savePanoramaPushButton->click();
    const ImgRGB part = Decoded(dir.filePath("part.tif"));
    EXPECT_EQ(part.width, 600);
    EXPECT_EQ(part.height, 120);
    ImgRGB expected;
    ASSERT_TRUE(engine.PanoramaImage(RectD{100, 10, 600, 120}, 0, expected));
    // The TIFF holds 16 bits a channel: within a level of the 8-bit picture.
    EXPECT_GE(LargestDifference(part, expected), 0);
    EXPECT_LE(LargestDifference(part, expected), 1);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}
