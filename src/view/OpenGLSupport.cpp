#include "view/OpenGLSupport.h"

#include <QGuiApplication>
#include <QOpenGLContext>

namespace {

// Platforms that draw widgets without any GL composition: a QOpenGLWidget there renders into
// nothing and crashes when grabbed, even where a bare context can be made (offscreen with an
// X display).
bool PlatformHostsGLWidgets(const QString& platform) {
    for (const char* name : {"offscreen", "minimal", "linuxfb", "vnc", "vkkhrdisplay"})
        if (platform == QLatin1String(name))
            return false;
    return true;
}

}  // namespace

bool OpenGLAvailable() {
    if (!QGuiApplication::instance())
        return false;
    static const bool available = [] {
        if (!PlatformHostsGLWidgets(QGuiApplication::platformName()))
            return false;
        QOpenGLContext probe;
        return probe.create() && probe.isValid();
    }();
    return available;
}
