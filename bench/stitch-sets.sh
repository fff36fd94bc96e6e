#!/usr/bin/env bash
# Whole-process time and peak memory of vedora-stitch on rendered sets, matching included,
# and the time of each stage of one run (from the moments its log lines appear).
# Usage: bench/stitch-sets.sh [build-dir]   (renders the sets into a temporary folder)
set -euo pipefail
build=${1:-build}
render="$build/tools/render/vedora-render"
stitch="$build/src/cli/vedora-stitch"
world="$(dirname "$0")/../tests/data/world.jpg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

views() { for v in "$@"; do printf -- '--view %s ' "$v"; done; }

"$render" --world "$world" --out "$work/ring" --focal 1400 --size 1600x1200 \
    $(views 0,0,0 30,0,0 60,0,0 90,0,0 120,0,0 150,0,0 180,0,0 210,0,0 240,0,0 270,0,0 300,0,0 330,0,0) >/dev/null
"$render" --world "$world" --out "$work/big" --focal 3500 --size 4000x3000 \
    $(views 0,0,0 40,0,0 80,0,0 120,0,0 160,0,0 200,0,0) >/dev/null

run() {
    local name=$1
    shift
    /usr/bin/time -f "$name: %e s wall, %M KB peak" "$stitch" -q --seed 17 --projection cylindrical "$@" >/dev/null
}

run "ring preview 1024" --preview --size 1024 -o "$work/ring-preview.jpg" "$work/ring"/view*.jpg
run "ring 1024" --size 1024 -o "$work/ring.jpg" "$work/ring"/view*.jpg
run "ring native" -o "$work/ring-native.jpg" --size native "$work/ring"/view*.jpg
run "six 4000x3000 native" -o "$work/big.jpg" --size native "$work/big"/view*.jpg

# The stages of the ring at its native size, timed by their log lines.
echo "stages of the ring at native size:"
start=$(date +%s.%N)
"$stitch" --seed 17 --projection cylindrical -o "$work/ring-native.jpg" --size native "$work/ring"/view*.jpg \
    2>&1 >/dev/null | while IFS= read -r line; do
    now=$(date +%s.%N)
    awk -v now="$now" -v start="$start" -v line="$line" 'BEGIN { printf "%6.2f s  %s\n", now - start, line }'
done
