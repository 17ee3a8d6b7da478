#!/usr/bin/env bash
# Measures the dedicated host under load: nine clients each send 1,000 chat
# lines (checked for order), then the host's resident memory and its CPU use
# over 10 s with the nine clients connected and idle.
# Usage: tools/measure_host.sh [port]   (after ./test or tools/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-7790}
# All nine clients come from 127.0.0.1, which by default holds at most four slots.
build/bin/tilewhirl-host --port "$port" --max-players-per-address 0 2>/dev/null &
host=$!
trap 'kill $host 2>/dev/null || true' EXIT
sleep 0.5
ticks() { awk '{print $14 + $15}' "/proc/$host/stat"; }
rss() { awk '/VmRSS/ {print $2 " " $3}' "/proc/$host/status"; }
hz=$(getconf CLK_TCK)

fifo=$(mktemp -u); mkfifo "$fifo"
build/bin/tilewhirl-host-load --port "$port" --clients 9 --lines 1000 --idle 12 >"$fifo" &
load=$!
read -r line <"$fifo"
echo "$line"
echo "host resident memory after the run: $(rss)"
sleep 1
before=$(ticks); sleep 10; after=$(ticks)
echo "host CPU over 10 s with 9 idle clients: $(( (after - before) * 1000 / hz )) ms"
wait $load
rm -f "$fifo"
