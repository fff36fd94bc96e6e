#!/usr/bin/env bash
# The whole stitch of vedora-stitch against OpenCV's Stitcher (bench/opencv/opencv-stitch.cpp,
# its PANORAMA defaults) on the same rendered photographs, run back to back and alternated
# (V, O, V, O, ...), each as a whole process under /usr/bin/time. Prints per set the median
# wall times, their ratio, the peak memories and the output sizes, then Vedora's PSNR against
# the ground truth at native size, after a gain and an offset per channel are fitted. Measures only; nothing here passes or fails on a time.
#
# Usage: bench/compare-opencv.sh [build-dir]     (default build)
#   REPS=N             runs of each program per set (3)
#   KEEP_OUTPUTS=DIR   keep both panoramas of every set there (for a look at them), and
#                      Vedora's PNG, cameras file, ground truth and mask
#   SETS="row ring"    only these sets (row ring grid exposure five big)
#   QUIET=1            before each run wait (up to 5 minutes) until the rest of the machine has
#                      used less than a tenth of a core for 2 seconds
#
# OpenCV is needed for the benchmark alone (Debian: libopencv-dev); the script compiles the
# small OpenCV program itself into its temporary folder. Vedora never links OpenCV.
set -euo pipefail
build=${1:-build}
reps=${REPS:-3}
sets=${SETS:-row ring grid exposure five big}
here=$(cd "$(dirname "$0")" && pwd)
render="$build/tools/render/vedora-render"
stitch="$build/src/cli/vedora-stitch"
world="$here/../tests/data/world.jpg"

for tool in "$render" "$stitch"; do
    if [[ ! -x $tool ]]; then
        echo "compare-opencv: $tool is missing; build Vedora first or name the build folder" >&2
        exit 2
    fi
done
if ! pkg-config --exists opencv4 2>/dev/null; then
    echo "compare-opencv: OpenCV 4 (pkg-config opencv4) is not installed; on Debian:" >&2
    echo "    sudo apt-get install -y --no-install-recommends libopencv-dev" >&2
    exit 1
fi
if [[ ! -x /usr/bin/time ]]; then
    echo "compare-opencv: /usr/bin/time is missing; on Debian: sudo apt-get install -y time" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
started=$SECONDS

opencv="$work/opencv-stitch"
# shellcheck disable=SC2046  # pkg-config's flags are meant to be split
g++ -O2 -std=c++17 "$here/opencv/opencv-stitch.cpp" -o "$opencv" $(pkg-config --cflags --libs opencv4)

views() { for v in "$@"; do printf -- '--view %s ' "$v"; done; }

# name, projection for vedora-stitch, and how the set is rendered
declare -A projection=(
    [row]=cylindrical [ring]=cylindrical [grid]=spherical [exposure]=cylindrical [five]=cylindrical [big]=cylindrical)
declare -A description=(
    [row]="row of 5, 1280x960, f 1000, 35 deg apart"
    [ring]="360 ring of 12, 1600x1200, f 1400, 30 deg apart"
    [grid]="2x4 grid, 1280x960, f 1000, pitch +-15, 30 deg apart"
    [exposure]="row of 3, 1280x960, f 1000, 35 deg apart, gains 0.75/1.25/1.0, vignetting 0.2"
    [five]="5 of 1600x1200, f 1250, 30 deg apart"
    [big]="6 of 4000x3000, f 3500, 40 deg apart")

