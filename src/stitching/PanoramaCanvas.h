#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "image/ImgTypes.h"
#include "stitching/PixelRect.h"

// Where the canvas keeps what does not fit in memory, and how much it may hold there.
struct CanvasSettings {
    // Bytes of tiles held in memory; the rest goes to the tile file.
    size_t budgetBytes = size_t(512) << 20;
    // The folder of the tile file; empty: TMPDIR, else /tmp.
    std::string scratchFolder;
    // Pixels on a side of a square tile.
    int tileSize = 256;
};

// The stitch's 16-bit panorama, addressed by rectangles rather than held as one image: square
// tiles in memory up to a budget, the least recently used ones beyond it in one temporary file
// that no other program sees (it is unlinked as soon as it is made, so it goes with the process
// whatever happens). A tile never written is empty (EMPTY_SAMPLE) and takes no memory. Memory
// grows with the budget, never with the panorama.
//
// Failures of the tile file (a full disk, a folder that takes no file) throw StageError with the
// cause; a budget below one tile throws StageError at construction.
class PanoramaCanvas {
public:
    PanoramaCanvas(int width, int height, const CanvasSettings& settings);
    ~PanoramaCanvas();
    PanoramaCanvas(const PanoramaCanvas&) = delete;
    PanoramaCanvas& operator=(const PanoramaCanvas&) = delete;

    int Width() const { return width; }
    int Height() const { return height; }
    int TileSize() const { return tileSize; }
    int TilesAcross() const { return tilesX; }
    int TilesDown() const { return tilesY; }
    // The pixels of tile index (row-major) in canvas coordinates.
    PixelRect TileRect(int index) const;

    // out := the canvas over r (resized to r's size); pixels never written and those outside
    // the canvas are EMPTY_SAMPLE.
    void Read(const PixelRect& r, ImgRGBSHORT& out);
    // canvas(left + x, top + y) := image(x, y) wherever mask(x, y) is set (everywhere without a
    // mask); what lies outside the canvas is skipped.
    void Write(int left, int top, const ImgRGBSHORT& image, const ImgUCHAR* mask = nullptr);

    // Visits every tile that holds written pixels, with a view of its pixels, on all cores; a
    // tile is visited by one thread and is pinned (kept in memory) only while it is. visit may
    // change the pixels when `modifies` is set. A visit that keeps one result per tile index
    // can join them in order.
    using TileVisit = std::function<void(int index, const PixelRect& rect, ImgRGBSHORT& pixels)>;
    void ForEachTile(const TileVisit& visit, bool modifies);
    // Whether tile index holds written pixels.
    bool TileWritten(int index) const;

    // For the benchmarks and tests: tiles in memory now and tiles that went to the file so far.
    size_t BytesInMemory() const;
    int TilesSpilled() const;

private:
    struct Tile {
        std::unique_ptr<RgbSHORT[]> pixels;  // in memory
        bool written = false;                // holds pixels somewhere
        bool onDisk = false;                 // the file's slot holds its pixels
        bool dirty = false;                  // memory is newer than the file
        int pins = 0;
        std::list<int>::iterator recent;  // place in the use order while in memory
    };

    // The tile's pixels in memory (read back from the file, or new and empty when create is
    // set); null for a tile never written when create is not set. The caller holds the lock.
    RgbSHORT* Acquire(int index, bool create);
    void Touch(int index);
    // Sends the least recently used unpinned tiles to the file until the budget holds.
    void Evict();
    void WriteSlot(int index);
    void ReadSlot(int index);
    void OpenTileFile();
    size_t TileBytes(int index) const;
    // The part of tile index inside r into out, which holds r.
    void CopyTileInto(int index, const PixelRect& r, ImgRGBSHORT& out);

    int width, height, tileSize, tilesX, tilesY;
    size_t budget;
    std::string folder;
    std::vector<Tile> tiles;
    std::list<int> recentlyUsed;  // most recent first
    size_t inMemory = 0;
    int spilled = 0;
    int fd = -1;
    std::string filePath;  // for messages only: the file is unlinked
    mutable std::mutex mutex;
};
