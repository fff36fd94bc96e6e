#pragma once

#include <string>

// Progress on stderr: a live bar on a terminal, plain lines otherwise, nothing when quiet.
class Progress {
public:
    Progress(bool quiet, bool terminal) : quiet(quiet), terminal(terminal) {}
    void LogText(const char* text);
    void StatusText(const char* text);
    void Finish();

private:
    void ClearBar();

    bool quiet;
    bool terminal;
    bool barShown = false;
    bool lineOpen = false;
};
