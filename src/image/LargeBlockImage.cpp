#include "image/LargeBlockImage.h"

#include <cstdint>
#include <new>

#include "image/LargeBlocks.h"

namespace {

struct Block {
    void* memory;
    size_t bytes;
};

void GiveBack(void* info) {
    auto* block = static_cast<Block*>(info);
    GiveLargeBlock(block->memory, block->bytes);
    delete block;
}

}  // namespace

QImage LargeBlockImage(int width, int height, QImage::Format format) {
    const qint64 bytesPerLine = qint64(width) * 4;
    if (width <= 0 || height <= 0 || bytesPerLine > INT32_MAX)
        return QImage();
    auto* block = new Block{nullptr, static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height)};
    try {
        block->memory = TakeLargeBlock(block->bytes);
    } catch (const std::bad_alloc&) {
        delete block;
        return QImage();
    }
    QImage image(static_cast<uchar*>(block->memory), width, height, bytesPerLine, format, GiveBack, block);
    if (image.isNull())
        GiveBack(block);
    return image;
}
