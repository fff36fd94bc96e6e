#include "stitching/PanoramaCanvas.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "image/ParallelFor.h"
#include "stage/StageResult.h"
#include "stitching/EmptySample.h"

namespace {

const RgbSHORT kEmpty{EMPTY_SAMPLE, EMPTY_SAMPLE, EMPTY_SAMPLE};

[[noreturn]] void Fail(const std::string& reason) { throw StageError{StageFailure::Failed, reason}; }

std::string Cause(int error) {
    if (error == ENOSPC || error == EDQUOT)
        return "the disk is full";
    return std::strerror(error);
}

std::string ScratchFolder(const std::string& requested) {
    if (!requested.empty())
        return requested;
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

}  // namespace

PanoramaCanvas::PanoramaCanvas(int width, int height, const CanvasSettings& settings)
    : width(std::max(0, width)), height(std::max(0, height)), tileSize(std::max(16, settings.tileSize)),
      tilesX((this->width + tileSize - 1) / tileSize), tilesY((this->height + tileSize - 1) / tileSize),
      budget(settings.budgetBytes), folder(ScratchFolder(settings.scratchFolder)) {
    const size_t oneTile = static_cast<size_t>(tileSize) * tileSize * sizeof(RgbSHORT);
    if (budget < oneTile)
        Fail("the memory budget of " + std::to_string(budget >> 10) + " KB is below one tile of the panorama (" +
             std::to_string(tileSize) + " x " + std::to_string(tileSize) + " pixels, " + std::to_string(oneTile >> 10) +
             " KB)");
    tiles.resize(static_cast<size_t>(tilesX) * tilesY);
}

PanoramaCanvas::~PanoramaCanvas() {
    if (fd >= 0)
        close(fd);
}

PixelRect PanoramaCanvas::TileRect(int index) const {
    const int tx = index % tilesX, ty = index / tilesX;
    const int left = tx * tileSize, top = ty * tileSize;
    return PixelRect{left, top, std::min(tileSize, width - left), std::min(tileSize, height - top)};
}

size_t PanoramaCanvas::TileBytes(int index) const {
    const PixelRect r = TileRect(index);
    return static_cast<size_t>(r.width) * r.height * sizeof(RgbSHORT);
}

bool PanoramaCanvas::TileWritten(int index) const {
    const std::lock_guard<std::mutex> lock(mutex);
    return tiles[static_cast<size_t>(index)].written;
}

size_t PanoramaCanvas::BytesInMemory() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return inMemory;
}

int PanoramaCanvas::TilesSpilled() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return spilled;
}

// --- The tile file ---------------------------------------------------------------------------

void PanoramaCanvas::OpenTileFile() {
    std::string pattern = folder + "/.vedora-tiles-XXXXXX";
    fd = mkstemp(pattern.data());
    if (fd < 0)
        Fail("cannot make the panorama's tile file in " + folder + " (" + Cause(errno) + ")");
    // Unlinked at once: the file lives as long as this process holds it open, and no crash or
    // kill can leave it behind.
    unlink(pattern.c_str());
    filePath = pattern;
}

