// Long operations: the engine's log and status hooks, the abortable progress dialog around
// user-started operations and the cancel-less one for loading.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTextCursor>

#include <algorithm>
#include <memory>
#include <new>

#include "app/MainWindow.h"
#include "engine/QualityReport.h"

bool MainWindow::Log(const char* utf8) {
    QTextEdit* log = ui.m_statusTextEdit;
    if (utf8 && *utf8 && log) {
        log->moveCursor(QTextCursor::End);
        log->insertPlainText(QString::fromUtf8(utf8));
        log->moveCursor(QTextCursor::End);
    }
    ProcessHookEvents();
    if (currentProgress && currentProgress->wasCanceled()) {
        if (log)
            log->moveCursor(QTextCursor::End);
        return true;
    }
    return false;
}

bool MainWindow::Status(const char* utf8) {
    if (utf8 && *utf8 && ui.statusbar)
        statusBar()->showMessage(QString::fromUtf8(utf8));
    if (currentProgress && utf8)
        currentProgress->setLabelText(QString::fromUtf8(utf8));
    ProcessHookEvents();
    return currentProgress && currentProgress->wasCanceled();
}

// While an operation runs, pending events are processed at most every kHookEventInterval ms:
// each pass repaints the window, which the GL view makes a composition of the whole window (tens
// of milliseconds on a software renderer), and matching or a stitch calls the hooks hundreds of
// times. The log, the label and "Abort" still answer four times a second; a press is seen at
// the first hook call after it was processed.
void MainWindow::ProcessHookEvents() {
    constexpr qint64 kHookEventInterval = 250;
    if (currentProgress && sinceHookEvents.isValid() && sinceHookEvents.elapsed() < kHookEventInterval)
        return;
    QCoreApplication::processEvents();
    sinceHookEvents.start();
}

void MainWindow::LogText(const QString& text) { Log(text.toUtf8().constData()); }

void MainWindow::OnLogContextMenu(const QPoint& position) {
    std::unique_ptr<QMenu> menu(ui.m_statusTextEdit->createStandardContextMenu());
    menu->addSeparator();
    qualityReportAction->setEnabled(!engine.CameraList().empty());
    menu->addAction(qualityReportAction);
    menu->exec(ui.m_statusTextEdit->viewport()->mapToGlobal(position));
}

// The same report vedora-stitch writes with --report, as text at the end of the log.
void MainWindow::OnQualityReport() {
    if (engine.CameraList().empty()) {
        LogText(tr("There are no fitted cameras to report on: match the photographs first.\n"));
        return;
    }
    LogText("\n" + QString::fromStdString(QualityReportText(MakeQualityReport(engine))));
}

void MainWindow::StatusText(const QString& text) { Status(text.toUtf8().constData()); }

void MainWindow::LogLoadError(std::exception_ptr error, const QString& outOfMemory, const QString& unknown) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        LogText(outOfMemory);
    } catch (const char* message) {
        LogText(tr(message));
    } catch (...) {
        LogText(unknown);
    }
}

bool MainWindow::Guarded(const std::function<void()>& work) {
    return Guarded(work, tr("\nNot enough memory to complete the operation\n"),
                   tr("\nCan't complete the operation because of an unknown error\n"));
}

bool MainWindow::Guarded(const std::function<void()>& work, const QString& outOfMemory, const QString& unknown) {
    try {
        work();
        return true;
    } catch (...) {
        LogLoadError(std::current_exception(), outOfMemory, unknown);
        return false;
    }
}

// Only the label and the "Abort" button show: the operations report their progress in words,
// so the dialog carries a bar that is never shown.
bool MainWindow::RunWithProgress(const QString& label, const std::function<bool()>& operation) {
    QProgressDialog dialog(label, tr("Abort"), 1, 1, this);
    dialog.setWindowTitle(windowTitle());
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    auto* bar = new QProgressBar(&dialog);
    dialog.setBar(bar);
    bar->hide();
    dialog.show();
    currentProgress = &dialog;
    sinceHookEvents.invalidate();
    bool done = false;
    Guarded([&] { done = operation(); });
    currentProgress = nullptr;
    return done;
}

std::unique_ptr<QProgressDialog> MainWindow::BeginProgress(const QString& label) {
    auto dialog = std::make_unique<QProgressDialog>(label, QString(), 0, 0, this);
    dialog->setWindowTitle(windowTitle());
    dialog->setCancelButton(nullptr);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(0);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    SetRotationButtonsEnabled(false);
    // The view shows the pictures once they are all loaded: repainting the scene for every
    // picture on the way costs more than the loading itself on a software renderer.
    FreezeView(true);
    connect(dialog.get(), &QObject::destroyed, this, [this] {
        SetRotationButtonsEnabled(true);
        FreezeView(false);
        RepaintView();
    });
    return dialog;
}

// The GL view keeps its last picture while frozen; a view without GL simply stops painting.
// Operations nest (a stitch shows a progress dialog of its own): the view thaws with the
// outermost.
void MainWindow::FreezeView(bool freeze) {
    viewFreezes = std::max(0, viewFreezes + (freeze ? 1 : -1));
    const bool frozen = viewFreezes > 0;
    if (ZelvoGLWidget* gl = viewUi.m_zelvoWidget->GLWidget())
        gl->SetFrozen(frozen);
    else
        viewUi.m_zelvoWidget->setUpdatesEnabled(!frozen);
}

void MainWindow::SetRotationButtonsEnabled(bool enabled) {
    for (QRadioButton* button : {projectUi.m_rotateImages0RadioButton, projectUi.m_rotateImages90RadioButton,
                                 projectUi.m_rotateImages180RadioButton, projectUi.m_rotateImages270RadioButton})
        button->setEnabled(enabled);
}
