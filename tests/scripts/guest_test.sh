#!/usr/bin/env bash
# scripts/guest without booting anything: which tests of a Windows build run in the guest, when its
# image is made anew, and a run's way in and back out, with a stand-in for qemu playing the guest:
# the command's status and the files it names come back, Wine prefixes stay behind, and a guest
# that ends without finishing is a failure, never a pass.
# Usage: guest_test.sh SOURCE_DIR
set -uo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A tree of its own, so that runs bring files back into it and not into the sources.
tree="$work/tree"
mkdir -p "$tree/scripts" "$tree/build/windows/wineprefix"
cp "$src/scripts/guest" "$src/scripts/wine-run" "$tree/scripts/"
git -C "$tree" init -q
guest="$tree/scripts/guest"

# --- Which tests run where: the shapes of the Windows build's fixtures.
test_json() {  # NAME LABEL [PROPERTY VALUE]...: one test as ctest --show-only=json-v1 lists it
  local name=$1 label=$2 props
  shift 2
  props="{\"name\":\"LABELS\",\"value\":[\"$label\"]}"
  while [ $# -gt 0 ]; do
    props+=",{\"name\":\"$1\",\"value\":[\"${2//,/\",\"}\"]}"
    shift 2
  done
  echo "{\"name\":\"$name\",\"properties\":[$props]},"
}
{
  echo '{"kind":"ctestInfo","version":{"major":1,"minor":0},"tests":['
  test_json display_start fixture FIXTURES_SETUP display
  test_json display_stop fixture FIXTURES_CLEANUP display
  test_json prefix_start fixture FIXTURES_REQUIRED display FIXTURES_SETUP prefix
  test_json prefix_stop fixture FIXTURES_REQUIRED display FIXTURES_CLEANUP prefix
  test_json unit_tests wine FIXTURES_REQUIRED prefix
  # A fixture without a cleanup that runs Wine itself: the guest's, not the host's.
  test_json dpi_prefix fixture FIXTURES_REQUIRED display FIXTURES_SETUP dpi
  test_json dpi_tests wine FIXTURES_REQUIRED dpi,prefix
  test_json imports static
  # Files made by a static check: the host makes them, the guest's tests use them.
  test_json release_build static FIXTURES_SETUP built
  test_json release_signature static FIXTURES_REQUIRED built
  # Servers that a Wine test needs: they, and the static check that uses them, run in the guest.
  test_json release_start static FIXTURES_REQUIRED built FIXTURES_SETUP servers
  test_json release_check static FIXTURES_REQUIRED built,servers
  test_json release_stop static FIXTURES_REQUIRED built FIXTURES_CLEANUP servers
  test_json release_wine wine FIXTURES_REQUIRED built,servers,prefix
  echo '{"name":"no_properties"}]}'
} >"$work/tests.json"
names() { sed 's/^\^(//; s/)\$$//' | tr '|' '\n' | sort | tr '\n' ' '; }
if split=$("$guest" split "$work/tests.json"); then
  got_guest=$(sed -n 1p <<<"$split" | names)
  want_guest="display_start display_stop dpi_prefix dpi_tests prefix_start prefix_stop \
release_check release_start release_stop release_wine unit_tests "
  [ "$got_guest" = "$want_guest" ] ||
    fail "split: the guest runs '$got_guest', not '$want_guest'"
  [ "$(sed -n 2p <<<"$split")" = '^(built)$' ] ||
    fail "split: the fixtures made on the host are '$(sed -n 2p <<<"$split")', not ^(built)$"
  # The host runs what the first line does not match: exactly the rest.
  host=$(python3 -c 'import json, sys; print("\n".join(t["name"] for t in json.load(sys.stdin)["tests"]))' \
    <"$work/tests.json" | grep -Ev "$(sed -n 1p <<<"$split")" | sort | tr '\n' ' ')
  [ "$host" = "imports no_properties release_build release_signature " ] ||
    fail "split: the host would run '$host'"
else
  fail "split failed"
fi

# --- The image is made anew when its packages change, the template when wine-run does.
root_bookworm=$(QOR_GUEST_RELEASE=bookworm "$guest" recipe root)
root_trixie=$(QOR_GUEST_RELEASE=trixie "$guest" recipe root)
template=$(QOR_GUEST_RELEASE=bookworm "$guest" recipe template)
[ "$root_bookworm" != "$root_trixie" ] || fail "recipe: the same for bookworm's and trixie's packages"
echo '# another setting' >>"$tree/scripts/wine-run"
[ "$(QOR_GUEST_RELEASE=bookworm "$guest" recipe template)" != "$template" ] ||
  fail "recipe: the Wine prefix template is kept after wine-run changed"
[ "$(QOR_GUEST_RELEASE=bookworm "$guest" recipe root)" = "$root_bookworm" ] ||
  fail "recipe: a change of wine-run makes the whole root anew"

# --- A run, with a stand-in for qemu: FAKE_GUEST says how the guest ends.
#   finish  reads the run's disk and answers on the results disk as the guest's PID 1 does: exit
#           status 3, and the file the command was told to bring back, listing what came in
#   silent  ends without writing anything (a guest that hung or lost its disk)
#   oops    prints a kernel oops on the console first, then ends as silent does
cat >"$work/qemu" <<'EOF'
#!/usr/bin/env bash
drives=()
while [ $# -gt 0 ]; do
  [ "$1" = -drive ] && { drives+=("$(sed 's/^file=//; s/,format=.*//' <<<"$2")"); shift; }
  shift
done
[ "$FAKE_GUEST" = oops ] && echo "BUG: kernel NULL pointer dereference, address: 0000000000000000"
[ "$FAKE_GUEST" = finish ] || exit 0
out=$(mktemp -d)
mkdir -p "$out/qor-run" "$out/tree/build"
echo 3 >"$out/qor-run/status"
echo "5 7" >"$out/qor-run/times"
{ tar -xOf "${drives[1]}" args | tr '\0' ' '; echo; tar -tf "${drives[1]}"; } >"$out/tree/build/result"
tar -C "$out" -cf "${drives[2]}" qor-run tree
rm -rf "$out"
EOF
chmod +x "$work/qemu"
mkdir -p "$tree/build/guest"
touch "$tree/build/guest/root.img" "$tree/build/guest/vmlinuz" "$tree/build/guest/initrd.img"
"$guest" recipe root >"$tree/build/guest/recipe"
"$guest" recipe template >"$tree/build/guest/template.recipe"
touch "$tree/build/windows/setup.exe" "$tree/build/windows/wineprefix/system.reg"
run() {  # FAKE_GUEST VALUE: scripts/guest run with the stand-in; status in $status
  FAKE_GUEST=$1 QOR_GUEST_QEMU="$work/qemu" "$guest" run --take build/windows \
    --bring build/result -- echo hello >"$work/out" 2>"$work/err"
  status=$?
}

run finish
[ "$status" = 3 ] || fail "run: exit status $status, not the command's 3: $(cat "$work/err")"
result="$tree/build/result"
if [ -f "$result" ]; then
  grep -q "echo hello" "$result" || fail "run: the command did not reach the guest: $(head -1 "$result")"
  grep -qx "tree/scripts/guest" "$result" || fail "run: the tree did not reach the guest"
  grep -qx "tree/build/windows/setup.exe" "$result" || fail "run: the taken build did not"
  ! grep -q wineprefix "$result" || fail "run: a Wine prefix went into the guest"
else
  fail "run: build/result did not come back: $(cat "$work/err")"
fi
[ -z "$(ls "$tree/build/guest" | grep '^run\.')" ] || fail "run: left its run folder behind"

rm -f "$result"
run silent
[ "$status" = 2 ] || fail "silent guest: exit status $status, not 2"
grep -q "without finishing" "$work/err" || fail "silent guest: no line says so: $(cat "$work/err")"
[ ! -e "$result" ] || fail "silent guest: a result appeared"

run oops
[ "$status" = 2 ] || fail "oopsing guest: exit status $status, not 2"
grep -q "kernel" "$work/err" || fail "oopsing guest: no line names its kernel: $(cat "$work/err")"

# --- The path: the guest where i386 code does not run, or forced on any host; a value it does
# not know is refused.
[ "$(QOR_WINDOWS_TESTS=guest "$src/scripts/windows-path")" = guest ] ||
  fail "windows-path: QOR_WINDOWS_TESTS=guest does not give the guest"
# A host that cannot execute i386 code, as tests/support/without-i386 makes one: the guest, quietly.
got=$(env -u QOR_WINDOWS_TESTS "$src/tests/support/without-i386" "$src/scripts/windows-path" \
  2>"$work/err")
[ "$got" = guest ] && [ ! -s "$work/err" ] ||
  fail "windows-path without i386: '$got', not guest alone ($(cat "$work/err"))"
QOR_WINDOWS_TESTS=qemu "$src/scripts/windows-path" >/dev/null 2>&1
[ $? = 2 ] || fail "windows-path: QOR_WINDOWS_TESTS=qemu was not refused"

"$guest" run --take /etc -- true 2>"$work/err"
[ $? = 2 ] && grep -q "relative to the tree" "$work/err" || fail "an absolute --take was taken"

[ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
echo "guest: every case passed"
