#!/usr/bin/env bash
# tests/e2e/dead-resolver: the command runs on loopback only, with a private /etc/hosts and a
# resolver that takes queries and never answers, and nothing of that is left on the host; where no
# namespace can be made, the one line says unshare's own reason.
# Usage: dead_resolver_test.sh SOURCE_DIR
set -uo pipefail
dead_resolver="$1/tests/e2e/dead-resolver"
[ "$(id -u)" -eq 0 ] || { echo "not root: no namespace can be made here"; exit 77; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
hosts_before=$(cat /etc/hosts)

# Inside: the private hosts file, loopback only, and a look-up that is never answered (a resolver
# that answered, even with "no such name", would end getent before the timeout).
out=$("$dead_resolver" bash -c '
  cat /etc/hosts; echo "links: $(ip -o link show up | wc -l)"
  timeout 2 getent hosts example.invalid >/dev/null; echo "lookup: $?"
  exit 7' 2>&1)
rc=$?
[ "$rc" -eq 7 ] || fail "the command's exit status is not passed on: $rc ($out)"
[ "$(grep -cv '^\(links\|lookup\):' <<<"$out")" -eq 1 ] && grep -q '^127.0.0.1 localhost$' <<<"$out" ||
  fail "the hosts file inside is not the private one: $out"
grep -qx 'links: 1' <<<"$out" || fail "more than loopback is up inside: $out"
grep -qx 'lookup: 124' <<<"$out" || fail "the look-up did not hang on the silent resolver: $out"
[ "$(cat /etc/hosts)" = "$hosts_before" ] || fail "the host's /etc/hosts changed"

# Refused: as an unprivileged user unshare fails, and the line says why in unshare's words.
err=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$dead_resolver" echo ran 2>&1)
rc=$?
[ "$rc" -eq 1 ] || fail "refused namespace: exit $rc, wanted 1 ($err)"
grep -q '^dead-resolver: .*unshare: .*Operation not permitted' <<<"$err" ||
  fail "refused namespace: unshare's reason is not in the line: $err"
! grep -q '^ran$' <<<"$err" || fail "refused namespace: the command ran anyway"

[ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
echo "dead-resolver: every case passed"
