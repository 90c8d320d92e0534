#!/usr/bin/env bash
# cmake --install puts qor, and nothing else, into PREFIX/bin, where it works away from the build
# tree: its help, and the commands that take paths, in a plain folder and in one whose name the
# ANSI code page lacks (Hangul: neither GBK nor 1252 has it). The same bytes give the fingerprint
# md5sum gives, and the same package and answer, written inside the folder, in both.
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
want=$(md5sum <"$work/file" | cut -d' ' -f1)
for dir in "$work/plain" "$work/한글 폴더"; do
  mkdir "$dir" && cp "$work/file" "$dir/file"
  got=$("$@" "$installed" fingerprint "$dir/file" | tr -d '\r') || fail "$dir: fingerprint: exit $?"
  [ "$got" = "$want" ] || fail "$dir: qor fingerprint: '$got'"
  { "$@" "$installed" pack "$dir/pkg.dat" "$dir/file" >/dev/null &&
    "$@" "$installed" list "$dir/pkg.dat" | tr -d '\r' | grep -Eq '^ +100000 +[0-9]+  file$' &&
    "$@" "$installed" extract "$dir/pkg.dat" "$dir/out" && cmp -s "$dir/file" "$dir/out/file"; } ||
    fail "$dir: pack, list and extract"
  "$@" "$installed" answer --json "$dir/file" "$dir/www" >"$work/json" || fail "$dir: answer: exit $?"
  # The JSON names the paths as given (UTF-8), whatever the ANSI code page.
  python3 - "$work/json" "$dir" "$want" <<'PYTHON' || fail "$dir: answer --json: $(cat "$work/json")"
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
dir, want = sys.argv[2:]
assert doc["setup"] == dir + "/file" and doc["fingerprint"] == want and doc["written"], doc
assert doc["answer_file"].replace("\\", "/") == dir + "/www/velmora/QORPG3.0ins.htm", doc
PYTHON
done
cmp "$work/plain/pkg.dat" "$work/한글 폴더/pkg.dat" || fail "another package in the Hangul folder"
cmp "$work/plain/www/velmora/QORPG3.0ins.htm" "$work/한글 폴더/www/velmora/QORPG3.0ins.htm" ||
  fail "another answer in the Hangul folder"
echo "installed qor: ok"
