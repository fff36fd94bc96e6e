#include "image/JpegIntegrity.h"

#include <QFile>

#include <cstring>

namespace {

bool IsRestartOrStandalone(unsigned char marker) { return (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01; }

// From just after a start-of-scan header: the position of the next marker that ends the
// entropy-coded data, or -1 when the data runs to the end. Stuffed zero bytes and restart
// markers belong to the scan.
long long EndOfScan(const unsigned char* data, long long size, long long pos) {
    while (pos < size) {
        const void* hit = std::memchr(data + pos, 0xFF, static_cast<size_t>(size - pos));
        if (!hit)
            return -1;
        long long at = static_cast<const unsigned char*>(hit) - data;
        long long next = at + 1;
        while (next < size && data[next] == 0xFF)
            ++next;
        if (next >= size)
            return -1;
        if (data[next] != 0x00 && !IsRestartOrStandalone(data[next]))
            return next - 1;
        pos = next + 1;
    }
    return -1;
}

}  // namespace

bool JpegDataComplete(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const long long size = bytes.size();
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return true;
    long long pos = 2;
    while (true) {
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size || data[pos - 1] != 0xFF)
            return false;  // cut off, or not a marker where one must stand
        const unsigned char marker = data[pos++];
        if (marker == 0xD9)
            return true;
        if (IsRestartOrStandalone(marker))
            continue;
        if (pos + 2 > size)
            return false;
        const long long length = (static_cast<long long>(data[pos]) << 8) | data[pos + 1];
        if (length < 2 || pos + length > size)
            return false;
        pos += length;
        if (marker == 0xDA) {
            pos = EndOfScan(data, size, pos);
            if (pos < 0)
                return false;
        }
    }
}

bool IsTruncatedJpeg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return !JpegDataComplete(file.readAll());
}
