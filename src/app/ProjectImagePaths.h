#pragma once

#include <QString>

#include "xml/Chars.h"

// An absolute, clean path with "/" separators (relative paths are taken from the current
// folder); empty stays empty. Two spellings of one file give the same text.
Zelvo::Chars AbsolutePath(const Zelvo::Chars& path);

// The folder of a file with a trailing "/", in "/" separators.
Zelvo::Chars FolderWithSlash(const QString& file);

inline QString FromChars(const Zelvo::Chars& text) { return QString::fromUtf8(text.c_str()); }

inline Zelvo::Chars ToChars(const QString& text) { return Zelvo::Chars(text.toUtf8().constData()); }
