#!/usr/bin/env bash
# Starts the program under Xvfb with a fresh application folder and saves PNG screenshots of
# the main window at 1280 x 800 and at its minimum size (820 x 480) into the folder given as the
# first argument (default: screenshots/). Builds nothing: run scripts/build.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
out_dir=$(realpath -m "${1:-screenshots}")
program=${PELKOCOPY_BIN:-build/src/pelkocopy}
mkdir -p "$out_dir"
[ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }

work=$(mktemp -d /tmp/pelko.XXXX)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done

computer=$(hostname | cut -d. -f1)
# One shot: a window of width x height at the top left corner, saved as name.png.
shoot() {
    local width=$1 height=$2 name=$3
    local home="$work/$name"
    local photos="$work/写真"
    mkdir -p "$home" "$photos/RAW" "$photos/JPEG" "$photos/動画"
    # A window as a returning user left it: not maximised, the destinations chosen, and the
    # release notes already seen (AppVer 141), so nothing but the main window opens.
    cat >"$home/$computer.ini" <<INI
[FrmDCMain]
FormTop=0
FormLeft=0
FormWidth=$width
FormHeight=$height
WindowMaxmized=0
AppVer=141
DestRaw=$photos/RAW
DestJpg=$photos/JPEG
DestOther=$photos/動画
INI
    # A private TMPDIR keeps this instance apart from a PelkoCopy the user may be running.
    mkdir -p "$work/tmp-$name"
    TMPDIR="$work/tmp-$name" PELKOCOPY_HOME="$home" DISPLAY="$display" LANG=ja_JP.UTF-8 \
        QT_QPA_PLATFORM=xcb \
        "$program" >/dev/null 2>&1 &
    app_pid=$!
    sleep 2
    import -display "$display" -window root -crop "${width}x${height}+0+0" +repage \
        "$out_dir/$name.png"
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    echo "$out_dir/$name.png"
}

shoot 1280 800 main-1280x800
shoot 820 480 main-820x480
