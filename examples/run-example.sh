#!/usr/bin/env bash
# Runs treeval on a copy of examples/config.xml: a get, then a set, showing
# each command and what it did.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
program=$(cd "$build" && pwd)/src/treeval/treeval
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/config.xml" "$work/config.xml"
cd "$work"

treeval() { echo "\$ treeval $*"; local rc=0; "$program" "$@" || rc=$?; echo "(exit status $rc)"; }
treeval config.xml /config/server/host
treeval config.xml '/config/item[@id="3"]' third
treeval config.xml '/config/item/@id'
echo "\$ cat config.xml"
cat config.xml
