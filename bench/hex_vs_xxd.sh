#!/bin/sh
# Times the HEX write and read of the full 8 MiB benchmark image against
# "xxd -p" plus "xxd -r -p" on the same bytes. Run from the repository root
# after building tmv_bench: sh bench/hex_vs_xxd.sh [build]
set -e
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$(dirname "$0")/make_image.py" "$work/image.bin"
best=
for i in 1 2 3 4 5; do
  start=$(date +%s%N)
  xxd -p "$work/image.bin" > "$work/image.txt"
  xxd -r -p "$work/image.txt" > "$work/back.bin"
  end=$(date +%s%N)
  t=$(( (end - start) / 1000000 ))
  if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
done
cmp -s "$work/image.bin" "$work/back.bin" || { echo "xxd round trip differs"; exit 1; }
echo "xxd -p + xxd -r -p: $best ms (best of 5)"
TMPDIR="$work" "$build/bench/tmv_bench" --benchmark_filter=BM_HexWriteAndRead --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E "HexWriteAndRead.*(mean|median)"
