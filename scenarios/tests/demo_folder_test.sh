#!/bin/sh
# The demo given an output folder it cannot create (one below a file) ends
# at once with exit code 1 and one line on stderr that names the folder.
demo=$1
folder=$demo/out
err=$("$demo" "$folder" 2>&1 >/dev/null)
rc=$?
printf '%s\n' "$err"
[ "$rc" -eq 1 ] || { echo "exit code $rc, not 1"; exit 1; }
[ "$err" = "demo: cannot create $folder/240x320: Not a directory" ] ||
    { echo "not the one line wanted"; exit 1; }
