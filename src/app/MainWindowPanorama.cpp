// The panorama page: the stitch parameters, the preview and the final stitch into the pictures
// "stitchImage" and "cropImage", the crop frame with its 360-degree marker, the manual crop and
// saving the cropped panorama.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>

#include <new>
#include <string>

#include "app/MainWindow.h"
#include "app/ProjectImagePaths.h"
#include "app/WidgetTips.h"
#include "dialogs/PanoramaParametersDialog.h"
#include "view/GuiBitmap.h"
#include "view/GuiMgr.h"

namespace {

const char* const kStitchImage = "stitchImage";
const char* const kCropImage = "cropImage";

// The file is written at the best JPEG quality; the other formats ignore it.
constexpr int kPanoramaQuality = 100;

// Gap between the panorama pictures and what stands above them, in scene units.
constexpr double kPictureGap = 50;
constexpr double kPanoramaGap = 20;

}  // namespace

void MainWindow::ConnectPanoramaPage() {
    Ui::PanoramaForm& page = panoramaUi;
    connect(page.m_stitchParametersToolButton, &QToolButton::released, this, &MainWindow::OnMoreStitchParameters);
    connect(page.m_imageRotationDSpinBox, &QDoubleSpinBox::valueChanged, this, &MainWindow::OnPanoramaImageRotation);
    connect(page.m_stitchPreviewPushButton, &QPushButton::released, this, &MainWindow::OnStitchPreview);
    connect(page.m_previewImageSizeSpinBox, &QSpinBox::valueChanged, this, &MainWindow::OnPanoramaPreviewImageSize);
    connect(page.m_stitchPushButton, &QPushButton::released, this, &MainWindow::OnStitchPanorama);
    connect(page.m_imageSizeSpinBox, &QSpinBox::valueChanged, this, &MainWindow::OnPanoramaImageSize);
    connect(page.m_crop360CheckBox, &QCheckBox::stateChanged, this, &MainWindow::OnEnableCrop360Degrees);
    connect(page.m_cropPushButton, &QPushButton::released, this, &MainWindow::OnCropImage);
    connect(page.m_savePanoramaPushButton, &QPushButton::released, this, &MainWindow::OnSavePanoramaImage);
}

// The editors show the engine's values without writing them back: the rotation box rounds to
// two decimals, and showing a loaded project must neither change its values nor mark it
// modified.
void MainWindow::ShowPanoramaValues() {
    Ui::PanoramaForm& page = panoramaUi;
    const QSignalBlocker size(page.m_imageSizeSpinBox), preview(page.m_previewImageSizeSpinBox),
        rotation(page.m_imageRotationDSpinBox), crop360(page.m_crop360CheckBox);
    page.m_imageSizeSpinBox->setValue(engine.GetPanoramaImageSize());
    page.m_previewImageSizeSpinBox->setValue(engine.GetPanoramaPreviewImageSize());
    page.m_imageRotationDSpinBox->setValue(engine.GetPanoramaImageRotation() *
                                           PanoramaParametersDialog::kDegreesPerRadian);
    page.m_crop360CheckBox->setChecked(engine.GetDoCrop360Degrees());
    ShowPanoramaPathTip();
}

// --- Parameters ----------------------------------------------------------------------------

void MainWindow::OnPanoramaImageSize(int size) {
    if (engine.GetPanoramaImageSize() != size)
        engine.SetPanoramaImageSize(size);
}

void MainWindow::OnPanoramaPreviewImageSize(int size) {
    if (engine.GetPanoramaPreviewImageSize() != size)
        engine.SetPanoramaPreviewImageSize(size);
}

void MainWindow::OnPanoramaImageRotation(double degrees) {
    const double radians = degrees * PanoramaParametersDialog::kRadiansPerDegree;
    if (engine.GetPanoramaImageRotation() != radians)
        engine.SetPanoramaImageRotation(radians);
}

void MainWindow::OnEnableCrop360Degrees(int state) {
    const bool on = state == Qt::Checked;
    if (engine.GetDoCrop360Degrees() != on)
        engine.SetDoCrop360Degrees(on);
}

