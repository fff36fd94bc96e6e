// The project as the window keeps it: a new project, saving (also from the quit prompt) and
// the project's name and paths on the page and in the status bar.
#include <QFileInfo>
#include <QLabel>

#include <cmath>
#include <new>

#include "app/MainWindow.h"
#include "app/UserPrompts.h"

namespace {

using Zelvo::XmlAttribute;
using Zelvo::XmlElement;

QString FromChars(const Zelvo::Chars& text) {
    return QString::fromUtf8(text.c_str());
}

Zelvo::Chars ToChars(const QString& text) {
    return Zelvo::Chars(text.toUtf8().constData());
}

// The folder of a file with a trailing "/", in "/" separators.
Zelvo::Chars FolderWithSlash(const QString& file) {
    QString folder = QFileInfo(file).absolutePath() + "/";
    folder.replace('\\', '/');
    return ToChars(folder);
}

void SetTips(QWidget* widget, const QString& tip) {
    widget->setToolTip(tip);
    widget->setStatusTip(tip);
}

} // namespace

void MainWindow::NewProject() {
    projectDocument.Reset("VedoraProject");
    projectDocument.Root()->Attribute("Version", true)->SetInt(1);
    engine.Reset();
    currentProjectPath = Zelvo::Chars();
    sourcePictures.clear();
    panoramaPictures.clear();
    projectDocument.Root()->FindDescendant("Panorama", "name", "panorama", true)->FindChild("Images", true);
    projectUi.m_xmlListWidget->clear();
    ShowProjectName(tr("New project"));
    ShowEngineValues();
    projectLabel->setText(tr(" New project "));
}

void MainWindow::ShowEngineValues() {
    QRadioButton* rotation[] = {projectUi.m_rotateImages0RadioButton, projectUi.m_rotateImages90RadioButton,
                                projectUi.m_rotateImages180RadioButton,
                                projectUi.m_rotateImages270RadioButton};
    rotation[engine.GetSourceImageRotation() & 3]->setChecked(true);
    panoramaUi.m_imageSizeSpinBox->setValue(engine.GetPanoramaImageSize());
    panoramaUi.m_previewImageSizeSpinBox->setValue(engine.GetPanoramaPreviewImageSize());
    panoramaUi.m_imageRotationDSpinBox->setValue(engine.GetPanoramaImageRotation() * 57.29577951308232);
    panoramaUi.m_crop360CheckBox->setChecked(engine.GetDoCrop360Degrees());
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
    QString nameTip =
        saved ? tr("Current path: %1").arg(folder) : tr("New project (Current path: %1)").arg(folder);
    SetTips(projectUi.m_currentProjectLineEdit, nameTip);
    SetTips(projectLabel, nameTip);
    SetTips(projectUi.m_loadProjectToolButton, tr("Load project... (Current path: %1)").arg(folder));
    SetTips(projectUi.m_saveProjectToolButton, tr("Save project... (Current path: %1)").arg(folder));
}

// The file is written from a copy of the project document: the engine rebuilds the Images and
// Combinations elements for the file, while the open document keeps the elements (with their
// sizes) that the image list shows.
bool MainWindow::SaveProject(const Zelvo::Chars& path) {
    if (path.IsEmpty())
        return false;
    Zelvo::XmlDocument file;
    if (!file.Parse(Zelvo::Serialise(projectDocument)))
        return false;
    engine.WriteTo(file, "panorama");
    if (!Zelvo::SaveWithChecksum(file, path.c_str()))
        return false;
    settings.Section("Projects")->Attribute("currentPath", true)->Set(FolderWithSlash(FromChars(path)));
    QString name = currentProjectPath.IsEmpty() ? RegisterProject(path) : projectName;
    currentProjectPath = path;
    ShowProjectName(name);
    return true;
}

