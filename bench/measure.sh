#!/usr/bin/env bash
# Process-level figures of the running island, under Xvfb with a private session bus and a
# scripted MPRIS player (korvo_fake_player) on it:
#   - start-up to first frame, five warm starts;
#   - CPU (% of one core) and wake-ups per second, every thread counted, over a window of
#     $seconds in five situations: settled with nothing live; a paused player on the bus; a track
#     playing, compact; the statistics card open; the clipboard polling with nothing copied and the
#     other services off. With a player on the bus, the calls it received in the window are
#     counted too (the player keeps its own count);
#   - resident memory settled, and its growth over $TRACKS track changes with a cover each, after
#     200 to warm up (one change every 1.1 s, so every change is read: 1,200 changes take about
#     22 minutes; TRACKS=0 skips the step).
#   bench/measure.sh [build-dir] [seconds]
# STEPS picks what runs (default "startup situations tracks"). DESKTOPS picks where (default
# "x11"; "x11 wayland" measures the same steps under Xvfb and then on a headless sway, where
# Korvo draws its Wayland island; the compositor's own time is not counted).
set -euo pipefail
mode=outer
if [ "${1:-}" = "--inner" ]; then mode=inner; shift; fi
build=${1:-build}
seconds=${2:-60}
tracks=${TRACKS:-1000}
steps=${STEPS:-startup situations tracks}
desktops=${DESKTOPS:-x11}
has() { case " $steps " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
here=$(cd "$(dirname "$0")/.." && pwd)
korvo="$here/$build/src/app/korvo"
korvoctl="$here/$build/tools/korvoctl"
player="$here/$build/bench/korvo_fake_player"

rss() { awk '/VmRSS/ {print $2" "$3}' "/proc/$1/status"; }

# Every thread's voluntary context switches (each a sleep that ended in a wake-up) and time on a
# CPU (the scheduler's own count, in ns), one line per thread: "tid switches ns".
threads() {
  local t
  for t in /proc/"$1"/task/*; do
    printf '%s %s %s\n' "${t##*/}" \
      "$(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status" 2>/dev/null)" \
      "$(awk '{print $1}' "$t/schedstat" 2>/dev/null)"
  done 2>/dev/null
}

sample() {  # label, pid: CPU % of one core and wake-ups per second over $seconds
  # Read once a second, so that worker threads that come and go inside the window still count:
  # each thread adds what it did between its first and last reading (from 0 when it was born
  # inside the window).
  local label=$1 pid=$2 t0 t1 i
  : >"$tmp/sample"
  threads "$pid" | sed 's/^/first /' >>"$tmp/sample"
  t0=$(date +%s.%N)
  for ((i = 0; i < seconds; i++)); do
    sleep 1
    threads "$pid" >>"$tmp/sample"
  done
  t1=$(date +%s.%N)
  awk -v l="$label" -v t0="$t0" -v t1="$t1" -v r="$(rss "$pid")" '
    $1 == "first" { w0[$2] = $3; c0[$2] = $4; next }
    NF == 3 { if (!($1 in w0)) { w0[$1] = 0; c0[$1] = 0 } w1[$1] = $2; c1[$1] = $3 }
    END {
      for (t in w1) { w += w1[t] - w0[t]; c += c1[t] - c0[t] }
      d = t1 - t0
      printf "%-40s cpu %.3f %% of a core, %6.2f wakeups/s, rss %s\n", l":", 100 * c / 1e9 / d, w / d, r
    }' "$tmp/sample"
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
  tmp=$(mktemp -d)
  echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -r), desktop: ${KORVO_DESKTOP:-x11}"
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

  local calls0
  coproc PLAYER { exec "$player" --paused 1 --calls-file "$tmp/calls"; }
  read -r _ <&"${PLAYER[0]}"
  start_korvo; sleep 4
  calls0=$(cat "$tmp/calls")
  sample "a paused player on the bus" "$pid"
  echo "  calls the paused player received in the window: $(( $(cat "$tmp/calls") - calls0 ))"
  stop "$pid"; kill "$PLAYER_PID"; wait "$PLAYER_PID" 2>/dev/null || true

  coproc PLAYER { exec "$player" --calls-file "$tmp/calls"; }
  read -r _ <&"${PLAYER[0]}"
  start_korvo; sleep 4
  calls0=$(cat "$tmp/calls")
  sample "playing, compact (bars moving)" "$pid"
  echo "  calls the playing player received in the window: $(( $(cat "$tmp/calls") - calls0 ))"
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

# The cover cache empties itself every 61 covers, so resident memory is compared at the same
# point of that cycle: after 200 changes and after 976 (16 cycles) more.
track_changes() {
    local total=$((tracks + 200)) n=0 line
    coproc PLAYER { exec "$player" --tracks "$total" --every 1100 --report 1; }
    read -r _ <&"${PLAYER[0]}"
    start_korvo; sleep 3
    echo "rss at the first track: $(rss "$pid")"
    while read -r line <&"${PLAYER[0]}"; do
      [ "$line" = done ] && break
      n=${line#track }
      if [ "$n" = 200 ] || [ "$n" = $((200 + tracks / 61 * 61)) ]; then
        sleep 2  # the last change read and its cover shown
        echo "rss after $n track changes: $(rss "$pid")"
      fi
    done
    stop "$pid"; kill "$PLAYER_PID" 2>/dev/null; wait "$PLAYER_PID" 2>/dev/null || true
}

# A headless sway with one 1440 × 900 output for the Wayland run. sway refuses root: then it runs
# as nobody, in a runtime folder that uid owns; Korvo connects by the socket's path.
with_sway() {
  local dir run socket sway_pid i
  dir=$(mktemp -d); run=$dir/run; mkdir -p "$run" "$dir/home"
  printf 'output HEADLESS-1 resolution 1440x900 position 0 0\ndefault_border none\n' >"$dir/config"
  local as=()
  if [ "$(id -u)" = 0 ]; then
    chown -R 65534:65534 "$dir"; chmod 0711 "$dir"; chmod 0700 "$run"
    as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  env -u WAYLAND_DISPLAY -u DISPLAY HOME="$dir/home" XDG_RUNTIME_DIR="$run" WLR_BACKENDS=headless \
    WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "${as[@]}" sway -c "$dir/config" >/dev/null 2>&1 &
  sway_pid=$!
  for i in $(seq 100); do
    socket=$(find "$run" -maxdepth 1 -name 'wayland-*' ! -name '*.lock' 2>/dev/null | head -1)
    [ -n "$socket" ] && break
    sleep 0.1
  done
  local rt; rt=$(mktemp -d)
  env -u DISPLAY WAYLAND_DISPLAY="$socket" XDG_RUNTIME_DIR="$rt" KORVO_DESKTOP=wayland "$@" || true
  kill "$sway_pid" 2>/dev/null; wait "$sway_pid" 2>/dev/null || true
  rm -rf "$dir" "$rt" 2>/dev/null || true
}

if [ "$mode" = inner ]; then inner; exit; fi
for desktop in $desktops; do
  case $desktop in
    x11) xvfb-run -a -s "-screen 0 1440x900x24 -nolisten tcp" dbus-run-session -- "$0" --inner "$build" "$seconds" ;;
    wayland) with_sway dbus-run-session -- "$0" --inner "$build" "$seconds" ;;
    *) echo "measure.sh: unknown desktop $desktop" >&2; exit 2 ;;
  esac 2>&1 | grep --line-buffered -v 'dbus-daemon\|XDG_RUNTIME_DIR'
done

