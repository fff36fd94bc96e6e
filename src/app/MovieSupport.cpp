#include "app/MovieSupport.h"

// Movies are written and shown by the program's own QuickTime VR writer and viewer (movie/),
// which need nothing installed, so the movie function is always available.
bool InitializeMovieExport() { return true; }
