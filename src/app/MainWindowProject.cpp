// The project as the window keeps it: new, load and save with their prompts and messages, the
// project's name and paths on the page and in the status bar.
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>

#include <cmath>
#include <new>

#include "app/MainWindow.h"
#include "app/ProjectImagePaths.h"
#include "app/UserPrompts.h"
#include "app/WidgetTips.h"
#include "engine/ProjectPaths.h"
#include "engine/ProjectStore.h"
#include "view/GuiBitmap.h"
#include "view/GuiMgr.h"

namespace {

using Zelvo::XmlAttribute;
using Zelvo::XmlElement;

// Stored picture positions are used only when both are numbers; anything else cascades.
bool ReadPosition(XmlElement* image, PointD& position) {
    XmlAttribute* x = image->Attribute("x", false);
    XmlAttribute* y = image->Attribute("y", false);
    if (!x || !y)
        return false;
    bool okX = false, okY = false;
    position.x = QString::fromUtf8(x->Value().c_str()).toDouble(&okX);
    position.y = QString::fromUtf8(y->Value().c_str()).toDouble(&okY);
    return okX && okY && std::isfinite(position.x) && std::isfinite(position.y) && std::abs(position.x) < 1e9 &&
           std::abs(position.y) < 1e9;
}

}  // namespace

void MainWindow::ConnectProjectPage() {
    connect(projectUi.m_newProjectToolButton, &QToolButton::clicked, this, &MainWindow::OnNewProject);
    connect(projectUi.m_loadProjectToolButton, &QToolButton::clicked, this, &MainWindow::OnLoadProject);
    connect(projectUi.m_loadProjectFromListToolButton, &QToolButton::clicked, this, &MainWindow::OnLoadProjectFromList);
    connect(projectUi.m_actionSaveProject, &QAction::triggered, this, &MainWindow::OnSaveProjectAction);
    connect(projectUi.m_actionSaveProjectAs, &QAction::triggered, this, &MainWindow::OnSaveProjectAsAction);
    connect(projectUi.m_loadImagesButton, &QPushButton::released, this, &MainWindow::OnLoadImages);
    connect(projectUi.m_removeAllImagesButton, &QPushButton::released, this, &MainWindow::OnRemoveAllImages);
    connect(projectUi.m_removeSelectedImageButton, &QPushButton::released, this, &MainWindow::OnRemoveSelectedImage);
    connect(projectUi.m_xmlListWidget, &QListWidget::itemClicked, this, &MainWindow::OnImageItemClicked);
    connect(projectUi.m_rotateImages0RadioButton, &QRadioButton::released, this, &MainWindow::OnRotateImages0);
    connect(projectUi.m_rotateImages90RadioButton, &QRadioButton::released, this, &MainWindow::OnRotateImages90);
    connect(projectUi.m_rotateImages180RadioButton, &QRadioButton::released, this, &MainWindow::OnRotateImages180);
    connect(projectUi.m_rotateImages270RadioButton, &QRadioButton::released, this, &MainWindow::OnRotateImages270);
}

void MainWindow::OnNewProject() {
    if (AskToSaveProject(tr("Creating a blank project.\nDo you want to save the current project ?")))
        LoadProject(Zelvo::Chars());
}

void MainWindow::OnLoadProject() {
    if (!AskToSaveProject(tr("Loading a project.\nDo you want to save the current project ?")))
        return;
    QString file =
        prompts->ChooseOpenFile(tr("Load project..."), settings.ProjectsFolder(), tr("Vedora Project (*.vdp)"));
    if (file.isEmpty())
        return;
    settings.Section("Projects")->Attribute("currentPath", true)->Set(FolderWithSlash(file));
    if (QFileInfo(file).suffix().isEmpty())
        file += ".vdp";
    file.replace('\\', '/');
    LoadProject(ToChars(file));
}

// Only a project with pictures has anything to lose. "Don't save" goes on; "Save" goes on once
// the project is saved. A save that was cancelled or failed keeps the project open: the user
// asked for it to be kept, and the failure has just been shown.
bool MainWindow::AskToSaveProject(const QString& question) {
    // Points edited on the matching page reach the engine (and so the project) only when the
    // pair is left.
    Guarded([this] {
        DeselectFirst();
        DeselectSecond();
    });
    if (!HasSourcePictures() || !engine.IsDirty())
        return true;
    enum { Save, DontSave };
    int answer = prompts->Ask(UserPrompts::Kind::Question, tr("Vedora 1.02"), question, {tr("Save"), tr("Don't save")},
                              Save, DontSave);
    if (answer != Save)
        return true;
    if (currentProjectPath.IsEmpty())
        OnSaveProjectAsAction(false);
    else
        OnSaveProjectAction(false);
    return !currentProjectPath.IsEmpty() && !engine.IsDirty();
}

