// The image view's toolbar and the view's notifications: zooming, stacking order, the two
// arrangements, the view settings with the texture reload, and the link between the pictures
// and the image list.
#include <QKeyEvent>
#include <QLabel>
#include <QProgressDialog>
#include <QStatusBar>

#include <new>

#include "app/MainWindow.h"
#include "dialogs/ImageViewSettingsDialog.h"
#include "view/BitmapImageFile.h"
#include "view/GuiBitmap.h"
#include "view/GuiMgr.h"
#include "view/ViewCommands.h"
#include "view/ZelvoWidget.h"

void MainWindow::ConnectView() {
    ZelvoWidget* view = viewUi.m_zelvoWidget;
    view->SetWarningPrompt([this](const QString& title, const QString& text) { prompts->Warn(title, text); });
    connect(view, &ZelvoWidget::ZoomChanged, this, &MainWindow::OnZoomChanged);
    connect(view, &ZelvoWidget::ObjSelected, this, &MainWindow::OnObjectSelected);
    connect(view, &ZelvoWidget::ObjDeselected, this, &MainWindow::OnObjectDeselected);
    connect(view, &ZelvoWidget::KeyPressed, this, &MainWindow::OnImageViewKeyPressed);
    const std::pair<QToolButton*, void (MainWindow::*)()> clicked[] = {
        {viewUi.m_zoomInToolButton, &MainWindow::OnZoomIn},
        {viewUi.m_zoomOutToolButton, &MainWindow::OnZoomOut},
        {viewUi.m_zoomToSelectionToolButton, &MainWindow::OnZoomToSelection},
        {viewUi.m_zoomAllToolButton, &MainWindow::OnZoomAll},
        {viewUi.m_bringToFrontToolButton, &MainWindow::OnBringToFront},
        {viewUi.m_sendToBackToolButton, &MainWindow::OnSendToBack},
        {viewUi.m_arrangeToolButton, &MainWindow::OnArrange},
        {viewUi.m_alignToolButton, &MainWindow::OnAlign},
        {viewUi.m_imageViewSettingsToolButton, &MainWindow::OnImageViewSettings},
        {viewUi.m_zoomToPanoramaToolButton, &MainWindow::OnZoomToPanorama},
    };
    for (const auto& [button, slot] : clicked)
        connect(button, &QToolButton::clicked, this, slot);
    connect(viewUi.m_bringFirstToFrontToolButton, &QToolButton::released, this, &MainWindow::OnBringFirstToFront);
    connect(viewUi.m_bringSecondToFrontToolButton, &QToolButton::released, this, &MainWindow::OnBringSecondToFront);
    connect(viewUi.m_zoomToFirstSecondToolButton, &QToolButton::released, this, &MainWindow::OnZoomTo);
    ViewWidget()->installEventFilter(this);
}

GuiMgr& MainWindow::ViewManager() const { return viewUi.m_zelvoWidget->Manager(); }

// The GL view where there is one; otherwise its frame, which then shows a message instead.
QWidget* MainWindow::ViewWidget() const {
    ZelvoWidget* view = viewUi.m_zelvoWidget;
    return view->GLWidget() ? static_cast<QWidget*>(view->GLWidget()) : view;
}

// The visible part of the scene in scene units, and the zoom. Without GL nothing tells the
// scene its size, so the frame's size stands in: zooming to fit then works the same.
void MainWindow::ShowViewSize() {
    QWidget* view = ViewWidget();
    if (!viewUi.m_zelvoWidget->HasOpenGL())
        ViewManager().SetViewportSize(view->width(), view->height());
    if (!viewLabel)
        return;
    ShowViewLabel(ZoomLabelText(view->width(), view->height(), ViewManager().GetZoom()));
}

// The label grows with its text at once: the status bar would otherwise keep its old width
// until the window is resized, and cut the text off.
void MainWindow::ShowViewLabel(const QString& text) {
    viewLabel->setText(text);
    viewLabel->setMinimumWidth(viewLabel->sizeHint().width());
}

void MainWindow::FocusView() { viewUi.m_zelvoWidget->FocusView(); }

