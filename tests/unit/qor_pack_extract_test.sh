#!/usr/bin/env bash
# qor pack then qor extract gives back identical files; failures leave no half-written package
# and give the documented exit codes; qor list --json carries the facts of its text.
# Usage: qor_pack_extract_test.sh QOR
set -euo pipefail
qor=$1
agrees=$(cd "$(dirname "$0")" && pwd)/qor_json_agrees.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
exits() {  # exits CODE COMMAND...: the command ends with CODE; its stderr lands in err.txt
  local rc=0
  "${@:2}" 2> err.txt || rc=$?
  [ "$rc" = "$1" ] || fail "qor ${*:3}: exit $rc, not $1: $(cat err.txt)"
}
refused() {  # refused COMMAND...: exit 2 with one line on stderr
  exits 2 "$@" > /dev/null
  [ "$(wc -l < err.txt)" = 1 ] || fail "qor ${*:2}: not one line: $(cat err.txt)"
}

mkdir in
: > in/empty.bin
printf 'x' > in/one.bin
# Several megabytes of mixed text and noise.
{ for i in $(seq 1 20000); do echo "line $i of the installer payload, setup entry stream"; done
  head -c 3000000 /dev/urandom; seq 1 200000; } > in/multi.bin

"$qor" pack pkg.dat in/empty.bin in/one.bin in/multi.bin > /dev/null
[ "$(od -An -tx1 -j21 -N2 pkg.dat | tr -d ' ')" = 78da ] || fail "first stream is not 78 DA"
"$qor" list pkg.dat > list.txt
grep -Eq '^ +1 +9  one.bin$' list.txt || fail "list: $(cat list.txt)"
"$qor" list pkg.dat --json > list.json
python3 "$agrees" list list.txt list.json 0 || fail "list --json: $(cat list.json)"
"$qor" extract pkg.dat out/deep > /dev/null
for f in empty.bin one.bin multi.bin; do cmp "in/$f" "out/deep/$f" || fail "$f differs"; done

"$qor" pack again.dat in/empty.bin in/one.bin in/multi.bin > /dev/null
cmp pkg.dat again.dat || fail "pack is not deterministic"

# A failed pack leaves neither the package nor a temporary file.
refused "$qor" pack bad.dat in/one.bin missing.bin
ls bad.dat* > /dev/null 2>&1 && fail "a failed pack left a file"
cp in/one.bin 'in/a:b'
refused "$qor" pack bad.dat 'in/a:b'

# Neither command writes over the package it reads or writes, whatever path or link names it.
cp pkg.dat keep.dat
ln pkg.dat hard.dat
refused "$qor" pack pkg.dat pkg.dat
refused "$qor" pack hard.dat in/one.bin ./pkg.dat
cmp pkg.dat keep.dat || fail "pack changed its own input"
cp in/one.bin in/self.dat
"$qor" pack self.dat in/self.dat > /dev/null
cp self.dat keep.dat
mkdir linked && ln -s ../self.dat linked/self.dat
refused "$qor" extract self.dat .
refused "$qor" extract ./self.dat linked
cmp self.dat keep.dat || fail "extract wrote over the package it read"

# Names are judged by Windows rules on every platform: those that leave the folder are refused,
# a backslash separates folders. A package of a placeholder name gets the name patched in.
with_name() {  # with_name NAME PKG
  local placeholder
  placeholder=in/$(printf '%*s' ${#1} '' | tr ' ' n)
  printf 'x' > "$placeholder"
  "$qor" pack "$2" "$placeholder" > /dev/null
  printf '%s' "$1" | dd of="$2" bs=1 seek=8 conv=notrunc status=none
}
mkdir -p names/out/sub
for name in '..\evil.txt' '\evil.txt' 'a\..\..\b' 'C:x'; do
  with_name "$name" names/h.dat
  refused "$qor" extract names/h.dat names/out
  refused "$qor" list names/h.dat
done
with_name 'sub\in.txt' names/h.dat
"$qor" extract names/h.dat names/out > /dev/null
[ "$(cd names && find . -type f | sort | tr '\n' ' ')" = "./h.dat ./out/sub/in.txt " ] ||
  fail "names: $(cd names && find . -type f)"

# A package cut short unpacks partly: exit 1. A missing package is bad input: exit 2.
head -c $(( $(stat -c %s pkg.dat) - 100 )) pkg.dat > cut.dat
exits 1 "$qor" extract cut.dat cut-out
exits 1 "$qor" list cut.dat > list.txt
exits 1 "$qor" list --json cut.dat > list.json
python3 "$agrees" list list.txt list.json 1 && [ "$(wc -l < err.txt)" = 1 ] &&
  grep -q "the package is damaged" list.json || fail "list --json of a cut package: $(cat list.json)"
printf '\1\0\0\0\377\377\377\377' > negative.dat
exits 1 "$qor" list negative.dat > /dev/null
grep -q 'name length of -1$' err.txt || fail "negative name length: $(cat err.txt)"
refused "$qor" extract missing.dat out
refused "$qor" list missing.dat
exits 2 "$qor" list missing.dat --json > list.json
[ ! -s list.json ] || fail "list --json of a missing package: $(cat list.json)"
echo "qor pack/list/extract: ok"
