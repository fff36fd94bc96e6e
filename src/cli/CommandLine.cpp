#include "cli/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "xml/Chars.h"

namespace {

const char* const kUsageHead =
    "usage: vedora-stitch -o PANORAMA [options] IMAGE...      stitch photographs into a panorama\n"
    "       vedora-stitch -o PANORAMA [options] IN.vdp        stitch a project\n"
    "       vedora-stitch --match-only --project OUT.vdp [options] IMAGE... | IN.vdp\n"
    "       vedora-stitch --groups OUTDIR [options] IMAGE...  a panorama per group that overlaps\n"
    "       vedora-stitch --vr-movie OUT.mov --from-image PANORAMA [movie options]\n"
    "\n"
    "Finds which photographs overlap and how the camera turned between them, fits the cameras\n"
    "and draws the panorama in the format its file name's suffix names (JPEG for any other).\n"
    "A project that already holds matched pairs is not matched again unless --rematch is given.\n"
    "Progress goes to stderr; the overlap hierarchy and the matched pairs to stdout.\n"
    "\n"
    "what to write:\n"
    "  -o PANORAMA          the panorama image (written whole or not at all)\n"
    "  --preview            a quick look: no blending, photometric or tonal corrections, no crop\n"
    "  --project OUT.vdp    also write the project (.vdp is appended when missing)\n"
    "  --cameras FILE.json  the fitted cameras and the panorama's geometry\n"
    "  --report FILE.json   a quality report: every photograph and fitted pair, the focal\n"
    "                       length, the horizon's correction, the time of each stage\n"
    "  --match-only         match and write the project, draw nothing\n"
    "  --groups OUTDIR      a panorama for each group of two or more photographs that overlap,\n"
    "                       all matched once, named after the group's first photograph\n"
    "                       (OUTDIR/IMG_0012.jpg; -2, -3 ... when two groups' names meet); a\n"
    "                       missing OUTDIR is made when its parent exists. stdout lists every\n"
    "                       panorama written with its photographs, tab-separated; photographs\n"
    "                       in no group are named on stderr (exit status 3)\n"
    "  --format jpg|png|tif with --groups: the panoramas' format (jpg)\n"
    "  --projects           with --groups: also every group's project (OUTDIR/IMG_0012.vdp)\n"
    "  --overwrite          with --groups: replace panoramas and projects OUTDIR holds\n"
    "\n"
    "options:\n"
    "  --size N|native      the panorama's longer side in pixels, 128..262144; native: one\n"
    "                       panorama pixel per source pixel at the image centres (native for\n"
    "                       photographs, the project's own size for a project)\n"
    "  --memory MB          the memory the stitch may take for the panorama and the photograph\n"
    "                       being blended (1024); the panorama's tiles beyond half of it go to a\n"
    "                       temporary file beside the output\n";

const char* const kUsageTail =
    "  --rematch            match a project's photographs again\n"
    "  --no-refine          keep the points where matching found them (no sub-pixel refinement)\n"
    "  --match-all-pairs    match every pair of photographs in full; beyond 30 photographs\n"
    "                       only the pairs a quick vote ranks best, and those they predict\n"
    "                       to overlap, are matched by default\n"
    "  --tree-fit           fit the cameras to one pair per photograph (the pair that first\n"
    "                       reaches it in the hierarchy), not to every matched pair\n"
    "  --reference PATH     reference image (as given among the images)\n"
    "  --seed N             fixed seed of the genetic pair search, for reproducible runs\n"
    "  -q, --quiet          no progress on stderr\n"
    "  -h, --help           this text\n"
    "  --version            the program's version\n"
    "\n"
    "exit status: 0 done, 1 no images overlap (a project asked for is still written),\n"
    "             2 bad usage, unreadable input or a failed write,\n"
    "             3 written, but photographs were left out (each is named on stderr),\n"
    "             130 interrupted\n";

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

std::string ChoiceList(const ParameterSpec& spec) {
    std::string names;
    for (int code = 0; code < spec.choices->count; ++code)
        names += std::string(code == 0                         ? ""
                             : code + 1 == spec.choices->count ? " or "
                                                               : ", ") +
                 spec.choices->names[code];
    return names;
}

// Reads the value of a parameter option within the project file's range.
bool ParameterValue(const ParameterSpec& spec, const char* text, CommandLine& out, std::string* message) {
    double parsed = 0;
    const std::string range = Number(spec.minimum) + " to " + Number(spec.maximum);
    if (spec.kind == ParameterKind::Choice) {
        const int code = ChoiceCode(spec, text);
        if (std::string(ChoiceName(spec, code)) != text) {
            *message = std::string(spec.option) + " takes " + ChoiceList(spec) + ", not '" + text + "'";
            return false;
        }
        parsed = code;
    } else if (spec.kind == ParameterKind::Integer) {
        if (!ParseInt(text, spec.minimum, spec.maximum, &parsed)) {
            *message = std::string(spec.option) + " takes a whole number from " + range + ", not '" + text + "'";
            return false;
        }
    } else if (!ParseDouble(text, spec.minimum, spec.maximum, &parsed)) {
        *message = std::string(spec.option) + " takes a number from " + range + ", not '" + text + "'";
        return false;
    }
    out.parameters[spec.id] = ToEngineUnit(spec, parsed);
    // Asking for a gamma means wanting it applied.
    if (spec.id == kGamma)
        out.parameters[kDoGammaCorrection] = 1;
    return true;
}

bool ParseCrop(const char* text, CropOption* crop) {
    char tail = 0;
    return std::sscanf(text, "%d,%d,%d,%d%c", &crop->left, &crop->top, &crop->width, &crop->height, &tail) == 4 &&
           crop->left >= 0 && crop->top >= 0 && crop->width > 0 && crop->height > 0;
}

// One of the movie options; the message names the accepted values.
bool ParseMovieOption(const std::string& option, const std::string& text, CommandLine& out, std::string* message) {
    out.vrOptionGiven = true;
    std::string why;
    bool ok;
    if (option == "--tiles")
        ok = ParseVrTiles(text, &out.vr.tiles, &why);
    else if (option == "--vr-quality")
        ok = ParseVrQuality(text, &out.vr.quality, &why);
    else if (option == "--vr-angle")
        ok = ParseVrAngle(text, &out.vr.angle, &why);
    else
        ok = ParseVrWindow(text, &out.vr.windowWidth, &out.vr.windowHeight, &why);
    if (!ok)
        *message = option + ": " + why;
    return ok;
}

// The first option given with --groups that means nothing there, said with the reason; false
// when there is none.
bool GroupsConflict(const CommandLine& out, std::string* message) {
    const char* const named = "--groups names every group's files itself";
    const char* const movies = "--groups writes panoramas, not movies";
    const struct {
        bool given;
        const char* option;
        const char* why;
    } conflicts[] = {
        {!out.output.empty(), "-o", named},
        {!out.project.empty(), "--project (--projects writes one per group)", named},
        {!out.uncropped.empty(), "--uncropped", named},
        {!out.cameras.empty(), "--cameras", named},
        {!out.report.empty(), "--report", named},
        {!out.vrMovie.empty(), "--vr-movie", movies},
        {out.MovieFromImage(), "--from-image", movies},
        {out.vrOptionGiven, "--tiles, --vr-quality, --vr-angle and --vr-window", movies},
        {out.crop.has_value(), "--crop", "--groups crops every group's panorama by itself"},
        {out.matchOnly, "--match-only", "--groups stitches"},
    };
    for (const auto& conflict : conflicts)
        if (conflict.given) {
            *message = std::string(conflict.why) + "; leave out " + conflict.option;
            return true;
        }
    return false;
}

bool IsProjectPath(const std::string& path) {
    const std::string suffix = ".vdp";
    return path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool CheckGroups(const CommandLine& out, std::string* message) {
    if (GroupsConflict(out, message))
        return false;
    for (const std::string& input : out.inputs)
        if (IsProjectPath(input)) {
            *message = "--groups stitches photographs, not a project; leave out " + input;
            return false;
        }
    if (out.inputs.empty()) {
        *message = "no images given";
        return false;
    }
    return true;
}

// What the options together must make sense as.
bool CheckCombination(const CommandLine& out, std::string* message) {
    if (out.Groups())
        return CheckGroups(out, message);
    if (out.groupProjects || out.overwrite || out.format) {
        *message = "--projects, --overwrite and --format go with --groups OUTDIR";
        return false;
    }
    if (out.MovieFromImage()) {
        if (out.vrMovie.empty()) {
            *message = "--from-image makes a movie: give --vr-movie OUT.mov";
            return false;
        }
        if (!out.inputs.empty() || !out.output.empty() || out.matchOnly || !out.project.empty()) {
            *message = "--from-image makes a movie of that image only; leave out photographs, -o, --project";
            return false;
        }
        return true;
    }
    if (out.vrOptionGiven && out.vrMovie.empty()) {
        *message = "--tiles, --vr-quality, --vr-angle and --vr-window go with --vr-movie";
        return false;
    }
    if (out.matchOnly && !out.vrMovie.empty()) {
        *message = "--match-only draws nothing; leave out --vr-movie";
        return false;
    }
    if (out.matchOnly && out.Stitches()) {
        *message = "--match-only draws nothing; leave out -o";
        return false;
    }
    if (out.matchOnly && out.project.empty()) {
        *message = "--match-only needs --project OUT.vdp";
        return false;
    }
    if (!out.matchOnly && !out.Stitches()) {
        *message = "say what to write: -o PANORAMA, --vr-movie OUT.mov, or --match-only --project OUT.vdp";
        return false;
    }
    if (out.inputs.empty()) {
        *message = "no images or project given";
        return false;
    }
    if (out.preview && (out.crop || !out.uncropped.empty())) {
        *message = "a preview is not cropped; --crop and --uncropped go with the final stitch";
        return false;
    }
    return true;
}

}  // namespace

bool CommandLine::FromProject() const { return inputs.size() == 1 && IsProjectPath(inputs[0]); }

std::string Usage() {
    std::string text = kUsageHead;
    for (const ParameterSpec& spec : ProjectParameters()) {
        if (!spec.option)
            continue;
        std::string head = std::string("  ") + spec.option + " " + spec.optionValue;
        head.resize(std::max<size_t>(head.size() + 1, 23), ' ');
        std::string values =
            spec.kind == ParameterKind::Choice
                ? ChoiceList(spec) + " (" + ChoiceName(spec, static_cast<int>(spec.initial)) + ")"
                : Number(spec.minimum) + ".." + Number(spec.maximum) + " (" + Number(spec.initial) + ")";
        text += head + spec.help + ", " + values + "\n";
    }
    text += "  --no-crop-360        do not limit a closed 360-degree panorama to one turn\n"
            "  --crop L,T,W,H       crop to this rectangle of the uncropped panorama instead of the\n"
            "                       automatic one\n"
            "  --uncropped FILE     also write the stitched panorama before cropping\n"
            "  --quality Q          JPEG quality, 1..100 (100)\n"
            "  --depth 8|16         bits per channel of a TIFF or PNG output (TIFF 16, PNG 8);\n"
            "                       JPEG and BMP hold 8\n"
            "\n"
            "QuickTime VR movies (a cylindrical panorama, stitched here or given):\n"
            "  --vr-movie OUT.mov   also write the panorama as a QuickTime VR movie\n"
            "  --from-image PANO    make the movie of this panorama image; nothing is stitched\n"
            "  --tiles N            tiles the panorama is cut into, 4..64 (4)\n"
            "  --vr-quality NAME    lossless, high, normal or low (high)\n"
            "  --vr-angle DEG       the panorama's angle around the cylinder, 1..360 (360)\n"
            "  --vr-window WxH      the player's window, 128..2048 x 100..2048 (640x480)\n";
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
        auto text = [&](std::string& target) {
            const char* v = nullptr;
            if (!value(&v))
                return false;
            target = v;
            return true;
        };
        const char* v = nullptr;
        bool ok = true;
        if (const ParameterSpec* spec = ParameterOption(arg))
            ok = value(&v) && ParameterValue(*spec, v, out, message);
        else if (arg == "--match-only")
            out.matchOnly = true;
        else if (arg == "--preview")
            out.preview = true;
        else if (arg == "--rematch")
            out.rematch = true;
        else if (arg == "--no-refine")
            out.noRefine = true;
        else if (arg == "--match-all-pairs")
            out.matchAllPairs = true;
        else if (arg == "--tree-fit")
            out.treeFit = true;
        else if (arg == "--no-crop-360")
            out.noCrop360 = true;
        else if (arg == "-q" || arg == "--quiet")
            out.quiet = true;
        else if (arg == "-h" || arg == "--help")
            out.help = true;
        else if (arg == "--version")
            out.version = true;
        else if (arg == "--project")
            ok = text(out.project);
        else if (arg == "-o")
            ok = text(out.output);
        else if (arg == "--cameras")
            ok = text(out.cameras);
        else if (arg == "--report")
            ok = text(out.report);
        else if (arg == "--groups") {
            ok = text(out.groups);
            if (ok && out.groups.empty()) {
                *message = arg + " takes a folder, not ''";
                ok = false;
            }
        } else if (arg == "--projects")
            out.groupProjects = true;
        else if (arg == "--overwrite")
            out.overwrite = true;
        else if (arg == "--format") {
            ok = value(&v);
            if (ok && std::string(v) != "jpg" && std::string(v) != "png" && std::string(v) != "tif") {
                *message = arg + " takes jpg, png or tif, not '" + v + "'";
                ok = false;
            }
            if (ok)
                out.format = v;
        } else if (arg == "--uncropped")
            ok = text(out.uncropped);
        else if (arg == "--vr-movie")
            ok = text(out.vrMovie);
        else if (arg == "--from-image")
            ok = text(out.fromImage);
        else if (arg == "--tiles" || arg == "--vr-quality" || arg == "--vr-angle" || arg == "--vr-window")
            ok = value(&v) && ParseMovieOption(arg, v, out, message);
        else if (arg == "--reference") {
            std::string reference;
            if ((ok = text(reference)))
                out.reference = reference;
        } else if (arg == "--size") {
            double size = 0;
            if ((ok = value(&v))) {
                if (std::string(v) == "native")
                    out.nativeSize = true;
                else if (ParseInt(v, 128, kMaxPanoramaSize, &size))
                    out.size = static_cast<int>(size);
                else {
                    *message = arg + " takes a whole number from 128 to " + std::to_string(kMaxPanoramaSize) +
                               " or 'native', not '" + v + "'";
                    ok = false;
                }
            }
        } else if (arg == "--memory") {
            double megabytes = 0;
            ok = value(&v);
            if (ok && !ParseInt(v, 0, 1 << 24, &megabytes)) {
                *message = arg + " takes a whole number of megabytes, not '" + v + "'";
                ok = false;
            }
            if (ok)
                out.memoryMegabytes = static_cast<int>(megabytes);
        } else if (arg == "--quality") {
            double quality = 0;
            ok = value(&v);
            if (ok && !ParseInt(v, 1, 100, &quality)) {
                *message = arg + " takes a whole number from 1 to 100, not '" + v + "'";
                ok = false;
            }
            if (ok)
                out.quality = static_cast<int>(quality);
        } else if (arg == "--depth") {
            ok = value(&v);
            if (ok && std::string(v) != "8" && std::string(v) != "16") {
                *message = arg + " takes 8 or 16 bits per channel, not '" + v + "'";
                ok = false;
            }
            if (ok)
                out.depth = std::stoi(v);
        } else if (arg == "--crop") {
            CropOption crop;
            ok = value(&v);
            if (ok && !ParseCrop(v, &crop)) {
                *message = arg + " takes LEFT,TOP,WIDTH,HEIGHT in pixels, not '" + v + "'";
                ok = false;
            }
            if (ok)
                out.crop = crop;
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
    return CheckCombination(out, message);
}