// Whatever goes wrong, the window ends with a usable project: the one asked for, or a new one.
bool MainWindow::LoadProject(const Zelvo::Chars& requested) {
    const Zelvo::Chars path = AbsolutePath(requested);
    std::unique_ptr<QProgressDialog> progress;
    if (!path.IsEmpty()) {
        progress = BeginProgress(tr("Loading project"));
        progress->show();
        LogText(QString::asprintf(qPrintable(tr("Loading project '%s' ")), path.c_str()));
    }
    DropViewSelection();
    ForgetPair();
    RemoveFeatureMarkers();
    selectedReferencePath = Zelvo::Chars();
    projectUi.m_xmlListWidget->clear();
    sourcePictures.clear();
    panoramaPictures.clear();
    selectedImagePath = Zelvo::Chars();
    bool loaded = false;
    QString reason;
    if (!path.IsEmpty()) {
        try {
            ProjectStore store(engine, projectDocument);
            if (!store.Load(path.c_str())) {
                reason = QString::fromStdString(store.LastError());
                LogText("\n" + reason + "\n");
                throw "";
            }
            currentProjectPath = path;
            ReadProjectPictures(progress.get(), &reason);
            RelabelImages();
            RefillImageList();
            projectName = RegisterProject(path);
            loaded = true;
        } catch (...) {
            LogLoadError(std::current_exception(), tr("\nNot enough memory to load the image(s)\n"),
                         tr("\nCould not load the image(s) because of an unknown error\n"));
        }
    }
    if (!loaded) {
        progress.reset();
        if (!path.IsEmpty())
            prompts->Warn(tr("Vedora 1.02"), tr("The project could not be loaded !\n") + reason);
        MakeNewProjectSafely();
    }
    ShowProjectName(projectName);
    ShowEngineValues();
    if (loaded)
        ShowImagePathTips();
    else
        SetTips(projectUi.m_loadImagesButton, tr("Load images..."));
    if (!path.IsEmpty())
        LogText(loaded ? tr(" done\n") : tr(" failed\n"));
    if (currentProjectPath.IsEmpty())
        projectLabel->setText(tr(" New project "));
    ShowMatchingResults();
    ViewManager().ZoomToFitAll();
    RepaintView();
    return loaded;
}

// One picture per Image of the loaded project, with the project's rotation, at the size the
// engine read from the file's header. Pictures stand where the project left them, or in a
// cascade. Throws (with *reason) when a photograph cannot be shown.
void MainWindow::ReadProjectPictures(QProgressDialog* progress, QString* reason) {
    XmlElement* images = ImagesElement();
    const int rotation = engine.GetSourceImageRotation();
    std::vector<XmlElement*> list = images->ChildElements("Image");
    if (progress)
        progress->setRange(0, std::max(0, static_cast<int>(list.size()) - 1));
    const GuiBitmap* previous = nullptr;
    for (size_t i = 0; i < list.size(); ++i) {
        XmlAttribute* path = list[i]->Attribute("path", false);
        if (!path)
            continue;
        const QString file = FromChars(path->Value());
        StatusText(QString::asprintf(qPrintable(tr("Loading: %s")), path->Value().FileName().c_str()));
        std::unique_ptr<GuiBitmap> picture = NewSourcePicture(file, rotation);
        if (!picture) {
            LogText(tr("\nCould not load a image!\n") + file + "\n");
            *reason = tr("Could not load the image %1").arg(file);
            throw "";
        }
        // The header told the engine another size than the pixels have: the file changed
        // after its size was read, or its header lies.
        if (picture->Image().width != list[i]->Attribute("w", true)->ToInt() ||
            picture->Image().height != list[i]->Attribute("h", true)->ToInt()) {
            *reason = tr("The image %1 does not decode to the size its header gives").arg(file);
            LogText("\n" + *reason + "\n");
            throw "";
        }
        PointD stored;
        picture->SetTopLeft(ReadPosition(list[i], stored) ? stored : CascadePosition(previous, *picture));
        ViewManager().Add(picture.get());
        previous = picture.get();
        sourcePictures.push_back(std::move(picture));
        LogText(".");
        if (progress)
            progress->setValue(static_cast<int>(i));
    }
}

