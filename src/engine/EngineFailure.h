#pragma once

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
