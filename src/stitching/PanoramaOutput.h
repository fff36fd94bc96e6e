#pragma once

#include <functional>
#include <string>

#include "image/ImgTypes.h"
#include "image/RowImageWriter.h"
#include "stage/StageResult.h"
#include "stitching/CropPanorama.h"
#include "stitching/OutputConversion.h"
#include "stitching/PanoramaCanvas.h"

namespace stitch {

// The panorama that leaves the stitch, 8-bit or for 16-bit files, read from the finished 16-bit canvas a band of rows
// at a time: a frame of it (the crop, or the whole panorama) converted with the output range,
// and for a closed 360-degree panorama the strip beyond one turn blended into its first columns.
// Only the strip and one band are ever in memory. A canvas drawn smaller than the panorama
// (scale: canvas pixels per panorama pixel, below 1) is enlarged on the way out.
class PanoramaOutput {
public:
    // Throws what the canvas throws (a tile file that cannot be read back).
    // bitsPerChannel above 8 opens it for the wide rows of 16-bit files.
    PanoramaOutput(PanoramaCanvas& canvas, const OutputRange& range, const CropFrame& frame, double scale = 1,
                   int bitsPerChannel = 8);

    int Width() const { return frame.width; }
    int Height() const { return frame.height; }
    const CropFrame& Frame() const { return frame; }

    // Rows [y, y + count) of the frame into band (resized to Width() x count): 8-bit rows, or
    // for an output opened for 16 bits the wide rows, channels 0 .. kWideOutputMax.
    void ReadRows(int y, int count, ImgRGB& band);
    void ReadRows(int y, int count, ImgRGBSHORT& band);
    bool WideOutput() const { return wideOutput; }
    // Rows that end on the canvas's tile rows: a band from y that reads each tile once.
    int BandHeight(int y) const;

    // The whole frame in memory.
    void ReadAll(ImgRGB& image);
    // The frame reduced by a whole factor so that neither side is larger than maxSide (every
    // pixel the mean of its block); the frame itself when it fits.
    void ReadReduced(int maxSide, ImgRGB& image);

private:
    // The output panorama over r (panorama pixels), 8-bit or wide.
    template <class Image>
    void ReadPanorama(const PixelRect& r, Image& out);
    template <class Image>
    void ReadEnlarged(const PixelRect& r, Image& out);
    template <class Image>
    void BlendStrip(Image& strip);
    template <class Image>
    void ReadRowsWithStrip(int y, int count, const Image& strip, Image& band);

    PanoramaCanvas& canvas;
    OutputRange range;
    CropFrame frame;
    double scale;
    bool wideOutput;
    ImgRGB blendedStrip;           // the frame's first frame.strip columns, all rows
    ImgRGBSHORT blendedStripWide;  // the same for 16-bit files
    ImgRGBSHORT wide;              // one band of canvas rows
};

// Writes the output into path in the format its suffix names, band by band (JPEG, PNG, TIFF,
// BMP), under a temporary name that replaces an older file only when complete. keep() is asked
// before each band and before the rename: false stops, the old file stays ("interrupted").
StageResult WritePanorama(PanoramaOutput& output, const std::string& path, const RowWriterOptions& options,
                          const std::function<bool()>& keep);

}  // namespace stitch
