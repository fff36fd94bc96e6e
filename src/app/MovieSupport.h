#pragma once

// Brings up the movie export at start-up. True when this build can write QuickTime VR movies;
// the window offers the movie function only then.
bool InitializeMovieExport();
