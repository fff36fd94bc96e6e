#!/usr/bin/env bash
# Starts the real program as a user would, on an Xvfb display of its own (other tests' windows
# carry the same title): waits for its painted window, takes a screenshot, closes it through
# the window manager's close request and checks that the settings file was written beside the
# program.
#
#   smoke-test.sh VEDORA VEDORA_XWIN SCREENSHOT.png
set -euo pipefail
vedora=$1 xwin=$2 shot=$3

# --version and --help answer without any display.
env -u DISPLAY QT_QPA_PLATFORM=none "$vedora" --version | grep -q "^vedora 1.02$"
env -u DISPLAY QT_QPA_PLATFORM=none "$vedora" --help | grep -q "Usage: vedora \[PROJECT.vdp\]"

if [ -z "${VEDORA_SMOKE_DISPLAY:-}" ]; then
    VEDORA_SMOKE_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
# A copy of the program keeps its settings file in the test's own folder.
cp "$vedora" "$work/vedora"
env -u QT_QPA_PLATFORM "$work/vedora" >"$work/out.log" 2>&1 &
pid=$!

if ! "$xwin" wait "Vedora 1.02" 15000 >/dev/null; then
    echo "the window did not appear"; cat "$work/out.log"; kill "$pid" || true; exit 1
fi
sleep 1.2  # the save indicator shows a second after the first paint
if command -v import >/dev/null 2>&1; then
    import -window root "$shot"
fi
[ -f "$work/vedora.xml" ] && { echo "settings written before exit"; exit 1; }

"$xwin" close "Vedora 1.02"
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "the window did not close"; kill "$pid"; exit 1
fi
wait "$pid"
grep -q "<Vedora Version=\"1\"" "$work/vedora.xml" || { echo "no settings file"; cat "$work/vedora.xml"; exit 1; }
grep -q "<MainWindow" "$work/vedora.xml"
echo "smoke test passed"
