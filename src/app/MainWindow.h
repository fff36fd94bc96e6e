#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "app/SettingsDocument.h"
#include "app/UserPrompts.h"
#include "engine/PanoramaEngine.h"
#include "linalg/PointD.h"
#include "movie/VrMovieSettings.h"
#include "ui_ImageViewForm.h"
#include "ui_MainWindow.h"
#include "ui_MatchingForm.h"
#include "ui_PanoramaForm.h"
#include "ui_ProjectForm.h"
#include "ui_ProjectListForm.h"
#include "view/GuiChainedPoints.h"
#include "xml/Chars.h"
#include "xml/XmlDocument.h"

class GuiBitmap;
class GuiMgr;
class GuiObj;
class GuiPoints;
class GuiRect;
class QDialog;
class QKeyEvent;
class QLabel;
class QListWidgetItem;
class QProgressDialog;
class QTreeWidgetItem;

// The single top-level window. It owns the engine, the settings and project documents, the
// pictures of the view and the three task pages, and it only drives: its slots read widgets,
// call the engine and show results. The frame (this file's .cpp) builds the window, keeps the
// settings, the status bar and the quit prompts; MainWindowProgress.cpp holds the long
// operations' hooks and progress dialogs; each page keeps its slots in a file of its own
// (MainWindowProject.cpp the project, MainWindowImages.cpp the source image list,
// MainWindowProjectList.cpp the project list dialog, MainWindowMatching.cpp the matching page,
// MainWindowPanorama.cpp the panorama page, MainWindowView.cpp the view toolbar).
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // startupProjectPath: the project to open after the first paint (empty for none).
    // prompts: every question and message of the window; Qt's dialogs when null.
    // executablePath: where the settings file is looked for; the running program when empty.
    explicit MainWindow(const Zelvo::Chars& startupProjectPath, std::unique_ptr<UserPrompts> prompts = nullptr,
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
    // The status log's menu: the text edit's own entries and the quality report of the fit.
    void OnLogContextMenu(const QPoint& position);
    void OnQualityReport();
    void OnAbout(bool checked);
    void OnProjectToolButton();
    void OnMatchingToolButton();
    void OnPanoramaToolButton();
    void OnMovieDialog(bool checked);

    // Project (MainWindowProject.cpp).
    void OnNewProject();
    void OnLoadProject();
    void OnSaveProjectAction(bool checked);
    void OnSaveProjectAsAction(bool checked);

    // Source image list (MainWindowImages.cpp).
    void OnLoadImages();
    void OnRemoveSelectedImage();
    void OnRemoveAllImages();
    void OnImageItemClicked(QListWidgetItem* row);
    void OnRotateImages0();
    void OnRotateImages90();
    void OnRotateImages180();
    void OnRotateImages270();

    // Project list dialog (MainWindowProjectList.cpp).
    void OnLoadProjectFromList();
    void OnInsertProjectToList();
    void OnRemoveSelectedProjectFromList();
    void OnRemoveAllProjectsFromList();
    void OnRenameProjectInList();
    void OnProjectItemClicked(QListWidgetItem* row);
    void OnProjectItemDoubleClicked(QListWidgetItem* row);
    void OnProjectRenamed(QListWidgetItem* row, const QString& oldText);
    void OnLoadSelectedProjectFromList();

    // Matching page (MainWindowMatching.cpp). None lets an exception escape.
    void OnMoreMatchingParamters();
    void OnAutomaticMatching();
    void OnShowFeaturePoints(int state);
    void OnSelectFirst();
    void OnSelectSecond();
    void OnPairAutomaticMatching();
    void OnInsertPoint();
    void OnDeletePoint();
    void OnDeleteAllPoints();
    void OnApplyManualChanges();
    void OnSelectReference();
    void OnHierarchyItemClicked(QTreeWidgetItem* item, int column);

    // View toolbar (MainWindowView.cpp), in the order the toolbar's description gives them.
    void OnZoomIn();
    void OnZoomOut();
    void OnZoomToSelection();
    void OnZoomAll();
    void OnBringToFront();
    void OnSendToBack();
    void OnArrange();
    void OnAlign();
    void OnZoomChanged(double zoom);
    void OnImageViewSettings();
    void OnImageViewKeyPressed(QKeyEvent* event);
    void OnZoomToPanorama();
    void OnBringFirstToFront();
    void OnBringSecondToFront();
    void OnZoomTo();
    void OnObjectSelected(GuiObj* obj);
    void OnObjectDeselected(GuiObj* obj);

    // Panorama page (MainWindowPanorama.cpp), in the order the page's description gives them.
    void OnStitchPanorama();
    void OnStitchPreview();
    void OnPanoramaImageSize(int size);
    void OnPanoramaPreviewImageSize(int size);
    void OnCropImage();
    void OnEnableCrop360Degrees(int state);
    void OnMoreStitchParameters();
    void OnSavePanoramaImage();
    void OnPanoramaImageRotation(double degrees);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FreezeView(bool freeze);
    int viewFreezes = 0;
    void ShowViewLabel(const QString& text);
    // A photograph that does not load, named with what can be told of why.
    static QString UnloadableReason(const QString& file);
    friend class MainWindowFixture;  // tests/support: puts the window into the states tests need

    enum class SaveIndicator { None, Green, Red };

    // Construction steps (MainWindow.cpp).
    void InstallEngineHooks();
    void SetUpForms();
    void SetUpSplitters();
    void ConnectFrame();
    void ConnectProjectPage();
    void ConnectProjectList();
    void ConnectView();
    void SetUpStatusBar();
    void LoadSettings();
    void SaveSettings();

    // Long operations (MainWindowProgress.cpp). RunWithProgress shows the abortable progress
    // dialog with the label while operation runs, catches what it throws and logs it; it
    // returns the operation's result, false after an exception. BeginProgress opens the
    // progress dialog without a cancel button for loading; the rotation buttons stay disabled
    // while it exists.
    bool RunWithProgress(const QString& label, const std::function<bool()>& operation);
    // Runs a slot's work; what it throws is logged with the long operations' texts (or the
    // given ones for memory and unknown errors; a thrown text is logged as it is). False when
    // the work threw.
    bool Guarded(const std::function<void()>& work);
    bool Guarded(const std::function<void()>& work, const QString& outOfMemory, const QString& unknown);
    bool GuardedSave(const std::function<void()>& save);
    std::unique_ptr<QProgressDialog> BeginProgress(const QString& label);
    void SetRotationButtonsEnabled(bool enabled);
    void LogText(const QString& text);
    void StatusText(const QString& text);
    void ProcessHookEvents();
    // Logs what a loading loop caught: the memory text, the message itself, or the unknown text.
    void LogLoadError(std::exception_ptr error, const QString& outOfMemory, const QString& unknown);

    // The project (MainWindowProject.cpp). LoadProject with an empty path makes a new project.
    bool LoadProject(const Zelvo::Chars& path);
    bool SaveProject(const Zelvo::Chars& path);
    void ReadProjectPictures(QProgressDialog* progress, QString* reason);
    void MakeNewProject();
    void MakeNewProjectSafely();
    // The question before the open project is replaced; saves when the user asks for it.
    // False when the project was to be saved and is not: the caller stops.
    bool AskToSaveProject(const QString& question);
    bool SaveBeforeQuit();
    QString RegisterProject(const Zelvo::Chars& path);
    QString UniqueProjectName(const QString& baseName);
    void ShowProjectName(const QString& name);
    void ShowProjectPathTips();
    void ShowEngineValues();

    // The source image list (MainWindowImages.cpp).
    Zelvo::XmlElement* PanoramaElement();
    Zelvo::XmlElement* ImagesElement();
    // A new picture of the file, loaded turned by rotation (0..3) and shown the way source
    // pictures look; null when the file cannot be decoded.
    std::unique_ptr<GuiBitmap> NewSourcePicture(const QString& path, int rotation);
    // Top-left corner of a picture that follows previous (null for the first) in the cascade.
    static PointD CascadePosition(const GuiBitmap* previous, const GuiBitmap& picture);
    GuiBitmap* FindSourcePicture(const Zelvo::Chars& path) const;
    void RelabelImages();
    void RefillImageList();
    void AfterImageListChange();
    void SyncEngineImages();
    void ShowImagePathTips();
    QString ImageFolder();
    void RotateImages(int rotation);
    void ReloadSourcePictures(int rotation, QProgressDialog& progress);

    // The project list dialog (MainWindowProjectList.cpp).
    void RefillProjectList();
    void RenameProjectFile(QListWidgetItem* row, const QString& oldText);

    // The view (MainWindowView.cpp).
    GuiMgr& ViewManager() const;
    QWidget* ViewWidget() const;
    void ShowViewSize();
    void ZoomAllAndFocusView();
    void FocusView();
    void RepaintView();
    void DropViewSelection();
    std::vector<GuiRect*> SourceRects() const;
    std::vector<GuiRect*> PanoramaRects() const;
    void ShowPage(QWidget* page, QAbstractButton* button);
    void BringPairImageToFront(const Zelvo::Chars& own, const Zelvo::Chars& other);
    void ZoomToPair();

    // The matching page (MainWindowMatching.cpp).
    enum class PairRole { First, Second };
    void ConnectMatchingPage();
    // The hierarchy of the engine in the page's tree, with the tips naming the images.
    void ShowOverlapHierarchy();
    // A refit after saved points changes the hierarchy; the tree follows once the slot that
    // saved them has returned (it may still hold one of the tree's rows).
    void RefreshOutdatedHierarchy();
    // Leaving an image of the pair: offers to save changed points, then the image looks as
    // every source picture does and the pair's markers leave the view.
    void DeselectFirst();
    void DeselectSecond();
    void Deselect(PairRole role);
    // Drops the pair without a question, for pictures that are going away.
    void ForgetPair();
    void AskSaveChangedPoints();
    void DeleteAllPairPoints();
    // The pair's corresponding points on its two pictures; reload takes them from the engine.
    void ShowPairPoints(bool reload);
    void SelectPairImage(PairRole role, const Zelvo::Chars& path, float opacity);
    void SelectPairFromView(PairRole role);
    Zelvo::Chars& PairPath(PairRole role) { return role == PairRole::First ? firstImagePath : secondImagePath; }
    bool HasPair() const { return !firstImagePath.IsEmpty() && !secondImagePath.IsEmpty(); }
    // Engine index of an image path; -1 when the engine does not hold it.
    int ImageIndex(const Zelvo::Chars& path) const;
    // Index in the view's list of pictures; -1 when none shows the path.
    int PictureIndex(const Zelvo::Chars& path) const;
    GuiBitmap* SourcePictureOf(const GuiObj* obj) const;
    // Tree rows: the red and blue frame icons of the pair.
    std::vector<QTreeWidgetItem*> HierarchyRows() const;
    static Zelvo::Chars RowPath(const QTreeWidgetItem* row);
    void ClearPairIcons(const Zelvo::Chars& path);
    void MarkPairEdge();
    void MarkFirstRowsOfPair();
    void RemoveFeatureMarkers();
    void RefreshFeatureMarkers();
    void ShowMatchingResults();

    // The panorama page (MainWindowPanorama.cpp). The pictures "stitchImage" and "cropImage"
    // are found by name; PanoramaPicture creates a missing one below everything the view holds.
    void ConnectPanoramaPage();
    // RunWithProgress with the view's painting held back until the operation ends.
    bool RunPanoramaOperation(const QString& label, const std::function<bool()>& operation);
    void ShowPanoramaValues();
    void ShowPanoramaPathTip();
    QString PanoramaImageFolder();
    GuiBitmap* FindPanoramaPicture(const char* name) const;
    GuiBitmap* PanoramaPicture(const char* name);
    void RemovePanoramaPicture(const char* name);
    void RemovePanoramaPictures();
    // Puts a finished image into a panorama picture and schedules its texture. The picture
    // measures width x height scene units (the panorama's pixels), whatever the image's size.
    GuiBitmap* ShowPanoramaImage(const char* name, ImgRGB&& image, int textureLimit, double width, double height);
    // The engine's panorama over rect (the whole one for an empty rect) into the picture, reduced
    // to the picture's texture limit; false (logged) when the engine cannot give it.
    bool ShowEnginePanorama(const char* name, const RectD& rect, int textureLimit);
    void PlaceCropPictureBelowStitch();
    void ShowCropFrame(GuiBitmap& stitch, const RectD& rect);
    void HideCropFrame();
    bool CropFrameShown() const;
    void UpdateMarker360();
    void SavePanoramaImage(const QString& file);

    // The movie dialog (MainWindowMovie.cpp): where its file dialogs start.
    QString MovieImageFolder();

    bool HasSourcePictures() const { return !sourcePictures.empty(); }
    bool HasResultPictures() const { return !panoramaPictures.empty(); }

    std::unique_ptr<UserPrompts> prompts;
    SettingsDocument settings;
    Zelvo::XmlDocument projectDocument;
    std::unique_ptr<Zelvo::XmlDocument> hierarchyDocument;
    // Pictures of the view, one per source image in list order, and the stitched and cropped
    // panorama. The window owns them; the view's scene only shows them, and a picture leaves
    // the scene when it is destroyed.
    std::vector<std::unique_ptr<GuiBitmap>> sourcePictures;
    std::vector<std::unique_ptr<GuiBitmap>> panoramaPictures;
    // The crop frame and the 360-degree marker on "stitchImage" (in its child layer, so they
    // leave the view with it); null until the first stitch.
    std::unique_ptr<GuiRect> cropFrame;
    std::unique_ptr<GuiRect> marker360;
    // The rectangle of the engine's panorama that "cropImage" shows and a save writes.
    RectD shownCrop;
    PanoramaEngine engine;

    // The matching page's image pair: the paths of its first and second image (empty when
    // unset), their corresponding points as two linked marker sets shown on the pictures, and
    // the feature points of every picture while they are shown.
    Zelvo::Chars firstImagePath;
    Zelvo::Chars secondImagePath;
    GuiChainedPoints firstPointMarkers;
    GuiChainedPoints secondPointMarkers;
    std::vector<std::unique_ptr<GuiPoints>> featurePointMarkers;
    bool showFeaturePoints = false;
    // The reference image the user chose last on the matching page.
    Zelvo::Chars selectedReferencePath;
    bool hierarchyOutdated = false;
    // Where the next inserted point goes on the insertion grid; kept between insertions.
    int insertOffsetX = 0;
    int insertOffsetY = 0;

    Zelvo::Chars currentProjectPath;
    QString projectName;
    // The source image chosen in the list or in the view; empty for none.
    Zelvo::Chars selectedImagePath;
    Zelvo::Chars startupProjectPath;
    TextureLimits textureLimits;
    PointMarkerStyle pointMarkers;
    QProgressDialog* currentProgress = nullptr;
    // Since the hooks last processed pending events (see ProcessHookEvents).
    QElapsedTimer sinceHookEvents;
    bool quickTimeAvailable = true;
    // The movie parameters (MainWindowMovie.cpp), kept for the window's life.
    VrMovieSettings movieSettings;

    // Value-initialised so that the hooks can tell whether the forms exist yet.
    Ui::MainWindow ui{};
    Ui::ImageViewForm viewUi{};
    Ui::ProjectForm projectUi{};
    Ui::MatchingForm matchingUi{};
    Ui::PanoramaForm panoramaUi{};
    Ui::ProjectListForm projectListUi{};
    QDialog* projectListDialog = nullptr;
    // The project list's row chosen by a click; forgotten at every refill.
    QListWidgetItem* selectedProjectRow = nullptr;
    QWidget* projectPage = nullptr;
    QWidget* matchingPage = nullptr;
    QWidget* panoramaPage = nullptr;
    QLabel* projectLabel = nullptr;
    QAction* qualityReportAction = nullptr;  // in the status log's menu
    QLabel* viewLabel = nullptr;

    bool firstPaintDone = false;
    SaveIndicator saveIndicator = SaveIndicator::None;
};
