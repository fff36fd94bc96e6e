#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QList>
#include <QProgressDialog>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

#include "app/QtUserPrompts.h"
#include "dialogs/AboutDialog.h"
#include "view/GuiBitmap.h"

namespace {

const char* const kSplitterStyle =
    "QSplitter::handle:hover\t\t{background: yellow; border-radius: 3px; border: 2px outset gray;}";
const char* const kGreenIndicator = "background-color: rgb(0,210,0)";
const char* const kRedIndicator = "background-color: rgb(250,0,0)";

}  // namespace

MainWindow::MainWindow(const Zelvo::Chars& startupProjectPath, std::unique_ptr<UserPrompts> userPrompts,
                       const QString& executablePath)
    : prompts(std::move(userPrompts)) {
    InstallEngineHooks();
    quickTimeAvailable = true;
    if (!prompts)
        prompts = std::make_unique<QtUserPrompts>(this);
    SetUpForms();
    SetUpSplitters();
    ConnectFrame();
    ConnectProjectPage();
    ConnectProjectList();
    ConnectView();
    ConnectMatchingPage();
    ConnectPanoramaPage();
    SetUpStatusBar();
    ui.m_toolBox->addWidget(projectPage);
    ui.m_toolBox->addWidget(matchingPage);
    ui.m_toolBox->addWidget(panoramaPage);
    ui.m_toolBox->setCurrentWidget(projectPage);
    settings.Load(
        SettingsFilePath(executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : executablePath));
    LoadSettings();
    if (!settings.LoadNotice().isEmpty())
        LogText(settings.LoadNotice() + "\n");
    LoadProject(Zelvo::Chars());
    this->startupProjectPath = startupProjectPath;
}

// The pictures leave the view before the view itself goes (it is a child widget, destroyed
// after the members); dropping the selection first keeps the list and the view in step.
MainWindow::~MainWindow() {
    DropViewSelection();
    // Nothing may be asked any more; a pair still selected (the window was never closed) goes
    // without its question.
    ForgetPair();
    SaveSettings();
    hierarchyDocument.reset();
    // A progress dialog still registered belongs to an operation that cannot outlive us.
    currentProgress = nullptr;
    sourcePictures.clear();
    panoramaPictures.clear();
}

void MainWindow::InstallEngineHooks() {
    engine.SetLogHook([this](const char* text) { return Log(text); });
    engine.SetStatusHook([this](const char* text) { return Status(text); });
}

void MainWindow::SetUpForms() {
    ui.setupUi(this);
    viewUi.setupUi(ui.m_imageViewFrame);
    projectPage = new QWidget;
    projectUi.setupUi(projectPage);
    projectListDialog = new QDialog(this);
    projectListUi.setupUi(projectListDialog);
    matchingPage = new QWidget;
    matchingUi.setupUi(matchingPage);
    panoramaPage = new QWidget;
    panoramaUi.setupUi(panoramaPage);
}

// The view takes the extra width and the pages the extra height; the handles light up under
// the mouse so that the user finds them.
void MainWindow::SetUpSplitters() {
    for (QSplitter* splitter : {ui.m_horzSplitter, ui.m_vertSplitter}) {
        splitter->setHandleWidth(7);
        splitter->setStyleSheet(kSplitterStyle);
    }
    ui.m_horzSplitter->setStretchFactor(0, 0);
    ui.m_horzSplitter->setStretchFactor(1, 1);
    ui.m_vertSplitter->setStretchFactor(0, 1);
    ui.m_vertSplitter->setStretchFactor(1, 0);
}

void MainWindow::ConnectFrame() {
    connect(ui.m_aboutAction, &QAction::triggered, this, &MainWindow::OnAbout);
    connect(ui.m_actionQuicktimeVR, &QAction::triggered, this, &MainWindow::OnMovieDialog);
    connect(ui.m_clearLogToolButton, &QToolButton::clicked, this, &MainWindow::OnClearLog);
    qualityReportAction = new QAction(tr("Show the quality report"), this);
    qualityReportAction->setObjectName("m_qualityReportAction");
    connect(qualityReportAction, &QAction::triggered, this, &MainWindow::OnQualityReport);
    ui.m_statusTextEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui.m_statusTextEdit, &QWidget::customContextMenuRequested, this, &MainWindow::OnLogContextMenu);
    connect(ui.m_projectToolButton, &QToolButton::clicked, this, &MainWindow::OnProjectToolButton);
    connect(ui.m_matchingToolButton, &QToolButton::clicked, this, &MainWindow::OnMatchingToolButton);
    connect(ui.m_panoramaToolButton, &QToolButton::clicked, this, &MainWindow::OnPanoramaToolButton);
}

void MainWindow::SetUpStatusBar() {
    projectLabel = new QLabel(tr(" New project "));
    viewLabel = new QLabel(QStringLiteral("        "));
    statusBar()->addPermanentWidget(projectLabel);
    statusBar()->addPermanentWidget(viewLabel);
}