# shellcheck disable=SC2046  # the --view options are meant to be split
render_set() {
    local name=$1 dir="$work/$1"
    case $name in
    row) "$render" --world "$world" --out "$dir" --focal 1000 --size 1280x960 \
        $(views -60,5,0 -25,5,0 10,5,0 45,5,0 80,5,0) ;;
    ring) "$render" --world "$world" --out "$dir" --focal 1400 --size 1600x1200 \
        $(views 0,0,0 30,0,0 60,0,0 90,0,0 120,0,0 150,0,0 180,0,0 210,0,0 240,0,0 270,0,0 300,0,0 330,0,0) ;;
    grid) "$render" --world "$world" --out "$dir" --focal 1000 --size 1280x960 \
        $(views 0,15,0 30,15,0 60,15,0 90,15,0 0,-15,0 30,-15,0 60,-15,0 90,-15,0) ;;
    exposure) "$render" --world "$world" --out "$dir" --focal 1000 --size 1280x960 \
        $(views -35,0,0,0.75,0,0.2 0,0,0,1.25,0,0.2 35,0,0,1.0,0,0.2) ;;
    five) "$render" --world "$world" --out "$dir" --focal 1250 --size 1600x1200 \
        $(views 0,0,0 30,0,0 60,0,0 90,0,0 120,0,0) ;;
    big) "$render" --world "$world" --out "$dir" --focal 3500 --size 4000x3000 \
        $(views 0,0,0 40,0,0 80,0,0 120,0,0 160,0,0 200,0,0) ;;
    *) echo "compare-opencv: unknown set $name" >&2; exit 2 ;;
    esac >/dev/null
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) printf "%.2f", v[(NR + 1) / 2]; else printf "%.2f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# WxH of an image file, "-" when there is none.
dimensions() {
    [[ -s $1 ]] || { echo "-"; return; }
    if command -v identify >/dev/null; then
        identify -format '%wx%h' "$1" 2>/dev/null && return
    fi
    file -b "$1" | grep -o '[0-9]\+x[0-9]\+' | tail -1
}

# CPU time (jiffies) that all processes of the machine have used so far.
busy_jiffies() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 + $9; exit }' /proc/stat; }

# One timed run: appends "wall-seconds KB user-seconds system-seconds others-cpu-seconds" to $2
# when the program succeeds (others: what the rest of the machine used meanwhile), else notes
# the failure in $3.
timed() {
    local label=$1 times=$2 failures=$3
    shift 3
    local t="$work/time.txt" rc=0 before after
    wait_for_quiet
    before=$(busy_jiffies)
    /usr/bin/time -f '%e %M %U %S' -o "$t" "$@" >"$work/stdout.txt" 2>"$work/stderr.txt" || rc=$?
    after=$(busy_jiffies)
    if ((rc == 0)); then
        tail -1 "$t" | awk -v j=$((after - before)) -v hz="$hz" '{ o = j / hz - $3 - $4; print $0, (o > 0 ? o : 0) }' >>"$times"
        if [[ $label == opencv ]]; then
            # "PANO: WxH, K of N images": how many photographs OpenCV kept in its panorama
            grep -o '[0-9]* of [0-9]* images' "$work/stdout.txt" | awk '{ print $1 "/" $3 }' >"$work/kept.txt" || true
        fi
    else
        echo "$label exit $rc after $(tail -1 "$t" | awk '{ printf "%s s, %d MB", $1, $2 / 1024 }'):" \
            "$(grep -v '^Command exited' "$work/stderr.txt" | tail -1)" >>"$failures"
    fi
}
hz=$(getconf CLK_TCK)

# With QUIET=1: waits until the other processes leave the cores alone (at most 5 minutes).
wait_for_quiet() {
    [[ ${QUIET:-0} == 1 ]] || return 0
    local until=$((SECONDS + 300)) before
    while ((SECONDS < until)); do
        before=$(busy_jiffies)
        sleep 2
        (($(busy_jiffies) - before < hz / 5)) && return 0
    done
}

echo "vedora-stitch ($stitch) against OpenCV $(pkg-config --modversion opencv4) Stitcher PANORAMA defaults;"
echo "$reps runs of each per set, alternated; $(nproc) cores; load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
if awk '{ exit !($1 > 1) }' /proc/loadavg; then
    echo "note: other processes are running (load above 1); wall times include waiting for the cores"
fi
echo

