#include "movie/MovieDialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "app/UserPrompts.h"
#include "movie/MovieCreation.h"
#include "movie/MovieParametersDialog.h"
#include "movie/MovieWidget.h"
#include "ui_MovieForm.h"

MovieDialog::MovieDialog(VrMovieSettings& s, UserPrompts& p, const QString& folder, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::MovieForm>()), settings(s), prompts(p), imageFolder(folder) {
    ui->setupUi(this);
    ui->m_dialogLayout->setSizeConstraint(QLayout::SetFixedSize);
    ui->m_dialogLayout->setAlignment(ui->m_movieWidget, Qt::AlignHCenter);
    connect(ui->m_loadMoviePushButton, &QPushButton::released, this, &MovieDialog::OnLoadMovie);
    connect(ui->m_createMoviePushButton, &QPushButton::released, this, &MovieDialog::OnCreateMovie);
    connect(ui->m_parametersToolButton, &QToolButton::released, this, &MovieDialog::OnMovieParameters);
    connect(ui->m_buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

MovieDialog::~MovieDialog() = default;

MovieWidget* MovieDialog::Viewer() const { return ui->m_movieWidget; }

void MovieDialog::OnLoadMovie() {
    QString path = prompts.ChooseOpenFile(tr("Open movie"), imageFolder, tr("Movies (*.mov)"));
    if (!path.isEmpty())
        ShowMovieFile(path);
}

void MovieDialog::ShowMovieFile(const QString& path) {
    QString why;
    if (!ui->m_movieWidget->LoadMovie(path, &why)) {
        prompts.Warn(tr("Vedora 1.02"), tr("The movie %1 cannot be shown: %2.").arg(path, why));
        return;
    }
    FitToViewer();
}

// The dialog takes the viewer's new size at once and stays on its screen.
void MovieDialog::FitToViewer() {
    layout()->activate();
    adjustSize();
    if (const QScreen* shown = screen()) {
        const QRect area = shown->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
        move(frame.topLeft());
    }
}

void MovieDialog::OnCreateMovie() {
    QString image = prompts.ChooseOpenFile(tr("Open image"), imageFolder, tr("Images (*.jpg *.png *.bmp *.tiff)"));
    if (image.isEmpty())
        return;
    QProgressDialog progress(tr("Creating Movie"), QString(), 0, MovieCreationSteps(settings.tiles), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    MovieCreationHooks hooks;
    hooks.progress = [&progress](int done) {
        progress.setValue(done);
        QApplication::processEvents();
    };
    hooks.chooseSavePath = [this](const std::string& proposal) {
        return prompts.ChooseSaveFile(tr("Save movie"), QString::fromStdString(proposal), tr("Movies (*.mov)"))
            .toStdString();
    };
    MovieCreationResult result =
        CreateMovieFromImageFile(image.toStdString(), settings, hooks, temporaryFolder.toStdString());
    progress.reset();
    if (result.status == MovieCreationResult::Status::Failed)
        prompts.Warn(tr("Vedora 1.02"), QString::fromStdString(result.message));
    else if (result.status == MovieCreationResult::Status::Written)
        ShowMovieFile(QString::fromStdString(result.moviePath));
}

void MovieDialog::OnMovieParameters() {
    MovieParametersDialog parameters(&settings, this);
    prompts.RunDialog(parameters);
}
