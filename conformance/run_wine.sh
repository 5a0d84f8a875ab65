#!/usr/bin/env bash
# Runs the conformance suite's Windows half under wine64 in its own Xvfb,
# with a fresh private Wine prefix (given Wine's Tahoma, which a new prefix
# lacks and would otherwise replace), then stops that prefix's wineserver
# and the Xvfb it started.
#
#   run_wine.sh CONFORMANCE_EXE TRANSCRIPT PREFIX
set -euo pipefail
exe=$1 transcript=$2 prefix=$3

wine64=$(command -v wine64 || true)
[ -n "$wine64" ] || wine64=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver
for tool in "$wine64" "$wineserver" Xvfb; do
    command -v "$tool" >/dev/null || { echo "run_wine: $tool not found (./run test installs wine64 and xvfb)" >&2; exit 1; }
done

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
xvfb_pid=""
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Xvfb picks a free display and says which.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$display_file")
rm -f "$display_file"

rm -rf "$prefix"
"$wine64" wineboot -i >/dev/null 2>&1
"$wineserver" -w
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$fonts/"

"$wine64" "$exe" >"$transcript"
echo "run_wine: $(wc -l <"$transcript") lines in $transcript"
