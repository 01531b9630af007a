#!/usr/bin/env bash
# Builds the Debian package in BUILD_DIR with cpack and checks it as a user's machine sees it:
# the files it holds, its control data, the Debian and freedesktop validators, the manual pages
# and completions, and the program itself run from the package unpacked into a scratch root —
# drawing its symbols with the icon folder out of reach, and exporting on the session bus the
# interface its description file says.
#   scripts/check-package.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: scripts/check-package.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "check-package: FAILED: $*" >&2
    exit 1
}
step() { echo "check-package: $*"; }

app=io.korvo.Korvo
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb="$build/korvo_${version}_${arch}.deb"

step "cpack -G DEB"
rm -f "$deb"
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
[ -f "$deb" ] || fail "cpack wrote no $(basename "$deb")"

step "contents"
dpkg-deb --contents "$deb" | awk '{ print $1, $NF }' >"$work/contents"
expected=(
    usr/bin/korvo usr/bin/korvoctl
    "usr/share/applications/$app.desktop"
    "usr/share/metainfo/$app.metainfo.xml"
    "usr/share/icons/hicolor/scalable/apps/$app.svg"
    "usr/share/icons/hicolor/symbolic/apps/$app-symbolic.svg"
    usr/share/man/man1/korvo.1.gz usr/share/man/man1/korvoctl.1.gz
    usr/share/bash-completion/completions/korvoctl
    usr/share/zsh/vendor-completions/_korvoctl
    usr/share/fish/vendor_completions.d/korvoctl.fish
    usr/share/dbus-1/interfaces/io.korvo.Korvo1.xml
    usr/share/doc/korvo/copyright usr/share/doc/korvo/changelog.gz
)
for f in "${expected[@]}"; do
    grep -q " \./$f\$" "$work/contents" || fail "the package lacks /$f"
done
for f in usr/bin/korvo usr/bin/korvoctl; do
    grep -q "^-rwxr-xr-x \./$f\$" "$work/contents" || fail "/$f is not an executable file"
done
if grep -v ' \./usr/' "$work/contents" | grep -v ' \./$'; then
    fail "files outside /usr"
fi

step "control data"
depends=$(dpkg-deb --field "$deb" Depends)
echo "  Depends: $depends"
for p in fonts-inter fonts-noto-color-emoji qt6-qpa-plugins qt6-wayland libqt6svg6 \
    libqt6core6 libqt6dbus6 libqt6widgets6 libc6; do
    [[ ", $depends," == *", $p"[\ ,]* ]] || fail "Depends lacks $p"
done
[ "$(dpkg-deb --field "$deb" Package)" = korvo ] || fail "package name"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "package version"

step "lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 ||
    { cat "$work/lintian"; fail "lintian reports errors"; }
sed 's/^/  /' "$work/lintian"

root="$work/root"
dpkg -x "$deb" "$root"

step "desktop entry and AppStream data"
desktop-file-validate "$root/usr/share/applications/$app.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >"$work/as" 2>&1 ||
    { cat "$work/as"; fail "AppStream data"; }
# Every screenshot it names is drawn in the build.
shots=$(grep -o '<image>[^<]*</image>' "$root/usr/share/metainfo/$app.metainfo.xml" |
    sed 's#.*/\([^/<]*\)</image>#\1#')
[ -n "$shots" ] || fail "the AppStream data names no screenshot"
for s in $shots; do
    [ -s "$build/screenshots/$s" ] || fail "screenshot $s is not drawn in $build/screenshots"
done
grep -q "^Exec=korvo$" "$root/usr/share/applications/$app.desktop" || fail "Exec"

step "manual pages"
for page in korvo korvoctl; do
    MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" >"$work/$page.txt" \
        2>"$work/$page.err" || fail "man -l $page"
    [ ! -s "$work/$page.err" ] || { cat "$work/$page.err"; fail "$page.1 renders with warnings"; }
    grep -q "^NAME" "$work/$page.txt" && grep -q "$page - " "$work/$page.txt" ||
        fail "$page.1 has no NAME section"
done

step "korvoctl --help"
"$root/usr/bin/korvoctl" --help >"$work/usage" || fail "korvoctl --help"
grep -q "^usage: korvoctl" "$work/usage" || fail "korvoctl --help prints no usage"

step "completions"
bash_completion="$root/usr/share/bash-completion/completions/korvoctl"
bash -c 'source "$1" && complete -p korvoctl' _ "$bash_completion" >/dev/null ||
    fail "the bash completion registers nothing for korvoctl"
