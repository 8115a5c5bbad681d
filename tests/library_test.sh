#!/bin/sh
# Installs the build into a temporary prefix and builds the example program
# of examples/library against it twice, through the CMake package and
# through pkg-config; each program must set and read back a port.
#   usage: library_test.sh CMAKE BUILD-DIR SOURCE-DIR GENERATOR CXX CXXFLAGS LDFLAGS
set -u
cmake=$1 build=$2 source=$3 generator=$4 cxx=$5 cxxflags=$6 ldflags=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

run() {
    "$@" >"$work/log" 2>&1 || { cat "$work/log"; echo "failed: $*"; exit 1; }
}

# Runs one built program on a fresh file and checks its output and the file.
check() {
    rm -f "$work/conf.xml"
    out=$("$1" "$work/conf.xml" 8443)
    [ "$out" = "port 8443" ] || { echo "$1 printed '$out'"; status=1; }
    grep -q '<server port="8443"/>' "$work/conf.xml" ||
        { echo "$1 left:"; cat "$work/conf.xml"; status=1; }
}

run "$cmake" --install "$build" --prefix "$work/prefix"

run "$cmake" -S "$source/examples/library" -B "$work/with-cmake" -G "$generator" \
    -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
run "$cmake" --build "$work/with-cmake"
check "$work/with-cmake/setport"

pc=$(find "$work/prefix" -name treeval.pc)
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs treeval) ||
    { echo "pkg-config does not know treeval"; exit 1; }
# The flags are split into words on purpose.
# shellcheck disable=SC2086
run "$cxx" $cxxflags -std=c++17 "$source/examples/library/setport.cpp" $flags $ldflags \
    -o "$work/setport"
check "$work/setport"

[ $status -eq 0 ] && echo "library example: built and ran through CMake and pkg-config"
exit $status
