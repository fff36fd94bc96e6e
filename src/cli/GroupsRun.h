#pragma once

#include "cli/CommandLine.h"

// --groups OUTDIR: every photograph matched once, then a panorama (and with --projects a
// project) written into OUTDIR for each group of two or more photographs that overlap, stitched
// from the pairs the matching fitted. Returns the exit status.
int RunGroups(const CommandLine& cl);
