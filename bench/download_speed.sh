#!/bin/sh
# Download speed and peak memory of tmv-cli against the emulator on a
# pseudo-terminal, through the real termios path.
#  1. A newer logger (QN-760) holding MIB MiB (default 1), its replies paced at
#     the line rate of 115200 baud: the achieved data bytes per second of the
#     block phase as a fraction of the line rate, 11,520 bytes/s (goal >= 0.95).
#  2. Peak resident memory of "tmv-cli download" of a full 8 MiB logger
#     (replies unpaced, so that it takes seconds; /usr/bin/time -v), against
#     1.5 x (the 8 MiB image + the 36 MiB value pool) = 46 MB... reported.
# Run from the repository root after building tmv-cli and tmv-logger-sim:
#   sh bench/download_speed.sh [build] [MIB]      (SPEED_ONLY=1: part 1 only;
#   LATENCY=MS: the emulated logger's own reply latency, default 2 ms)
set -e
build=$(cd "${1:-build}" && pwd)
mib=${2:-1}
work=$(mktemp -d)
sim_pid=
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# Rows of the QN-760's four channels (12 bytes a row) that fill MIB MiB.
rows=$(( mib * 1048576 / 12 + 1 ))

serve() {
  rm -f "$work/sim.out"  # the path of the emulator started before is not this one's
  "$build/sim/tmv-logger-sim" "$@" > "$work/sim.out" 2>&1 &
  sim_pid=$!
  i=0
  while [ ! -s "$work/sim.out" ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i + 1)); done
  port=$(head -1 "$work/sim.out")
}

serve --model QN-760 --record "$rows" --pace --reply-latency "${LATENCY:-2}"
cd "$work"
"$build/cli/tmv-cli" --port "$port" download -o speed.dat > out.txt 2> err.txt || { cat err.txt; exit 1; }
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=
line=$(grep '^Blocks:' out.txt)
rate=$(echo "$line" | sed 's/.*s, \([0-9]*\) bytes\/s.*/\1/')
echo "download of $mib MiB at 115200 baud: $line"
python3 -c "print('achieved fraction of the line rate (11520 bytes/s): %.3f (goal >= 0.95)' % ($rate / 11520.0))"
# What the line allows at all: per 960-byte block the 17-byte request, the
# sum byte and the logger's own latency.
python3 -c "l=${LATENCY:-2}/1000.0; t=(960+1+17)/11520.0+l; print('the line and the logger allow at most: %.3f' % (960/t/11520.0))"

# SPEED_ONLY=1 skips the full download.
[ -n "$SPEED_ONLY" ] && exit 0
full=$(( 8380416 / 12 ))
serve --model QN-760 --record "$full" --no-pace
/usr/bin/time -v "$build/cli/tmv-cli" --port "$port" download -o full.dat > out8.txt 2> err8.txt || { cat err8.txt; exit 1; }
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=
grep '^Retrieved' out8.txt
kb=$(grep 'Maximum resident set size' err8.txt | sed 's/[^0-9]*//')
python3 -c "print('peak resident memory of a full 8 MiB download: %.1f MB (goal <= 46 MB... 1.5 x (8 MiB image + value pool))' % ($kb * 1024 / 1e6))"
