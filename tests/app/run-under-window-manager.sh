#!/usr/bin/env bash
# Runs window tests that need a real X server with a window manager: starts a
# virtual X server (Xvfb) and openbox on it, runs the test program with the
# given filter on that display, and stops both afterwards.
#   run-under-window-manager.sh <test program> <gtest filter>
# Exit code 77 (skipped) only when Xvfb or openbox is not installed.
set -u
prog=$1
filter=$2
for tool in Xvfb openbox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (scripts/install-deps installs it)"
    exit 77
  fi
done
work=$(mktemp -d)
xpid=
wpid=
cleanup() {
  [ -n "$wpid" ] && kill "$wpid" 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# Qt's X11 platform talks to D-Bus, and libdbus keeps one allocation for good
# (1032 bytes): in a build with the leak sanitizer that is not this program's.
echo "leak:libdbus-1.so" >"$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp"
# The server picks a free display and writes its number.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xpid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
if [ ! -s "$work/display" ]; then
  echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1
fi
display=":$(head -n1 "$work/display")"
DISPLAY=$display openbox --sm-disable >"$work/openbox.log" 2>&1 &
wpid=$!
# Give the window manager time to take the screen.
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb VARNELLO_WINDOW_MANAGER=openbox "$prog" --gtest_filter="$filter"
