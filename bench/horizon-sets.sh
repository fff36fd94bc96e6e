#!/usr/bin/env bash
# How level the fitted horizon is on rendered sets: for each set, the largest difference between
# every photograph's pitch and roll as rendered and as vedora-stitch's --report gives them.
# Usage: bench/horizon-sets.sh [build-dir]   (renders the sets into a temporary folder)
set -euo pipefail
build=${1:-build}
render="$build/tools/render/vedora-render"
stitch="$build/src/cli/vedora-stitch"
world="$(dirname "$0")/../tests/data/world.jpg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name, then views yaw,pitch,roll
sets=(
    "level-row 0,0,0 25,0,0 50,0,0 75,0,0 100,0,0"
    "pitched-rolled-row 0,25,6 25,25,7 50,25,8 75,25,5 100,25,6"
    "pitched-down-row 0,-20,-3 30,-20,-1 60,-20,-4 90,-20,-2"
    "two-rows 0,-18,0 35,-18,0 70,-18,0 105,-18,0 0,18,0 35,18,0 70,18,0 105,18,0"
    "ring 0,5,2 45,5,3 90,5,1 135,5,2 180,5,3 225,5,2 270,5,1 315,5,2"
)

printf '%-20s %10s %10s %12s\n' set "pitch err" "roll err" "correction"
for entry in "${sets[@]}"; do
    read -r name views <<<"$entry"
    args=()
    for v in $views; do args+=(--view "$v"); done
    "$render" --world "$world" --out "$work/$name" --focal 700 --size 640x480 "${args[@]}" >/dev/null
    "$stitch" -q --seed 3 --size 800 -o "$work/$name.jpg" --report "$work/$name.json" "$work/$name"/view*.jpg \
        >/dev/null 2>&1 || true
    python3 - "$work/$name.json" "$views" "$name" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
truth = [tuple(float(x) for x in v.split(',')) for v in sys.argv[2].split()]
pitch = roll = 0.0
for photograph, (_, p, r) in zip(report["photographs"], truth):
    if photograph["registered"]:
        pitch = max(pitch, abs(photograph["pitch_deg"] - p))
        roll = max(roll, abs(photograph["roll_deg"] - r))
print("%-20s %9.3f° %9.3f° %11.2f°" % (sys.argv[3], pitch, roll, report["horizon_correction_deg"]))
PY
done
