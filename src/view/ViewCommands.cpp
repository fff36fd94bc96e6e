#include "view/ViewCommands.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

#include "view/GuiMgr.h"
#include "view/GuiRect.h"

int GridColumns(int pictureCount) {
    if (pictureCount <= 0)
        return 0;
    return static_cast<int>(std::trunc(std::sqrt(static_cast<double>(pictureCount)) + 0.999));
}

double ArrangeInGrid(const std::vector<GuiRect*>& pictures, double top) {
    const int columns = GridColumns(static_cast<int>(pictures.size()));
    double x = 0, y = top, rowHeight = 0;
    int column = 0;
    for (GuiRect* picture : pictures) {
        picture->SetTopLeft({x, y});
        x += picture->Width() + 20;
        rowHeight = std::max(rowHeight, picture->Height());
        if (++column == columns) {
            column = 0;
            x = 0;
            y += rowHeight + 20;
            rowHeight = 0;
        }
    }
    if (column > 0)
        y += rowHeight + 20;
    return y;
}

double StackPictures(const std::vector<GuiRect*>& pictures, double y, double gap) {
    for (GuiRect* picture : pictures) {
        picture->SetTopLeft({0, y});
        y += picture->Height() + gap;
    }
    return y;
}

void ArrangePictures(GuiMgr& mgr, const std::vector<GuiRect*>& sources, const std::vector<GuiRect*>& panoramas) {
    const double y = ArrangeInGrid(sources, 0);
    StackPictures(panoramas, y + 50, 20);
    mgr.ZoomToFitAll();
}

void AlignPictures(GuiMgr& mgr, const std::vector<PicturePlacement>& placed, const std::vector<GuiRect*>& unplaced,
                   const std::vector<GuiRect*>& panoramas) {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool any = false;
    for (const PicturePlacement& p : placed) {
        if (!p.picture)
            continue;
        const double r = p.topLeft.x + p.picture->Width(), b = p.topLeft.y + p.picture->Height();
        left = any ? std::min(left, p.topLeft.x) : p.topLeft.x;
        top = any ? std::min(top, p.topLeft.y) : p.topLeft.y;
        right = any ? std::max(right, r) : r;
        bottom = any ? std::max(bottom, b) : b;
        any = true;
    }
    for (const PicturePlacement& p : placed)
        if (p.picture)
            p.picture->SetTopLeft({p.topLeft.x - left, p.topLeft.y - top});
    // Without connected pictures the grid starts at the top.
    const double gridTop = any ? bottom - top + 100 : 0;
    const double y = ArrangeInGrid(unplaced, gridTop);
    StackPictures(panoramas, y + 50, 50);
    mgr.ZoomToFitAll();
}

QString ZoomLabelText(int viewWidth, int viewHeight, double zoom) {
    const QString format = QCoreApplication::translate("MainWindow", " View:[%dx%d] Zoom:%1.2f ");
    const int w = static_cast<int>(std::trunc(viewWidth / zoom));
    const int h = static_cast<int>(std::trunc(viewHeight / zoom));
    return QString::asprintf(format.toUtf8().constData(), w, h, zoom);
}

bool BringSelectedToFront(GuiMgr& mgr) {
    GuiObj* obj = mgr.Selected();
    if (!obj || !obj->BringToFront())
        return false;
    mgr.Paint();
    return true;
}

bool SendSelectedToBack(GuiMgr& mgr) {
    GuiObj* obj = mgr.Selected();
    if (!obj || !obj->SendToBack())
        return false;
    mgr.Paint();
    return true;
}

void ZoomIn(GuiMgr& mgr) { mgr.ZoomBy(GuiMgr::kZoomInFactor); }

void ZoomOut(GuiMgr& mgr) { mgr.ZoomBy(GuiMgr::kZoomOutFactor); }

void ZoomToSelection(GuiMgr& mgr) {
    if (GuiObj* obj = mgr.Selected())
        mgr.ZoomToFit({obj});
}

namespace {

bool SelectStep(GuiMgr& mgr, int step) {
    GuiObj* current = mgr.Selected();
    const std::vector<GuiObj*>* siblings = nullptr;
    if (current && current->Layer())
        siblings = current->Parent() ? &current->Parent()->Children() : &current->Layer()->Objects();
    else if (mgr.LayerCount() > 0)
        siblings = &mgr.Layer(0).Objects();
    if (!siblings)
        return false;
    std::vector<GuiObj*> candidates;
    for (GuiObj* obj : *siblings)
        if (obj->HasFlag(kGuiVisible))
            candidates.push_back(obj);
    if (candidates.empty())
        return false;
    const int n = static_cast<int>(candidates.size());
    auto it = std::find(candidates.begin(), candidates.end(), current);
    int index;
    if (it == candidates.end())
        index = step > 0 ? 0 : n - 1;
    else
        index = ((static_cast<int>(it - candidates.begin()) + step) % n + n) % n;
    mgr.Select(candidates[index]);
    return true;
}

}  // namespace

bool SelectNext(GuiMgr& mgr) { return SelectStep(mgr, 1); }

bool SelectPrevious(GuiMgr& mgr) { return SelectStep(mgr, -1); }
