#pragma once

// The program's version, as `vedora-stitch --version` prints it and panoramas' files record it.
constexpr const char* kVedoraVersion = "1.02";
