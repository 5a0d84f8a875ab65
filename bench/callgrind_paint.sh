#!/usr/bin/env bash
# Instructions per paint of the lock window (PaintLockPicture and all it
# calls, glyphs already rendered), counted by callgrind, beside the frame's
# size in pixels: callgrind_paint.sh [BUILD_DIR] [PAINTS]
set -euo pipefail
build=${1:-build}
paints=${2:-50}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for size in 240 480; do
    valgrind --tool=callgrind --toggle-collect='CountedPaints(*' \
        --callgrind-out-file="$out/$size" "$build/bench/paint_ipp" "$size" "$paints" >/dev/null 2>&1
    ir=$(awk '/^summary:/ {print $2}' "$out/$size")
    pixels=$((size * size * 4 / 3))
    awk -v s="$size" -v ir="$ir" -v n="$paints" -v px="$pixels" \
        'BEGIN { printf "%dx%d %10d instructions/paint  %.2f instructions/pixel\n", s, s * 4 / 3, ir / n, ir / n / px }'
done