void MainWindow::RepaintView() { viewUi.m_zelvoWidget->Repaint(); }

void MainWindow::ZoomAllAndFocusView() {
    ViewManager().ZoomToFitAll();
    FocusView();
}

void MainWindow::DropViewSelection() { ViewManager().Select(nullptr); }

std::vector<GuiRect*> MainWindow::SourceRects() const {
    std::vector<GuiRect*> rects;
    for (const auto& picture : sourcePictures)
        rects.push_back(picture.get());
    return rects;
}

std::vector<GuiRect*> MainWindow::PanoramaRects() const {
    std::vector<GuiRect*> rects;
    for (const auto& picture : panoramaPictures)
        rects.push_back(picture.get());
    return rects;
}

void MainWindow::OnZoomIn() {
    ZoomIn(ViewManager());
    FocusView();
}

void MainWindow::OnZoomOut() {
    ZoomOut(ViewManager());
    FocusView();
}

void MainWindow::OnZoomToSelection() {
    ZoomToSelection(ViewManager());
    FocusView();
}

void MainWindow::OnZoomAll() { ZoomAllAndFocusView(); }

void MainWindow::OnBringToFront() {
    BringSelectedToFront(ViewManager());
    FocusView();
}

void MainWindow::OnSendToBack() {
    SendSelectedToBack(ViewManager());
    FocusView();
}

void MainWindow::OnArrange() {
    ArrangePictures(ViewManager(), SourceRects(), PanoramaRects());
    RepaintView();
    FocusView();
}

// The engine lays out the images that matches connect; the rest go into a grid below them.
void MainWindow::OnAlign() {
    std::vector<PlacedImage> placed;
    std::vector<int> unplacedImages;
    engine.GroupLayout(placed, unplacedImages);
    std::vector<PicturePlacement> placements;
    std::vector<GuiRect*> unplaced;
    std::vector<const GuiBitmap*> seen;
    for (const PlacedImage& p : placed)
        if (GuiBitmap* picture = FindSourcePicture(engine.Image(p.image).path)) {
            placements.push_back({picture, {p.x, p.y}});
            seen.push_back(picture);
        }
    // Every picture the layout did not place, in list order (the engine's unplaced images
    // among them).
    for (const auto& picture : sourcePictures)
        if (std::find(seen.begin(), seen.end(), picture.get()) == seen.end())
            unplaced.push_back(picture.get());
    AlignPictures(ViewManager(), placements, unplaced, PanoramaRects());
    RepaintView();
    FocusView();
}

void MainWindow::OnZoomChanged(double zoom) {
    QWidget* view = ViewWidget();
    ShowViewLabel(ZoomLabelText(view->width(), view->height(), zoom));
}

// The dialog writes the new limits straight into the window's settings; every source picture
// is then decoded again and gets its texture made at the new limit.
void MainWindow::OnImageViewSettings() {
    ImageViewSettingsDialog dialog(&textureLimits.sourceImages, &textureLimits.imagePair, &textureLimits.stitchImage,
                                   &textureLimits.cropImage, &pointMarkers.size, &pointMarkers.thickness, this);
    prompts->RunDialog(dialog);
    if (engine.ImageCount() > 0 && HasSourcePictures()) {
        LogText(tr("Reloading textures "));
        std::unique_ptr<QProgressDialog> progress = BeginProgress(tr("Reloading textures"));
        progress->setRange(0, static_cast<int>(sourcePictures.size()) - 1);
        progress->show();
        for (size_t i = 0; i < sourcePictures.size(); ++i) {
            GuiBitmap& picture = *sourcePictures[i];
            LogText(".");
            const QString path = QString::fromStdString(picture.Name());
            StatusText(tr("Image: %1").arg(path));
            try {
                if (!LoadImageFileToBitmap(picture, engine.GetSourceImageRotation(), path))
                    throw "\nCould not reload a source image!\n";
                const Zelvo::Chars name(picture.Name().c_str());
                const bool inPair = name == firstImagePath || name == secondImagePath;
                picture.SetTextureLimit(inPair ? textureLimits.imagePair : textureLimits.sourceImages);
                picture.MarkForUpload();
            } catch (...) {
                LogLoadError(std::current_exception(), tr("\nNot enough memory to load the image(s)\n"),
                             tr("\nCould not load the image(s) because of an unknown error\n"));
            }
            progress->setValue(static_cast<int>(i));
        }
        LogText(tr(" done\n"));
    }
    for (GuiChainedPoints* markers : {&firstPointMarkers, &secondPointMarkers}) {
        markers->SetMarkerHalfSize(pointMarkers.size);
        markers->SetLineWidth(pointMarkers.thickness);
    }
    for (const auto& picture : panoramaPictures) {
        if (picture->Name() == "stitchImage")
            picture->SetTextureLimit(textureLimits.stitchImage);
        else if (picture->Name() == "cropImage")
            picture->SetTextureLimit(textureLimits.cropImage);
    }
    RepaintView();
    FocusView();
}

