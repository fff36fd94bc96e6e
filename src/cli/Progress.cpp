#include "cli/Progress.h"

#include <cstdio>
#include <cstring>

void Progress::ClearBar() {
    if (barShown) {
        std::fputs("\r\033[K", stderr);
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
    std::fputs(text, stderr);
    size_t n = std::strlen(text);
    lineOpen = text[n - 1] != '\n';
    std::fflush(stderr);
}

void Progress::StatusText(const char* text) {
    if (quiet || !terminal || !text || !*text)
        return;
    int done = 0, total = 0;
    const char* of = std::strstr(text, " of ");
    if (of) {
        const char* number = of;
        while (number > text && number[-1] >= '0' && number[-1] <= '9')
            --number;
        std::sscanf(number, "%d of %d", &done, &total);
    }
    char bar[31] = {};
    int filled = total > 0 ? done * 30 / total : 0;
    for (int k = 0; k < 30; ++k)
        bar[k] = k < filled ? '#' : '.';
    if (lineOpen) {
        std::fputc('\n', stderr);
        lineOpen = false;
    }
    std::fprintf(stderr, "\r\033[K[%s] %s", bar, text);
    barShown = true;
    std::fflush(stderr);
}

void Progress::Finish() {
    if (quiet)
        return;
    ClearBar();
    if (lineOpen)
        std::fputc('\n', stderr);
    lineOpen = false;
    std::fflush(stderr);
}
