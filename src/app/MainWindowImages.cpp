// The project page's source image list: adding photographs, removing one or all, turning them
// all, and choosing one. The list is the Images element of the project document; every Image
// has a picture in the view, and the engine takes the list over after each change.
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStatusBar>

#include <new>

#include "app/MainWindow.h"
#include "app/ProjectImagePaths.h"
#include "app/WidgetTips.h"
#include "app/XmlListWidget.h"
#include "view/BitmapImageFile.h"
#include "view/GuiBitmap.h"
#include "view/GuiMgr.h"

namespace {

using Zelvo::XmlAttribute;
using Zelvo::XmlElement;

// The text of an attribute that exists and is not empty; empty otherwise.
QString NonEmpty(XmlElement* element, const char* name) {
    XmlAttribute* attribute = element ? element->Attribute(name, false) : nullptr;
    return attribute ? FromChars(attribute->Value()) : QString();
}

// Whether the list holds the file already, under this spelling or another (a project file
// names its photographs relative to its folder, the file dialog absolutely).
bool IsListed(XmlElement* images, const Zelvo::Chars& path) {
    const Zelvo::Chars wanted = AbsolutePath(path);
    for (XmlElement* image : images->ChildElements("Image")) {
        XmlAttribute* listed = image->Attribute("path", false);
        if (listed && (listed->Value() == path || AbsolutePath(listed->Value()) == wanted))
            return true;
    }
    return false;
}

}  // namespace

XmlElement* MainWindow::PanoramaElement() {
    return projectDocument.Root()->FindDescendant("Panorama", "name", "panorama", true);
}

XmlElement* MainWindow::ImagesElement() { return PanoramaElement()->FindChild("Images", true); }

std::unique_ptr<GuiBitmap> MainWindow::NewSourcePicture(const QString& path, int rotation) {
    std::unique_ptr<GuiBitmap> picture = NewBitmapFromFile(path, rotation);
    if (!picture)
        return nullptr;
    picture->SetAnchorKind(RotatedRect::kTopLeft);
    picture->SetColor(1, 1, 1, 0.5f);
    picture->SetLineWidth(2);
    picture->SetTextureLimit(textureLimits.sourceImages);
    return picture;
}

// Each picture stands 5 % of its own size below and to the right of the one before, so that
// a stack of pictures shows every frame.
PointD MainWindow::CascadePosition(const GuiBitmap* previous, const GuiBitmap& picture) {
    const PointD step{0.05 * picture.Width(), 0.05 * picture.Height()};
    return previous ? previous->TopLeft() + step : step;
}

GuiBitmap* MainWindow::FindSourcePicture(const Zelvo::Chars& path) const {
    for (const auto& picture : sourcePictures)
        if (path == picture->Name().c_str())
            return picture.get();
    return nullptr;
}

// "%d: " and the file name, numbered in list order from 0.
void MainWindow::RelabelImages() {
    int k = 0;
    for (XmlElement* image : ImagesElement()->ChildElements("Image")) {
        XmlAttribute* path = image->Attribute("path", false);
        XmlAttribute* item = image->Attribute("item", false);
        if (!path || !item)
            throw "Bad image attribute";
        item->Set(Zelvo::Chars::Format("%d: ", k++) + path->Value().FileName());
    }
}

void MainWindow::RefillImageList() { projectUi.m_xmlListWidget->Fill(projectDocument, "Images"); }

// The engine refuses a list it cannot take (an Image without its size, too many images) and
// keeps its own; the reason goes to the log.
void MainWindow::SyncEngineImages() {
    try {
        engine.SyncImages(projectDocument);
    } catch (...) {
        LogLoadError(std::current_exception(), tr("\nNot enough memory to load the image(s)\n"),
                     tr("\nCould not load the image(s) because of an unknown error\n"));
    }
}

QString MainWindow::ImageFolder() {
    QString folder = NonEmpty(projectDocument.Root()->FindChild("CurrentImagePath", false), "currentPath");
    if (folder.isEmpty())
        folder = NonEmpty(settings.Root()->FindChild("CurrentImagePath", false), "currentPath");
    if (folder.isEmpty()) {
        folder = QDir::homePath() + "/";
        folder.replace('\\', '/');
    }
    return folder;
}

void MainWindow::ShowImagePathTips() {
    QString own = NonEmpty(projectDocument.Root()->FindChild("CurrentImagePath", false), "currentPath");
    QString tip = own.isEmpty() ? tr("Load images... (Current path: %1)").arg(ImageFolder())
                                : tr("Load images... (CurrentPath: %1)").arg(own);
    SetTips(projectUi.m_loadImagesButton, tip);
}

