// Loading a checksum file from any bytes. A file that loads must save, and the saved file
// must load again to the same document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzInputFile.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzInputFile input(".vdp");
    static FuzzInputFile saved(".vdp");
    XmlDocument doc;
    std::string why;
    if (!LoadWithChecksum(doc, input.Write(data, size).c_str(), &why)) {
        if (why.empty())
            std::abort();  // every refusal gives its reason
        return 0;
    }
    Chars text;
    try {
        text = Serialise(doc);
    } catch (const Chars&) {
        return 0;
    }
    XmlDocument reloaded;
    if (!SaveWithChecksum(doc, saved.Path().c_str(), &why) || !LoadWithChecksum(reloaded, saved.Path().c_str(), &why) ||
        Serialise(reloaded) != text)
        std::abort();
    return 0;
}
