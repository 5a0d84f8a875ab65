#!/usr/bin/env bash
# Instructions per pixel of FillBlended, counted by callgrind (only inside
# FillBlended and what it calls): callgrind_ipp.sh [BUILD_DIR] [CASE...]
set -euo pipefail
build=${1:-build}
shift || true
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(veil a200 overlay masked)
calls=20
pixels=$((240 * 320))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for c in "${cases[@]}"; do
    valgrind --tool=callgrind --toggle-collect='FillBlended(*' --callgrind-out-file="$out/$c" \
        "$build/bench/render_ipp" "$c" "$calls" >/dev/null 2>&1
    ir=$(awk '/^summary:/ {print $2}' "$out/$c")
    awk -v c="$c" -v ir="$ir" -v n=$((calls * pixels)) \
        'BEGIN { printf "%-8s %12d Ir  %.3f instructions/pixel\n", c, ir, ir / n }'
done
