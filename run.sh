#!/usr/bin/env bash
# ./run.sh       installs what is missing, builds Release into build/ and runs the main job
# ./run.sh test  the same set-up, then every test through CTest
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"

case "${1:-}" in
test)
    # Tests that open a GL view need a display; the rest run offscreen. The display server must
    # not reset when its last client leaves: a test starting during the reset cannot connect and
    # aborts (about once in twenty full runs of parallel tests).
    if command -v xvfb-run >/dev/null 2>&1; then
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir build --output-on-failure -j "$jobs"
    else
        ctest --test-dir build --output-on-failure -j "$jobs"
    fi
    ;;
"")
    if [ -x build/src/cli/vedora-stitch ]; then
        build/src/cli/vedora-stitch --project build/sample.vdp -o build/sample-panorama.jpg samples/sample*.jpg
        echo "The panorama: build/sample-panorama.jpg (the project: build/sample.vdp)"
    else
        echo "Built the libraries into build/. The command-line stitcher is not part of this build yet."
    fi
    ;;
*)
    echo "usage: ./run.sh [test]" >&2
    exit 2
    ;;
esac
