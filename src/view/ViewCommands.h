#pragma once

#include <QString>
#include <vector>

#include "linalg/PointD.h"

class GuiMgr;
class GuiRect;

// The view commands of the main window's image-view toolbar that need only the view: the
// window gathers its pictures and calls these, then gives the view the focus back.

// Columns of the grid for n pictures: trunc(sqrt(n) + 0.999).
int GridColumns(int pictureCount);

// Places the pictures row by row with their top-left corners from (0, top): x grows by each
// width + 20, a new row starts at x = 0 below the tallest picture of the row + 20. Returns
// the y below the last row (top when there is none).
double ArrangeInGrid(const std::vector<GuiRect*>& pictures, double top);
// Stacks the pictures at x = 0 from y, each followed by its height + gap; returns the next y.
double StackPictures(const std::vector<GuiRect*>& pictures, double y, double gap);

// "Arrange images in a grid": the source pictures in a grid, 50 below them the panoramas
// stacked 20 apart; then the view fits everything.
void ArrangePictures(GuiMgr& mgr, const std::vector<GuiRect*>& sources, const std::vector<GuiRect*>& panoramas);

// One picture at the top-left position the overlap layout gave it.
struct PicturePlacement {
    GuiRect* picture = nullptr;
    PointD topLeft;
};
// "Arrange overlapping images": the connected pictures at their layout positions, shifted so
// that their union starts at (0, 0); the unconnected ones in a grid from 100 below the union;
// 50 further down the panoramas stacked 50 apart; then the view fits everything.
void AlignPictures(GuiMgr& mgr, const std::vector<PicturePlacement>& placed, const std::vector<GuiRect*>& unplaced,
                   const std::vector<GuiRect*>& panoramas);

// " [%dx%d] Zoom:%1.2f ": the visible scene area and the zoom (translated).
QString ZoomLabelText(int viewWidth, int viewHeight, double zoom);

// The selected object to the end / start of its siblings; false when nothing changed.
bool BringSelectedToFront(GuiMgr& mgr);
bool SendSelectedToBack(GuiMgr& mgr);

// Zoom in (x 1.1) and out (x 0.909) with notification; fit the selected object.
void ZoomIn(GuiMgr& mgr);
void ZoomOut(GuiMgr& mgr);
void ZoomToSelection(GuiMgr& mgr);

// Moves the selection to the next / previous visible object of the selected object's
// siblings (or of the first layer when nothing is selected), wrapping around; false when
// there is nothing to select.
bool SelectNext(GuiMgr& mgr);
bool SelectPrevious(GuiMgr& mgr);