// The dialog writes into the engine as the user edits; its "Set defaults" also resets the
// values this page shows.
void MainWindow::OnMoreStitchParameters() {
    PanoramaParametersDialog dialog(engine, this);
    dialog.setWindowTitle(tr("Stitching parameters"));
    prompts->RunDialog(dialog);
    ShowPanoramaValues();
}

// --- The panorama pictures -------------------------------------------------------------------

GuiBitmap* MainWindow::FindPanoramaPicture(const char* name) const {
    for (const auto& picture : panoramaPictures)
        if (picture->Name() == name)
            return picture.get();
    return nullptr;
}

GuiBitmap* MainWindow::PanoramaPicture(const char* name) {
    if (GuiBitmap* picture = FindPanoramaPicture(name))
        return picture;
    auto picture = std::make_unique<GuiBitmap>();
    picture->SetName(name);
    picture->SetAnchorKind(RotatedRect::kTopLeft);
    picture->SetColor(1, 1, 1, 0.5f);
    picture->SetLineWidth(2);
    RectD scene;
    picture->SetTopLeft(ViewManager().SceneBoundsOfAll(scene) ? PointD{scene.left, scene.Bottom() + kPictureGap}
                                                              : PointD{0, 0});
    ViewManager().Add(picture.get());
    // The stitched panorama comes first, as the arrangements stack them.
    auto at = std::string(name) == kStitchImage ? panoramaPictures.begin() : panoramaPictures.end();
    return panoramaPictures.insert(at, std::move(picture))->get();
}

void MainWindow::RemovePanoramaPicture(const char* name) {
    for (auto it = panoramaPictures.begin(); it != panoramaPictures.end(); ++it)
        if ((*it)->Name() == name) {
            panoramaPictures.erase(it);
            return;
        }
}

// The crop frame and the marker live on "stitchImage" and leave the view with it.
void MainWindow::RemovePanoramaPictures() {
    DropViewSelection();
    panoramaPictures.clear();
}

// The image is moved in whole, so the view never shows a picture whose pixels are half made.
GuiBitmap* MainWindow::ShowPanoramaImage(const char* name, ImgRGB&& image, int textureLimit, double width,
                                         double height) {
    GuiBitmap* picture = PanoramaPicture(name);
    picture->Image() = std::move(image);
    // The rectangle takes the panorama's size and shape, which a reduced copy has only roughly.
    picture->SetScaledSize(width, height, 1.0);
    picture->SetTextureLimit(textureLimit);
    picture->MarkForUpload();
    return picture;
}

// A large panorama stays in the engine: the picture holds a copy no larger than its texture may
// be, and crops and saves are made from the engine's full resolution.
bool MainWindow::ShowEnginePanorama(const char* name, const RectD& rect, int textureLimit) {
    ImgRGB image;
    if (!engine.PanoramaImage(rect, textureLimit, image)) {
        LogText("\n" + QString::fromStdString(engine.LastError()) + "\n");
        return false;
    }
    const stitch::CropFrame frame = engine.PanoramaFrame(rect);
    ShowPanoramaImage(name, std::move(image), textureLimit, frame.width, frame.height);
    return true;
}

void MainWindow::PlaceCropPictureBelowStitch() {
    GuiBitmap* stitch = FindPanoramaPicture(kStitchImage);
    GuiBitmap* crop = FindPanoramaPicture(kCropImage);
    if (stitch && crop)
        crop->SetTopLeft(stitch->TopLeft() + PointD{0, stitch->Height() + kPanoramaGap});
}

// --- Stitching -------------------------------------------------------------------------------

// The view draws nothing new while the engine works (it keeps its last picture): the hooks
// process events at every step, and on a software renderer each repaint of the scene costs as
// much as a step of the stitch. It shows the result once the operation is over.
bool MainWindow::RunPanoramaOperation(const QString& label, const std::function<bool()>& operation) {
    FreezeView(true);
    const bool done = RunWithProgress(label, operation);
    FreezeView(false);
    RepaintView();
    return done;
}

