#pragma once

#include <QStringList>

#include <string>

#include "xml/Chars.h"

// What the command line asks for before any window exists.
struct StartupRequest {
    enum Action { Run, PrintVersion, PrintHelp, BadOption };
    Action action = Run;
    std::string option;  // the unknown option of BadOption
};

// Looks at the raw arguments for the options answered without a window (--version, --help).
StartupRequest ReadStartupRequest(int argc, char** argv);
std::string VersionText();
std::string HelpText();

// The project to open after start: the first argument after the program name, in UTF-8 with
// "\" turned into "/"; empty without one.
Zelvo::Chars StartupProjectPath(const QStringList& arguments);
