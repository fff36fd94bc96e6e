#pragma once

#include <cstdio>
#include <string>

// Progress on a stream (stderr): a live bar on a terminal, plain lines otherwise, nothing when
// quiet. The bar's length comes from the engine's numeric progress, never from the status
// text, which may be translated.
class Progress {
public:
    Progress(std::FILE* stream, bool quiet, bool terminal) : stream(stream), quiet(quiet), terminal(terminal) {}
    void LogText(const char* text);
    void StepOf(int step, int total);
    void StatusText(const char* text);
    void Finish();

private:
    void ClearBar();

    std::FILE* stream;
    bool quiet;
    bool terminal;
    bool barShown = false;
    bool lineOpen = false;
    int step = 0;
    int total = 0;
};
