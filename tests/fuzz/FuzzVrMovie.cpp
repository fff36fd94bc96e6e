// The QuickTime VR movie reader on any bytes, from memory and from a file (whose atoms are
// judged by their headers first). Whatever it is given, it must refuse with a reason or return
// a whole panorama, and both ways must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "FuzzInputFile.h"
#include "movie/VrMovieReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzInputFile input(".mov");
    VrMovie fromMemory, fromFile;
    std::string whyMemory, whyFile;
    const bool memory = ReadVrMovie(std::span(data, size), &fromMemory, &whyMemory);
    const bool file = ReadVrMovieFile(input.Write(data, size), &fromFile, &whyFile);
    if ((!memory && whyMemory.empty()) || (!file && whyFile.empty()))
        std::abort();
    if (memory && (!fromMemory.panorama.HasPixels() || fromMemory.panorama.width <= 0))
        std::abort();
    // The file's atoms may be refused where the bytes alone parse (a trailing atom of another
    // kind), never the other way round.
    if (file && !memory)
        std::abort();
    return 0;
}
