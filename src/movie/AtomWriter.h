#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Builds big-endian QuickTime data in memory: plain atoms (size, type, payload) whose sizes are
// filled in when they are closed, and the QT atoms of atom containers (size, type, ID, child
// count). Everything in a movie file is big-endian, whatever the machine.
class AtomWriter {
public:
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void U64(uint64_t v);
    // IEEE single precision, the representation of every angle in QuickTime VR atoms.
    void F32(float v);
    // 16.16 and 8.8 fixed-point numbers of the movie and track headers.
    void Fixed32(double v) { U32(static_cast<uint32_t>(static_cast<int32_t>(v * 65536.0))); }
    void Fixed16(double v) { U16(static_cast<uint16_t>(static_cast<int16_t>(v * 256.0))); }
    // A four-character code; type must hold exactly four characters.
    void FourCC(const char* type);
    void Zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    void Bytes(const void* data, size_t count);
    // A counted string (length byte, then the characters), padded with zeros to fieldLength
    // bytes when fieldLength is not zero; longer text is cut to fit.
    void PascalString(const std::string& text, size_t fieldLength = 0);
    // The identity transformation matrix of movie and track headers.
    void IdentityMatrix();

    // Opens a plain atom of the given type; End closes it and writes its size.
    size_t Begin(const char* type);
    void End(size_t start);
    // Opens a QT atom (atom containers) with its ID and the number of children it will hold.
    size_t BeginQt(const char* type, uint32_t id, uint16_t childCount);
    void EndQt(size_t start) { End(start); }
    // The 12-byte header that starts every QT atom container (10 reserved bytes, lock count).
    void QtContainerHeader() { Zeros(12); }

    void PatchU32(size_t at, uint32_t v);
    size_t Size() const { return bytes.size(); }
    const std::vector<uint8_t>& Data() const { return bytes; }
    std::vector<uint8_t> Take() { return std::move(bytes); }

private:
    std::vector<uint8_t> bytes;
};

// Seconds since midnight, January 1, 1904 (the epoch of QuickTime's header times), now.
uint32_t QuickTimeNow();
