#pragma once

#include <QDialog>
#include <QString>

#include <memory>

#include "movie/VrMovieSettings.h"

class MovieWidget;
class UserPrompts;
namespace Ui {
class MovieForm;
}

// The movie dialog: shows the current movie, loads another, creates one from a saved panorama
// image with the window's movie parameters and edits those parameters. Questions and messages
// go through the window's prompts. settings and prompts must outlive the dialog.
class MovieDialog : public QDialog {
    Q_OBJECT
public:
    // imageFolder: where the file dialogs start.
    MovieDialog(VrMovieSettings& settings, UserPrompts& prompts, const QString& imageFolder, QWidget* parent = nullptr);
    ~MovieDialog() override;

    MovieWidget* Viewer() const;
    // Where the temporary files of a creation go (the system's temporary folder when empty).
    void SetTemporaryFolder(const QString& folder) { temporaryFolder = folder; }

public slots:
    void OnLoadMovie();
    void OnCreateMovie();
    void OnMovieParameters();

private:
    void ShowMovieFile(const QString& path);
    void FitToViewer();

    std::unique_ptr<Ui::MovieForm> ui;
    VrMovieSettings& settings;
    UserPrompts& prompts;
    QString imageFolder;
    QString temporaryFolder;
};
