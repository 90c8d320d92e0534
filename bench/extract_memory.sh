#!/usr/bin/env bash
# Peak resident memory of `qor extract` on a package of one large entry (1 GiB by default), as
# /usr/bin/time -v reports it. The unpacker streams, so the figure must not grow with the entry.
#   bench/extract_memory.sh [QOR] [ENTRY_MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
qor=${1:-build/native/tools/qor/qor}
mib=${2:-1024}
goal_kib=$((8 * 1024))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Mixed data: each MiB a quarter noise and three quarters text. `yes` ends by SIGPIPE.
echo "writing a ${mib} MiB entry..." >&2
set +o pipefail
for _ in $(seq "$mib"); do
  head -c 262144 /dev/urandom
  yes "setup package install Pagrim window stream entry $RANDOM" | head -c 786432
done > "$work/instPG.exe"
set -o pipefail
echo "packing..." >&2
"$qor" pack "$work/install.dat" "$work/instPG.exe" > /dev/null
rm "$work/instPG.exe"

/usr/bin/time -v "$qor" extract "$work/install.dat" "$work/out" 2> "$work/time.txt"
[ "$(stat -c %s "$work/out/instPG.exe")" -eq $((mib << 20)) ] || { echo "wrong size" >&2; exit 1; }
peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
elapsed=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/time.txt")
echo "qor extract of a ${mib} MiB entry: peak RSS ${peak} KiB (goal < ${goal_kib} KiB), ${elapsed}"
[ "$peak" -lt "$goal_kib" ]
