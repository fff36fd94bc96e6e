#pragma once

#include <span>

// Every project parameter, described once: the engine's defaults and setters, the project
// file's reader and writer, vedora-stitch's options and help, and the window's editors all
// read this table.
enum ParameterId : int {
    kFeatureExtractionImageSize,
    kFeatureExtractionSpacing,
    kFeatureExtractionMaxNofPoints,
    kFeatureMatchingRadius,
    kFeatureMatchingRansacThreshold,
    kProjectionType,
    kPhotometricCorrectionType,
    kVerticalCameraRotation,
    kCorrectionLimit,
    kDoCrop360Degrees,
    kDoGammaCorrection,
    kGamma,
    kPanoramaImageSize,
    kPanoramaPreviewImageSize,
    kPanoramaImageRotation,
    kSourceImageRotation,
    kParameterCount
};

// The codes of the projectionType parameter are those of ProjectionType (stitching/Projection.h).
enum PhotometricCode { kPhotometricNone = 0, kPhotometricColor = 1, kPhotometricGray = 2 };

enum class ParameterKind {
    Integer,  // written as a whole number
    Real,     // written as a decimal number
    Flag,     // 0 or 1 in the file, a bool in memory
    Choice    // a name in the file, its code in memory
};

// Which "Set defaults" resets the parameter; the source image rotation belongs to neither.
enum class ParameterGroup { Matching, Stitching, Images };

// The names of a Choice parameter by code, and how a file's text maps back.
struct ParameterChoices {
    const char* const* names;
    int count;
    int unknownCode;        // the code of any text that is no name
    const char* emptyText;  // what an empty attribute reads as (and is written back as); null: nothing
};

struct ParameterSpec {
    ParameterId id;
    const char* attribute;  // the project file's attribute of the Panorama element
    ParameterKind kind;
    ParameterGroup group;
    double initial;      // a new project's value, in file units
    double fileDefault;  // what a missing or unreadable attribute reads as, in file units
    double minimum;      // the range a file's value is clamped into, in file units
    double maximum;
    bool degrees;  // stored in degrees in the file and radians in memory
    const ParameterChoices* choices;
    // vedora-stitch's option for it, with its value's name and help line; null when it has none.
    const char* option;
    const char* optionValue;
    const char* help;
};

// The largest panorama side a stitch draws.
constexpr int kMaxPanoramaSize = 262144;

std::span<const ParameterSpec> ProjectParameters();
const ParameterSpec& Parameter(ParameterId id);

// Conversions between the file's unit and the engine's (degrees and radians).
double ToEngineUnit(const ParameterSpec& spec, double fileValue);
double ToFileUnit(const ParameterSpec& spec, double engineValue);

// The name a Choice code is written as, and the code a name reads as.
const char* ChoiceName(const ParameterSpec& spec, int code);
int ChoiceCode(const ParameterSpec& spec, const char* name);