void PanoramaCanvas::WriteSlot(int index) {
    if (fd < 0)
        OpenTileFile();
    Tile& tile = tiles[static_cast<size_t>(index)];
    const size_t bytes = TileBytes(index);
    const off_t slot = static_cast<off_t>(index) * tileSize * tileSize * static_cast<off_t>(sizeof(RgbSHORT));
    const char* data = reinterpret_cast<const char*>(tile.pixels.get());
    for (size_t done = 0; done < bytes;) {
        const ssize_t n = pwrite(fd, data + done, bytes - done, slot + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("cannot write the panorama's tile file in " + folder + " (" + Cause(n < 0 ? errno : ENOSPC) + ")");
        done += static_cast<size_t>(n);
    }
    tile.onDisk = true;
    tile.dirty = false;
    ++spilled;
}

void PanoramaCanvas::ReadSlot(int index) {
    Tile& tile = tiles[static_cast<size_t>(index)];
    const size_t bytes = TileBytes(index);
    const off_t slot = static_cast<off_t>(index) * tileSize * tileSize * static_cast<off_t>(sizeof(RgbSHORT));
    char* data = reinterpret_cast<char*>(tile.pixels.get());
    for (size_t done = 0; done < bytes;) {
        const ssize_t n = pread(fd, data + done, bytes - done, slot + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("cannot read the panorama's tile file back (" + std::string(n < 0 ? Cause(errno) : "cut short") + ")");
        done += static_cast<size_t>(n);
    }
}

// --- Tiles in memory -------------------------------------------------------------------------

void PanoramaCanvas::Touch(int index) {
    Tile& tile = tiles[static_cast<size_t>(index)];
    recentlyUsed.splice(recentlyUsed.begin(), recentlyUsed, tile.recent);
}

RgbSHORT* PanoramaCanvas::Acquire(int index, bool create) {
    Tile& tile = tiles[static_cast<size_t>(index)];
    if (tile.pixels) {
        Touch(index);
        return tile.pixels.get();
    }
    if (!tile.written && !create)
        return nullptr;
    const size_t count = TileBytes(index) / sizeof(RgbSHORT);
    // Room first, so that the budget holds while the new tile is read.
    inMemory += TileBytes(index);
    tile.pins++;
    try {
        Evict();
        tile.pixels.reset(new RgbSHORT[count]);
    } catch (...) {
        tile.pins--;
        inMemory -= TileBytes(index);
        throw;
    }
    tile.pins--;
    recentlyUsed.push_front(index);
    tile.recent = recentlyUsed.begin();
    if (tile.onDisk) {
        ReadSlot(index);
    } else {
        std::fill(tile.pixels.get(), tile.pixels.get() + count, kEmpty);
        tile.written = true;
        tile.dirty = true;
    }
    return tile.pixels.get();
}

void PanoramaCanvas::Evict() {
    auto candidate = recentlyUsed.end();
    while (inMemory > budget && !recentlyUsed.empty()) {
        // The least recently used tile that nobody holds.
        candidate = recentlyUsed.end();
        for (auto it = recentlyUsed.end(); it != recentlyUsed.begin();) {
            --it;
            if (tiles[static_cast<size_t>(*it)].pins == 0) {
                candidate = it;
                break;
            }
        }
        if (candidate == recentlyUsed.end())
            return;  // every tile in memory is held: the budget is exceeded until they are let go
        const int index = *candidate;
        Tile& tile = tiles[static_cast<size_t>(index)];
        if (tile.dirty || !tile.onDisk)
            WriteSlot(index);
        tile.pixels.reset();
        recentlyUsed.erase(candidate);
        inMemory -= TileBytes(index);
    }
}

void PanoramaCanvas::CopyTileInto(int index, const PixelRect& r, ImgRGBSHORT& out) {
    const PixelRect t = TileRect(index);
    const PixelRect common = Intersection(t, Intersection(r, PixelRect{0, 0, width, height}));
    if (common.Empty())
        return;
    const RgbSHORT* pixels = Acquire(index, false);
    for (int y = common.top; y < common.Bottom(); ++y) {
        RgbSHORT* to = out.Row(y - r.top) + (common.left - r.left);
        if (!pixels) {
            std::fill(to, to + common.width, kEmpty);
            continue;
        }
        const RgbSHORT* from = pixels + static_cast<size_t>(y - t.top) * t.width + (common.left - t.left);
        std::copy(from, from + common.width, to);
    }
}

// --- Rectangles ------------------------------------------------------------------------------

void PanoramaCanvas::Read(const PixelRect& r, ImgRGBSHORT& out) {
    out.Resize(std::max(0, r.width), std::max(0, r.height));
    if (r.Empty())
        return;
    out.FillRect(0, 0, r.width - 1, r.height - 1, kEmpty);
    const PixelRect inside = Intersection(r, PixelRect{0, 0, width, height});
    if (inside.Empty())
        return;
    const std::lock_guard<std::mutex> lock(mutex);
    for (int ty = inside.top / tileSize; ty <= (inside.Bottom() - 1) / tileSize; ++ty)
        for (int tx = inside.left / tileSize; tx <= (inside.Right() - 1) / tileSize; ++tx)
            CopyTileInto(ty * tilesX + tx, r, out);
}

void PanoramaCanvas::Write(int left, int top, const ImgRGBSHORT& image, const ImgUCHAR* mask) {
    const PixelRect r{left, top, image.width, image.height};
    const PixelRect inside = Intersection(r, PixelRect{0, 0, width, height});
    if (inside.Empty())
        return;
    const std::lock_guard<std::mutex> lock(mutex);
    for (int ty = inside.top / tileSize; ty <= (inside.Bottom() - 1) / tileSize; ++ty)
        for (int tx = inside.left / tileSize; tx <= (inside.Right() - 1) / tileSize; ++tx) {
            const int index = ty * tilesX + tx;
            const PixelRect t = TileRect(index);
            const PixelRect common = Intersection(t, inside);
            // A tile that the mask leaves untouched is not made.
            if (mask && !tiles[static_cast<size_t>(index)].written) {
                bool any = false;
                for (int y = common.top; y < common.Bottom() && !any; ++y) {
                    const uint8_t* m = mask->Row(y - top) + (common.left - left);
                    any = std::any_of(m, m + common.width, [](uint8_t v) { return v != 0; });
                }
                if (!any)
                    continue;
            }
            RgbSHORT* pixels = Acquire(index, true);
            tiles[static_cast<size_t>(index)].dirty = true;
            for (int y = common.top; y < common.Bottom(); ++y) {
                const RgbSHORT* from = image.Row(y - top) + (common.left - left);
                RgbSHORT* to = pixels + static_cast<size_t>(y - t.top) * t.width + (common.left - t.left);
                if (!mask) {
                    std::copy(from, from + common.width, to);
                    continue;
                }
                const uint8_t* m = mask->Row(y - top) + (common.left - left);
                for (int x = 0; x < common.width; ++x)
                    if (m[x])
                        to[x] = from[x];
            }
        }
}

void PanoramaCanvas::ForEachTile(const TileVisit& visit, bool modifies) {
    std::vector<int> written;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        for (int index = 0; index < static_cast<int>(tiles.size()); ++index)
            if (tiles[static_cast<size_t>(index)].written)
                written.push_back(index);
    }
    // One pass over all the tiles on all cores, each worker pinning only the tile it visits: a
    // pass of a few milliseconds per group of tiles left a freshly started worker hardly anything.
    ParallelFor(static_cast<int>(written.size()), [&](int k) {
        const int index = written[static_cast<size_t>(k)];
        RgbSHORT* pixels = nullptr;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            pixels = Acquire(index, false);
            tiles[static_cast<size_t>(index)].pins++;
            if (modifies)
                tiles[static_cast<size_t>(index)].dirty = true;
        }
        struct Unpin {
            PanoramaCanvas& canvas;
            int index;
            ~Unpin() {
                const std::lock_guard<std::mutex> lock(canvas.mutex);
                canvas.tiles[static_cast<size_t>(index)].pins--;
            }
        } unpin{*this, index};
        const PixelRect rect = TileRect(index);
        ImgRGBSHORT view(rect.width, rect.height, pixels);
        visit(index, rect, view);
    });
}
