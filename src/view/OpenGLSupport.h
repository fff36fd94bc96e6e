#pragma once

// Whether this process can show the GL view: a QGuiApplication exists, its platform can put a
// QOpenGLWidget on screen, and an OpenGL context can be made. False on Qt's offscreen and
// other window-less platforms (whose GL contexts, where they have any, cannot host the
// widget) and where no GL driver answers. Checked once.
bool OpenGLAvailable();
