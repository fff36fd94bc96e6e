#include "movie/AtomWriter.h"

#include <bit>
#include <chrono>
#include <cstring>

void AtomWriter::U16(uint16_t v) {
    bytes.push_back(static_cast<uint8_t>(v >> 8));
    bytes.push_back(static_cast<uint8_t>(v));
}

void AtomWriter::U32(uint32_t v) {
    U16(static_cast<uint16_t>(v >> 16));
    U16(static_cast<uint16_t>(v));
}

void AtomWriter::U64(uint64_t v) {
    U32(static_cast<uint32_t>(v >> 32));
    U32(static_cast<uint32_t>(v));
}

void AtomWriter::F32(float v) { U32(std::bit_cast<uint32_t>(v)); }

void AtomWriter::FourCC(const char* type) { Bytes(type, 4); }

void AtomWriter::Bytes(const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + count);
}

void AtomWriter::PascalString(const std::string& text, size_t fieldLength) {
    size_t length = text.size();
    if (length > 255)
        length = 255;
    if (fieldLength && length > fieldLength - 1)
        length = fieldLength - 1;
    U8(static_cast<uint8_t>(length));
    Bytes(text.data(), length);
    if (fieldLength)
        Zeros(fieldLength - 1 - length);
}

void AtomWriter::IdentityMatrix() {
    // a b u / c d v / x y w: 16.16 except u, v, w, which are 2.30.
    const uint32_t matrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (uint32_t v : matrix)
        U32(v);
}

size_t AtomWriter::Begin(const char* type) {
    size_t start = bytes.size();
    U32(0);
    FourCC(type);
    return start;
}

void AtomWriter::End(size_t start) { PatchU32(start, static_cast<uint32_t>(bytes.size() - start)); }

size_t AtomWriter::BeginQt(const char* type, uint32_t id, uint16_t childCount) {
    size_t start = Begin(type);
    U32(id);
    U16(0);
    U16(childCount);
    U32(0);
    return start;
}

void AtomWriter::PatchU32(size_t at, uint32_t v) {
    bytes[at] = static_cast<uint8_t>(v >> 24);
    bytes[at + 1] = static_cast<uint8_t>(v >> 16);
    bytes[at + 2] = static_cast<uint8_t>(v >> 8);
    bytes[at + 3] = static_cast<uint8_t>(v);
}

uint32_t QuickTimeNow() {
    constexpr int64_t kSeconds1904To1970 = 2082844800;
    auto unixSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(unixSeconds + kSeconds1904To1970);
}