void MainWindow::OnImageViewKeyPressed(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_1:
        if (ctrl)
            OnSelectFirst();
        else
            OnBringFirstToFront();
        break;
    case Qt::Key_2:
        if (ctrl)
            OnSelectSecond();
        else
            OnBringSecondToFront();
        break;
    case Qt::Key_End:
        // The image pair when there is one, the selected object otherwise.
        if (HasPair())
            ZoomToPair();
        else
            ZoomToSelection(ViewManager());
        break;
    default: break;
    }
    event->ignore();
}

void MainWindow::OnZoomToPanorama() {
    std::vector<GuiObj*> panoramas;
    for (const auto& picture : panoramaPictures)
        panoramas.push_back(picture.get());
    if (panoramas.empty())
        ViewManager().ZoomToFitAll();
    else
        ViewManager().ZoomToFit(panoramas);
    FocusView();
}

// One picture of the matching page's pair over the other, selected; nothing without a pair.
void MainWindow::BringPairImageToFront(const Zelvo::Chars& own, const Zelvo::Chars& other) {
    GuiBitmap* picture = own.IsEmpty() || other.IsEmpty() ? nullptr : FindSourcePicture(own);
    if (picture) {
        picture->BringToFront();
        ViewManager().Select(picture);
        RepaintView();
    }
    FocusView();
}

void MainWindow::OnBringFirstToFront() { BringPairImageToFront(firstImagePath, secondImagePath); }

void MainWindow::OnBringSecondToFront() { BringPairImageToFront(secondImagePath, firstImagePath); }

// The pictures of the pair that are set; everything when neither is.
void MainWindow::ZoomToPair() {
    std::vector<GuiObj*> pair;
    for (const Zelvo::Chars* path : {&firstImagePath, &secondImagePath})
        if (GuiBitmap* picture = path->IsEmpty() ? nullptr : FindSourcePicture(*path))
            pair.push_back(picture);
    if (pair.empty())
        ViewManager().ZoomToFitAll();
    else
        ViewManager().ZoomToFit(pair);
}

void MainWindow::OnZoomTo() {
    ZoomToPair();
    FocusView();
}

void MainWindow::OnObjectSelected(GuiObj* obj) {
    for (const auto& picture : sourcePictures) {
        if (picture.get() != obj)
            continue;
        selectedImagePath = Zelvo::Chars(picture->Name().c_str());
        Zelvo::XmlElement* image = ImagesElement()->FindDescendant("Image", "path", picture->Name().c_str(), false);
        projectUi.m_xmlListWidget->Select(image);
        statusBar()->showMessage(QString::fromStdString(picture->Name()));
        return;
    }
}

void MainWindow::OnObjectDeselected(GuiObj* obj) {
    for (const auto& picture : sourcePictures) {
        if (picture.get() != obj)
            continue;
        Zelvo::XmlElement* image = ImagesElement()->FindDescendant("Image", "path", picture->Name().c_str(), false);
        projectUi.m_xmlListWidget->Deselect(image);
        statusBar()->clearMessage();
        if (selectedImagePath == picture->Name().c_str())
            selectedImagePath = Zelvo::Chars();
        return;
    }
}
