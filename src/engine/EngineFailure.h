#pragma once

#include "stage/StageResult.h"

// Why an engine operation did not finish. The kinds stay apart all the way to the command
// line's exit status: a set of photographs that does not overlap is an answer, an unreadable
// photograph or exhausted memory is an error.
enum class EngineFailure {
    None,
    NoImages,         // the project has no photographs
    NoOverlap,        // no pair of photographs could be matched
    UnreadableImage,  // a photograph could not be read or decoded
    OutOfMemory,
    Aborted,  // the user asked to stop
    Failed    // anything else; LastError() says what
};

// The engine's kind of a stage's failure.
inline EngineFailure EngineFailureOf(StageFailure kind) {
    switch (kind) {
    case StageFailure::None: return EngineFailure::None;
    case StageFailure::NoOverlap: return EngineFailure::NoOverlap;
    case StageFailure::UnreadableImage: return EngineFailure::UnreadableImage;
    case StageFailure::OutOfMemory: return EngineFailure::OutOfMemory;
    case StageFailure::Aborted: return EngineFailure::Aborted;
    case StageFailure::Failed: return EngineFailure::Failed;
    }
    return EngineFailure::Failed;
}
