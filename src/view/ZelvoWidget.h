#pragma once

#include <QFrame>
#include <memory>

#include "view/GuiMgr.h"
#include "view/GuiObj.h"
#include "view/ZelvoGLWidget.h"

class QHBoxLayout;
class QKeyEvent;
class QLabel;

// The frame around the GL view: a focus border, and the manager's notifications as signals
// for the window. Where OpenGL is missing it shows a message in the view's place and keeps a
// manager of its own, so the window's scene work goes on without drawing.
class ZelvoWidget : public QFrame {
    Q_OBJECT
public:
    explicit ZelvoWidget(QWidget* parent = nullptr);
    ~ZelvoWidget() override;

    GuiMgr& Manager();
    // Null when OpenGL is not available.
    ZelvoGLWidget* GLWidget() const { return glWidget; }
    bool HasOpenGL() const { return glWidget != nullptr; }
    // Updates the scene and repaints the view.
    void Repaint() { Manager().Paint(); }
    // Gives the keyboard focus to the view (after a toolbar command).
    void FocusView();
    void SetWarningPrompt(ZelvoGLWidget::WarningPrompt prompt);

    static QString UnavailableText();

signals:
    void ZoomChanged(double zoomFactor);
    void OffsetChanged(double offsetX, double offsetY);
    void ObjSelected(GuiObj* pObj);
    void ObjDeselected(GuiObj* pObj);
    void KeyPressed(QKeyEvent* event);

public slots:
    void OnFocusChanged(bool hasFocus);
    void OnKeyPressed(QKeyEvent* event);

private:
    void ConnectManager(GuiMgr& mgr);

    QHBoxLayout* layout = nullptr;
    ZelvoGLWidget* glWidget = nullptr;
    QLabel* unavailable = nullptr;
    std::unique_ptr<GuiMgr> ownManager;
};
