#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Reading QuickTime data that may be damaged: every read is bounds-checked, sizes are checked
// against the atom that holds them, and nothing is trusted enough to allocate by it.

// Sequential big-endian reads from a byte range. A read past the end sets Failed() and gives 0,
// so a parser can read a whole structure and check once.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> data) : data(data) {}

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    uint64_t U64();
    float F32();
    double Fixed32() { return static_cast<int32_t>(U32()) / 65536.0; }
    void Skip(size_t count);
    // A counted string (length byte first) held in a field of fieldLength bytes (0: just the string).
    std::string PascalString(size_t fieldLength = 0);

    bool Failed() const { return failed; }
    size_t Position() const { return position; }
    size_t Remaining() const { return failed ? 0 : data.size() - position; }

private:
    bool Take(size_t count);

    std::span<const uint8_t> data;
    size_t position = 0;
    bool failed = false;
};

constexpr uint32_t FourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}
// The code as four printable characters, for messages ('?' for anything else).
std::string FourCCText(uint32_t type);

// One atom: its type and where its payload lies in the file.
struct AtomSpan {
    uint32_t type = 0;
    uint64_t payload = 0;  // offset of the first byte after the header
    uint64_t size = 0;     // payload bytes
};

// The atoms that fill [begin, end) of data one after the other. A size of 0 (only allowed when
// toEndAllowed: the last top-level atom) runs to end; a size of 1 takes the 64-bit size that
// follows. False with the reason when a size is too small or points past end.
bool ListAtoms(std::span<const uint8_t> data, uint64_t begin, uint64_t end, bool toEndAllowed,
               std::vector<AtomSpan>* atoms, std::string* why);
// The children of parent (its whole payload taken as atoms).
bool ListChildren(std::span<const uint8_t> data, const AtomSpan& parent, std::vector<AtomSpan>* atoms,
                  std::string* why);
// The first atom of the type, or null.
const AtomSpan* FindAtom(const std::vector<AtomSpan>& atoms, uint32_t type);
std::span<const uint8_t> PayloadOf(std::span<const uint8_t> data, const AtomSpan& atom);

// One QT atom of an atom container: either a parent of children or a leaf with data.
struct QtAtom {
    uint32_t type = 0;
    uint32_t id = 0;
    std::vector<QtAtom> children;
    std::span<const uint8_t> data;  // leaf atoms only
};

// Parses a QT atom container: the optional 12-byte container header, then the root atom and
// its tree. Nesting deeper than a few levels or more atoms than any VR container holds is
// refused, so a damaged child count cannot make the parser run away.
bool ParseQtAtomContainer(std::span<const uint8_t> bytes, QtAtom* root, std::string* why);
// The child of the type with the ID (any ID when id is 0), or null.
const QtAtom* FindQtChild(const QtAtom& parent, uint32_t type, uint32_t id = 0);
