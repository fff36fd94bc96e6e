#pragma once

#include <QDir>
#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include "app/MainWindow.h"

// Saves the window as VEDORA_FRAME_DIR/<name>.png, after a few frames of the view's repaint
// timer so that the textures are up.
inline void Screenshot(MainWindow& w, const QString& name, int waitMs = 300) {
    QTest::qWait(waitMs);
    QDir().mkpath(VEDORA_FRAME_DIR);
    EXPECT_TRUE(w.grab().save(QString(VEDORA_FRAME_DIR) + "/" + name + ".png"));
}
