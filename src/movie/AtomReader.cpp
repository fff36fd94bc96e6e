#include "movie/AtomReader.h"

#include <bit>

bool ByteCursor::Take(size_t count) {
    if (failed || count > data.size() - position) {
        failed = true;
        return false;
    }
    return true;
}

uint8_t ByteCursor::U8() {
    if (!Take(1))
        return 0;
    return data[position++];
}

uint16_t ByteCursor::U16() {
    if (!Take(2))
        return 0;
    uint16_t v = static_cast<uint16_t>((data[position] << 8) | data[position + 1]);
    position += 2;
    return v;
}

uint32_t ByteCursor::U32() {
    uint32_t high = U16();
    return (high << 16) | U16();
}

uint64_t ByteCursor::U64() {
    uint64_t high = U32();
    return (high << 32) | U32();
}

float ByteCursor::F32() { return std::bit_cast<float>(U32()); }

void ByteCursor::Skip(size_t count) {
    if (Take(count))
        position += count;
}

std::string ByteCursor::PascalString(size_t fieldLength) {
    size_t start = position;
    size_t length = U8();
    if (fieldLength && length > fieldLength - 1)
        length = fieldLength - 1;
    std::string text;
    if (Take(length)) {
        text.assign(reinterpret_cast<const char*>(data.data() + position), length);
        position += length;
    }
    if (fieldLength && !failed)
        Skip(fieldLength - (position - start));
    return text;
}

std::string FourCCText(uint32_t type) {
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>((type >> (24 - 8 * i)) & 0xff);
        if (c >= 32 && c < 127)
            text[i] = c;
    }
    return text;
}

bool ListAtoms(std::span<const uint8_t> data, uint64_t begin, uint64_t end, bool toEndAllowed,
               std::vector<AtomSpan>* atoms, std::string* why) {
    atoms->clear();
    if (end > data.size() || begin > end) {
        *why = "an atom points outside the file";
        return false;
    }
    uint64_t at = begin;
    while (at < end) {
        if (end - at < 8) {
            *why = "an atom header is cut short";
            return false;
        }
        ByteCursor header(data.subspan(at, end - at));
        uint64_t size = header.U32();
        uint32_t type = header.U32();
        uint64_t headerSize = 8;
        if (size == 1) {
            size = header.U64();
            headerSize = 16;
            if (header.Failed()) {
                *why = "an atom header is cut short";
                return false;
            }
        } else if (size == 0) {
            if (!toEndAllowed) {
                *why = "the atom '" + FourCCText(type) + "' has no size";
                return false;
            }
            size = end - at;
        }
        if (size < headerSize || size > end - at) {
            *why = "the size of the atom '" + FourCCText(type) + "' points outside its container";
            return false;
        }
        atoms->push_back({type, at + headerSize, size - headerSize});
        at += size;
    }
    return true;
}

bool ListChildren(std::span<const uint8_t> data, const AtomSpan& parent, std::vector<AtomSpan>* atoms,
                  std::string* why) {
    return ListAtoms(data, parent.payload, parent.payload + parent.size, false, atoms, why);
}

const AtomSpan* FindAtom(const std::vector<AtomSpan>& atoms, uint32_t type) {
    for (const AtomSpan& atom : atoms)
        if (atom.type == type)
            return &atom;
    return nullptr;
}

std::span<const uint8_t> PayloadOf(std::span<const uint8_t> data, const AtomSpan& atom) {
    return data.subspan(atom.payload, atom.size);
}

namespace {

constexpr int kMaxQtDepth = 8;
constexpr int kMaxQtAtoms = 4096;
constexpr size_t kQtHeaderBytes = 20;

bool ParseQtAtom(std::span<const uint8_t> bytes, int depth, int* budget, QtAtom* atom, size_t* used, std::string* why) {
    if (depth > kMaxQtDepth || --*budget < 0) {
        *why = "an atom container nests too deeply";
        return false;
    }
    ByteCursor c(bytes);
    uint32_t size = c.U32();
    atom->type = c.U32();
    atom->id = c.U32();
    c.Skip(2);
    uint16_t childCount = c.U16();
    c.Skip(4);
    if (c.Failed() || size < kQtHeaderBytes || size > bytes.size()) {
        *why = "an atom container holds an atom whose size points outside it";
        return false;
    }
    *used = size;
    std::span<const uint8_t> inside = bytes.subspan(kQtHeaderBytes, size - kQtHeaderBytes);
    if (childCount == 0) {
        atom->data = inside;
        return true;
    }
    size_t at = 0;
    for (int i = 0; i < childCount; ++i) {
        QtAtom child;
        size_t childSize = 0;
        if (!ParseQtAtom(inside.subspan(at), depth + 1, budget, &child, &childSize, why))
            return false;
        atom->children.push_back(std::move(child));
        at += childSize;
    }
    return true;
}

}  // namespace

bool ParseQtAtomContainer(std::span<const uint8_t> bytes, QtAtom* root, std::string* why) {
    // A container header starts with ten zero bytes; a root atom starts with its non-zero size.
    if (bytes.size() >= 12 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0)
        bytes = bytes.subspan(12);
    int budget = kMaxQtAtoms;
    size_t used = 0;
    *root = QtAtom{};
    return ParseQtAtom(bytes, 0, &budget, root, &used, why);
}

const QtAtom* FindQtChild(const QtAtom& parent, uint32_t type, uint32_t id) {
    for (const QtAtom& child : parent.children)
        if (child.type == type && (id == 0 || child.id == id))
            return &child;
    return nullptr;
}
