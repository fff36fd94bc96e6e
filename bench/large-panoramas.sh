#!/usr/bin/env bash
# Peak memory and time of vedora-stitch on panoramas far larger than memory would hold whole:
# 24 photographs of 12 megapixels around a full turn at their native size (about 25,000 pixels
# wide), the bundled sample enlarged to 40,000 pixels into TIFF (about 400 megapixels), the
# same at 2048 for scale, and the sample at 40,000 under three memory budgets (the memory grows
# with the budget, not with the panorama). Each run is a whole process under /usr/bin/time.
# Usage: bench/large-panoramas.sh [build-dir]    SKIP_LARGE_SET=1 leaves out the 24 photographs
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
render="$build/tools/render/vedora-render"
stitch="$build/src/cli/vedora-stitch"
samples=("$here"/../samples/sample*.jpg)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {
    local name=$1
    shift
    /usr/bin/time -f "$name: %e s wall, %M KB peak" "$stitch" -q --seed 17 "$@" >/dev/null
}
# The uncropped panorama's size, from the cameras file of the run.
drawn() { python3 -c 'import json, sys; p = json.load(open(sys.argv[1]))["panorama"]; print(p["width"], "x", p["height"], "uncropped")' "$1"; }

run "sample at 2048, TIFF" --size 2048 -o "$work/s2k.tif" --cameras "$work/c.json" "${samples[@]}"
echo "    $(drawn "$work/c.json")"
run "sample at 40000, TIFF" --size 40000 -o "$work/s40k.tif" --cameras "$work/c.json" "${samples[@]}"
echo "    $(drawn "$work/c.json"), $(($(stat -c %s "$work/s40k.tif") >> 20)) MB written"
rm -f "$work/s40k.tif"
for mb in 64 256 1024; do
    run "sample at 40000, TIFF, --memory $mb" --size 40000 --memory "$mb" -o "$work/m.tif" "${samples[@]}"
    rm -f "$work/m.tif"
done

if [[ -z ${SKIP_LARGE_SET:-} ]]; then
    views=()
    for k in $(seq 0 23); do views+=(--view "$((k * 15)),0,0"); done
    "$render" --world "$here/../tests/data/world.jpg" --out "$work/ring24" --focal 4000 --size 4000x3000 \
        "${views[@]}" >/dev/null
    run "24 x 4000x3000 ring at native size, JPEG" --projection cylindrical -o "$work/ring24.jpg" \
        --cameras "$work/c.json" "$work/ring24"/view*.jpg
    echo "    $(drawn "$work/c.json")"
    rm -f "$work/ring24.jpg"
    run "the same, --memory 512" --projection cylindrical --memory 512 -o "$work/ring24.jpg" "$work/ring24"/view*.jpg
fi
