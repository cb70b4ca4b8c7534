#!/usr/bin/env bash
# Shows the Corvid window under a virtual X display (Xvfb) on the sample
# database and saves PNG pictures of it: before the batch run (help text),
# the same with the optional check boxes shown, and after the run (its log).
# Usage:
#   scripts/screenshot-window.sh [build-dir] [picture-dir]
# Defaults: build/ and build/screenshots/. The settings of this run are kept
# in a temporary directory, never in ~/.config.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
pictures=${2:-$build/screenshots}
corvid=$build/frontend/corvid
sample=$build/samples/sample.mdb
for needed in "$corvid" "$sample"; do
  [ -e "$needed" ] || { echo "missing $needed: build first (cmake --build $build)" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "Xvfb is not installed (Debian package xvfb)" >&2; exit 1; }

mkdir -p "$pictures"
work=$(mktemp -d)
trap 'kill "${xvfb_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A free display number.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

status=0
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=":$display" XDG_CONFIG_HOME="$work/config" \
  CORVID_SCREENSHOT_PREFIX="$(realpath "$pictures")/corvid-window" \
  "$corvid" /t=table /fi=img /fn=id /fn2= /ff=filter "/fv=*" "/d=$work/out/" "$sample" || status=$?
echo "exit status $status; files written: $(find "$work/out" -type f | wc -l)"
ls -l "$pictures"/corvid-window-before.png "$pictures"/corvid-window-options.png "$pictures"/corvid-window-after.png
