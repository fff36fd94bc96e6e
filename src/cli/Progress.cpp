#include "cli/Progress.h"

#include <algorithm>
#include <cstring>

void Progress::ClearBar() {
    if (barShown) {
        std::fputs("\r\033[K", stream);
        barShown = false;
    }
}

// The engine logs a heading, one "." per item and " done\n"; on a terminal the dots give way
// to the bar, elsewhere they stay on the stage's one line.
void Progress::LogText(const char* text) {
    if (quiet || !text || !*text)
        return;
    if (terminal) {
        if (std::strcmp(text, ".") == 0)
            return;
        ClearBar();
    }
    std::fputs(text, stream);
    size_t n = std::strlen(text);
    lineOpen = text[n - 1] != '\n';
    std::fflush(stream);
}

void Progress::StepOf(int current, int count) {
    step = current;
    total = count;
}

void Progress::StatusText(const char* text) {
    if (quiet || !terminal || !text || !*text)
        return;
    constexpr int kWidth = 30;
    char bar[kWidth + 1] = {};
    int filled = total > 0 ? std::min(step, total) * kWidth / total : 0;
    for (int k = 0; k < kWidth; ++k)
        bar[k] = k < filled ? '#' : '.';
    if (lineOpen) {
        std::fputc('\n', stream);
        lineOpen = false;
    }
    std::fprintf(stream, "\r\033[K[%s] %s", bar, text);
    barShown = true;
    std::fflush(stream);
}

void Progress::Finish() {
    if (quiet)
        return;
    ClearBar();
    if (lineOpen)
        std::fputc('\n', stream);
    lineOpen = false;
    std::fflush(stream);
}
