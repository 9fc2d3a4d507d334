# Shell functions for driving Windows programs under wine as a user would:
# a virtual X screen (Xvfb) with a window manager (openbox), windows found and
# waited for with xdotool, screenshots with ImageMagick. Every wait has a
# deadline. Sourced by the windows lane's scripts:
#
#   . scripts/wine_desktop.sh
#   desktop_start 1366x768 SHOTS_DIR      (sets DISPLAY; stopped at exit)
#   wid=$(window_wait "title words" 60)
#   shot name                             SHOTS_DIR/name.png
#   wait_until 120 "what" command args... a command that must come true
#   close_window WID                      Alt+F4, as a user closes it
#   wait_until 60 "it to end" process_gone PID

desktop_fail() {
  echo "windows GUI test: $*" >&2
  [ -n "${SHOTS:-}" ] && shot "failure" 2>/dev/null && echo "  screen: $SHOTS/failure.png" >&2
  exit 1
}

desktop_start() {
  local size=$1
  SHOTS=$2
  mkdir -p "$SHOTS"
  rm -f "$SHOTS"/*.png  # a screenshot left by an earlier run would mislead
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fd_file" 2>/dev/null &
  DESKTOP_XVFB=$!
  trap desktop_stop EXIT
  local waited=0
  while [ ! -s "$fd_file" ]; do
    sleep 0.2
    waited=$((waited + 1))
    [ $waited -lt 100 ] || desktop_fail "Xvfb did not start"
  done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
  openbox >/dev/null 2>&1 &
  DESKTOP_WM=$!
  wait_until 20 "openbox to manage the screen" xprop -root _NET_SUPPORTING_WM_CHECK
}

desktop_stop() {
  wineserver -k 2>/dev/null || true
  [ -n "${DESKTOP_WM:-}" ] && kill "$DESKTOP_WM" 2>/dev/null
  [ -n "${DESKTOP_XVFB:-}" ] && kill "$DESKTOP_XVFB" 2>/dev/null
  return 0
}

# wait_until SECONDS WHAT COMMAND...: runs COMMAND every half second until it
# succeeds; fails the test naming WHAT after SECONDS.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt "$deadline" ] || desktop_fail "waited ${seconds} s for $what"
    sleep 0.5
  done
}

window_find() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 | grep .; }

# window_wait TITLE SECONDS: the id of the first visible window whose title
# holds TITLE (a regular expression).
window_wait() {
  wait_until "$2" "a window \"$1\"" window_find "$1"
  window_find "$1"
}

window_gone() { ! window_find "$1"; }

shot() { import -window root "$SHOTS/$1.png"; }

# click WINDOW X Y: a left click at a point of the window's client area.
click() {
  xdotool windowactivate --sync "$1" 2>/dev/null || true
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# close_window WINDOW: Alt+F4, so that the window manager asks the program to
# close the window, as a user does (xdotool's windowclose destroys the X
# window behind the program's back).
close_window() {
  xdotool windowactivate --sync "$1" 2>/dev/null || true
  xdotool key --clearmodifiers alt+F4
}

process_gone() { ! kill -0 "$1" 2>/dev/null; }
