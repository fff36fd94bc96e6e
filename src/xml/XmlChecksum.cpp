#include <array>
#include <cstdlib>
#include <string>
#include <string_view>

#include "xml/AtomicFileWrite.h"
#include "xml/FileErrors.h"
#include "xml/XmlDocument.h"

namespace Zelvo {

namespace {

constexpr const char* kChecksumTarget = "XmlFileChecksum";

// The CCITT polynomial 0x1021, most significant bit first.
std::array<unsigned short, 256> BuildTable() {
    std::array<unsigned short, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned v = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            v = (v & 0x8000) ? ((v << 1) ^ 0x1021) : (v << 1);
        table[i] = static_cast<unsigned short>(v & 0xFFFF);
    }
    return table;
}

const std::array<unsigned short, 256> kTable = BuildTable();

// The writer's data is the number followed by the space before "?>": a digit or sign, more
// digits, and exactly one closing byte. Digits alone are rejected.
bool ChecksumDataWellFormed(const Chars& data) {
    int n = data.Length();
    if (n < 2)
        return false;
    char first = data[0];
    if (!(first >= '0' && first <= '9') && first != '+' && first != '-')
        return false;
    int i = 1;
    while (i < n && data[i] >= '0' && data[i] <= '9')
        ++i;
    return i == n - 1;
}

}  // namespace

// The byte enters after the table step, and bytes above 0x7F enter sign-extended; both
// keep existing files readable.
unsigned short Checksum(const char* bytes, int length) {
    unsigned crc = 0;
    for (int i = 0; i < length; ++i) {
        unsigned v = static_cast<unsigned short>(static_cast<short>(static_cast<signed char>(bytes[i])));
        crc = (kTable[(crc >> 8) & 0xFF] ^ (crc << 8) ^ v) & 0xFFFF;
    }
    return static_cast<unsigned short>(crc);
}

// The file is replaced atomically: see WriteFileAtomically for what is kept of the old file.
bool SaveWithChecksum(const XmlDocument& document, const char* path, std::string* why) {
    if (!path || !*path)
        return Fail(why, "No file name was given");
    Chars text = Serialise(document);
    Chars header = Chars::Format("<?XmlFileChecksum %d ?>", static_cast<int>(Checksum(text.Data(), text.Length())));
    return WriteFileAtomically(path,
                               {std::string_view(header.Data(), static_cast<size_t>(header.Length())),
                                std::string_view(text.Data(), static_cast<size_t>(text.Length()))},
                               why);
}

// Every refusal names its cause, so that the person opening the file learns whether it is
// missing, not a project at all, or damaged.
bool LoadWithChecksum(XmlDocument& document, const char* path, std::string* why) {
    document.Clear();
    Chars text;
    if (!text.ReadFile(path, why))
        return false;
    std::string name = path;
    if (text.IsEmpty())
        return Fail(why, Quoted(name) + " is empty");
    if (!document.Parse(text))
        return Fail(why, Quoted(name) + " is not a document this program can read");
    XmlInstruction* instruction = document.FindInstruction(kChecksumTarget, document.FirstNode(), false);
    if (!instruction || instruction != document.FirstNode() || !ChecksumDataWellFormed(instruction->Data())) {
        document.Clear();
        return Fail(why, Quoted(name) + " does not start with this program's checksum");
    }
    int stored = std::atoi(instruction->Data().c_str());
    int headerEnd = text.FindString("?>");
    int start = headerEnd + 2;
    unsigned short actual = Checksum(text.Data() + start, text.Length() - start);
    if (headerEnd < 0 || static_cast<int>(actual) != stored || !document.Root()) {
        document.Clear();
        return Fail(why,
                    Quoted(name) + " is damaged or was changed outside this program (its checksum does not match)");
    }
    document.DeleteNode(instruction);
    return true;
}

}  // namespace Zelvo
