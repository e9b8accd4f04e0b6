#!/usr/bin/env bash
# Times tmv-cli commands against tmv-logger-sim on a pty and compares them with
# the time the line itself needs: the bytes sent and received at 10 bits each,
# plus the emulator's reply latency for every exchange.
#
#   bench/exchange_speed.sh AFTER_BUILD [BEFORE_BUILD]
#
# AFTER_BUILD holds cli/tmv-cli, sim/tmv-logger-sim and bench/tmv-pty-tap;
# BEFORE_BUILD, when given, another build's cli/tmv-cli timed side by side on
# the same emulator. Environment: BAUDS (default "2400 19200"), LATENCY_MS
# (default 5; used only when the emulator has --reply-latency), RUNS (default
# 1: the best of this many runs is shown, against a busy machine's noise).
set -u
after=$(realpath "${1:?usage: exchange_speed.sh AFTER_BUILD [BEFORE_BUILD]}")
before=${2:+$(realpath "$2")}
bauds=${BAUDS:-"2400 19200"}
latency=${LATENCY_MS:-5}
runs=${RUNS:-1}
sim="$after/sim/tmv-logger-sim"
tap="$after/bench/tmv-pty-tap"
for f in "$sim" "$tap" "$after/cli/tmv-cli"; do
  [ -x "$f" ] || { echo "missing $f" >&2; exit 2; }
done
if ! "$sim" --help 2>&1 | grep -q -- --reply-latency; then
  echo "note: this emulator has no --reply-latency; it answers after its own fixed turnaround, counted as 1 ms" >&2
  latency=1
  latencyArgs=()
else
  latencyArgs=(--reply-latency "$latency")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
commands=("identify" "capabilities" "config" "calibration" "calibration history")

# run CLI BAUD COMMAND... -> "elapsed sent received exchanges"
run() {
  local cli=$1 baud=$2
  shift 2
  local dir
  dir=$(mktemp -d -p "$work")
  "$sim" --model QN-760 --baud "$baud" "${latencyArgs[@]}" >"$dir/sim.out" 2>"$dir/sim.err" &
  local simPid=$!
  for _ in $(seq 100); do [ -s "$dir/sim.out" ] && break; sleep 0.05; done
  # Traces are named after the build (its path, "/" as "_"), so that the two builds' traces stay apart.
  local build=${cli%/cli/tmv-cli}
  build=${build#/}
  "$tap" "$(head -1 "$dir/sim.out")" "$dir/counts" ${TRACE_DIR:+"$TRACE_DIR/${build//\//_}-$baud-${*// /-}.trace"} >"$dir/tap.out" 2>"$dir/tap.err" &
  local tapPid=$!
  for _ in $(seq 100); do [ -s "$dir/tap.out" ] && break; sleep 0.05; done
  local start end
  start=$(date +%s.%N)
  (cd "$dir" && "$cli" --port "$(head -1 "$dir/tap.out")" --baud "$baud" "$@" >"$dir/cli.out" 2>&1)
  local rc=$?
  end=$(date +%s.%N)
  kill "$tapPid" 2>/dev/null; wait "$tapPid" 2>/dev/null
  kill "$simPid" 2>/dev/null; wait "$simPid" 2>/dev/null
  [ $rc -eq 0 ] || echo "warning: '$*' at $baud exited $rc" >&2
  read -r _ sent _ received _ exchanges <"$dir/counts"
  echo "$(echo "$end - $start" | bc -l) $sent $received $exchanges"
}

# best CLI BAUD COMMAND... -> the run with the shortest time
best() {
  local line bestLine=""
  for _ in $(seq "$runs"); do
    line=$(run "$@")
    if [ -z "$bestLine" ] || [ "$(echo "${line%% *} < ${bestLine%% *}" | bc -l)" = 1 ]; then bestLine=$line; fi
  done
  echo "$bestLine"
}

printf '%-20s %6s %6s %5s %9s %9s %7s %9s %7s\n' command baud bytes exch line_s after_s ratio before_s ratio
for baud in $bauds; do
  for c in "${commands[@]}"; do
    # shellcheck disable=SC2086
    read -r t sent received exchanges < <(best "$after/cli/tmv-cli" "$baud" $c)
    ideal=$(echo "10 * ($sent + $received) / $baud + $exchanges * $latency / 1000" | bc -l)
    bt="-" br="-"
    if [ -n "$before" ]; then
      # shellcheck disable=SC2086
      read -r bt _ _ _ < <(best "$before/cli/tmv-cli" "$baud" $c)
      br=$(printf '%.2f' "$(echo "$bt / $ideal" | bc -l)")
      bt=$(printf '%.3f' "$bt")
    fi
    printf '%-20s %6d %6d %5d %9.3f %9.3f %7.2f %9s %7s\n' "$c" "$baud" $((sent + received)) "$exchanges" \
      "$ideal" "$t" "$(echo "$t / $ideal" | bc -l)" "$bt" "$br"
  done
done
