// The XML parser on any bytes. What parses must write, and what the writer writes must read
// back and write again to the same bytes: a saved file always reopens as it was saved. Texts
// never hold NUL bytes (files are read up to the first one), so the input ends there too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "xml/XmlDocument.h"

using namespace Zelvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24))
        return 0;
    const void* nul = std::memchr(data, 0, size);
    if (nul)
        size = static_cast<size_t>(static_cast<const uint8_t*>(nul) - data);
    Chars text(reinterpret_cast<const char*>(data), static_cast<int>(size));
    XmlDocument doc;
    if (!doc.Parse(text))
        return 0;
    Chars written;
    try {
        written = Serialise(doc);
    } catch (const Chars&) {
        return 0;  // a CDATA section holding "]]>" is refused by design
    }
    XmlDocument reread;
    if (!reread.Parse(written) || Serialise(reread) != written)
        std::abort();
    return 0;
}
