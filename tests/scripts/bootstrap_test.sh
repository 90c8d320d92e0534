#!/usr/bin/env bash
# scripts/bootstrap: a host that is not Debian 12 or 13 on x86-64 gets one line and exit 2 before
# any package tool runs; each release gets its own names; a host with everything present runs apt
# not at all.
# Usage: bootstrap_test.sh SOURCE_DIR
set -uo pipefail
bootstrap="$1/scripts/bootstrap"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Package tools that only record that they ran; dpkg answers the architecture the case gives.
mkdir -p "$work/bin"
for tool in apt-get apt dpkg-query; do
  printf '#!/bin/sh\necho %s >>"%s/ran"\nexit 1\n' "$tool" "$work" >"$work/bin/$tool"
done
printf '#!/bin/sh\n[ "$1" = --print-architecture ] && { echo "${FAKE_ARCH:-amd64}"; exit 0; }\nexit 1\n' \
  >"$work/bin/dpkg"
chmod +x "$work/bin/"*

os_release() {  # os_release NAME ID CODENAME: writes $work/os-release
  printf 'PRETTY_NAME="%s"\nID=%s\nVERSION_CODENAME=%s\n' "$1" "$2" "$3" >"$work/os-release"
}

# name | ID | codename | architecture
while IFS='|' read -r name id codename arch; do
  os_release "$name" "$id" "$codename"
  rm -f "$work/ran"
  FAKE_ARCH=$arch QOR_OS_RELEASE="$work/os-release" PATH="$work/bin:$PATH" \
    "$bootstrap" >"$work/out" 2>"$work/err"
  rc=$?
  [ "$rc" -eq 2 ] || fail "$name on $arch: exit $rc, wanted 2"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$name on $arch: not one line: $(cat "$work/err")"
  grep -q "Debian 12 (bookworm) or Debian 13 (trixie) on x86-64" "$work/err" ||
    fail "$name on $arch: the line does not say what is supported: $(cat "$work/err")"
  [ ! -s "$work/out" ] || fail "$name on $arch: printed on stdout: $(cat "$work/out")"
  [ ! -e "$work/ran" ] || fail "$name on $arch: ran $(tr '\n' ' ' <"$work/ran")"
done <<'CASES'
Ubuntu 24.04 LTS|ubuntu|noble|amd64
Debian 11 (bullseye)|debian|bullseye|amd64
Debian forky/sid|debian|forky|amd64
Debian 13 on arm64|debian|trixie|arm64
Debian 12 on i386|debian|bookworm|i386
CASES
QOR_OS_RELEASE="$work/missing" PATH="$work/bin:$PATH" "$bootstrap" 2>"$work/err"
[ $? -eq 2 ] && grep -q "unknown system" "$work/err" ||
  fail "no os-release: $(cat "$work/err")"

# Each release's names: a name of the other release is a failed install there.
# codename | must list | must not list
while IFS='|' read -r codename wanted unwanted; do
  os_release "$codename" debian "$codename"
  for path in x64 auto; do
    QOR_WINDOWS_TESTS=$path QOR_OS_RELEASE="$work/os-release" "$bootstrap" --list >"$work/list" ||
      fail "$codename: --list failed"
    for p in $wanted iproute2 nlohmann-json3-dev; do
      grep -qx "$p" "$work/list" || fail "$codename ($path): does not ask for $p"
    done
    for p in $unwanted; do
      ! grep -qx "$p" "$work/list" || fail "$codename ($path): asks for $p"
    done
    [ -z "$(sort "$work/list" | uniq -d)" ] || fail "$codename: names a package twice"
  done
done <<'CASES'
bookworm|libclang-rt-14-dev nginx-light|libclang-rt-19-dev nginx
trixie|libclang-rt-19-dev nginx|libclang-rt-14-dev nginx-light
CASES

# This host has run bootstrap (scripts/test does first): a second run must not call apt.
rm -f "$work/ran"
rm "$work/bin/dpkg" "$work/bin/dpkg-query"
PATH="$work/bin:$PATH" "$bootstrap" >"$work/out" 2>"$work/err" ||
  fail "second run on this host: $(cat "$work/err")"
[ ! -e "$work/ran" ] || fail "second run on this host ran $(tr '\n' ' ' <"$work/ran"): $(cat "$work/err")"

[ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
echo "bootstrap: every case passed"
