#!/usr/bin/env bash
# cmake --install puts qor, and nothing else, into PREFIX/bin, where it works away from the build
# tree: its help, and a fingerprint md5sum agrees with.
# Usage: qor_install_test.sh CMAKE BUILD_DIR PROGRAM [EMULATOR...]
# (the emulator runs the installed qor.exe under Wine)
set -euo pipefail
cmake=$1
build=$2
program=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$work/prefix" >"$work/log" || fail "install: $(cat "$work/log")"
installed=$work/prefix/bin/$program
[ "$(cd "$work/prefix" && find . -type f)" = "./bin/$program" ] ||
  fail "installed: $(cd "$work/prefix" && find . -type f)"
"$@" "$installed" --help >"$work/help" || fail "qor --help: exit $?"
grep -q '^usage: qor <command>' "$work/help" || fail "qor --help: $(cat "$work/help")"
head -c 100000 /dev/urandom >"$work/file"
got=$("$@" "$installed" fingerprint "$work/file" | tr -d '\r') || fail "qor fingerprint: exit $?"
[ "$got" = "$(md5sum <"$work/file" | cut -d' ' -f1)" ] || fail "qor fingerprint: '$got'"
echo "installed qor: ok"
