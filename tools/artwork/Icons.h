#pragma once

#include <QPainter>

#include <vector>

namespace artwork {

// One icon of the program: its resource name (":/images/<name>.png"), its pixel size and the
// drawing on the 32-unit canvas.
struct IconSpec {
    const char* name;
    int size;
    void (*draw)(QPainter&);
};

const std::vector<IconSpec>& Icons();
// The program's own icon, also installed for the desktop in several sizes.
void DrawApplicationIcon(QPainter& p);

}  // namespace artwork