rows=()
details=()
for name in $sets; do
    render_set "$name"
    dir="$work/$name"
    photos=("$dir"/view*.jpg)
    vt="$work/$name.v.txt" ot="$work/$name.o.txt" fails="$work/$name.fail.txt"
    : >"$vt"
    : >"$ot"
    : >"$fails"
    echo "-" >"$work/kept.txt"
    load=$(cut -d' ' -f1 /proc/loadavg)
    for ((r = 1; r <= reps; ++r)); do
        timed vedora "$vt" "$fails" "$stitch" -q --seed 17 --size native --projection "${projection[$name]}" \
            -o "$work/$name-vedora.jpg" "${photos[@]}"
        timed opencv "$ot" "$fails" "$opencv" -o "$work/$name-opencv.jpg" "${photos[@]}"
    done

    # Vedora against the ground truth, at native size, on a lossless output.
    psnr="-"
    if "$stitch" -q --seed 17 --size native --projection "${projection[$name]}" --cameras "$work/$name-cams.json" \
        -o "$work/$name-vedora.png" "${photos[@]}" >/dev/null 2>&1 &&
        "$render" --truth-panorama "$work/$name-cams.json" --views "$dir/truth.json" --out "$work/$name-truth.png" \
            --mask "$work/$name-mask.png" --crop --margin 2 >/dev/null; then
        psnr=$("$render" --psnr "$work/$name-vedora.png" "$work/$name-truth.png" --mask "$work/$name-mask.png" --fit-exposure |
            awk '{ print $1 }')
    fi

    vs=$(awk '{ print $1 }' "$vt" | median)
    os=$(awk '{ print $1 }' "$ot" | median)
    vm=$(awk '{ print $2 / 1024 }' "$vt" | median)
    om=$(awk '{ print $2 / 1024 }' "$ot" | median)
    ratio=$(awk -v a="$vs" -v b="$os" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }')
    rows+=("$(printf '%-9s %4s %3d %9s %9s %6s %9s %9s %12s %12s %6s %8s' "$name" "${projection[$name]:0:3}" \
        "${#photos[@]}" "$vs" "$os" "$ratio" "$vm" "$om" "$(dimensions "$work/$name-vedora.jpg")" \
        "$(dimensions "$work/$name-opencv.jpg")" "$(cat "$work/kept.txt")" "$psnr")")
    details+=("$name (${description[$name]}), load $load:")
    details+=("    vedora $(awk '{ printf "%5.2f s (cpu %5.2f s, others %4.2f) %4d MB  ", $1, $3 + $4, $5 / $1, $2 / 1024 }' "$vt")")
    details+=("    opencv $(awk '{ printf "%5.2f s (cpu %5.2f s, others %4.2f) %4d MB  ", $1, $3 + $4, $5 / $1, $2 / 1024 }' "$ot")")
    while IFS= read -r line; do details+=("    $name: $line"); done <"$fails"
    if [[ -n ${KEEP_OUTPUTS:-} ]]; then
        mkdir -p "$KEEP_OUTPUTS"
        for f in "$work/$name"-{vedora.jpg,opencv.jpg,vedora.png,truth.png,mask.png,cams.json}; do
            if [[ -f $f ]]; then cp "$f" "$KEEP_OUTPUTS/"; fi
        done
    fi
    rm -f "$work/$name"-*.png
done

printf '%-9s %4s %3s %9s %9s %6s %9s %9s %12s %12s %6s %8s\n' set proj n "vedora s" "opencv s" "V/O" "vedora MB" \
    "opencv MB" "vedora WxH" "opencv WxH" "O kept" "PSNR dB"
printf '%s\n' "${rows[@]}"
echo
echo "medians of $reps runs; V/O below 1: Vedora faster; MB: peak resident memory (median); PSNR: Vedora's"
echo "native-size PNG against vedora-render's ground-truth panorama over its mask (--crop --margin 2),"
echo "after a gain and an offset per channel fitted to the truth (the final stitch's contrast stretch"
echo "changes every level; the fit leaves what the geometry and the sharpness do)."
echo "OpenCV's panorama is always spherical and uncropped; Vedora's proj column says what it drew;"
echo "O kept: photographs in OpenCV's panorama of those given (it keeps only those it could connect)."
echo
echo "every run: wall time (user + system CPU time; others: cores the rest of the machine kept busy meanwhile,"
echo "of $(nproc)) peak memory; load: 1-minute load average before the set"
printf '%s\n' "${details[@]}"
echo
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg); the script took $((SECONDS - started)) s"
