#!/usr/bin/env bash
# qor check against nginx serving what qor answer published: a valid answer gives exit 0, a stale
# answer, a missing one or a server that fails gives exit 1, bad usage or an unreadable file 2.
# Every case runs again with --json, whose document must carry the same facts. Natively and as
# root, ten servers in private networks (tests/e2e/dead-resolver) must be reported within the
# check's deadline: healthy, refusing, dropping SYNs and silent ones side by side; the compiled-in
# list behind a resolver that never answers; and its names at an address that drops SYNs.
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

agrees=$(dirname "$0")/qor_json_agrees.py
expect() {
  local code=$1 pattern=$2
  shift 2
  set +e
  "${run[@]}" check "$@" >"$work/out.raw" 2>"$work/err"
  local rc=$?
  "${run[@]}" check "$@" --json >"$work/json" 2>"$work/json.err"
  local json_rc=$?
  set -e
  tr -d '\r' <"$work/out.raw" >"$work/out"  # qor.exe ends its lines with CR LF
  [ "$rc" -eq "$code" ] || fail "check $*: exit $rc, wanted $code: $(cat "$work/out" "$work/err")"
  grep -Eq -- "$pattern" "$work/out" "$work/err" || fail "check $*: no '$pattern' in: $(cat "$work/out")"
  [ "$json_rc" -eq "$code" ] || fail "check $* --json: exit $json_rc, wanted $code"
  if [ "$code" -eq 2 ]; then
    [ ! -s "$work/json" ] || fail "check $* --json: output for bad input: $(cat "$work/json")"
    cmp -s "$work/err" "$work/json.err" || fail "check $* --json: another error: $(cat "$work/json.err")"
  else
    python3 "$agrees" check "$work/out" "$work/json" "$code" || fail "check $* --json"
  fi
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
expect 2 "--timeout takes seconds" "$work/setup.exe" --server "$base" --timeout 0
expect 2 "--timeout takes seconds" "$work/setup.exe" --server "$base" --timeout 5s
expect 2 "Cannot open" "$work/none.exe" --server "$base"
[ "$(grep -c . "$work/out" || true)" -eq 0 ] || fail "output for an unreadable file"

# In private networks, natively and as root: run in one with the peers of dead-resolver, the check
# given DEADLINE seconds; timeout's code 124 if it took over a second more.
in_network() {  # in_network DEADLINE [dead-resolver options] -- [check arguments]
  local deadline=$1 options=()
  shift
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  set +e
  "$dead_resolver" "${options[@]}" timeout "$((deadline + 1))" \
    "$qor" check "$work/setup.exe" --json --timeout "$deadline" "$@" >"$work/json" 2>"$work/err"
  rc=$?
  set -e
}
# facts EXPECTED: the verdict of each server in order and the start of its error, "verified" or
# "unanswered:TEXT", then every time within the deadline.
facts() {
  python3 - "$work/json" "$@" <<'PYTHON' || fail "$(cat "$work/json" "$work/err")"
import json, sys
doc = json.load(open(sys.argv[1]))
got = [s["verdict"] + (":" + s["error"] if s["error"] else "") for s in doc["servers"]]
want = sys.argv[2:]
assert len(got) == len(want) and all(g.startswith(w) for g, w in zip(got, want)), (got, want)
assert all(s["time_ms"] <= doc["deadline_ms"] + 200 for s in doc["servers"])
PYTHON
}
dead_resolver=$(cd "$(dirname "$fixture")/../e2e" && pwd)/dead-resolver
if [ "${#emulator[@]}" -ne 0 ] || [ "$(id -u)" -ne 0 ]; then
  echo "qor check: the private networks' cases run natively as root; not here"
else
  late="unanswered:no answer within the check's deadline"
  refused="unanswered:cannot connect to 127.0.0.1:1"
  # 127.0.0.2 drops SYNs, 127.0.0.3 answers with the published answer, 127.0.0.4 never replies;
  # nothing listens on 127.0.0.1:1.
  servers=()
  for host in 3 2 1:1 4 3 2 1:1 4 2 3; do servers+=(--server "http://127.0.0.${host}/"); done
  in_network 3 --peer "drop-syns 127.0.0.2 80" --peer "silent 127.0.0.4 80" \
    --peer "answer 127.0.0.3 80 $work/www/velmora/QORPG3.0ins.htm" -- "${servers[@]}"
  [ "$rc" -eq 1 ] || fail "ten servers side by side: exit $rc: $(cat "$work/err")"
  facts verified "$late" "$refused" "$late" verified "$late" "$refused" "$late" "$late" verified
  # The compiled-in list, whose names never resolve here.
  in_network 3 --
  [ "$rc" -eq 1 ] || fail "dead resolver: exit $rc: $(cat "$work/err")"
  mapfile -t names < <(python3 -c 'import json, sys
for s in json.load(open(sys.argv[1]))["servers"]: print(s["url"].split("/")[2])' "$work/json")
  [ "${#names[@]}" -eq 10 ] || fail "dead resolver: not ten servers: $(cat "$work/json")"
  facts "${names[@]/*/$late}"
  # The same names at an address that drops SYNs.
  printf '127.0.0.2 %s\n' "${names[@]}" >"$work/hosts"
  in_network 3 --hosts "$work/hosts" --peer "drop-syns 127.0.0.2 80" --
  [ "$rc" -eq 1 ] || fail "dropped SYNs: exit $rc: $(cat "$work/err")"
  facts "${names[@]/*/$late}"
fi
echo "qor check: all cases passed"