// The engine draws into images of its own; only a finished result replaces the pictures. A
// failure or an abort leaves no panorama picture at all rather than a stale or half-made one.
void MainWindow::OnStitchPanorama() {
    DropViewSelection();
    RunPanoramaOperation(tr("Stitching panorama ... "), [this] {
        if (engine.ImageCount() == 0)
            return false;
        if (!engine.StitchPanorama() || !ShowEnginePanorama(kStitchImage, RectD{}, textureLimits.stitchImage) ||
            !ShowEnginePanorama(kCropImage, engine.AutomaticCrop(), textureLimits.cropImage)) {
            engine.DropPanorama();
            RemovePanoramaPictures();
            FocusView();
            return false;
        }
        // A frame of 10 pixels or less crops the whole panorama; the frame then shows that.
        RectD crop = engine.AutomaticCrop();
        if (crop.width <= 10 || crop.height <= 10)
            crop = {0, 0, double(engine.PanoramaWidth()), double(engine.PanoramaHeight())};
        shownCrop = crop;
        GuiBitmap* stitch = FindPanoramaPicture(kStitchImage);
        PlaceCropPictureBelowStitch();
        ShowCropFrame(*stitch, crop);
        OnZoomToPanorama();
        RepaintView();
        return true;
    });
}

void MainWindow::OnStitchPreview() {
    DropViewSelection();
    HideCropFrame();
    RunPanoramaOperation(tr("Previewing panorama ... "), [this] {
        if (engine.ImageCount() == 0)
            return false;
        RemovePanoramaPicture(kCropImage);
        if (!engine.PreviewStitch() || !ShowEnginePanorama(kStitchImage, RectD{}, textureLimits.stitchImage)) {
            engine.DropPanorama();
            RemovePanoramaPictures();
            FocusView();
            return false;
        }
        OnZoomToPanorama();
        RepaintView();
        return true;
    });
}

// --- The crop frame --------------------------------------------------------------------------

// The frame and the marker are children of the stitched picture, so their coordinates are the
// panorama's pixels. The marker goes first and the frame has priority: where their outlines
// meet (the right edge), a press takes the frame, which is the one the user moves.
void MainWindow::ShowCropFrame(GuiBitmap& stitch, const RectD& rect) {
    if (!cropFrame) {
        cropFrame = std::make_unique<GuiRect>();
        cropFrame->SetName("cropFrame");
        cropFrame->SetAnchorKind(RotatedRect::kTopLeft);
        cropFrame->SetColor(1, 1, 0, 1);
        cropFrame->SetLineWidth(2);
        cropFrame->SetPriority(true);
        cropFrame->SetNotification([this](GuiObj*, int) { UpdateMarker360(); }, kGuiAfterDrag);
        marker360 = std::make_unique<GuiRect>();
        marker360->SetName("marker360");
        marker360->SetAnchorKind(RotatedRect::kTopLeft);
        marker360->SetColor(1, 0, 0, 1);
        marker360->SetLineWidth(2);
    }
    marker360->SetFlags(0);
    stitch.AddChild(marker360.get());
    stitch.AddChild(cropFrame.get());
    cropFrame->SetFlags(kGuiVisible | kGuiMovable | kGuiResizable | kGuiKeepInside);
    cropFrame->SetWidth(rect.width);
    cropFrame->SetHeight(rect.height);
    cropFrame->SetTopLeft({rect.left, rect.top});
    UpdateMarker360();
}

void MainWindow::HideCropFrame() {
    for (GuiRect* frame : {cropFrame.get(), marker360.get()})
        if (frame)
            frame->RemoveFromScene();
}

bool MainWindow::CropFrameShown() const {
    return cropFrame && cropFrame->Layer() && cropFrame->HasFlag(kGuiVisible) && FindPanoramaPicture(kStitchImage);
}

// The part of the frame beyond one full turn, which the 360-degree crop cuts off and blends
// into the left edge. Without a measured turn (Width360() is 0 when the estimate fails) there
// is nothing to mark: the whole frame would otherwise turn red.
void MainWindow::UpdateMarker360() {
    if (!marker360)
        return;
    const int turn = engine.TransitionTree() ? engine.Width360() : 0;
    const double excess = CropFrameShown() && turn > 0 ? cropFrame->Width() - turn : 0;
    if (excess <= 0) {
        marker360->SetFlags(0);
        return;
    }
    const PointD topLeft = cropFrame->TopLeft();
    marker360->SetWidth(excess);
    marker360->SetHeight(cropFrame->Height());
    marker360->SetTopLeft({topLeft.x + cropFrame->Width() - excess, topLeft.y});
    marker360->SetFlags(kGuiVisible);
}

