#!/bin/sh
# Builds the Debian package from a build directory, checks its dependency on
# the libxml2 runtime and that everything installs under /usr, unpacks it and
# runs the unpacked programs once each. Exits 77, which CTest counts as
# skipped, where dpkg-deb is not installed.
#   usage: package_test.sh CPACK BUILD-DIR
set -u
cpack=${1:?usage: package_test.sh CPACK BUILD-DIR}
build=${2:?usage: package_test.sh CPACK BUILD-DIR}
command -v dpkg-deb >/dev/null 2>&1 || { echo "dpkg-deb not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

problem() {
    echo "$*"
    status=1
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "cpack failed"
    exit 1
fi
set -- "$work"/out/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "expected one package, found: $*"; exit 1; }
deb=$1

depends=$(dpkg-deb -f "$deb" Depends)
case ", $depends," in
    *", libxml2 (>= 2.9),"*) ;;
    *) problem "Depends lacks libxml2 (>= 2.9): $depends" ;;
esac
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -e '^\./$' -e '^\./usr/')
[ -z "$outside" ] || problem "installed outside /usr: $outside"

root=$work/root
dpkg-deb -x "$deb" "$root"
for file in usr/bin/treeval usr/bin/absname \
        usr/share/man/man1/treeval.1 usr/share/man/man1/absname.1 \
        usr/include/treeval/object.h usr/include/treeval/trace.h \
        usr/include/treeval/xmlloader.h usr/include/treeval/xstring.h; do
    [ -f "$root/$file" ] || problem "missing: /$file"
done
for name in libtreeval-xmlstore.a libtreeval-trace.a treevalConfig.cmake treeval.pc; do
    [ -n "$(find "$root/usr/lib" -name "$name")" ] || problem "missing under /usr/lib: $name"
done

# The pkg-config file must lead to the unpacked tree, not to the prefix the
# build was configured with.
pc=$(find "$root/usr/lib" -name treeval.pc)
if [ -n "$pc" ] && command -v pkg-config >/dev/null 2>&1; then
    include=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --variable=includedir treeval)
    [ -f "$include/treeval/xmlloader.h" ] || problem "pkg-config includedir is wrong: $include"
fi

xml=$work/run.xml
"$root/usr/bin/treeval" "$xml" /config/a v || problem "unpacked treeval could not set a value"
value=$("$root/usr/bin/treeval" "$xml" /config/a)
[ "$value" = v ] || problem "unpacked treeval read '$value' instead of 'v'"
resolved=$("$root/usr/bin/absname" "$work/root/usr/../usr/bin")
[ "$resolved" = "$(cd "$root/usr/bin" && pwd -P)" ] || problem "unpacked absname gave '$resolved'"

[ $status -eq 0 ] && echo "package $(basename "$deb"): all checks passed"
exit $status