void MainWindow::MakeNewProject() {
    DropViewSelection();
    ForgetPair();
    RemoveFeatureMarkers();
    projectUi.m_xmlListWidget->clear();
    sourcePictures.clear();
    panoramaPictures.clear();
    selectedImagePath = Zelvo::Chars();
    projectDocument.Reset("VedoraProject");
    projectDocument.Root()->Attribute("Version", true)->SetInt(1);
    engine.Reset();
    projectName = tr("New project");
    currentProjectPath = Zelvo::Chars();
    ImagesElement();
    RefillImageList();
}

void MainWindow::MakeNewProjectSafely() {
    try {
        MakeNewProject();
        return;
    } catch (...) {
    }
    prompts->Warn(tr("Vedora 1.02"), tr("An exception occurred while initializing a new project !\n"));
    try {
        MakeNewProject();
    } catch (...) {
        // Nothing more can be done than what the first attempt tried; the lists are empty.
        sourcePictures.clear();
        panoramaPictures.clear();
    }
    projectLabel->setText(tr(" New project "));
}

void MainWindow::ShowEngineValues() {
    QRadioButton* rotation[] = {projectUi.m_rotateImages0RadioButton, projectUi.m_rotateImages90RadioButton,
                                projectUi.m_rotateImages180RadioButton, projectUi.m_rotateImages270RadioButton};
    rotation[engine.GetSourceImageRotation() & 3]->setChecked(true);
    ShowPanoramaValues();
}

void MainWindow::ShowProjectName(const QString& name) {
    projectName = name;
    projectUi.m_currentProjectLineEdit->setText(name);
    projectLabel->setText(tr(" Project: ") + name + " ");
    ShowProjectPathTips();
}

void MainWindow::ShowProjectPathTips() {
    bool saved = !currentProjectPath.IsEmpty();
    QString folder = saved ? FromChars(currentProjectPath) : settings.ProjectsFolder();
    QString nameTip = saved ? tr("Current path: %1").arg(folder) : tr("New project (Current path: %1)").arg(folder);
    SetTips(projectUi.m_currentProjectLineEdit, nameTip);
    SetTips(projectLabel, nameTip);
    SetTips(projectUi.m_loadProjectToolButton, tr("Load project... (Current path: %1)").arg(folder));
    SetTips(projectUi.m_saveProjectToolButton, tr("Save project... (Current path: %1)").arg(folder));
}

// The file is written from a copy of the project document: the engine rebuilds the Images and
// Combinations elements for the file, while the open document keeps the elements (with their
// sizes and list labels) that the image list shows. The copy gets the pictures' positions and
// the paths relative to the project's folder. The write goes to a temporary file that replaces
// the old one only when complete, so a failed save leaves the old file as it was.
bool MainWindow::SaveProject(const Zelvo::Chars& path) {
    if (path.IsEmpty())
        return false;
    ProjectStore store(engine, projectDocument);
    const bool saved = store.Save(path.c_str(), [this](Zelvo::XmlDocument& file) {
        XmlElement* images =
            file.Root()->FindDescendant("Panorama", "name", "panorama", true)->FindChild("Images", true);
        for (const auto& picture : sourcePictures)
            if (XmlElement* image = images->FindDescendant("Image", "path", picture->Name().c_str(), false)) {
                image->Attribute("x", true)->SetDouble(picture->TopLeft().x);
                image->Attribute("y", true)->SetDouble(picture->TopLeft().y);
            }
    });
    if (!saved) {
        LogText("\n" + QString::fromStdString(store.LastError()) + "\n");
        return false;
    }
    XmlElement* projects = settings.Section("Projects");
    projects->Attribute("currentPath", true)->Set(FolderWithSlash(FromChars(path)));
    QString name = currentProjectPath.IsEmpty() ? RegisterProject(path) : projectName;
    currentProjectPath = path;
    ShowProjectName(name);
    return true;
}