void MainWindow::OnLoadImages() {
    DropViewSelection();
    XmlElement* images = ImagesElement();
    XmlElement* currentImagePath = projectDocument.Root()->FindChild("CurrentImagePath", true);
    const QStringList files = prompts->ChooseOpenFiles(tr("Select one or more images to load"), ImageFolder(),
                                                       tr("Images (*.jpg *.jpeg *.bmp *.png *.tif *.tiff *.gif)"));
    if (files.isEmpty())
        return;
    currentImagePath->Attribute("currentPath", true)->Set(FolderWithSlash(files.first()));
    LogText(QString::asprintf(qPrintable(tr("Loading %d images ")), static_cast<int>(files.size())));
    std::unique_ptr<QProgressDialog> progress = BeginProgress(tr("Loading images"));
    progress->setRange(0, static_cast<int>(files.size()) - 1);
    progress->show();
    bool failed = false;
    QStringList refused;
    try {
        for (int i = 0; i < files.size(); ++i) {
            QString file = files[i];
            file.replace('\\', '/');
            const Zelvo::Chars path = ToChars(file);
            if (IsListed(images, path))
                continue;
            if (images->ChildElements("Image").size() >= static_cast<size_t>(PanoramaEngine::kMaxImages))
                throw PanoramaEngine::kTooManyImages;
            StatusText(QString::asprintf(qPrintable(tr("Image: %s")), path.FileName().c_str()));
            std::unique_ptr<GuiBitmap> picture = NewSourcePicture(file, engine.GetSourceImageRotation());
            if (!picture) {
                // One bad file among many is named and left out; the others still load.
                refused << UnloadableReason(file);
                LogText(tr("\nCould not load an image: %1\n").arg(refused.back()));
                progress->setValue(i);
                continue;
            }
            picture->SetTopLeft(CascadePosition(HasSourcePictures() ? sourcePictures.back().get() : nullptr, *picture));
            auto* image = new XmlElement("Image");
            images->AppendChild(image);
            image->Attribute("item", true)->Set(path.FileName());
            image->Attribute("path", true)->Set(path);
            image->Attribute("w", true)->SetInt(picture->Image().width);
            image->Attribute("h", true)->SetInt(picture->Image().height);
            ViewManager().Add(picture.get());
            sourcePictures.push_back(std::move(picture));
            LogText(".");
            progress->setValue(i);
        }
    } catch (...) {
        failed = true;
        LogLoadError(std::current_exception(), tr("\nNot enough memory to load the image(s)\n"),
                     tr("\nCould not load the image(s) because of an unknown error\n"));
    }
    ViewManager().ZoomToFitAll();
    if (!failed)
        LogText(tr(" done\n"));
    SyncEngineImages();
    DropViewSelection();
    selectedImagePath = Zelvo::Chars();
    AfterImageListChange();
    if (!refused.isEmpty())
        prompts->Warn(tr("Loading images"),
                      tr("%n file(s) could not be loaded and were left out:\n", "", refused.size()) +
                          refused.join("\n"));
}

// The file and, as far as can be told, why it does not load.
QString MainWindow::UnloadableReason(const QString& file) {
    const QFileInfo info(file);
    if (!info.exists())
        return tr("%1 (it does not exist)").arg(file);
    if (!info.isFile())
        return tr("%1 (it is not a file)").arg(file);
    if (!info.isReadable())
        return tr("%1 (it cannot be read)").arg(file);
    return tr("%1 (not an image this program reads, or damaged or cut short)").arg(file);
}

// The labels, the list widget and the tips follow the document; the view shows the change.
void MainWindow::AfterImageListChange() {
    try {
        RelabelImages();
    } catch (const char* message) {
        LogText(tr(message));
    }
    RefillImageList();
    ShowImagePathTips();
    ShowMatchingResults();
    RepaintView();
}

void MainWindow::OnImageItemClicked(QListWidgetItem* row) {
    XmlElement* image = XmlListWidget::ElementOf(row);
    XmlAttribute* path = image ? image->Attribute("path", false) : nullptr;
    if (!path)
        return;
    selectedImagePath = path->Value();
    statusBar()->showMessage(FromChars(selectedImagePath));
    if (GuiBitmap* picture = FindSourcePicture(selectedImagePath)) {
        ViewManager().Select(picture);
        picture->BringToFront();
        RepaintView();
    }
    FocusView();
}

