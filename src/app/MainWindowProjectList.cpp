// The project list dialog: the user's catalogue of project files in the settings document,
// with loading, inserting, removing and renaming (which renames the file on disk).
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

#include "app/MainWindow.h"
#include "app/ProjectImagePaths.h"
#include "app/XmlListWidget.h"

namespace {

using Zelvo::XmlAttribute;
using Zelvo::XmlElement;

bool HasPath(XmlElement* entry) {
    XmlAttribute* path = entry ? entry->Attribute("path", false) : nullptr;
    return path && !path->Value().IsEmpty();
}

}  // namespace

void MainWindow::ConnectProjectList() {
    XmlListWidget* list = projectListUi.m_xmlListWidget;
    connect(projectListUi.m_insertProjectButton, &QPushButton::released, this, &MainWindow::OnInsertProjectToList);
    connect(projectListUi.m_removeProjectButton, &QPushButton::released, this,
            &MainWindow::OnRemoveSelectedProjectFromList);
    connect(projectListUi.m_removeAllProjectsButton, &QPushButton::released, this,
            &MainWindow::OnRemoveAllProjectsFromList);
    connect(projectListUi.m_renameProjectToolButton, &QToolButton::released, this, &MainWindow::OnRenameProjectInList);
    connect(projectListUi.m_loadSelectedProjectButton, &QPushButton::released, this,
            &MainWindow::OnLoadSelectedProjectFromList);
    connect(list, &QListWidget::itemClicked, this, &MainWindow::OnProjectItemClicked);
    connect(list, &QListWidget::itemDoubleClicked, this, &MainWindow::OnProjectItemDoubleClicked);
    connect(list, &XmlListWidget::EditTextDone, this, &MainWindow::OnProjectRenamed);
    connect(projectListUi.m_buttonBox, &QDialogButtonBox::accepted, projectListDialog, &QDialog::accept);
    connect(projectListUi.m_buttonBox, &QDialogButtonBox::rejected, projectListDialog, &QDialog::reject);
}

// Sorted by name, without the entries that name no file; the selection is forgotten because
// the rows are new.
void MainWindow::RefillProjectList() {
    XmlListWidget* list = projectListUi.m_xmlListWidget;
    list->Fill(settings.Document(), "Projects");
    for (int i = list->count() - 1; i >= 0; --i)
        if (!HasPath(XmlListWidget::ElementOf(list->item(i))))
            delete list->takeItem(i);
    list->sortItems(Qt::AscendingOrder);
    selectedProjectRow = nullptr;
}

void MainWindow::OnLoadProjectFromList() {
    RefillProjectList();
    prompts->RunDialog(*projectListDialog);
}

void MainWindow::OnProjectItemClicked(QListWidgetItem* row) {
    XmlElement* entry = XmlListWidget::ElementOf(row);
    if (!HasPath(entry))
        return;
    selectedProjectRow = row;
    statusBar()->showMessage(FromChars(entry->Attribute("path", false)->Value()));
}

void MainWindow::OnProjectItemDoubleClicked(QListWidgetItem* row) {
    OnProjectItemClicked(row);
    OnLoadSelectedProjectFromList();
}

void MainWindow::OnLoadSelectedProjectFromList() {
    if (!selectedProjectRow) {
        prompts->Warn(tr("Vedora 1.02"), tr("Please select first a project from the list !"));
        return;
    }
    // Saving may register a project and refill the list: the path is taken first.
    const Zelvo::Chars path = XmlListWidget::ElementOf(selectedProjectRow)->Attribute("path", false)->Value();
    if (!AskToSaveProject(tr("Loading a project.\nDo you want to save the current project ?")))
        return;
    projectListDialog->accept();
    LoadProject(path);
}

