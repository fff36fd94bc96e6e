#!/usr/bin/env bash
# Whole-process timing and peak memory of `vedora-stitch --match-only` on rendered sets.
# Usage: bench/match-sets.sh [build-dir]   (renders the sets into a temporary folder)
set -euo pipefail
build=${1:-build}
render="$build/tools/render/vedora-render"
stitch="$build/src/cli/vedora-stitch"
world="$(dirname "$0")/../tests/data/world.jpg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

views() { for v in "$@"; do printf -- '--view %s ' "$v"; done; }

"$render" --world "$world" --out "$work/row" --focal 1000 --size 1280x960 \
    $(views -60,5,0 -25,5,0 10,5,0 45,5,0 80,5,0) >/dev/null
"$render" --world "$world" --out "$work/ring" --focal 1400 --size 1600x1200 \
    $(views 0,0,0 30,0,0 60,0,0 90,0,0 120,0,0 150,0,0 180,0,0 210,0,0 240,0,0 270,0,0 300,0,0 330,0,0) >/dev/null
"$render" --world "$world" --out "$work/grid" --focal 1000 --size 1280x960 \
    $(views 0,15,0 35,15,0 70,15,0 105,15,0 0,-15,0 35,-15,0 70,-15,0 105,-15,0) >/dev/null
"$render" --world "$world" --out "$work/pair" --focal 1250 --size 1600x1200 $(views 0,0,0 55,0,0) >/dev/null

for set in row ring grid pair; do
    /usr/bin/time -f "$set: %e s wall, %M KB peak" "$stitch" --match-only -q --seed 17 \
        --project "$work/$set.vdp" "$work/$set"/view*.jpg >/dev/null
done
