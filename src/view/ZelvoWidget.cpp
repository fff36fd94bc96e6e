#include "view/ZelvoWidget.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

#include "view/OpenGLSupport.h"

namespace {

const char* const kUnfocusedStyle = "QFrame {border: 0px solid rgb(64,128,255); border-radius: 0px; padding: 3px;}";
const char* const kFocusedStyle = "QFrame {border: 3px solid rgb(64,128,255);  border-radius: 4px; padding: 0px;}";

}  // namespace

ZelvoWidget::ZelvoWidget(QWidget* parent) : QFrame(parent) {
    layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (OpenGLAvailable()) {
        glWidget = new ZelvoGLWidget(this);
        layout->addWidget(glWidget);
        connect(glWidget, &ZelvoGLWidget::FocusChanged, this, &ZelvoWidget::OnFocusChanged);
        connect(glWidget, &ZelvoGLWidget::KeyPressed, this, &ZelvoWidget::OnKeyPressed);
        ConnectManager(glWidget->Manager());
    } else {
        ownManager = std::make_unique<GuiMgr>();
        unavailable = new QLabel(UnavailableText(), this);
        unavailable->setObjectName("m_openGLUnavailableLabel");
        unavailable->setAlignment(Qt::AlignCenter);
        unavailable->setWordWrap(true);
        unavailable->setStyleSheet("QLabel {border: 0px; padding: 12px; color: rgb(200, 200, 200); "
                                   "background-color: rgb(32, 32, 32);}");
        layout->addWidget(unavailable);
        ConnectManager(*ownManager);
    }
    setStyleSheet(kUnfocusedStyle);
}

ZelvoWidget::~ZelvoWidget() = default;

QString ZelvoWidget::UnavailableText() {
    return tr("The image view needs OpenGL, which this system does not provide.\n"
              "Projects can still be matched, stitched and saved.");
}

GuiMgr& ZelvoWidget::Manager() { return glWidget ? glWidget->Manager() : *ownManager; }

void ZelvoWidget::SetWarningPrompt(ZelvoGLWidget::WarningPrompt prompt) {
    if (glWidget)
        glWidget->SetWarningPrompt(std::move(prompt));
}

void ZelvoWidget::ConnectManager(GuiMgr& mgr) {
    mgr.SetZoomChangedCallback([this](double zoom) { emit ZoomChanged(zoom); });
    mgr.SetOffsetChangedCallback([this](double x, double y) { emit OffsetChanged(x, y); });
    mgr.SetObjectCallback([this](GuiObj* obj, int code) {
        if (code == kGuiSelected)
            emit ObjSelected(obj);
        else if (code == kGuiDeselected)
            emit ObjDeselected(obj);
    });
}

void ZelvoWidget::FocusView() {
    if (glWidget)
        glWidget->setFocus(Qt::OtherFocusReason);
}

void ZelvoWidget::OnFocusChanged(bool hasFocus) { setStyleSheet(hasFocus ? kFocusedStyle : kUnfocusedStyle); }

void ZelvoWidget::OnKeyPressed(QKeyEvent* event) { emit KeyPressed(event); }
