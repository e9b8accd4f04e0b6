#!/bin/sh
# Practical salinity against gsw.SP_from_C, and the derived-row rate.
# usage: bench/salinity_vs_gsw.sh [PATH/TO/tmv_bench]   (default build/bench/tmv_bench)
set -e
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../build/bench/tmv_bench}
# Debian's python, where apt-get puts gsw and numpy (not a pyenv or venv one).
py=/usr/bin/python3
if ! "$py" -c 'import gsw, numpy' 2>/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq python3-gsw python3-numpy
fi
[ -x "$bench" ] || { echo "no benchmark at $bench: build the tmv_bench target" >&2; exit 1; }
exec "$py" "$here/salinity_vs_gsw.py" "$bench"
