#pragma once

#include <string>

// Engine texts pass through Qt's translation; without an application object they come back
// as given.
std::string Tr(const char* text);
