#!/usr/bin/env bash
# qor fingerprint agrees with md5sum around the MD5 block boundaries and on a large file, and every
# answer qor answer writes is accepted by the client's own judgement; both commands' --json carries
# the facts of their text.
# usage: fingerprint_answer_test.sh QOR ANSWER_VERIFIER WORKDIR
set -u
qor=$1
agrees=$(cd "$(dirname "$0")/../unit" && pwd)/qor_json_agrees.py
verifier=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for size in 0 1 55 56 63 64 65 4194321; do
  file="$work/file-$size.bin"
  head -c "$size" /dev/urandom >"$file"
  want=$(md5sum "$file" | cut -d' ' -f1)
  got=$("$qor" fingerprint "$file") || fail "qor fingerprint failed for $size bytes"
  [ "$got" = "$want" ] || fail "$size bytes: qor fingerprint '$got', md5sum '$want'"
  for command in fingerprint answer; do
    args=("$file")
    [ "$command" = fingerprint ] || args+=("$work/json-$size")
    "$qor" "$command" "${args[@]}" >"$work/text" && "$qor" "$command" --json "${args[@]}" >"$work/json" &&
      python3 "$agrees" "$command" "$work/text" "$work/json" 0 ||
      fail "$size bytes: qor $command --json: $(cat "$work/json")"
  done

  out="$work/out-$size"
  "$qor" answer "$file" "$out" >/dev/null || fail "qor answer failed for $size bytes"
  answer="$out/velmora/QORPG3.0ins.htm"
  if [ -f "$answer" ]; then
    "$verifier" "$file" "$answer" || fail "$size bytes: the published answer does not verify"
    [ "$(wc -c <"$answer")" -eq 32 ] || fail "$size bytes: answer is not 32 bytes"
  else
    fail "$size bytes: no answer file at $answer"
  fi
done

# Exit codes: 2 for bad usage and unreadable input, 0 for help.
expect_exit() {
  local want=$1
  shift
  "$@" >/dev/null 2>&1
  local got=$?
  [ "$got" -eq "$want" ] || fail "'$*' exited $got, expected $want"
}
expect_exit 2 "$qor" fingerprint
expect_exit 2 "$qor" fingerprint "$work/missing"
expect_exit 2 "$qor" fingerprint "$work"
expect_exit 2 "$qor" answer "$work/file-1.bin"
expect_exit 2 "$qor" answer "$work/missing" "$work/out-missing"
expect_exit 2 "$qor" answer --json "$work/missing" "$work/out-missing"
expect_exit 2 "$qor" fingerprint --json
expect_exit 0 "$qor" fingerprint --help
expect_exit 0 "$qor" answer --help
[ ! -e "$work/out-missing" ] || fail "qor answer created output for a missing file"

# A second answer for the same file replaces the first with the same bytes.
cp "$work/out-1/velmora/QORPG3.0ins.htm" "$work/first.htm"
"$qor" answer "$work/file-1.bin" "$work/out-1" >/dev/null || fail "rewriting an answer failed"
cmp -s "$work/first.htm" "$work/out-1/velmora/QORPG3.0ins.htm" || fail "answer is not repeatable"

if [ "$failures" -eq 0 ]; then
  rm -rf "$work"
  echo "ok"
fi
[ "$failures" -eq 0 ]
