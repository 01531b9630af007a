#!/usr/bin/env bash
# Process-level figures of the running island: start-up to first frame, resident memory, and
# CPU and wake-ups per second while settled. Runs under Xvfb with a private session bus.
#   bench/measure.sh [build-dir] [seconds]
set -euo pipefail
mode=outer
if [ "${1:-}" = "--inner" ]; then mode=inner; shift; fi
build=${1:-build}
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
korvo="$here/$build/src/app/korvo"
korvoctl="$here/$build/tools/korvoctl"

inner() {
  export KORVO_TRACE_STARTUP=1 XDG_CONFIG_HOME=$(mktemp -d)
  # Warm the caches once, then measure.
  "$korvo" >/dev/null 2>&1 & pid=$!; sleep 2; kill $pid; wait $pid 2>/dev/null || true
  for i in 1 2 3 4 5; do
    "$korvo" 2>"/tmp/korvo-start-$i.log" & pid=$!
    sleep 1.5; kill $pid; wait $pid 2>/dev/null || true
    grep -o 'first frame [0-9.]* ms' "/tmp/korvo-start-$i.log" || true
  done

  sample() {  # label, pid: CPU % of one core and wake-ups per second over $seconds
    local label=$1 pid=$2
    local t0 c0 w0 t1 c1 w1
    read -r c0 < <(awk '{print $14+$15}' /proc/$pid/stat)
    w0=$(awk '/voluntary_ctxt_switches/ {s+=$2} END {print s}' /proc/$pid/status)
    t0=$(date +%s.%N)
    sleep "$seconds"
    read -r c1 < <(awk '{print $14+$15}' /proc/$pid/stat)
    w1=$(awk '/voluntary_ctxt_switches/ {s+=$2} END {print s}' /proc/$pid/status)
    t1=$(date +%s.%N)
    local tck; tck=$(getconf CLK_TCK)
    awk -v l="$label" -v c0="$c0" -v c1="$c1" -v w0="$w0" -v w1="$w1" -v t0="$t0" -v t1="$t1" -v tck="$tck" \
      'BEGIN { d=t1-t0; printf "%s: cpu %.3f %% of a core, %.2f wakeups/s\n", l, 100*(c1-c0)/tck/d, (w1-w0)/d }'
    printf '%s: rss %s\n' "$label" "$(awk '/VmRSS/ {print $2" "$3}' /proc/$pid/status)"
  }

  "$korvo" 2>/dev/null & pid=$!
  sleep 3
  sample "settled, nothing live" $pid
  "$korvoctl" activity start job --kind build --icon star.fill --title Building --progress 0.5
  sleep 3
  sample "settled, compact activity" $pid
  kill $pid; wait $pid 2>/dev/null || true

  # A track playing, compact, bars moving: the demo's scripted player for its first seconds,
  # before the tour moves on.
  "$korvo" --demo 2>/dev/null & pid=$!
  sleep 2
  seconds=5 sample "playing, compact" $pid
  kill $pid; wait $pid 2>/dev/null || true
}

if [ "$mode" = inner ]; then inner; exit; fi
exec xvfb-run -a -s "-screen 0 1440x900x24" dbus-run-session -- "$0" --inner "$build" "$seconds"
