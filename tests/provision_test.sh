#!/bin/sh
# Runs the example provisioning job on a temporary copy of the example file:
# it must succeed, leave exactly the expected document, change nothing when
# run again, and stop with status 1 on a file that is not XML, leaving it
# as it was.
#   usage: provision_test.sh TREEVAL SOURCE-DIR
set -u
TREEVAL=${1:?usage: provision_test.sh TREEVAL SOURCE-DIR}
source=${2:?usage: provision_test.sh TREEVAL SOURCE-DIR}
export TREEVAL
job=$source/examples/provision.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

check() {
    if [ "$2" != "$3" ]; then
        printf '%s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
        status=1
    fi
}

cp "$source/examples/config.xml" "$work/config.xml"
out=$(sh "$job" "$work/config.xml" 2>&1)
check "first run: status" 0 $?
check "first run: output" "provisioning demo
provisioned demo on port 8443" "$out"
check "first run: document" '<?xml version="1.0" encoding="UTF-8"?>
<config>
  <name>demo</name>
  <server port="8443" timeout="30">
    <host>app01.internal</host>
  </server>
  <item id="1" state="active">first</item>
  <item id="2">second</item>
  <item id="3" owner="ops">third</item>
  <database>
    <pool size="20"/>
  </database>
</config>' "$(cat "$work/config.xml")"

cp "$work/config.xml" "$work/first.xml"
sh "$job" "$work/config.xml" >/dev/null 2>&1
check "second run: status" 0 $?
cmp -s "$work/first.xml" "$work/config.xml" || check "second run: document" unchanged changed

printf '<config><name>demo</name>' >"$work/broken.xml"
cp "$work/broken.xml" "$work/broken.orig"
out=$(sh "$job" "$work/broken.xml" 2>&1)
check "broken file: status" 1 $?
case $out in
    *"File not found or could not create: $work/broken.xml"*"provision: could not read /config/name"*) ;;
    *) check "broken file: messages" "treeval's message, then the job's" "$out" ;;
esac
cmp -s "$work/broken.orig" "$work/broken.xml" || check "broken file: file" unchanged changed

[ $status -eq 0 ] && echo "provisioning example: all checks passed"
exit $status