# What korvoctl's usage lists — each command, and each option under the words that take it —
# is what the completions offer there.
awk -v OFS='\t' '
    /^  [a-z]/ {
        nkeys = 0
        if ($1 == "activity") {
            print "command", "activity"
            n = split($2, verbs, "|")
            for (i = 1; i <= n; i++) keys[++nkeys] = "activity " verbs[i]
        } else if ($2 == "|") {
            for (i = 1; i <= NF; i += 2) { print "command", $i; keys[++nkeys] = $i }
        } else {
            print "command", $1; keys[++nkeys] = $1
        }
    }
    /^  / {
        for (i = 1; i <= NF; i++) if ($i ~ /^\[?--/) {
            o = $i; gsub(/[][]/, "", o)
            for (k = 1; k <= nkeys; k++) print keys[k], o
        }
    }
' "$work/usage" | sort -u >"$work/offers"
grep -q "^toast	--icon$" "$work/offers" && grep -q "^activity start	--kind$" "$work/offers" &&
    grep -q "^command	hud$" "$work/offers" || fail "could not read korvoctl's usage"
bash_offers() { # the words typed so far, the last one being completed
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _korvoctl
             printf "%s\n" "${COMPREPLY[@]}"' _ "$bash_completion" "$@" </dev/null
}
fish_offers() { # the command line as typed so far
    fish --no-config -c 'source $argv[1]; complete -C"$argv[2]"' \
        "$root/usr/share/fish/vendor_completions.d/korvoctl.fish" "$1" </dev/null | cut -f1
}
# Whether a listing, read to its end (so the writer never dies of a closed pipe), has a line.
lists() { grep -x -- "$1" >/dev/null; }
zsh_completion="$root/usr/share/zsh/vendor-completions/_korvoctl"
zsh -n "$zsh_completion" || fail "the zsh completion does not parse"
while IFS=$'\t' read -r where what; do
    case $where in
        command) words=(korvoctl) typed="korvoctl " ;;
        "activity start" | "activity update") words=(korvoctl $where ID) typed="korvoctl $where ID --" ;;
        *) words=(korvoctl "$where") typed="korvoctl $where --" ;;
    esac
    current=--
    [ "$where" = command ] && current=
    bash_offers "${words[@]}" "$current" | lists "$what" || fail "bash offers no $what after '${words[*]}'"
    fish_offers "$typed" | lists "$what" || fail "fish offers no $what after '$typed'"
    grep -q -- "$what\b" "$zsh_completion" || fail "the zsh completion does not know $what"
done <"$work/offers"
for verb in start update end; do
    bash_offers korvoctl activity "" | lists "$verb" || fail "bash offers no activity $verb"
    fish_offers "korvoctl activity " | lists "$verb" || fail "fish offers no activity $verb"
done
values_line=$(grep '^KIND:' "$work/usage")
for kind in $(echo "$values_line" | sed 's/;.*//; s/^KIND://; s/,/ /g'); do
    bash_offers korvoctl activity start ID --kind "" | lists "$kind" || fail "bash: kind $kind"
    fish_offers "korvoctl activity start ID --kind " | lists "$kind" || fail "fish: kind $kind"
done
for priority in $(echo "$values_line" | sed 's/.*P://; s/,/ /g'); do
    bash_offers korvoctl toast --priority "" | lists "$priority" || fail "bash: $priority"
    fish_offers "korvoctl toast --priority " | lists "$priority" || fail "fish: $priority"
done
bash_offers korvoctl toast --icon "" | lists bell.fill || fail "bash offers no symbol names"

step "symbols drawn from the program, with the icon folder out of reach"
"$build/src/app/korvo" --snapshots "$work/shots-build" >/dev/null 2>&1 ||
    fail "the build's korvo --snapshots"
# A private mount namespace hides the folder from this one command only.
unshare --mount --map-root-user sh -c '
    mount -t tmpfs none /usr/share/bootstrap-icons || exit 3
    [ -z "$(ls -A /usr/share/bootstrap-icons)" ] || exit 3
    exec env QT_QPA_PLATFORM=offscreen "$0" --snapshots "$1"
' "$root/usr/bin/korvo" "$work/shots-package" >/dev/null 2>"$work/shots.err" ||
    { cat "$work/shots.err"; fail "the packaged korvo --snapshots with the icons hidden"; }
[ "$(ls "$work/shots-build")" = "$(ls "$work/shots-package")" ] || fail "different snapshots"
[ "$(ls "$work/shots-package" | wc -l)" -gt 10 ] || fail "too few snapshots"
for f in "$work/shots-build"/*.png; do
    cmp -s "$f" "$work/shots-package/$(basename "$f")" ||
        fail "$(basename "$f") differs from the build's: symbols missing?"
done
grep -qi "symbol" "$work/shots.err" && { cat "$work/shots.err"; fail "symbol warnings"; }

step "the packaged island on a private X server and session bus"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local"
mkdir -p "$XDG_CONFIG_HOME"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$app.desktop")
# shellcheck disable=SC2016
PATH="$root/usr/bin:$PATH" QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a -s "-nolisten tcp" \
    dbus-run-session -- bash -c '
    set -e
    $1 >"$2/korvo.log" 2>&1 &
    korvo=$!
    trap "kill $korvo 2>/dev/null || true" EXIT
    gdbus wait --session --timeout 60 io.korvo.Korvo
    gdbus introspect --session --dest io.korvo.Korvo --object-path /io/korvo/Korvo --xml \
        >"$2/live.xml"
    korvoctl state >"$2/state.json"
    kill $korvo
    wait $korvo || true
' _ "$exec_line" "$work" || { cat "$work/korvo.log" 2>/dev/null; fail "the running island"; }
grep -q '"state"' "$work/state.json" || fail "korvoctl state printed no state"
python3 - "$root/usr/share/dbus-1/interfaces/io.korvo.Korvo1.xml" "$work/live.xml" <<'EOF' ||
import sys
import xml.etree.ElementTree as ET

def methods(path):
    iface = [i for i in ET.parse(path).getroot().iter("interface")
             if i.get("name") == "io.korvo.Korvo1"]
    if len(iface) != 1:
        sys.exit(f"{path}: no io.korvo.Korvo1 interface")
    return {m.get("name"): [(a.get("name"), a.get("type"), a.get("direction", "in"))
                            for a in m.iter("arg")]
            for m in iface[0] if m.tag in ("method", "signal", "property")}

installed, live = methods(sys.argv[1]), methods(sys.argv[2])
if installed != live:
    sys.exit(f"the installed description differs from the running island's:\n"
             f"  installed {installed}\n  live      {live}")
EOF
    fail "interface description"

step "passed"
