#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool WriteAll(int fd, const char* bytes, size_t count) {
    while (count > 0) {
        ssize_t written = ::write(fd, bytes, count);
        if (written < 0)
            return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
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

// The new content goes to a temporary file beside the target, which is flushed to disk and
// then renamed over the target, so a crash or a full disk never leaves a half-written file
// in place of the user's previous one.
bool SaveWithChecksum(const XmlDocument& document, const char* path) {
    if (!path || !*path)
        return false;
    Chars text = Serialise(document);
    Chars header = Chars::Format("<?XmlFileChecksum %d ?>", static_cast<int>(Checksum(text.Data(), text.Length())));

    std::string target(path);
    std::string temporary = target + ".tmpXXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, header.Data(), static_cast<size_t>(header.Length())) &&
              WriteAll(fd, text.Data(), static_cast<size_t>(text.Length())) && ::fsync(fd) == 0;
    // mkstemp creates the file readable by its owner only; give it the usual permissions.
    if (ok) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::fchmod(fd, 0666 & ~mask) == 0;
    }
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
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
        return Fail(why, Quoted(name) +
                             " is damaged or was changed outside this program (its checksum does not match)");
    }
    document.DeleteNode(instruction);
    return true;
}

}  // namespace Zelvo
