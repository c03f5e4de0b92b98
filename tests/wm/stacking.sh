#!/bin/sh
# Windows opened from the console on a real display, by hand rather than in
# ctest: starts Xvfb and openbox on display :${WM_DISPLAY:-92}, runs the
# program on the simulated fleet, and checks with xdotool and xprop that
#  - with the console maximised, Ctrl+Shift+Enter opens the batch window on
#    top of it, with the keyboard, and a click brings it back to the front;
#  - after "载入" in the history window the request box is uncovered and
#    "ZZ" typed then lands in it.
# Run from the source tree after building: sh tests/wm/stacking.sh [build/bin/tessel-console]
# Needs Xvfb, openbox, xdotool, xwininfo, xprop. Prints "ok"/"FAIL" lines.
set -u
exe=${1:-build/bin/tessel-console}
export DISPLAY=:${WM_DISPLAY:-92}
work=$(mktemp -d)
Xvfb "$DISPLAY" -screen 0 1280x800x24 >"$work/xvfb.log" 2>&1 &
xvfb=$!
sleep 1
openbox >"$work/openbox.log" 2>&1 &
wm=$!
sleep 1
XDG_DATA_HOME="$work" QT_QPA_PLATFORM=xcb "$exe" >"$work/app.log" 2>&1 &
app=$!
trap 'kill $app $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 3

failures=0
check() { # check NAME 'SHELL TEST'
    name=$1
    if eval "$2" >/dev/null; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
window() { xdotool search --all --pid "$app" --name "$1" 2>/dev/null | head -n 1; }
active() { xdotool getactivewindow getwindowname; }
topmost() { # the name of the client highest in the stacking order
    xdotool getwindowname "$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/.*, //')"
}
corner() { # "X Y WIDTH HEIGHT" of a window's client area on the screen
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.5; }

# The console for the first terminal.
set -- $(corner "$(window '^DemoGUI$')")
xdotool mousemove $(($1 + 100)) $(($2 + 90)) click --repeat 2 --delay 80 1
sleep 1
console=$(window '^DemoChildGUI$')
set -- $(corner "$console")
xdotool mousemove $(($1 + 200)) $(($2 - 8)) click --repeat 2 --delay 80 1 # the title bar: maximise
sleep 1
check "console maximised" 'xprop -id "$console" _NET_WM_STATE | grep -q MAXIMIZED_HORZ'
xdotool windowactivate --sync "$console" key ctrl+f
sleep 0.5
xdotool type getVolume
xdotool key Return
sleep 0.5

xdotool key ctrl+shift+Return
sleep 1
check "batch window on top" 'topmost | grep -q "^批量操作"'
check "batch window has the keyboard" 'active | grep -q "^批量操作"'
batch=$(window '^批量操作')
set -- $(corner "$batch")
click 1200 780                          # the console, below the batch window
click $(($1 + 300)) $(($2 + 400))       # the batch window again
check "clicked batch window in front" 'active | grep -q "^批量操作"'
xdotool windowactivate --sync "$batch" key alt+F4 # openbox closes it
sleep 0.5

# A send for the history, then "载入" from the history window.
xdotool windowactivate --sync "$console" key ctrl+Return
sleep 1
xdotool key ctrl+h
sleep 1.5
history=$(window '^历史记录$')
set -- $(corner "$history")
click $(($1 + 300)) $(($2 + 80))        # the first request
click $(($1 + $3 - 310)) $(($2 + $4 - 23)) # 载入, left of 复制, 导出… and 回放…
check "console has the keyboard after 载入" '[ "$(active)" = DemoChildGUI ]'
xdotool type ZZ
sleep 0.5
import -window root "$work/after-load.png" 2>/dev/null && cp "$work/after-load.png" /tmp/stacking-after-load.png
echo "screen after 载入: /tmp/stacking-after-load.png (ZZ typed into the uncovered request box)"
exit $failures
