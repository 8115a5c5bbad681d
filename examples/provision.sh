#!/bin/sh
# A provisioning job: prepares a service's configuration file with treeval.
# It reads what is there, sets values (creating elements and attributes on
# the way) and stops at the first command that fails. Running it again
# changes nothing.
#   usage: provision.sh CONFIG-FILE      (treeval from $TREEVAL, else PATH)
set -u
config=${1:?usage: provision.sh CONFIG-FILE}
treeval=${TREEVAL:-treeval}

fail() {
    echo "provision: $*" >&2
    exit 1
}

# treeval prints the message of its own failure; the job adds which step.
get() { "$treeval" "$config" "$1" || fail "could not read $1"; }
set_value() { "$treeval" "$config" "$1" "$2" || fail "could not set $1"; }

# A read gives one line per selected node and exit status 0, also when
# nothing is selected; 1 means the file or the expression could not be used.
name=$(get /config/name) || exit 1
[ -n "$name" ] || fail "$config names no service"
echo "provisioning $name"

# Sets create what is missing: the database element below, the item whose
# id is 3, and every attribute.
set_value /config/server/host app01.internal
set_value /config/server/@port 8443
set_value '/config/item[@id="3"]' third
set_value '/config/item[@id="3"]/@owner' ops
set_value /config/database/pool/@size 20

# A default, stored only when the attribute is missing or empty.
timeout=$(get /config/server/@timeout) || exit 1
[ -n "$timeout" ] || set_value /config/server/@timeout 30

# One command changes one node: a path that reaches every item is refused
# with status 1 and the file is left alone, so the job names one item.
if "$treeval" "$config" /config/item/@state active 2>/dev/null; then
    fail "a set that reaches every item was not refused"
fi
set_value '/config/item[@id="1"]/@state' active

port=$(get /config/server/@port) || exit 1
echo "provisioned $name on port $port"