// The project list's name of the file: its entry's, or a new entry with a name of its own. An
// entry without a name (only a damaged settings file has one) gets one here: refusing it would
// fail a save that has already written the file, or a load of a sound project.
QString MainWindow::RegisterProject(const Zelvo::Chars& path) {
    XmlElement* projects = settings.Section("Projects");
    for (XmlElement* entry : projects->ChildElements("Project")) {
        XmlAttribute* entryPath = entry->Attribute("path", false);
        if (!entryPath || entryPath->Value() != path)
            continue;
        XmlAttribute* item = entry->Attribute("item", false);
        if (!item) {
            const QString name = UniqueProjectName(QFileInfo(FromChars(path)).completeBaseName());
            entry->Attribute("item", true)->Set(ToChars(name));
            RefillProjectList();
            return name;
        }
        return FromChars(item->Value());
    }
    projects->Attribute("currentPath", true)->Set(FolderWithSlash(FromChars(path)));
    QString name = UniqueProjectName(QFileInfo(FromChars(path)).completeBaseName());
    auto* entry = new XmlElement("Project");
    projects->AppendChild(entry);
    entry->Attribute("item", true)->Set(ToChars(name));
    entry->Attribute("path", true)->Set(path);
    RefillProjectList();
    return name;
}

// The base name, or "%s(%d)" with the first number that no entry of the list uses yet.
QString MainWindow::UniqueProjectName(const QString& baseName) {
    QStringList taken;
    for (XmlElement* entry : settings.Section("Projects")->ChildElements("Project"))
        if (XmlAttribute* item = entry->Attribute("item", false))
            taken << FromChars(item->Value());
    QString name = baseName;
    for (int k = 1; taken.contains(name); ++k)
        name = QString::asprintf("%s(%d)", baseName.toUtf8().constData(), k);
    return name;
}

// Runs a save; what it throws is logged with the saving texts. False when it threw.
bool MainWindow::GuardedSave(const std::function<void()>& save) {
    return Guarded(save, tr("\nNot enough memory to save the project!\n"),
                   tr("\nCould not save the project because of an unknown error!\n"));
}

// Saving from the quit prompt: true when the project is safe and the window may close.
bool MainWindow::SaveBeforeQuit() {
    if (currentProjectPath.IsEmpty()) {
        OnSaveProjectAsAction(false);
        return !currentProjectPath.IsEmpty() && !engine.IsDirty();
    }
    if (GuardedSave([this] {
            if (!SaveProject(currentProjectPath))
                throw "Could not save the project!";
        }))
        return true;
    prompts->Warn(tr("Vedora 1.02"), tr("The project could not be saved !\n"));
    engine.SetDirty(true);
    return false;
}

void MainWindow::OnSaveProjectAction(bool) {
    if (currentProjectPath.IsEmpty()) {
        OnSaveProjectAsAction(false);
        return;
    }
    if (GuardedSave([this] {
            LogText(QString::asprintf(qPrintable(tr("Saving project '%s' ... ")), currentProjectPath.c_str()));
            if (!SaveProject(currentProjectPath))
                throw "\nCould not save the project\n";
            LogText(tr("done.\n"));
        }))
        return;
    engine.SetDirty(true);
    prompts->Warn(tr("Vedora 1.02"), tr("The project could not be saved !\n"));
}

void MainWindow::OnSaveProjectAsAction(bool) {
    QString file =
        prompts->ChooseSaveFile(tr("Save the project as..."), settings.ProjectsFolder(), tr("Vedora Project (*.vdp)"));
    if (file.isEmpty())
        return;
    settings.Section("Projects")->Attribute("currentPath", true)->Set(FolderWithSlash(file));
    if (GuardedSave([&] {
            if (QFileInfo(file).suffix().isEmpty()) {
                file += ".vdp";
                if (QFileInfo::exists(file) &&
                    prompts->AskStandard(UserPrompts::Kind::Question, tr("Vedora 1.02"),
                                         tr("The file exits!\nDo you want to overwrite it ?"),
                                         QMessageBox::Yes | QMessageBox::Cancel,
                                         QMessageBox::Cancel) != QMessageBox::Yes)
                    throw "";
            }
            file.replace('\\', '/');
            Zelvo::Chars path = ToChars(file);
            LogText(QString::asprintf(qPrintable(tr("Saving project '%s' ... ")), path.c_str()));
            if (!SaveProject(path))
                throw "\nCould not save the procject\n";
            currentProjectPath = path;
            RegisterProject(path);
            QString baseName = QFileInfo(file).completeBaseName();
            ShowProjectName(baseName);
            projectLabel->setText(tr(" Project:") + baseName + " ");
            RefillProjectList();
            LogText(tr("done\n"));
        }))
        return;
    LogText(tr("failed.\n"));
    engine.SetDirty(true);
    prompts->Warn(tr("Vedora 1.02"), tr("The project could not be saved !\n"));
}
