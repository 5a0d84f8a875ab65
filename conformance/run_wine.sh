#!/usr/bin/env bash
# Runs a Windows program of the build (the conformance suite's Windows half,
# the stand-ins' test) under wine64 in its own Xvfb, with a fresh private
# Wine prefix (given Wine's Tahoma, which a new prefix lacks and would
# otherwise replace), then stops that prefix's wineserver and the Xvfb it
# started. The program's output goes to TRANSCRIPT; its exit status is the
# script's.
#
#   run_wine.sh EXE TRANSCRIPT PREFIX
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
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
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

status=0
"$wine64" "$exe" >"$transcript" || status=$?
echo "run_wine: $(wc -l <"$transcript") lines in $transcript"
if [ "$status" -ne 0 ]; then
    echo "run_wine: $(basename "$exe") ended with $status:" >&2
    tail -n 40 "$transcript" >&2
fi
exit "$status"
