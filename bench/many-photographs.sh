#!/usr/bin/env bash
# A multi-row 360-degree set as a whole process: three rows of 20 photographs (640 x 480, f 500,
# pitch -35, 0 and +35 degrees, a full turn), stitched to 2048 pixels; the time and peak memory
# of the run and, from its --report, the time of each stage. ROWS_OF=N sets the photographs per
# row (20 by default; a row of N spans a full turn); PITCHES="-45 -15 15 45" the rows' pitches,
# SIZE=WxH and FOCAL=F the photographs (640x480, f 500), for example the small photographs of
# SIZE=256x192 FOCAL=200 ROWS_OF=14 PITCHES="-45 -15 15 45" (56) against PITCHES="-15" (14).
# Usage: bench/many-photographs.sh [build-dir]
set -euo pipefail
build=${1:-build}
per_row=${ROWS_OF:-20}
pitches=${PITCHES:--35 0 35}
size=${SIZE:-640x480}
focal=${FOCAL:-500}
render="$build/tools/render/vedora-render"
stitch="$build/src/cli/vedora-stitch"
world="$(dirname "$0")/../tests/data/world.jpg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

args=()
rows=0
for pitch in $pitches; do
    rows=$((rows + 1))
    for ((k = 0; k < per_row; ++k)); do args+=(--view "$((360 * k / per_row)),$pitch,0"); done
done
"$render" --world "$world" --out "$work/set" --focal "$focal" --size "$size" "${args[@]}" >/dev/null
/usr/bin/time -f "$((rows * per_row)) photographs: %e s wall, %M KB peak" \
    "$stitch" -q --seed 3 --size 2048 --projection spherical -o "$work/pano.jpg" --report "$work/report.json" \
    "$work/set"/view*.jpg >/dev/null
python3 - "$work/report.json" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
registered = sum(p["registered"] for p in report["photographs"])
print("registered %d of %d, %d pairs, worst pair %.2f px rms" % (
    registered, len(report["photographs"]), len(report["pairs"]), max(p["rms_px"] for p in report["pairs"])))
print(", ".join("%s %.2f s" % (k, v) for k, v in sorted(report["stage_seconds"].items(), key=lambda kv: -kv[1])))
PY
