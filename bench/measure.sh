#!/usr/bin/env bash
# Process-level figures of the running island beside a lean reference panel, under Xvfb with a
# private session bus:
#   - start-up to first frame, five warm starts;
#   - CPU (% of one core) and wake-ups per second, every thread counted, over a window of
#     $seconds, of Korvo and of the reference panel in the same window: settled with nothing
#     live; a paused player on the bus (the scripted one, which counts the calls it receives,
#     and a paused mpv); a track playing, compact (mpv with its MPRIS plugin where installed,
#     else the scripted player); the statistics card open, expanded and as the HUD; the
#     clipboard polling with nothing copied and the other services off. After each situation
#     the ratio Korvo / reference;
#   - resident memory settled, and its growth over $TRACKS track changes with a cover each, after
#     200 to warm up (one change every 1.1 s, so every change is read: 1,200 changes take about
#     22 minutes; TRACKS=0 skips the step).
#   bench/measure.sh [build-dir] [seconds]
# The reference is polybar with the four modules of bench/polybar.ini (a clock, the processor,
# memory and the root file system), at the bottom of the same screen so neither window exposes
# the other. It is not one of Korvo's dependencies: `apt-get install polybar` for the comparison.
# It draws on X11 only, so the Wayland run measures Korvo alone.
# STEPS picks what runs (default "startup situations tracks"); SITUATIONS picks situations by
# their short names (default "settled paused paused-mpv playing card hud clipboard"). DESKTOPS
# picks where (default "x11"; "x11 wayland" measures the same steps under Xvfb and then on a
# headless sway, where Korvo draws its Wayland island; the compositor's own time is not counted).
set -euo pipefail
mode=outer
if [ "${1:-}" = "--inner" ]; then mode=inner; shift; fi
build=${1:-build}
seconds=${2:-60}
tracks=${TRACKS:-1000}
steps=${STEPS:-startup situations tracks}
situations=${SITUATIONS:-settled paused paused-mpv playing card hud clipboard}
desktops=${DESKTOPS:-x11}
has() { case " $steps " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
wants() { case " $situations " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
here=$(cd "$(dirname "$0")/.." && pwd)
korvo="$here/$build/src/app/korvo"
korvoctl="$here/$build/tools/korvoctl"
player="$here/$build/bench/korvo_fake_player"
mpris_plugin=/usr/lib/mpv-mpris/mpris.so

rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }

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

# label, then "name pid" pairs: CPU % of one core and wake-ups per second of each process over
# the same $seconds, and with two processes the first's figures over the second's.
sample() {
  # Read once a second, so that worker threads that come and go inside the window still count:
  # each thread adds what it did between its first and last reading (from 0 when it was born
  # inside the window).
  local label=$1 t0 t1 i k names=() pids=() sizes=()
  shift
  while [ $# -gt 1 ]; do names+=("$1"); pids+=("$2"); shift 2; done
  : >"$tmp/sample"
  for k in "${!pids[@]}"; do
    threads "${pids[$k]}" | sed "s/^/first ${names[$k]} /" >>"$tmp/sample"
  done
  t0=$(date +%s.%N)
  for ((i = 0; i < seconds; i++)); do
    sleep 1
    for k in "${!pids[@]}"; do threads "${pids[$k]}" | sed "s/^/${names[$k]} /"; done >>"$tmp/sample"
  done
  t1=$(date +%s.%N)
  for k in "${!pids[@]}"; do sizes+=("$(rss "${pids[$k]}")"); done
  awk -v l="$label" -v t0="$t0" -v t1="$t1" -v names="${names[*]}" -v sizes="${sizes[*]}" \
      -v summary="$tmp/summary" '
    $1 == "first" { k = $2 SUBSEP $3; w0[k] = $4; c0[k] = $5; next }
    NF == 4 { k = $1 SUBSEP $2; if (!(k in w0)) { w0[k] = 0; c0[k] = 0 } w1[k] = $3; c1[k] = $4 }
    END {
      n = split(names, name, " "); split(sizes, size, " ")
      d = t1 - t0
      for (k in w1) { split(k, part, SUBSEP); w[part[1]] += w1[k] - w0[k]; c[part[1]] += c1[k] - c0[k] }
      printf "%s:\n", l
      line = l
      for (i = 1; i <= n; i++) {
        cpu[i] = 100 * c[name[i]] / 1e9 / d; wake[i] = w[name[i]] / d
        printf "  %-8s cpu %.3f %% of a core, %6.2f wakeups/s, rss %s kB\n", name[i], cpu[i], wake[i], size[i]
        line = line sprintf("|%.4f|%.3f|%s", cpu[i], wake[i], size[i])
      }
      if (n == 2 && cpu[2] > 0 && wake[2] > 0)
        printf "  %s / %s: cpu %.2f, wake-ups %.2f\n", name[1], name[2], cpu[1] / cpu[2], wake[1] / wake[2]
      print line >> summary
    }' "$tmp/sample"
}

# The situation's figures of Korvo ($pid), beside the reference panel's when it runs.
measure() {
  if [ -n "${ref_pid:-}" ]; then sample "$1" korvo "$pid" polybar "$ref_pid"; else sample "$1" korvo "$pid"; fi
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

has_mpv() { command -v mpv >/dev/null && [ -e "$mpris_plugin" ]; }

# A ten-minute tone with a title, artist and album, as a music file has them: played in a loop it
# is one track, so the player announces nothing while it plays (a generated stream's length
# would grow, and the player would announce new metadata every second).
tone() {
  [ -e "$tmp/tone.ogg" ] || mpv --no-config --really-quiet \
    "av://lavfi:sine=frequency=440:duration=600:sample_rate=22050" --o="$tmp/tone.ogg" \
    --of=ogg --oac=libvorbis --oacopts=q=0 \
    --oset-metadata=title="Bench Tone",artist="Korvo",album="Measurements" >/dev/null 2>&1
  echo "$tmp/tone.ogg"
}

start_mpv() {  # extra mpv options; sets $mpv_pid once the player is on the bus
  local file i
  file=$(tone)
  mpv --no-config --script="$mpris_plugin" --no-terminal --no-video --idle=no --loop=inf \
    --ao=null "$@" "$file" >/dev/null 2>&1 &
  mpv_pid=$!
  for i in $(seq 50); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.ListNames 2>/dev/null | grep -q 'org.mpris.MediaPlayer2.mpv' && return
    sleep 0.1
  done
}

start_reference() {
  ref_pid=
  if [ "${KORVO_DESKTOP:-x11}" != x11 ]; then
    echo "reference panel: polybar draws on X11 only; Korvo is measured alone here"
    return
  fi
  if ! command -v polybar >/dev/null; then
    echo "reference panel: polybar is not installed (apt-get install polybar); Korvo is measured alone"
    return
  fi
  polybar -q -c "$here/bench/polybar.ini" reference >/dev/null 2>&1 &
  ref_pid=$!
  sleep 2
  echo "reference panel: $(polybar --version | head -1), modules: clock, cpu, memory, disk (bench/polybar.ini)"
}

inner() {
  tmp=$(mktemp -d)
  : >"$tmp/summary"
  echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -r), desktop: ${KORVO_DESKTOP:-x11}"
  echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
  export XDG_CONFIG_HOME; XDG_CONFIG_HOME=$(mktemp -d)
  # Warm the caches once, then measure.
  "$korvo" >/dev/null 2>&1 & pid=$!; sleep 2; stop $pid
  has startup && for i in 1 2 3 4 5; do
    KORVO_TRACE_STARTUP=1 "$korvo" 2>"$tmp/start-$i.log" & pid=$!
    sleep 1.5; stop $pid
    grep -o 'first frame [0-9.]* ms' "$tmp/start-$i.log" || true
  done

  if has situations; then
    start_reference
    situations
    [ -n "$ref_pid" ] && stop "$ref_pid"
    summary
  fi
  has tracks && [ "$tracks" -gt 0 ] && track_changes
  echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
  return 0
}

situations() {
  local calls0
  if wants settled; then
    start_korvo; sleep 3
    measure "settled, nothing live"
    stop "$pid"
  fi

  if wants paused; then
    coproc PLAYER { exec "$player" --paused 1 --calls-file "$tmp/calls"; }
    read -r _ <&"${PLAYER[0]}"
    start_korvo; sleep 4
    calls0=$(cat "$tmp/calls")
    measure "a paused player on the bus"
    echo "  calls the paused player received in the window: $(( $(cat "$tmp/calls") - calls0 ))"
    stop "$pid"; kill "$PLAYER_PID"; wait "$PLAYER_PID" 2>/dev/null || true
  fi

  if wants paused-mpv && has_mpv; then
    start_mpv --pause
    start_korvo; sleep 4
    measure "a paused mpv on the bus"
    stop "$pid"; stop "$mpv_pid"
  fi

  if wants playing; then
    if has_mpv; then
      start_mpv
      start_korvo; sleep 4
      measure "playing, compact (mpv, bars moving)"
      stop "$pid"; stop "$mpv_pid"
    else
      coproc PLAYER { exec "$player" --calls-file "$tmp/calls"; }
      read -r _ <&"${PLAYER[0]}"
      start_korvo; sleep 4
      calls0=$(cat "$tmp/calls")
      measure "playing, compact (scripted player, bars moving)"
      echo "  calls the playing player received in the window: $(( $(cat "$tmp/calls") - calls0 ))"
      stop "$pid"; kill "$PLAYER_PID"; wait "$PLAYER_PID" 2>/dev/null || true
    fi
  fi

  if wants card; then
    # With nothing else live the expanded island is the statistics card.
    start_korvo; sleep 3
    "$korvoctl" expand >/dev/null
    sleep 2
    measure "statistics card open (expanded)"
    stop "$pid"
  fi

  if wants hud; then
    start_korvo; sleep 3
    "$korvoctl" hud >/dev/null
    sleep 2
    measure "statistics card open (HUD)"
    stop "$pid"
  fi

  if wants clipboard; then
    start_korvo systemCardEnabled=false calendarEnabled=false browserMedia=false; sleep 3
    measure "clipboard polling, nothing copied"
    stop "$pid"
  fi
}

# Every situation on one line each, Korvo beside the reference.
summary() {
  [ -s "$tmp/summary" ] || return 0
  echo
  awk -F'|' -v ref="${ref_pid:+polybar}" '
    BEGIN {
      if (ref != "") {
        printf "%-40s %9s %9s %9s %9s %7s %7s\n", "situation", "korvo %", "wakes/s", "polybar %", "wakes/s", "cpu ×", "wakes ×"
      } else {
        printf "%-40s %9s %9s\n", "situation", "korvo %", "wakes/s"
      }
    }
    NF >= 7 && $5 > 0 && $6 > 0 {
      printf "%-40s %9.3f %9.2f %9.3f %9.2f %7.2f %7.2f\n", $1, $2, $3, $5, $6, $2 / $5, $3 / $6; next
    }
    { printf "%-40s %9.3f %9.2f\n", $1, $2, $3 }' "$tmp/summary"
  echo
}

# The cover cache empties itself every 61 covers, so resident memory is compared at the same
# point of that cycle: after 200 changes and after 976 (16 cycles) more.
track_changes() {
    local total=$((tracks + 200)) n=0 line
    coproc PLAYER { exec "$player" --tracks "$total" --every 1100 --report 1; }
    read -r _ <&"${PLAYER[0]}"
    start_korvo; sleep 3
    echo "rss at the first track: $(rss "$pid") kB"
    while read -r line <&"${PLAYER[0]}"; do
      [ "$line" = done ] && break
      n=${line#track }
      if [ "$n" = 200 ] || [ "$n" = $((200 + tracks / 61 * 61)) ]; then
        sleep 2  # the last change read and its cover shown
        echo "rss after $n track changes: $(rss "$pid") kB"
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

