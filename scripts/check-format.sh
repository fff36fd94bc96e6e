#!/usr/bin/env bash
# Checks every tracked C++ file against .clang-format; lists the files that differ.
# scripts/check-format.sh --fix rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
jobs=$(nproc 2>/dev/null || echo 2)
if [ "${1:-}" = "--fix" ]; then
    printf '%s\0' "${files[@]}" | xargs -0 -P "$jobs" -n 50 clang-format -i
    exit 0
fi
# Batches of files per clang-format run, as many runs at once as there are cores; every
# difference is reported as "file:line:column: error: ...", from which the files are listed.
report=$(printf '%s\0' "${files[@]}" | xargs -0 -P "$jobs" -n 50 clang-format --dry-run --Werror 2>&1 || true)
mapfile -t bad < <(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9][0-9]*:[0-9][0-9]*: error: .*/\1/p' | sort -u)
if [ ${#bad[@]} -gt 0 ]; then
    printf 'not in the house style (scripts/check-format.sh --fix):\n' >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
if printf '%s\n' "$report" | grep -q .; then
    printf 'clang-format failed:\n%s\n' "$report" >&2
    exit 1
fi
echo "format: ${#files[@]} files in the house style"
