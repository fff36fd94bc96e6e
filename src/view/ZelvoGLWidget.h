#pragma once

#include <QElapsedTimer>
#include <QOpenGLWidget>
#include <QPoint>
#include <QTimer>
#include <functional>

#include "view/GuiMgr.h"

class QKeyEvent;

// The OpenGL image view: owns the scene manager and feeds it the mouse, wheel and keys. A
// 33 ms timer repaints whenever the scene changed. A selection's crawling outline alone
// repaints ten times a second, only while the window is active and only while the user works
// in it: a frame of the whole view costs the software renderer a good part of a core, so after
// a few seconds without input or change the outline rests until the next one. No exception leaves a handler: each is
// turned into the warning "Exception" through the warning prompt.
class ZelvoGLWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    static constexpr int kRepaintIntervalMs = 33;
    static constexpr int kCrawlIntervalMs = 100;
    static constexpr int kCrawlRestsAfterMs = 3000;

    explicit ZelvoGLWidget(QWidget* parent = nullptr);
    ~ZelvoGLWidget() override;

    GuiMgr& Manager() { return mgr; }
    const QTimer& RepaintTimer() const { return timer; }
    bool IsPainting() const { return notPainting == 0; }
    // While frozen the view keeps showing its last picture (its framebuffer is composed as it
    // is) and draws nothing new: long operations change the scene step by step, and drawing
    // each step would cost the software renderer as much as the work. Thawing draws the scene.
    void SetFrozen(bool frozen);
    bool IsFrozen() const { return frozen; }

    // Shows a warning (title, text). The window installs its prompts here; without one a
    // QMessageBox is used.
    using WarningPrompt = std::function<void(const QString& title, const QString& text)>;
    void SetWarningPrompt(WarningPrompt prompt) { warn = std::move(prompt); }

signals:
    void FocusChanged(bool hasFocus);
    void KeyPressed(QKeyEvent* event);

public slots:
    void timedUpdate();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    template <class F>
    void Guarded(F&& f);
    void ReportException();
    void ShowWarning();
    void ReleaseGL();
    QPointF DevicePosition(const QPointF& logical) const;

    GuiMgr mgr;
    QTimer timer;
    QElapsedTimer sinceLastPaint;
    QElapsedTimer sinceActivity;  // input or a change of the scene
    QPointF lastPosition;
    // Mouse buttons held: left 4, middle 8, right 16.
    int buttonState = 0;
    // 0 while paintGL runs.
    int notPainting = 1;
    WarningPrompt warn;
    bool warningPending = false;
    bool frozen = false;
    bool drawn = false;  // the framebuffer holds a picture of the scene
};
