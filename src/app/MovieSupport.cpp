#include "app/MovieSupport.h"

// There is no QuickTime on this platform; the movie writer of the program's own is not part of
// this build yet, so the movie function reports that it is unavailable.
bool InitializeMovieExport() {
    return false;
}