void MainWindow::OnCropImage() {
    if (!CropFrameShown())
        return;
    Guarded([this] {
        const PointD topLeft = cropFrame->TopLeft();
        const RectD rect{topLeft.x, topLeft.y, cropFrame->Width(), cropFrame->Height()};
        if (!ShowEnginePanorama(kCropImage, rect, textureLimits.cropImage))
            return;
        shownCrop = rect;
        PlaceCropPictureBelowStitch();
        RepaintView();
    });
}

// --- Saving ----------------------------------------------------------------------------------

// The settings' remembered folder of panorama images, or the home directory.
QString MainWindow::PanoramaImageFolder() {
    Zelvo::XmlElement* element = settings.Root()->FindChild("CurrentImagePath", false);
    Zelvo::XmlAttribute* path = element ? element->Attribute("currentPath", false) : nullptr;
    QString folder = path && !path->Value().IsEmpty() ? FromChars(path->Value()) : QDir::homePath() + "/";
    folder.replace('\\', '/');
    return folder;
}

void MainWindow::ShowPanoramaPathTip() {
    SetTips(panoramaUi.m_savePanoramaPushButton, tr("Save panorama... (CurrentPath: %1)").arg(PanoramaImageFolder()));
}

void MainWindow::OnSavePanoramaImage() {
    const QString title = tr("Vedora 1.02");
    const GuiBitmap* crop = FindPanoramaPicture(kCropImage);
    if (panoramaPictures.size() < 2 || !crop || !crop->Image().HasPixels() || !engine.HasPanorama()) {
        prompts->Inform(title, tr("There is no crop image to save.\n Please stitch and crop a panorama image first."));
        return;
    }
    const QString start = QFileInfo(PanoramaImageFolder()).path() + "/";
    // A TIFF keeps the stitch's 16 bits a channel for further editing; the others hold 8.
    QString file = prompts->ChooseSaveFile(
        tr("Save the panorama image as..."), start,
        tr("Images (*.jpg *.jpeg *.png *.tif *.tiff *.bmp);;JPEG (*.jpg *.jpeg);;16-bit TIFF (*.tif *.tiff);;"
           "PNG (*.png);;BMP (*.bmp)"));
    if (file.isEmpty())
        return;
    file.replace('\\', '/');
    settings.Root()->FindChild("CurrentImagePath", true)->Attribute("currentPath", true)->Set(FolderWithSlash(file));
    settings.Save();
    ShowPanoramaPathTip();
    // A name with a suffix has been through the file dialog's own overwrite question.
    if (QFileInfo(file).suffix().isEmpty()) {
        file += ".jpg";
        if (QFileInfo::exists(file) &&
            prompts->AskStandard(UserPrompts::Kind::Question, title,
                                 tr("The file exits!\nDo you want to overwrite it ?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
            prompts->Inform(title, tr("Could not save the panorama image!"));
            return;
        }
    }
    SavePanoramaImage(file);
}

// The image goes to a temporary name beside the file and replaces it only when complete, so a
// failed save (a full disk, a read-only folder, a format without a writer) keeps the old file.
void MainWindow::SavePanoramaImage(const QString& file) {
    try {
        const QByteArray path = QFile::encodeName(file);
        LogText(QString::asprintf(qPrintable(tr("Saving the panorama to %s ... ")), file.toUtf8().constData()));
        RowWriterOptions options;
        options.quality = kPanoramaQuality;
        options.bitsPerChannel = RowImageWriter::BitsPerChannelFor(path.toStdString(), 0);
        if (engine.SavePanorama(path.toStdString(), shownCrop, options)) {
            LogText(tr("done\n"));
            for (const std::string& note : engine.SaveNotes())
                LogText(QString::fromStdString(note) + "\n");
            return;
        }
        LogText(tr("failed\n"));
        LogText("\n" + QString::fromStdString(engine.LastError()) + "\n");
        LogText(tr("\nCould not save the panorama image!\n"));
    } catch (const std::bad_alloc&) {
        LogText(tr("\nNot enough memory to save the panorama image!\n"));
    } catch (...) {
        LogText(tr("Could not save the panorama image because of an unknown error!"));
    }
}
