#!/usr/bin/env bash
# Starts the program under Xvfb (with openbox as the window manager when it is installed) with a
# fresh application folder and saves PNG screenshots into the folder given as the first argument
# (default: screenshots/):
#   main-1280x800.png        the window at 1280 x 800
#   main-820x480.png         at its minimum size
#   main-820x480-user.png    at its minimum size in the user folder and user file-name modes
#   main-after-run.png       at 1280 x 800 after a run of a generated card
#   main-during-run.png      during a longer removal run (the time remaining in the status bar)
#   folder-picker.png        the folder picker of a destination button
# With --all-modes also modes-F-N.png at 820 x 480 for every folder mode F and file-name mode N.
# Builds nothing: run scripts/build.sh first (the last three need build/bench/bench_window).
set -euo pipefail
cd "$(dirname "$0")/.."
all_modes=0
if [ "${1:-}" = "--all-modes" ]; then
    all_modes=1
    shift
fi
out_dir=$(realpath -m "${1:-screenshots}")
program=${PELKOCOPY_BIN:-build/src/pelkocopy}
helper=${PELKOCOPY_BENCH_WINDOW:-build/bench/bench_window}
mkdir -p "$out_dir"
[ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }

work=$(mktemp -d /tmp/pelko.XXXX)
xvfb_pid=""
wm_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=":$((90 + RANDOM % 100))"
# Room for a 1280 x 800 window and its frame.
Xvfb "$display" -screen 0 1360x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
if command -v openbox >/dev/null; then
    DISPLAY="$display" openbox --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    sleep 0.5
fi

computer=$(hostname | cut -d. -f1)
photos="$work/写真"
mkdir -p "$photos/RAW" "$photos/JPEG" "$photos/動画"
# One shot: a window of width x height at the top left corner, saved as name.png; further
# arguments are more lines of the window's settings.
shoot() {
    local width=$1 height=$2 name=$3
    shift 3
    local home="$work/$name"
    mkdir -p "$home"
    # A window as a returning user left it: not maximised, the destinations chosen, and the
    # release notes already seen (AppVer 141), so nothing but the main window opens.
    {
        cat <<INI
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
        printf '%s\n' "$@"
    } >"$home/$computer.ini"
    # A private TMPDIR keeps this instance apart from a PelkoCopy the user may be running.
    mkdir -p "$work/tmp-$name"
    TMPDIR="$work/tmp-$name" PELKOCOPY_HOME="$home" DISPLAY="$display" LANG=ja_JP.UTF-8 \
        QT_QPA_PLATFORM=xcb \
        "$program" >/dev/null 2>&1 &
    app_pid=$!
    sleep 2
    # The main window with the window manager's frame, wherever the manager put it.
    local id
    id=$(xwininfo -display "$display" -root -tree 2>/dev/null |
        awk '/"Pelko File Copy/ && !found {print $1; found = 1}')
    if [ -n "$id" ]; then
        import -display "$display" -frame -window "$id" "$out_dir/$name.png"
    else
        import -display "$display" -window root "$out_dir/$name.png"
    fi
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    echo "$out_dir/$name.png"
}

shoot 1280 800 main-1280x800
shoot 820 480 main-820x480
shoot 820 480 main-820x480-user MakeFolder=2 FileName=1
if [ "$all_modes" = 1 ]; then
    for folder_mode in 0 1 2 3 4 5; do
        for name_mode in 0 1 2 3 4 5; do
            shoot 820 480 "modes-$folder_mode-$name_mode" "MakeFolder=$folder_mode" \
                "FileName=$name_mode"
        done
    done
fi

# The window after a run of a generated card, and the folder picker, drawn by a helper that
# builds the window over a card of its own.
if [ -x "$helper" ]; then
    PELKOCOPY_HOME="$work/run-home" TMPDIR="$work" DISPLAY="$display" LANG=ja_JP.UTF-8 \
        TZ=Asia/Tokyo QT_QPA_PLATFORM=xcb "$helper" shot "$out_dir" ||
        echo "no screenshot after a run: $helper failed" >&2
else
    echo "no $helper: build the bench_window target for the screenshots after a run" >&2
fi
