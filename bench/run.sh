#!/usr/bin/env bash
# Regenerates bench/results.md and bench/results.png: builds the command,
# the floor and the microbenchmarks in a Release build directory, generates
# the documents, measures treeval against the floor and the peer tools, and
# plots time against size. Peer tools that are missing are installed when
# run as root, and skipped with a note otherwise.
#
# Usage: bench/run.sh [--quick]
#   --quick   1 and 10 MB only, fewer rounds (for a look while working)
# Environment: BUILD (build directory, default build-bench), DATA (where the
# documents go, default /tmp/treeval-bench), RUNS (rounds per case).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${BUILD:-$root/build-bench}"
data="${DATA:-/tmp/treeval-bench}"
sizes="1,10,100"
runs="${RUNS:-5}"
tiny_runs=60
if [ "${1:-}" = "--quick" ]; then
  sizes="1,10"
  runs="${RUNS:-3}"
  tiny_runs=30
fi

notes=()
ensure_tool() {  # command, Debian package
  command -v "$1" >/dev/null && return 0
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "Installing $2 for $1"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$2" \
      >/dev/null 2>&1 || { apt-get update -qq >/dev/null 2>&1 &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$2" \
      >/dev/null 2>&1; } || true
  fi
  command -v "$1" >/dev/null && return 0
  echo "note: $1 is not available ($2); skipped" >&2
  return 1
}
ensure_tool python3 python3 || { echo "bench/run.sh needs python3" >&2; exit 1; }
ensure_tool xmllint libxml2-utils || true
ensure_tool xmlstarlet xmlstarlet || true
have_gnuplot=1
ensure_tool gnuplot gnuplot-nox || have_gnuplot=0

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(treeval gendoc treeval_floor runone)
micro=""
if [ -n "$(ninja -C "$build" -t targets all 2>/dev/null | grep '^store_bench:')" ]; then
  targets+=(store_bench trace_bench xstring_bench)
  micro="$data/micro.json"
fi
cmake --build "$build" --target "${targets[@]}" -j2 >/dev/null
mimalloc=$(grep -E '^TREEVAL_MIMALLOC:BOOL=' "$build/CMakeCache.txt" | cut -d= -f2)
notes+=(--note "treeval built Release, TREEVAL_MIMALLOC=${mimalloc:-OFF}")

mkdir -p "$data"
generate() {  # kind, megabytes, name
  [ -s "$data/$3.xml" ] && [ -s "$data/$3.count" ] && return 0
  "$build/bench/gendoc" "$1" "$2" >"$data/$3.xml" 2>"$data/$3.count"
}
generate tiny 1 tiny
generate deep 10 deep
generate text 10 text
for size in ${sizes//,/ }; do generate wide "$size" "wide-$size"; done

if [ -n "$micro" ]; then
  echo "running the microbenchmarks" >&2
  "$build/bench/store_bench" --benchmark_format=json >"$data/store.json" 2>/dev/null
  "$build/bench/trace_bench" --benchmark_format=json >"$data/trace.json" 2>/dev/null
  "$build/bench/xstring_bench" --benchmark_format=json >"$data/xstring.json" 2>/dev/null
  python3 - "$data" "$micro" <<'EOF'
import json, sys
data, out = sys.argv[1], sys.argv[2]
merged = {"benchmarks": []}
for name in ("store", "trace", "xstring"):
    with open("%s/%s.json" % (data, name)) as f:
        merged["benchmarks"] += json.load(f)["benchmarks"]
with open(out, "w") as f:
    json.dump(merged, f)
EOF
fi

python3 "$here/measure.py" --bin-dir "$build" --data "$data" --sizes "$sizes" \
  --runs "$runs" --tiny-runs "$tiny_runs" ${micro:+--micro "$micro"} "${notes[@]}" \
  --out "$here/results.md" --plot-data "$data/plot"
echo "wrote $here/results.md" >&2

if [ "$have_gnuplot" -eq 1 ]; then
  gnuplot -e "prefix='$data/plot'; out='$here/results.png'" "$here/plot.gp"
  echo "wrote $here/results.png" >&2
fi