void MainWindow::LoadSettings() {
    textureLimits = settings.ReadTextureLimits();
    pointMarkers = settings.ReadPointMarkers();
    SplitterSizes s = settings.ReadSplitterSizes();
    ui.m_horzSplitter->setSizes({s.s1, s.s2});
    ui.m_vertSplitter->setSizes({s.s3, s.s4});
    ui.m_statusTextEdit->clear();
}

// The size stored is the window's own, not the frame's: the frame includes the window
// manager's decoration, and restoring it as the window size would grow the window by the title
// bar at every start.
void MainWindow::SaveSettings() {
    WindowPlacement placement;
    placement.x = pos().x();
    placement.y = pos().y();
    placement.w = width();
    placement.h = height();
    settings.WritePlacement(placement);
    QList<int> h = ui.m_horzSplitter->sizes();
    QList<int> v = ui.m_vertSplitter->sizes();
    settings.WriteSplitterSizes({h.value(0), h.value(1), v.value(0), v.value(1)});
    settings.WriteTextureLimits(textureLimits);
    settings.WritePointMarkers(pointMarkers);
    settings.Save();
}

// The stored place may belong to a larger screen or a second one that is gone: a window of
// which less than half would show is moved into the available area (as far as it fits, its
// top-left corner first), so that it never opens mostly off-screen.
void MainWindow::RestoreGeometry() {
    WindowPlacement p = settings.ReadWindowPlacement();
    const QScreen* screen = QGuiApplication::screenAt(QPoint(p.x, p.y));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        const QRect shown = area.intersected(QRect(p.x, p.y, p.w, p.h));
        if (shown.width() * 2 < std::min(p.w, area.width()) || shown.height() * 2 < std::min(p.h, area.height())) {
            p.x = std::max(area.left(), std::min(p.x, area.left() + area.width() - p.w));
            p.y = std::max(area.top(), std::min(p.y, area.top() + area.height() - p.h));
        }
    }
    move(p.x, p.y);
    resize(p.w, p.h);
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (firstPaintDone)
        return;
    firstPaintDone = true;
    QTimer::singleShot(1, this, &MainWindow::OnStartupAfterPaint);
    QTimer::singleShot(1000, this, &MainWindow::OnTimer);
}

// The project named on the command line waits for the first paint, so that its loading
// progress shows over a complete window.
void MainWindow::OnStartupAfterPaint() {
    if (!startupProjectPath.IsEmpty())
        LoadProject(startupProjectPath);
    ZoomAllAndFocusView();
}

// Red while there is work that a quit would lose: a saved project changed since, or a new one
// that already holds pictures.
void MainWindow::OnTimer() {
    bool unsaved = currentProjectPath.IsEmpty() ? HasSourcePictures() : engine.IsDirty();
    SaveIndicator wanted = unsaved ? SaveIndicator::Red : SaveIndicator::Green;
    if (wanted != saveIndicator) {
        projectLabel->setStyleSheet(wanted == SaveIndicator::Red ? kRedIndicator : kGreenIndicator);
        saveIndicator = wanted;
    }
    QTimer::singleShot(1000, this, &MainWindow::OnTimer);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    ShowViewSize();
}

// The view also changes size without the window when a splitter moves, and the layout sizes it
// only after the window's own resize event; both reach the label through here.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ViewWidget() && event->type() == QEvent::Resize)
        ShowViewSize();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::OnClearLog() { ui.m_statusTextEdit->clear(); }

void MainWindow::OnAbout(bool) {
    AboutDialog about(this);
    about.setWindowTitle(tr("Vedora 1.02"));
    prompts->RunDialog(about);
}

void MainWindow::OnProjectToolButton() {
    ShowPage(projectPage, ui.m_projectToolButton);
    ZoomAllAndFocusView();
}

void MainWindow::OnMatchingToolButton() {
    ShowPage(matchingPage, ui.m_matchingToolButton);
    ZoomAllAndFocusView();
}

void MainWindow::OnPanoramaToolButton() {
    ShowPage(panoramaPage, ui.m_panoramaToolButton);
    OnZoomToPanorama();
}

void MainWindow::ShowPage(QWidget* page, QAbstractButton* button) {
    ui.m_toolBox->setCurrentWidget(page);
    button->setChecked(true);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    DropViewSelection();
    if (!HasSourcePictures()) {
        event->accept();
        return;
    }
    Guarded([this] {
        DeselectFirst();
        DeselectSecond();
    });
    const QString title = tr("Vedora 1.02");
    if (engine.IsDirty()) {
        enum { Save, DontSave, Cancel };
        int answer =
            prompts->Ask(UserPrompts::Kind::Question, title,
                         tr("The application is about to quit.\nDo you want to save the project before quitting?"),
                         {tr("Save"), tr("Don't save"), tr("Cancel and don't quit")}, Save, Cancel);
        if (answer == Save ? SaveBeforeQuit() : answer == DontSave)
            event->accept();
        else
            event->ignore();
        return;
    }
    if (!HasResultPictures()) {
        event->accept();
        return;
    }
    enum { Quit, DontQuit };
    int answer = prompts->Ask(UserPrompts::Kind::Question, title, tr("Do you want to quit the application?"),
                              {tr("Quit"), tr("Don't quit")}, DontQuit, DontQuit);
    if (answer == DontQuit)
        event->ignore();
    else
        event->accept();
}
