// The engine's project data: parameters, pairs, reset, and the runner of long operations.
#include "engine/PanoramaEngine.h"

#include <new>

#include "engine/EngineText.h"
#include "engine/StitchedPanorama.h"
#include "matching/FullResolutionImages.h"

using Zelvo::Chars;

namespace {

const char* const kAborted = "\nAborted!\n";
// What the log says of a photograph that could not be read; LastError() names it.
const char* const kUnreadable = "\nCould not load a image!\n";

// A thrown message without the line breaks that frame it in the log.
std::string TrimmedMessage(const char* message) {
    std::string text = message;
    size_t first = text.find_first_not_of("\n "), last = text.find_last_not_of("\n ");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

}  // namespace

PanoramaEngine::PanoramaEngine() { Reset(); }
PanoramaEngine::PanoramaEngine(PanoramaEngine&&) = default;
PanoramaEngine& PanoramaEngine::operator=(PanoramaEngine&&) = default;
PanoramaEngine::~PanoramaEngine() = default;

// --- Parameters ------------------------------------------------------------------------------

void PanoramaEngine::SetParameter(ParameterId id, double value) {
    if (!(parameters[id] == value)) {
        parameters[id] = value;
        dirty = true;
    }
}

void PanoramaEngine::SetDefaults(ParameterGroup group) {
    for (const ParameterSpec& spec : ProjectParameters())
        if (spec.group == group)
            parameters[spec.id] = ToEngineUnit(spec, spec.initial);
    dirty = true;
}

void PanoramaEngine::SetDefaultMatchingParameters() { SetDefaults(ParameterGroup::Matching); }

void PanoramaEngine::SetFixedValues() {
    blendWidth = 30;
    useGradientBlending = true;
    fitSharedVignetting = true;
}

void PanoramaEngine::SetDefaultStitchParameters() {
    SetDefaults(ParameterGroup::Stitching);
    SetFixedValues();
}

// --- Pairs -----------------------------------------------------------------------------------

int PanoramaEngine::CombinationIndex(int a, int b) const {
    int n = static_cast<int>(images.size());
    if (a == b || a < 0 || b < 0 || a >= n || b >= n)
        return -1;
    int i = a < b ? a : b, j = a < b ? b : a;
    return i * n - i * (i + 1) / 2 + j - i - 1;
}

const ImageCombination* PanoramaEngine::Combination(int a, int b) const {
    int k = CombinationIndex(a, b);
    return k < 0 || static_cast<size_t>(k) >= combinations.size() ? nullptr : &combinations[static_cast<size_t>(k)];
}

int PanoramaEngine::FindImage(const char* path) const {
    for (size_t i = 0; i < images.size(); ++i)
        if (images[i].path == path)
            return static_cast<int>(i);
    return -1;
}

void PanoramaEngine::RebuildCombinations() {
    ClearOverlapHierarchy();
    combinations.clear();
    dirty = true;
    int n = static_cast<int>(images.size());
    if (n < 2)
        return;
    combinations.reserve(static_cast<size_t>(n) * (n - 1) / 2);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            ImageCombination pair;
            pair.first = i;
            pair.second = j;
            combinations.push_back(std::move(pair));
        }
}

void PanoramaEngine::Reset() {
    ClearOverlapHierarchy();
    stitchedPanorama.reset();
    images.clear();
    combinations.clear();
    SetDefaultMatchingParameters();
    SetDefaultStitchParameters();
    SetDefaults(ParameterGroup::Images);
    referenceImagePath = Chars();
    panoramaTransform.Identity(3);
    panoramaTransformInverse.Identity(3);
    dirty = true;
}

// --- The runner of long operations -----------------------------------------------------------

void PanoramaEngine::ClearFailure() {
    lastError.clear();
    lastFailure = EngineFailure::None;
}

void PanoramaEngine::RecordFailure(EngineFailure kind, const std::string& message) {
    lastFailure = kind;
    lastError = message;
}

void PanoramaEngine::RecordFailure(const StageResult& outcome) {
    RecordFailure(EngineFailureOf(outcome.Kind()), TrimmedMessage(outcome.Reason().c_str()));
}

void PanoramaEngine::ThrowAborted() {
    RecordFailure(EngineFailure::Aborted, "aborted");
    throw kAborted;
}

void PanoramaEngine::NamingUnreadable(const std::function<void()>& body) {
    try {
        body();
    } catch (const UnreadablePhotograph& unreadable) {
        RecordFailure(EngineFailure::UnreadableImage, unreadable.reason);
        throw kUnreadable;
    }
}

void PanoramaEngine::Tick() {
    if (Log("."))
        ThrowAborted();
}

void PanoramaEngine::CheckedLog(const std::string& text) {
    if (Log(text))
        ThrowAborted();
}

bool PanoramaEngine::Step(int step, int total, const std::string& statusText) {
    progressStep = step;
    progressTotal = total;
    if (progressHook)
        progressHook(step, total);
    return Status(statusText);
}

void PanoramaEngine::LogThrown(const OperationTexts& texts, const char* message) {
    if (texts.messageFormat)
        Log(Chars::Format(Tr(texts.messageFormat).c_str(), Tr(message).c_str()).c_str());
    else
        Log(Tr(message));
}

bool PanoramaEngine::RunOperation(const OperationTexts& texts, const std::function<bool()>& body,
                                  const std::function<void()>& restore) {
    ClearFailure();
    progressStep = progressTotal = 0;
    auto logText = [this](const char* text) {
        if (text)
            Log(Tr(text));
    };
    try {
        logText(texts.heading);
        if (body()) {
            logText(texts.done);
            progressStep = progressTotal = 0;
            return true;
        }
    } catch (const std::bad_alloc&) {
        if (!texts.outOfMemory)
            throw;
        RecordFailure(EngineFailure::OutOfMemory, "not enough memory");
        logText(texts.outOfMemory);
    } catch (const UnreadablePhotograph& unreadable) {
        RecordFailure(EngineFailure::UnreadableImage, unreadable.reason);
        LogThrown(texts, kUnreadable);
    } catch (const StageError& error) {
        RecordFailure(EngineFailureOf(error.kind), error.reason);
        Log("\n" + error.reason + "\n");
    } catch (const char* message) {
        // The thrower may have recorded a more precise reason (which image, for example).
        if (lastFailure == EngineFailure::None)
            RecordFailure(EngineFailure::Failed, TrimmedMessage(message));
        LogThrown(texts, message);
    } catch (...) {
        if (!texts.unknown)
            throw;
        RecordFailure(EngineFailure::Failed, "an unknown error");
        logText(texts.unknown);
    }
    if (lastFailure == EngineFailure::None)
        RecordFailure(EngineFailure::Failed, "the operation did not finish");
    logText(texts.failed);
    progressStep = progressTotal = 0;
    if (restore)
        restore();
    return false;
}

void PanoramaEngine::RebuildHierarchy() {
    try {
        BuildOverlapHierarchyTrees();
    } catch (const char* message) {
        ClearOverlapHierarchy();
        Log(Tr(message) + "\n");
    }
}
