#pragma once

// The panorama page's tests: a ring of photographs that closes a full turn, matched in a
// window, and the helpers that look at the panorama pictures and the crop frame.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "ProjectTestSupport.h"
#include "image/ImageFile.h"
#include "support/SamePixels.h"
#include "view/GuiMgr.h"
#include "view/GuiRect.h"

// Twelve small photographs of the world, 30 degrees apart around the horizon: 320 x 240 at
// f = 300, so that neighbours overlap by about half and the last meets the first.
inline const RenderedViews& RingPhotographs() {
    static RenderedViews views([] {
        std::vector<render::ViewSpec> specs;
        for (int k = 0; k < 12; ++k)
            specs.push_back(View(30 * k, 0, 0, 300, 320, 240));
        return specs;
    }());
    return views;
}

inline QStringList RingFiles() {
    QStringList files;
    for (size_t k = 0; k < 12; ++k)
        files << QString::fromStdString(RingPhotographs().Path(k));
    return files;
}

// The photographs added through the page and matched: the window then has a closed hierarchy.
inline void AddAndMatchRing(TestWindow& w, const QStringList& files = RingFiles()) {
    AddPhotos(w, files);
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    engine.SetGeneticSeed(7);
    ASSERT_TRUE(engine.FindOverlappingImages());
    ASSERT_NE(engine.TransitionTree(), nullptr) << "the ring did not close";
}

inline GuiBitmap* StitchPicture(MainWindow& w) { return MainWindowFixture::PanoramaPicture(w, "stitchImage"); }
inline GuiBitmap* CropPicture(MainWindow& w) { return MainWindowFixture::PanoramaPicture(w, "cropImage"); }

inline bool Shown(const GuiObj* obj) { return obj && obj->Layer() && obj->HasFlag(kGuiVisible); }

// A drag in the view's manager from one point of the frame's own coordinates (panorama pixels)
// to another, the way the mouse does it.
inline void DragInView(MainWindow& w, GuiObj& obj, const PointD& from, const PointD& to) {
    GuiMgr& mgr = MainWindowFixture::ViewManager(w);
    mgr.UpdateScene();
    const PointD a = obj.ToScreen(from), b = obj.ToScreen(to);
    mgr.LeftPress(a.x, a.y);
    mgr.LeftDrag((a.x + b.x) / 2, (a.y + b.y) / 2);
    mgr.LeftDrag(b.x, b.y);
    mgr.LeftRelease(b.x, b.y);
}

// Files of the folder whose names begin with a dot: what a failed save could leave behind.
inline QStringList HiddenFiles(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).filter(QRegularExpression("^\\."));
}
