#include "view/ZelvoGLWidget.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QWheelEvent>

namespace {

unsigned ModifiersOf(Qt::KeyboardModifiers m) {
    unsigned bits = kGuiNoModifier;
    if (m & Qt::ShiftModifier)
        bits |= kGuiShift;
    if (m & Qt::ControlModifier)
        bits |= kGuiCtrl;
    if (m & Qt::AltModifier)
        bits |= kGuiAlt;
    if (m & Qt::MetaModifier)
        bits |= kGuiMeta;
    return bits;
}

int ButtonStateOf(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 4 : 0) | (b & Qt::MiddleButton ? 8 : 0) | (b & Qt::RightButton ? 16 : 0);
}

}  // namespace

ZelvoGLWidget::ZelvoGLWidget(QWidget* parent) : QOpenGLWidget(parent) {
    connect(&timer, &QTimer::timeout, this, &ZelvoGLWidget::timedUpdate);
    timer.start(kRepaintIntervalMs);
    setFocusPolicy(Qt::WheelFocus);
    setMinimumSize(16, 16);
    // The widget asks itself for a repaint, except from inside its own paint.
    mgr.SetRepaintCallback([this] {
        if (notPainting && !frozen)
            update();
    });
}

ZelvoGLWidget::~ZelvoGLWidget() {
    timer.stop();
    ReleaseGL();
    // The base class destroys the context after the manager is gone: it must not call back.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

template <class F>
void ZelvoGLWidget::Guarded(F&& f) {
    try {
        f();
    } catch (...) {
        ReportException();
    }
}

void ZelvoGLWidget::ReportException() {
    // The box waits for the event loop: a modal dialog inside paintGL or a mouse handler
    // would re-enter the view half-way through.
    if (warningPending)
        return;
    warningPending = true;
    QMetaObject::invokeMethod(this, &ZelvoGLWidget::ShowWarning, Qt::QueuedConnection);
}

void ZelvoGLWidget::ShowWarning() {
    warningPending = false;
    const QString title = tr("Exception"), text = tr("An exception occurred in the GL Widget !\n");
    if (warn)
        warn(title, text);
    else
        QMessageBox::warning(this, title, text, QMessageBox::Ok);
}

void ZelvoGLWidget::ReleaseGL() {
    if (!context())
        return;
    makeCurrent();
    try {
        mgr.ReleaseAllGLResources();
    } catch (...) {
    }
    doneCurrent();
}

QPointF ZelvoGLWidget::DevicePosition(const QPointF& logical) const { return logical * devicePixelRatioF(); }

void ZelvoGLWidget::SetFrozen(bool freeze) {
    if (frozen == freeze)
        return;
    frozen = freeze;
    if (!frozen)
        update();
}

void ZelvoGLWidget::timedUpdate() {
    if (frozen)
        return;
    Guarded([this] {
        if (mgr.SceneChanged()) {
            sinceActivity.restart();
            update();
            return;
        }
        const bool seen = isVisible() && window()->isActiveWindow();
        const bool working = sinceActivity.isValid() && sinceActivity.elapsed() < kCrawlRestsAfterMs;
        const bool due = !sinceLastPaint.isValid() || sinceLastPaint.elapsed() >= kCrawlIntervalMs;
        if (mgr.Crawling() && seen && working && due)
            update();
    });
}

bool ZelvoGLWidget::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::Enter:
    case QEvent::FocusIn: sinceActivity.restart(); break;
    default: break;
    }
    return QOpenGLWidget::event(event);
}

void ZelvoGLWidget::initializeGL() {
    Guarded([this] {
        connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &ZelvoGLWidget::ReleaseGL, Qt::UniqueConnection);
        const qreal ratio = devicePixelRatioF();
        mgr.SetViewportSize(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
    });
}

void ZelvoGLWidget::resizeGL(int w, int h) {
    Guarded([this, w, h] {
        const qreal ratio = devicePixelRatioF();
        mgr.SetViewportSize(static_cast<int>(w * ratio), static_cast<int>(h * ratio));
    });
}

void ZelvoGLWidget::paintGL() {
    // A frozen view that has drawn once leaves its framebuffer as it is: the last picture.
    if (frozen && drawn)
        return;
    timer.stop();
    notPainting = 0;
    Guarded([this] { mgr.Render(); });
    drawn = true;
    sinceLastPaint.restart();
    notPainting = 1;
    timer.start(kRepaintIntervalMs);
}

void ZelvoGLWidget::mousePressEvent(QMouseEvent* event) {
    Guarded([this, event] {
        const QPointF p = DevicePosition(event->position());
        buttonState = ButtonStateOf(event->buttons());
        lastPosition = p;
        if (event->button() == Qt::LeftButton)
            mgr.LeftPress(p.x(), p.y());
        else if (event->button() == Qt::RightButton)
            mgr.RightPress(p.x(), p.y());
    });
}

void ZelvoGLWidget::mouseReleaseEvent(QMouseEvent* event) {
    Guarded([this, event] {
        const QPointF p = DevicePosition(event->position());
        buttonState = ButtonStateOf(event->buttons());
        if (event->button() == Qt::LeftButton)
            mgr.LeftRelease(p.x(), p.y());
        else if (event->button() == Qt::RightButton)
            mgr.RightRelease(p.x(), p.y());
    });
}

void ZelvoGLWidget::mouseMoveEvent(QMouseEvent* event) {
    Guarded([this, event] {
        const QPointF p = DevicePosition(event->position());
        buttonState = ButtonStateOf(event->buttons());
        if (buttonState == 4)
            mgr.LeftDrag(p.x(), p.y());
        else if (buttonState == 16)
            mgr.Pan(p.x() - lastPosition.x(), p.y() - lastPosition.y(), ModifiersOf(event->modifiers()));
        lastPosition = p;
    });
}

void ZelvoGLWidget::wheelEvent(QWheelEvent* event) {
    Guarded([this, event] {
        const QPointF p = DevicePosition(event->position());
        mgr.Wheel(p.x(), p.y(), event->angleDelta().y(), ModifiersOf(event->modifiers()));
        event->accept();
    });
}

void ZelvoGLWidget::keyPressEvent(QKeyEvent* event) {
    Guarded([this, event] {
        // PageUp and the zoom-in sequence zoom in, as the toolbar's tool tips tell.
        if (event->matches(QKeySequence::ZoomIn)) {
            mgr.Key(GuiKey::ZoomIn);
            return;
        }
        if (event->matches(QKeySequence::ZoomOut)) {
            mgr.Key(GuiKey::ZoomOut);
            return;
        }
        switch (event->key()) {
        case Qt::Key_Left: mgr.Key(GuiKey::Left); break;
        case Qt::Key_Right: mgr.Key(GuiKey::Right); break;
        case Qt::Key_Up: mgr.Key(GuiKey::Up); break;
        case Qt::Key_Down: mgr.Key(GuiKey::Down); break;
        case Qt::Key_PageUp: mgr.Key(GuiKey::ZoomIn); break;
        case Qt::Key_PageDown: mgr.Key(GuiKey::ZoomOut); break;
        case Qt::Key_Home: mgr.Key(GuiKey::ZoomAll); break;
        default: emit KeyPressed(event); break;
        }
    });
}

void ZelvoGLWidget::focusInEvent(QFocusEvent* event) {
    QOpenGLWidget::focusInEvent(event);
    emit FocusChanged(true);
}

void ZelvoGLWidget::focusOutEvent(QFocusEvent* event) {
    QOpenGLWidget::focusOutEvent(event);
    emit FocusChanged(false);
}
