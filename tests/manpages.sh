#!/bin/sh
# Renders each manual page given with groff's man macros and every warning
# enabled; any output at all (a warning, an unknown macro) fails the test.
# Exits 77, which CTest counts as skipped, when groff is not installed.
command -v groff >/dev/null 2>&1 || { echo "groff not installed"; exit 77; }
status=0
for page in "$@"; do
    output=$(groff -man -ww -z "$page" 2>&1)
    if [ $? -ne 0 ] || [ -n "$output" ]; then
        echo "$page:"
        echo "$output"
        status=1
    fi
done
exit $status
