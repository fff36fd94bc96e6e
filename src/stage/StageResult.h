#pragma once

#include <string>
#include <utility>

// Why a stage did not finish. The kinds stay apart all the way to the command line's exit
// status: a set of photographs that does not overlap is an answer, an unreadable photograph or
// exhausted memory is an error.
enum class StageFailure {
    None,
    NoOverlap,        // nothing overlaps: no pair matched, no edge to fit
    UnreadableImage,  // a photograph could not be read or decoded
    OutOfMemory,
    Aborted,  // the user asked to stop
    Failed    // anything else; the reason says what
};

// A failure deep inside a stage (a file that cannot be written, say), thrown to the operation
// that runs the stage, which records it as it would a StageResult.
struct StageError {
    StageFailure kind = StageFailure::Failed;
    std::string reason;
};

// What every stage gives back besides its values: done, or the kind of failure and a reason
// the user can read (untranslated English; the engine translates what it logs).
class StageResult {
public:
    // Done.
    StageResult() = default;
    static StageResult Failure(StageFailure kind, std::string reason) {
        StageResult result;
        result.kind = kind == StageFailure::None ? StageFailure::Failed : kind;
        result.reason = std::move(reason);
        return result;
    }
    static StageResult Failure(std::string reason) { return Failure(StageFailure::Failed, std::move(reason)); }

    bool Ok() const { return kind == StageFailure::None; }
    explicit operator bool() const { return Ok(); }
    StageFailure Kind() const { return kind; }
    const std::string& Reason() const { return reason; }

private:
    StageFailure kind = StageFailure::None;
    std::string reason;
};