// The project list's name of the file: its entry's, or a new entry with a name of its own.
QString MainWindow::RegisterProject(const Zelvo::Chars& path) {
    XmlElement* projects = settings.Section("Projects");
    for (XmlElement* entry : projects->ChildElements("Project")) {
        XmlAttribute* entryPath = entry->Attribute("path", false);
        if (!entryPath || entryPath->Value() != path)
            continue;
        XmlAttribute* item = entry->Attribute("item", false);
        if (!item)
            throw "No item attribute";
        return FromChars(item->Value());
    }
    QString name = UniqueProjectName(QFileInfo(FromChars(path)).completeBaseName());
    auto* entry = new XmlElement("Project");
    projects->AppendChild(entry);
    entry->Attribute("item", true)->Set(ToChars(name));
    entry->Attribute("path", true)->Set(path);
    return name;
}

QString MainWindow::UniqueProjectName(const QString& baseName) {
    QStringList taken;
    for (XmlElement* entry : settings.Section("Projects")->ChildElements("Project"))
        if (XmlAttribute* item = entry->Attribute("item", false))
            taken << FromChars(item->Value());
    QString name = baseName;
    for (int k = 1; taken.contains(name); ++k)
        name = QString("%1(%2)").arg(baseName).arg(k);
    return name;
}

// Saving from the quit prompt: true when the project is safe and the window may close.
bool MainWindow::SaveBeforeQuit() {
    if (currentProjectPath.IsEmpty()) {
        OnSaveProjectAsAction(false);
        return !currentProjectPath.IsEmpty();
    }
    try {
        if (!SaveProject(currentProjectPath))
            throw "Could not save the project!";
        return true;
    } catch (const std::bad_alloc&) {
        LogText(tr("\nNot enough memory to save the project!\n"));
    } catch (const char* message) {
        LogText(tr(message));
    } catch (...) {
        LogText(tr("\nCould not save the project because of an unknown error!\n"));
    }
    prompts->Warn(tr("Vedora 1.02"), tr("The project could not be saved !\n"));
    engine.SetDirty(true);
    return false;
}

void MainWindow::OnSaveProjectAction(bool) {
    if (currentProjectPath.IsEmpty()) {
        OnSaveProjectAsAction(false);
        return;
    }
    try {
        LogText(tr("Saving project '%1' ... ").arg(FromChars(currentProjectPath)));
        if (!SaveProject(currentProjectPath))
            throw "\nCould not save the project\n";
        LogText(tr("done.\n"));
        return;
    } catch (const std::bad_alloc&) {
        LogText(tr("\nNot enough memory to save the project!\n"));
    } catch (const char* message) {
        LogText(tr(message));
    } catch (...) {
        LogText(tr("\nCould not save the project because of an unknown error!\n"));
    }
    engine.SetDirty(true);
    prompts->Warn(tr("Vedora 1.02"), tr("The project could not be saved !\n"));
}

void MainWindow::OnSaveProjectAsAction(bool) {
    QString file = prompts->ChooseSaveFile(tr("Save the project as..."), settings.ProjectsFolder(),
                                           tr("Vedora Project (*.vdp)"));
    if (file.isEmpty())
        return;
    settings.Section("Projects")->Attribute("currentPath", true)->Set(FolderWithSlash(file));
    try {
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
        LogText(tr("Saving project '%1' ... ").arg(file));
        if (!SaveProject(path))
            throw "\nCould not save the procject\n";
        currentProjectPath = path;
        RegisterProject(path);
        QString baseName = QFileInfo(file).completeBaseName();
        ShowProjectName(baseName);
        projectLabel->setText(tr(" Project:") + baseName + " ");
        LogText(tr("done\n"));
        return;
    } catch (const std::bad_alloc&) {
        LogText(tr("\nNot enough memory to save the project!\n"));
    } catch (const char* message) {
        LogText(tr(message));
    } catch (...) {
        LogText(tr("\nCould not save the project because of an unknown error!\n"));
    }
    LogText(tr("failed.\n"));
    engine.SetDirty(true);
    prompts->Warn(tr("Vedora 1.02"), tr("The project could not be saved !\n"));
}