// The image leaves the list with every pair it belongs to; the engine keeps the pairs of the
// images that stay, at their new indices.
void MainWindow::OnRemoveSelectedImage() {
    const Zelvo::Chars path = selectedImagePath;
    GuiBitmap* picture = path.IsEmpty() ? nullptr : FindSourcePicture(path);
    if (!picture)
        return;
    DropViewSelection();
    // A pair that loses an image goes without its question: its points go with the image.
    if (path == firstImagePath || path == secondImagePath)
        ForgetPair();
    projectUi.m_xmlListWidget->clear();
    if (XmlElement* image = ImagesElement()->FindDescendant("Image", "path", path.c_str(), false))
        Zelvo::XmlNode::Delete(image);
    if (XmlElement* pairs = PanoramaElement()->FindChild("Combinations", false))
        for (XmlElement* pair : pairs->ChildElements("Combination")) {
            XmlAttribute* path1 = pair->Attribute("path1", false);
            XmlAttribute* path2 = pair->Attribute("path2", false);
            if ((path1 && path1->Value() == path) || (path2 && path2->Value() == path))
                Zelvo::XmlNode::Delete(pair);
        }
    std::erase_if(sourcePictures, [picture](const auto& p) { return p.get() == picture; });
    selectedImagePath = Zelvo::Chars();
    SyncEngineImages();
    AfterImageListChange();
}

void MainWindow::OnRemoveAllImages() {
    if (!HasSourcePictures())
        return;
    if (prompts->AskStandard(UserPrompts::Kind::Warning, tr("Vedora 1.02"),
                             tr("Do you really want to remove all images?"), QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes)
        return;
    DropViewSelection();
    projectUi.m_xmlListWidget->clear();
    XmlElement* panorama = PanoramaElement();
    for (const char* name : {"Images", "Combinations"})
        if (XmlElement* element = panorama->FindChild(name, false))
            Zelvo::XmlNode::Delete(element);
    ForgetPair();
    RemoveFeatureMarkers();
    sourcePictures.clear();
    selectedImagePath = Zelvo::Chars();
    SyncEngineImages();
    ShowMatchingResults();
    RepaintView();
}

void MainWindow::OnRotateImages0() { RotateImages(0); }

void MainWindow::OnRotateImages90() { RotateImages(1); }

void MainWindow::OnRotateImages180() { RotateImages(2); }

void MainWindow::OnRotateImages270() { RotateImages(3); }

// The pictures are decoded again turned by the new rotation; the engine turns the stored
// points with the sizes it still holds, then takes the new sizes over from the list.
void MainWindow::RotateImages(int rotation) {
    std::unique_ptr<QProgressDialog> progress = BeginProgress(tr("Rotating images"));
    progress->show();
    if (engine.GetSourceImageRotation() != rotation) {
        DropViewSelection();
        // The pair's points are turned with the engine's: edits are saved (or dropped) first.
        Guarded([this] {
            DeselectFirst();
            DeselectSecond();
        });
        ReloadSourcePictures(rotation, *progress);
        engine.RotateSourceImages(rotation);
        SyncEngineImages();
        ShowMatchingResults();
        // The turned pictures have new shapes and places: the view takes them all in again.
        ViewManager().ZoomToFitAll();
        ShowViewSize();
    }
    ShowEngineValues();
    RepaintView();
}

void MainWindow::ReloadSourcePictures(int rotation, QProgressDialog& progress) {
    LogText(tr("Rotating images "));
    const std::vector<XmlElement*> list = ImagesElement()->ChildElements("Image");
    progress.setRange(0, std::max(0, static_cast<int>(list.size()) - 1));
    const bool quarterTurn = (rotation - engine.GetSourceImageRotation()) % 2 != 0;
    size_t next = 0;
    try {
        const GuiBitmap* previous = nullptr;
        for (; next < list.size(); ++next) {
            XmlAttribute* path = list[next]->Attribute("path", false);
            GuiBitmap* picture = path ? FindSourcePicture(path->Value()) : nullptr;
            if (!picture)
                continue;
            StatusText(QString::asprintf(qPrintable(tr("Loading: %s")), path->Value().FileName().c_str()));
            if (!LoadImageFileToBitmap(*picture, rotation, FromChars(path->Value())))
                throw "\nCould not load a source image!\n";
            picture->SizeToImage();
            list[next]->Attribute("w", true)->SetInt(picture->Image().width);
            list[next]->Attribute("h", true)->SetInt(picture->Image().height);
            picture->SetTopLeft(CascadePosition(previous, *picture));
            previous = picture;
            LogText(".");
            progress.setValue(static_cast<int>(next));
        }
        LogText(tr(" done\n"));
    } catch (...) {
        LogLoadError(std::current_exception(), tr("\nNot enough memory to load the image(s)!\n"),
                     tr("\nCould not load the image(s) because of an unknown error!\n"));
        LogText(tr(" failed\n"));
        // The images not reloaded keep their pictures, but their sizes must follow the turn:
        // the engine turns every stored point to the new rotation.
        for (; quarterTurn && next < list.size(); ++next) {
            XmlAttribute* w = list[next]->Attribute("w", true);
            XmlAttribute* h = list[next]->Attribute("h", true);
            const Zelvo::Chars width = w->Value();
            w->Set(h->Value());
            h->Set(width);
        }
    }
}
