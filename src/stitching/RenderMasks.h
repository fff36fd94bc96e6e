#pragma once

#include <functional>
#include <vector>

#include "image/ImgTypes.h"

namespace stitch {

// The tent weight of a w x h working image: (1 - |y - h/2| / (h/2)) (1 - |x - w/2| / (w/2)),
// the halves taken in integers; 1 at the centre, 0 at the middle of each border. It is the
// product of a column factor and a row factor, so it is kept as the two factors and multiplied
// where it is read (an image of it took a float per working pixel of every photograph compared).
class TentWeights {
public:
    TentWeights(int w, int h);
    float At(int x, int y) const {
        return static_cast<float>(rows[static_cast<size_t>(y)] * columns[static_cast<size_t>(x)]);
    }
    int Width() const { return static_cast<int>(columns.size()); }
    int Height() const { return static_cast<int>(rows.size()); }

private:
    std::vector<double> columns, rows;
};
// The same as an image (resized to w x h).
void TentWeight(int w, int h, ImgFLOAT& T);

// Whether an earlier image keeps a pixel that the new image also covers: only when its tent
// weight there is strictly larger; on equal weights the later image claims the pixel.
inline bool EarlierImageKeeps(float earlierWeight, float newWeight) { return earlierWeight > newWeight; }

// Maps one working row i of the new image into an earlier image's working pixels:
// fills x[j], y[j] for j = 0 .. width-1 (non-finite values for points that do not map).
// Rows are mapped on several threads at once.
using WorkingRowMap = std::function<void(int i, double* x, double* y)>;

// Clears the seam mask S (1 where the new image owns a working pixel, sized like the new
// image's working copy) wherever the earlier image f covers the pixel, at an inner working
// pixel (0 < trunc(x) < fWidth - 1, 0 < trunc(y) < fHeight - 1), with a larger tent weight.
void ClearSeamMaskWhereEarlierWins(ImgUCHAR& S, const TentWeights& newTent, const TentWeights& earlierTent,
                                   const WorkingRowMap& mapRow);

// The coverage mask's erosion before the paste: outermost ring to 0, then twice a 3 x 3
// minimum filter (at the mask's edges over the neighbours that exist). C may be a view.
void ErodeCoverage(ImgUCHAR& C);

// P(left + x, top + y) := R(x, y) wherever C(x, y) is set; parts outside P are skipped.
void PasteCovered(const ImgRGBSHORT& R, const ImgUCHAR& C, ImgRGBSHORT& P, int left, int top);

}  // namespace stitch
