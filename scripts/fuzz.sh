#!/usr/bin/env bash
# Runs every fuzz target of tests/fuzz (tests/fuzz/targets.txt) for longer than CI does and
# keeps what it learnt: each target runs MINUTES minutes (5 by default) on a copy of its seed
# corpus, as many at a time as there are cores; then the inputs that reach code the corpus did
# not are merged into tests/fuzz/corpus/<target>. Prints how many inputs each target ran. A
# crash stops nothing else; its input is left in build-fuzz/long/<target>/crashes/.
# Needs clang (libFuzzer); builds into build-fuzz as .ci/run does.
#
# Usage: scripts/fuzz.sh [MINUTES]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-5}
jobs=$(nproc 2>/dev/null || echo 2)
if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz.sh: clang++ is needed (Debian: clang libclang-rt-14-dev)" >&2
    exit 1
fi
mapfile -t targets < tests/fuzz/targets.txt
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DCMAKE_CXX_COMPILER=clang++ -DVEDORA_FUZZ=ON -DVEDORA_HEADLESS_ONLY=ON -DVEDORA_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}"

fuzz_long() {
    local target=$1 seconds=$2
    local work="build-fuzz/long/$target"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/crashes" "$work/merged"
    cp tests/fuzz/corpus/"$target"/* "$work/corpus/"
    local status=0
    "build-fuzz/tests/fuzz/$target" -max_total_time="$seconds" -artifact_prefix="$work/crashes/" \
        "$work/corpus" >"$work/log" 2>&1 || status=$?
    local runs
    runs=$(grep -o 'Done [0-9]* runs' "$work/log" | tail -1 | grep -o '[0-9]*' || echo "?")
    # Only what adds coverage joins the committed corpus.
    local before after
    before=$(ls tests/fuzz/corpus/"$target" | wc -l)
    "build-fuzz/tests/fuzz/$target" -merge=1 tests/fuzz/corpus/"$target" "$work/corpus" >"$work/merge.log" 2>&1 || true
    after=$(ls tests/fuzz/corpus/"$target" | wc -l)
    if ((status != 0)); then
        echo "$target: CRASHED after ${runs} inputs; see $work/crashes and $work/log"
        return 1
    fi
    echo "$target: ${runs} inputs in ${seconds} s, no crash; corpus ${before} -> ${after} files"
}
export -f fuzz_long
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'fuzz_long "$1" "$2"' _ {} $((minutes * 60))
