#include "app/StartupArguments.h"

#include <cstring>

StartupRequest ReadStartupRequest(int argc, char** argv) {
    StartupRequest request;
    if (argc < 2)
        return request;
    const char* first = argv[1];
    if (std::strcmp(first, "--version") == 0 || std::strcmp(first, "-v") == 0)
        request.action = StartupRequest::PrintVersion;
    else if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0)
        request.action = StartupRequest::PrintHelp;
    else if (std::strncmp(first, "--", 2) == 0) {
        request.action = StartupRequest::BadOption;
        request.option = first;
    }
    return request;
}

std::string VersionText() { return "vedora 1.02\n"; }

std::string HelpText() {
    return "Usage: vedora [PROJECT.vdp]\n"
           "Vedora 1.02: stitches overlapping photographs taken from one standpoint into a panorama.\n"
           "\n"
           "  PROJECT.vdp   a project to open once the window has appeared\n"
           "  --help        show this help and exit\n"
           "  --version     show the version and exit\n"
           "\n"
           "Settings are kept in vedora.xml beside the program when its folder can be written,\n"
           "otherwise in the user's configuration folder (~/.config/vedora/vedora.xml).\n"
           "Batch stitching without a window: vedora-stitch --help\n";
}

Zelvo::Chars StartupProjectPath(const QStringList& arguments) {
    if (arguments.size() < 2)
        return Zelvo::Chars();
    Zelvo::Chars path(arguments.at(1).toUtf8().constData());
    path.ToForwardSlashes();
    return path;
}
