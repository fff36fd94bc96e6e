#include "cli/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "xml/Chars.h"

namespace {

const char* const kUsageHead =
    "usage: vedora-stitch --match-only --project OUT.vdp [options] IMAGE...\n"
    "       vedora-stitch --match-only --project OUT.vdp IN.vdp\n"
    "\n"
    "Finds which photographs overlap and how the camera turned between them, and writes the\n"
    "project. Progress goes to stderr; the overlap hierarchy and the matched pairs to stdout.\n"
    "\n"
    "options:\n";

const char* const kUsageTail =
    "  --reference PATH     reference image (as given among the images)\n"
    "  --seed N             fixed seed of the genetic pair search, for reproducible runs\n"
    "  -q, --quiet          no progress on stderr\n"
    "  -h, --help           this text\n"
    "  --version            the program's version\n"
    "\n"
    "exit status: 0 matched, 1 no images overlap (the project is still written),\n"
    "             2 bad usage or unreadable input, 130 interrupted\n";

// The way a range or a default is shown: whole numbers without decimals.
std::string Number(double v) { return Zelvo::Chars::Format("%g", v).c_str(); }

bool ParseInt(const char* text, double min, double max, double* out) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != 0 || v < min || v > max)
        return false;
    *out = static_cast<double>(v);
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

// The parameter whose option arg is; null for any other argument.
const ParameterSpec* ParameterOption(const std::string& arg) {
    for (const ParameterSpec& spec : ProjectParameters())
        if (spec.option && arg == spec.option)
            return &spec;
    return nullptr;
}

// Reads the value of a parameter option within the project file's range.
bool ParameterValue(const ParameterSpec& spec, const char* text, CommandLine& out, std::string* message) {
    double parsed = 0;
    const std::string range = Number(spec.minimum) + " to " + Number(spec.maximum);
    if (spec.kind == ParameterKind::Integer) {
        if (!ParseInt(text, spec.minimum, spec.maximum, &parsed)) {
            *message = std::string(spec.option) + " takes a whole number from " + range + ", not '" + text + "'";
            return false;
        }
    } else if (!ParseDouble(text, spec.minimum, spec.maximum, &parsed)) {
        *message = std::string(spec.option) + " takes a number from " + range + ", not '" + text + "'";
        return false;
    }
    out.parameters[spec.id] = ToEngineUnit(spec, parsed);
    return true;
}

}  // namespace

std::string Usage() {
    std::string text = kUsageHead;
    for (const ParameterSpec& spec : ProjectParameters()) {
        if (!spec.option)
            continue;
        std::string head = std::string("  ") + spec.option + " " + spec.optionValue;
        head.resize(std::max<size_t>(head.size() + 1, 23), ' ');
        text += head + spec.help + ", " + Number(spec.minimum) + ".." + Number(spec.maximum) + " (" +
                Number(spec.initial) + ")\n";
    }
    return text + kUsageTail;
}

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
        const char* v = nullptr;
        bool ok = true;
        if (const ParameterSpec* spec = ParameterOption(arg))
            ok = value(&v) && ParameterValue(*spec, v, out, message);
        else if (arg == "--match-only")
            out.matchOnly = true;
        else if (arg == "-q" || arg == "--quiet")
            out.quiet = true;
        else if (arg == "-h" || arg == "--help")
            out.help = true;
        else if (arg == "--version")
            out.version = true;
        else if (arg == "--project") {
            if ((ok = value(&v)))
                out.project = v;
        } else if (arg == "--reference") {
            if ((ok = value(&v)))
                out.reference = v;
        } else if (arg == "--seed") {
            double seed = 0;
            ok = value(&v);
            if (ok && !ParseInt(v, 1, 2147483646, &seed)) {
                *message = arg + " takes a whole number from 1 to 2147483646, not '" + v + "'";
                ok = false;
            }
            if (ok)
                out.seed = static_cast<int>(seed);
        } else if (arg.size() > 1 && arg[0] == '-') {
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