void MainWindow::OnInsertProjectToList() {
    const QStringList files = prompts->ChooseOpenFiles(tr("Select one or more projects to insert"),
                                                       settings.ProjectsFolder(), tr("Vedora Project (*.vdp)"));
    if (files.isEmpty())
        return;
    XmlElement* projects = settings.Section("Projects");
    projects->Attribute("currentPath", true)->Set(FolderWithSlash(files.first()));
    for (QString file : files) {
        file.replace('\\', '/');
        const Zelvo::Chars path = ToChars(file);
        if (projects->FindDescendant("Project", "path", path.c_str(), false))
            continue;
        // The name is unique among the entries already listed and those of this insertion.
        const QString name = UniqueProjectName(QFileInfo(file).completeBaseName());
        auto* entry = new XmlElement("Project");
        projects->AppendChild(entry);
        entry->Attribute("item", true)->Set(ToChars(name));
        entry->Attribute("path", true)->Set(path);
    }
    RefillProjectList();
}

// The file stays where it is; only the entry goes.
void MainWindow::OnRemoveSelectedProjectFromList() {
    if (!selectedProjectRow) {
        prompts->Warn(tr("Vedora 1.02"), tr("Please select first a project from the list !"));
        return;
    }
    XmlElement* entry = XmlListWidget::ElementOf(selectedProjectRow);
    projectListUi.m_xmlListWidget->clear();
    Zelvo::XmlNode::Delete(entry);
    RefillProjectList();
}

void MainWindow::OnRemoveAllProjectsFromList() {
    enum { RemoveAll, DontRemove };
    int answer = prompts->Ask(UserPrompts::Kind::Question, tr("Vedora 1.02"),
                              tr("Do you want to remove all projects from the list?"),
                              {tr("Remove all"), tr("Don't remove")}, DontRemove, DontRemove);
    if (answer != RemoveAll)
        return;
    projectListUi.m_xmlListWidget->clear();
    for (XmlElement* entry : settings.Section("Projects")->ChildElements("Project"))
        Zelvo::XmlNode::Delete(entry);
    RefillProjectList();
}

void MainWindow::OnRenameProjectInList() {
    if (!selectedProjectRow) {
        prompts->Warn(tr("Vedora 1.02"), tr("Please select first a project from the list !"));
        return;
    }
    projectListUi.m_xmlListWidget->StartRename(selectedProjectRow);
}

void MainWindow::OnProjectRenamed(QListWidgetItem* row, const QString& oldText) {
    if (!row || row->text() == oldText)
        return;
    if (projectListUi.m_xmlListWidget->CountText(row->text()) > 1) {
        row->setText(oldText);
        return;
    }
    try {
        RenameProjectFile(row, oldText);
    } catch (const char* message) {
        // Only a damaged settings file has an entry without a path; the entry stays as it was.
        LogText(tr(message) + "\n");
        row->setText(oldText);
    }
}

// The entry's file gets the new name in its own folder; a file of that name already there is
// never replaced. An entry whose file is gone keeps its name and path.
void MainWindow::RenameProjectFile(QListWidgetItem* row, const QString& oldText) {
    XmlElement* entry = XmlListWidget::ElementOf(row);
    XmlAttribute* path = entry->Attribute("path", true);
    XmlAttribute* item = entry->Attribute("item", true);
    if (path->Value().IsEmpty())
        throw "Empty path attribute";
    const QString oldPath = FromChars(path->Value());
    if (!QFileInfo::exists(oldPath))
        return;
    const QString name = row->text();
    if (name.trimmed().isEmpty() || name.contains('/') || name.contains('\\')) {
        row->setText(oldText);
        return;
    }
    QString newPath = QFileInfo(oldPath).absolutePath() + "/" + name + ".vdp";
    newPath.replace('\\', '/');
    if (QFileInfo::exists(newPath) || !QFile::rename(oldPath, newPath)) {
        row->setText(oldText);
        return;
    }
    LogText(tr("Project file path renamed from '%1' to '%2'\n").arg(oldPath, newPath));
    item->Set(ToChars(name));
    path->Set(ToChars(newPath));
    if (currentProjectPath == ToChars(oldPath)) {
        currentProjectPath = ToChars(newPath);
        ShowProjectName(name);
    }
    RefillProjectList();
}
