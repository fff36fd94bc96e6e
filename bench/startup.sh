#!/usr/bin/env bash
# Start-up of the desktop program, whole process: from exec to the first painted window,
# measured from outside by tools/xwin (it polls the X server every 2 ms for the window's
# pixels), then the window is closed through the window manager's close request.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]      (runs itself under Xvfb when no display is set)
set -euo pipefail
build=${1:-build}
runs=${2:-10}
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$runs"
fi
xwin=$build/tools/xwin/vedora-xwin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/src/app/vedora" "$work/vedora"
# Qt wants a private runtime folder; without one it complains on every start.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime

times=()
for i in $(seq "$runs"); do
    # The first run starts without a settings file, the others read the one it left.
    times+=("$(env -u QT_QPA_PLATFORM "$xwin" time-to-paint "Vedora 1.02" -- "$work/vedora")")
done
printf '%s\n' "${times[@]}" | sort -n | awk -v runs="$runs" '
    { t[NR] = $1; sum += $1 }
    END {
        median = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
        printf "start-up to first painted window over %d runs: min %.0f ms, median %.0f ms, max %.0f ms\n",
               runs, t[1], median, t[NR]
    }'
