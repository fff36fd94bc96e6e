#pragma once

#include <string>

#include "xml/Chars.h"

// The characters as a std::string, embedded zeros included.
inline std::string Str(const Zelvo::Chars& c) { return std::string(c.Data(), static_cast<size_t>(c.Length())); }
