#pragma once

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "app/SettingsDocument.h"
#include "app/UserPrompts.h"
#include "movie/VrMovieSettings.h"
#include "project/PanoramaEngine.h"
#include "ui_ImageViewForm.h"
#include "ui_MainWindow.h"
#include "ui_MatchingForm.h"
#include "ui_PanoramaForm.h"
#include "ui_ProjectForm.h"
#include "xml/Chars.h"
#include "xml/XmlDocument.h"

class GuiBitmap;
class QLabel;
class QProgressDialog;

// The single top-level window. It owns the engine, the settings and project documents, the
// pictures of the view and the three task pages, and it only drives: its slots read widgets,
// call the engine and show results. The frame (this file's .cpp) builds the window, keeps the
// settings, the status bar and the quit prompts; MainWindowProgress.cpp holds the long
// operations' hooks and progress dialogs; each page keeps its slots in a file of its own.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // startupProjectPath: the project to open after the first paint (empty for none).
    // prompts: every question and message of the window; Qt's dialogs when null.
    // executablePath: where the settings file is looked for; the running program when empty.
    explicit MainWindow(const Zelvo::Chars& startupProjectPath,
                        std::unique_ptr<UserPrompts> prompts = nullptr,
                        const QString& executablePath = QString());
    ~MainWindow() override;

    // Moves and sizes the window as the settings say (start-up, after construction).
    void RestoreGeometry();
    // Whether the movie function can be offered; the constructor starts with true.
    void SetQuickTimeAvailable(bool available) { quickTimeAvailable = available; }
    bool QuickTimeAvailable() const { return quickTimeAvailable; }
    UserPrompts& Prompts() { return *prompts; }
    const QString& SettingsPath() const { return settings.FilePath(); }

    // The engine's two hooks. Log appends UTF-8 text to the status log, Status shows it in the
    // status bar and the progress dialog; both then process pending events (so "Abort" and
    // repaints get through) and return true when the current progress dialog was cancelled.
    bool Log(const char* utf8);
    bool Status(const char* utf8);

private slots:
    void OnStartupAfterPaint();
    void OnTimer();
    void OnClearLog();
    void OnAbout(bool checked);
    void OnProjectToolButton();
    void OnMatchingToolButton();
    void OnPanoramaToolButton();
    void OnMovieDialog(bool checked);
    void OnSaveProjectAction(bool checked);
    void OnSaveProjectAsAction(bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class MainWindowFixture; // tests/support: puts the window into the states tests need

    enum class SaveIndicator { None, Green, Red };

    // Construction steps (MainWindow.cpp).
    void InstallEngineHooks();
    void SetUpForms();
    void SetUpSplitters();
    void ConnectFrame();
    void SetUpStatusBar();
    void LoadSettings();
    void SaveSettings();

    // Long operations (MainWindowProgress.cpp). RunWithProgress shows the abortable progress
    // dialog with the label while operation runs, catches what it throws and logs it; it
    // returns the operation's result, false after an exception. BeginProgress opens the
    // progress dialog without a cancel button for loading; the rotation buttons stay disabled
    // while it exists.
    bool RunWithProgress(const QString& label, const std::function<bool()>& operation);
    std::unique_ptr<QProgressDialog> BeginProgress(const QString& label);
    void SetRotationButtonsEnabled(bool enabled);
    void LogText(const QString& text);

    // The project (MainWindowProject.cpp).
    void NewProject();
    bool SaveProject(const Zelvo::Chars& path);
    bool SaveBeforeQuit();
    QString RegisterProject(const Zelvo::Chars& path);
    QString UniqueProjectName(const QString& baseName);
    void ShowProjectName(const QString& name);
    void ShowProjectPathTips();
    void ShowEngineValues();

    // The view until the GL view is placed into m_viewContainer.
    QWidget* ViewWidget() const;
    void ShowViewSize();
    void ZoomAllAndFocusView();
    void ShowPage(QWidget* page, QAbstractButton* button);

    // The movie dialog (MainWindowMovie.cpp): where its file dialogs start.
    QString MovieImageFolder();

    bool HasSourcePictures() const { return !sourcePictures.empty(); }
    bool HasResultPictures() const { return !panoramaPictures.empty(); }

    std::unique_ptr<UserPrompts> prompts;
    SettingsDocument settings;
    Zelvo::XmlDocument projectDocument;
    std::unique_ptr<Zelvo::XmlDocument> hierarchyDocument;
    // Pictures of the view, owned by its scene: one per source image, and the stitched and
    // cropped panorama.
    std::vector<GuiBitmap*> sourcePictures;
    std::vector<GuiBitmap*> panoramaPictures;
    PanoramaEngine engine;

    Zelvo::Chars currentProjectPath;
    QString projectName;
    Zelvo::Chars startupProjectPath;
    TextureLimits textureLimits;
    PointMarkerStyle pointMarkers;
    QProgressDialog* currentProgress = nullptr;
    bool quickTimeAvailable = true;
    // The movie parameters (MainWindowMovie.cpp), kept for the window's life.
    VrMovieSettings movieSettings;

    // Value-initialised so that the hooks can tell whether the forms exist yet.
    Ui::MainWindow ui{};
    Ui::ImageViewForm viewUi{};
    Ui::ProjectForm projectUi{};
    Ui::MatchingForm matchingUi{};
    Ui::PanoramaForm panoramaUi{};
    QWidget* projectPage = nullptr;
    QWidget* matchingPage = nullptr;
    QWidget* panoramaPage = nullptr;
    QLabel* projectLabel = nullptr;
    QLabel* viewLabel = nullptr;

    double viewZoom = 1.0;
    bool firstPaintDone = false;
    SaveIndicator saveIndicator = SaveIndicator::None;
};
