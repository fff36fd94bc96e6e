#include "cli/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const kUsage =
    "usage: vedora-stitch --match-only --project OUT.vdp [options] IMAGE...\n"
    "       vedora-stitch --match-only --project OUT.vdp IN.vdp\n"
    "\n"
    "Finds which photographs overlap and how the camera turned between them, and writes the\n"
    "project. Progress goes to stderr; the overlap hierarchy and the matched pairs to stdout.\n"
    "\n"
    "options:\n"
    "  --feature-size N     shorter side of the working image, 200..2000 (600)\n"
    "  --feature-points N   strongest points kept per image, 200..2000 (1000)\n"
    "  --spacing PCT        suppression window, percent of the working image, 0.3..3 (1)\n"
    "  --radius PCT         descriptor radius, percent of the working image, 1..6 (3)\n"
    "  --ransac PX          RANSAC threshold in pixels, 1..10 (3)\n"
    "  --reference PATH     reference image (as given among the images)\n"
    "  --seed N             fixed seed of the genetic pair search, for reproducible runs\n"
    "  -q, --quiet          no progress on stderr\n"
    "  -h, --help           this text\n"
    "  --version            the program's version\n"
    "\n"
    "exit status: 0 matched, 1 no images overlap (the project is still written),\n"
    "             2 bad usage or unreadable input, 130 interrupted\n";

namespace {

bool ParseInt(const char* text, int min, int max, int* out) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != 0 || v < min || v > max)
        return false;
    *out = static_cast<int>(v);
    return true;
}

bool ParseDouble(const char* text, double min, double max, double* out) {
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != 0 || !std::isfinite(v) || v < min || v > max)
        return false;
    *out = v;
    return true;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string* message) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char** v) {
            if (i + 1 >= argc) {
                *message = arg + " needs a value";
                return false;
            }
            *v = argv[++i];
            return true;
        };
        auto integer = [&](std::optional<int>& target, int min, int max) {
            const char* v;
            int parsed;
            if (!value(&v))
                return false;
            if (!ParseInt(v, min, max, &parsed)) {
                *message = arg + " takes a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
                           ", not '" + v + "'";
                return false;
            }
            target = parsed;
            return true;
        };
        auto real = [&](std::optional<double>& target, double min, double max, const char* range) {
            const char* v;
            double parsed;
            if (!value(&v))
                return false;
            if (!ParseDouble(v, min, max, &parsed)) {
                *message = arg + " takes a number from " + range + ", not '" + v + "'";
                return false;
            }
            target = parsed;
            return true;
        };
        bool ok = true;
        if (arg == "--match-only")
            out.matchOnly = true;
        else if (arg == "-q" || arg == "--quiet")
            out.quiet = true;
        else if (arg == "-h" || arg == "--help")
            out.help = true;
        else if (arg == "--version")
            out.version = true;
        else if (arg == "--project") {
            const char* v;
            ok = value(&v);
            if (ok)
                out.project = v;
        } else if (arg == "--reference") {
            const char* v;
            ok = value(&v);
            if (ok)
                out.reference = v;
        } else if (arg == "--feature-size")
            ok = integer(out.featureSize, 200, 2000);
        else if (arg == "--feature-points")
            ok = integer(out.featurePoints, 200, 2000);
        else if (arg == "--seed")
            ok = integer(out.seed, 1, 2147483646);
        else if (arg == "--spacing")
            ok = real(out.spacing, 0.3, 3, "0.3 to 3");
        else if (arg == "--radius")
            ok = real(out.radius, 1, 6, "1 to 6");
        else if (arg == "--ransac")
            ok = real(out.ransac, 1, 10, "1 to 10");
        else if (arg.size() > 1 && arg[0] == '-') {
            *message = "unknown option " + arg;
            ok = false;
        } else
            out.inputs.push_back(arg);
        if (!ok)
            return false;
    }
    if (out.help || out.version)
        return true;
    if (!out.matchOnly) {
        *message = "only --match-only is available in this version; the final stitch is not built yet";
        return false;
    }
    if (out.project.empty()) {
        *message = "--project OUT.vdp is required";
        return false;
    }
    if (out.inputs.empty()) {
        *message = "no images or project given";
        return false;
    }
    return true;
}
