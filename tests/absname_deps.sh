#!/bin/sh
# Checks that the absname program needs no shared library but the C library
# and the dynamic loader. Sanitizer builds link their runtimes, so the check
# is skipped (exit 77) when one of them is needed.
set -eu

binary=${1:?usage: absname_deps.sh BINARY}
dynamic=$(readelf -d "$binary")
needed=$(printf '%s\n' "$dynamic" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')

for library in $needed; do
  case $library in
    libasan.so* | libubsan.so* | libtsan.so* | liblsan.so*)
      echo "skipped: $binary is built with a sanitizer ($library)"
      exit 77 ;;
  esac
done

status=0
for library in $needed; do
  case $library in
    libc.so.* | ld-linux*.so.* | ld.so.* | ld64.so.*) ;;
    *) echo "$binary needs $library" >&2; status=1 ;;
  esac
done
[ $status -eq 0 ] && echo "$binary needs only: $needed"
exit $status
