// The Movie menu: the QuickTime VR movie dialog.
#include <QDir>

#include "app/MainWindow.h"
#include "movie/MovieDialog.h"

QString MainWindow::MovieImageFolder() {
    Zelvo::XmlAttribute* current = settings.Section("CurrentImagePath")->Attribute("currentPath", false);
    if (!current || current->Value().IsEmpty())
        return QDir::homePath() + "/";
    return QString::fromUtf8(current->Value().c_str());
}

void MainWindow::OnMovieDialog(bool) {
    if (!quickTimeAvailable) {
        prompts->Warn(tr("Vedora 1.02"),
                      tr("Quicktime could not be initialized.\nYou must install Quicktime in order to use this "
                         "function.\n"));
        return;
    }
    MovieDialog dialog(movieSettings, *prompts, MovieImageFolder(), this);
    prompts->RunDialog(dialog);
}
