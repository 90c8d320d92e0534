#!/usr/bin/env bash
# qor check against nginx serving what qor answer published: a valid answer gives exit 0, a stale
# answer, a missing one or a server that fails gives exit 1, bad usage or an unreadable file 2.
# Usage: qor_check_test.sh FIXTURE TEST_SERVER QOR [EMULATOR...]
# (the emulator runs qor.exe and qor_test_server.exe under Wine)
set -euo pipefail
fixture=$1
test_server=$2
qor=$3
shift 3
emulator=("$@")
run=("$@" "$qor")
work=$(mktemp -d)
server_pid=""
cleanup() {
  "$fixture" stop "$work/nginx" || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Two different "setup programs"; only the first one's answer is published.
printf 'genuine setup program\n%.0s' $(seq 100) >"$work/setup.exe"
printf 'tampered setup program\n%.0s' $(seq 100) >"$work/other.exe"
"${run[@]}" answer "$work/setup.exe" "$work/www" >/dev/null
mkdir -p "$work/www/stale"
"${run[@]}" answer "$work/other.exe" "$work/www/stale" >/dev/null
"$fixture" start "$work/nginx" "$work/www" >/dev/null
base="http://127.0.0.1:$(cat "$work/nginx/port")/"

expect() {
  local code=$1 pattern=$2
  shift 2
  set +e
  "${run[@]}" check "$@" >"$work/out.raw" 2>"$work/err"
  local rc=$?
  set -e
  tr -d '\r' <"$work/out.raw" >"$work/out"  # qor.exe ends its lines with CR LF
  [ "$rc" -eq "$code" ] || fail "check $*: exit $rc, wanted $code: $(cat "$work/out" "$work/err")"
  grep -Eq -- "$pattern" "$work/out" "$work/err" || fail "check $*: no '$pattern' in: $(cat "$work/out")"
}

expect 0 "^${base}velmora/QORPG3\.0ins\.htm  answered  HTTP 200  [0-9]+ ms  valid" \
  "$work/setup.exe" --server "$base"
expect 1 "answered  HTTP 200  [0-9]+ ms  invalid" "$work/other.exe" --server "$base"
expect 1 "answered  HTTP 200  [0-9]+ ms  invalid" "$work/setup.exe" --server "${base}stale/"
expect 1 "failed  HTTP/1.1 404 Not Found  [0-9]+ ms  no answer" \
  "$work/setup.exe" --server "$base" --server "${base}missing/"
# A failing server among good ones: the scripted test server answers 500, then closes at once.
printf 'status 500\nclose\n' >"$work/script"
"${emulator[@]}" "$test_server" --script "$work/script" --seconds 120 >"$work/server.out" &
server_pid=$!
for _ in $(seq 100); do grep -q listening "$work/server.out" 2>/dev/null && break; sleep 0.1; done
faulty="http://127.0.0.1:$(sed -n 's/.*:\([0-9]*\).*/\1/p' "$work/server.out")/"
expect 1 "^${faulty}velmora/QORPG3\.0ins\.htm  failed  HTTP/1.1 500 Internal Server Error" \
  "$work/setup.exe" --server "$base" --server "$faulty" --server "$faulty"
[ "$(grep -c "  valid$" "$work/out")" -eq 1 ] || fail "one valid line wanted: $(cat "$work/out")"
[ "$(grep -c "^${faulty}.*  failed  .*  no answer$" "$work/out")" -eq 2 ] ||
  fail "two failed lines wanted: $(cat "$work/out")"

expect 2 "expected SETUP.exe" --server "$base"
expect 2 "bad server URL" "$work/setup.exe" --server "https://127.0.0.1/"
expect 2 "Cannot open" "$work/none.exe" --server "$base"
[ "$(grep -c . "$work/out" || true)" -eq 0 ] || fail "output for an unreadable file"
echo "qor check: all cases passed"
