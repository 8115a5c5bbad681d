#!/usr/bin/env bash
# Runs treeval on a copy of examples/config.xml: a get, then a set, showing
# each command and what it did.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
treeval=$(cd "$build" && pwd)/src/treeval/treeval
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/config.xml" "$work/config.xml"
cd "$work"

show() { echo "\$ $*"; local rc=0; "$@" || rc=$?; echo "(exit status $rc)"; }
show "$treeval" config.xml /config/server/host
show "$treeval" config.xml '/config/item[@id="3"]' third
show "$treeval" config.xml '/config/item/@id'
echo "\$ cat config.xml"
cat config.xml
