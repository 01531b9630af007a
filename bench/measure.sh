#!/usr/bin/env bash
# Process-level figures of the running island, under Xvfb with a private session bus and a
# scripted MPRIS player (korvo_fake_player) on it:
#   - start-up to first frame, five warm starts;
#   - CPU (% of one core) and wake-ups per second, every thread counted, over a window of
#     $seconds in four situations: settled with nothing live; a track playing, compact; the
#     statistics card open; the clipboard polling with nothing copied and the other services off;
#   - resident memory settled, and before and after $TRACKS track changes with a cover each
#     (one change every 1.1 s, so every change is read: 1,000 take about 18 minutes; TRACKS=0
#     skips the step).
#   bench/measure.sh [build-dir] [seconds]
# STEPS picks what runs (default "startup situations tracks").
set -euo pipefail
mode=outer
if [ "${1:-}" = "--inner" ]; then mode=inner; shift; fi
build=${1:-build}
seconds=${2:-60}
tracks=${TRACKS:-1000}
steps=${STEPS:-startup situations tracks}
has() { case " $steps " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
here=$(cd "$(dirname "$0")/.." && pwd)
korvo="$here/$build/src/app/korvo"
korvoctl="$here/$build/tools/korvoctl"
player="$here/$build/bench/korvo_fake_player"

rss() { awk '/VmRSS/ {print $2" "$3}' "/proc/$1/status"; }

# Voluntary context switches of every thread: each is a sleep that ended in a wake-up.
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {s+=$2} END {print s}'; }
# Nanoseconds on a CPU, every thread summed (the scheduler's own count, not tick samples).
cputime() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s+=$1} END {printf "%.0f", s}'; }

sample() {  # label, pid: CPU % of one core and wake-ups per second over $seconds
  local label=$1 pid=$2 t0 c0 w0 t1 c1 w1
  c0=$(cputime "$pid"); w0=$(wakeups "$pid"); t0=$(date +%s.%N)
  sleep "$seconds"
  c1=$(cputime "$pid"); w1=$(wakeups "$pid"); t1=$(date +%s.%N)
  awk -v l="$label" -v c0="$c0" -v c1="$c1" -v w0="$w0" -v w1="$w1" -v t0="$t0" -v t1="$t1" \
      -v r="$(rss "$pid")" \
    'BEGIN { d=t1-t0; printf "%-40s cpu %.3f %% of a core, %6.2f wakeups/s, rss %s\n", l":", 100*(c1-c0)/1e9/d, (w1-w0)/d, r }'
}

start_korvo() {  # settings lines for a fresh configuration; sets $pid
  local config; config=$(mktemp -d)
  mkdir -p "$config/korvo"
  printf '[General]\n' >"$config/korvo/korvo.conf"
  for line in "$@"; do printf '%s\n' "$line" >>"$config/korvo/korvo.conf"; done
  XDG_CONFIG_HOME=$config "$korvo" >/dev/null 2>&1 &
  pid=$!
}

# Gone for good before the next start, or the next would hand over to it and leave.
stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  while kill -0 "$1" 2>/dev/null; do sleep 0.1; done
}

inner() {
  echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -r)"
  export XDG_CONFIG_HOME; XDG_CONFIG_HOME=$(mktemp -d)
  # Warm the caches once, then measure.
  "$korvo" >/dev/null 2>&1 & pid=$!; sleep 2; stop $pid
  has startup && for i in 1 2 3 4 5; do
    KORVO_TRACE_STARTUP=1 "$korvo" 2>"/tmp/korvo-start-$i.log" & pid=$!
    sleep 1.5; stop $pid
    grep -o 'first frame [0-9.]* ms' "/tmp/korvo-start-$i.log" || true
  done

  has situations && situations
  has tracks && [ "$tracks" -gt 0 ] && track_changes
  return 0
}

situations() {
  start_korvo; sleep 3
  sample "settled, nothing live" "$pid"
  stop "$pid"

  coproc PLAYER { exec "$player"; }
  read -r _ <&"${PLAYER[0]}"
  start_korvo; sleep 4
  sample "playing, compact (bars moving)" "$pid"
  stop "$pid"; kill "$PLAYER_PID"; wait "$PLAYER_PID" 2>/dev/null || true

  start_korvo; sleep 3
  "$korvoctl" expand >/dev/null
  sleep 2
  sample "statistics card open" "$pid"
  stop "$pid"

  start_korvo systemCardEnabled=false calendarEnabled=false browserMedia=false; sleep 3
  sample "clipboard polling, nothing copied" "$pid"
  stop "$pid"
}

track_changes() {
    coproc PLAYER { exec "$player" --tracks "$tracks" --every 1100; }
    read -r _ <&"${PLAYER[0]}"
    start_korvo; sleep 5
    echo "rss before $tracks track changes: $(rss "$pid")"
    read -r _ <&"${PLAYER[0]}"  # "done"
    sleep 3
    echo "rss after $tracks track changes: $(rss "$pid")"
    stop "$pid"; kill "$PLAYER_PID"; wait "$PLAYER_PID" 2>/dev/null || true
}

if [ "$mode" = inner ]; then inner; exit; fi
xvfb-run -a -s "-screen 0 1440x900x24 -nolisten tcp" dbus-run-session -- "$0" --inner "$build" "$seconds" 2>&1 | grep -v 'dbus-daemon\|XDG_RUNTIME_DIR'

