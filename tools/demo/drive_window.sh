#!/usr/bin/env bash
# Drives the demonstration's real window on an X display the way a person would, for CI
# under Xvfb: runs the demonstration headless once for its snapshot of the update form,
# then with the display: waits for the update form, checks that its window shows exactly
# what the headless snapshot shows (ImageMagick's compare prints 0 differing pixels), and
# clicks Install. The save dialog, when one shows, is answered with Return.
#   xvfb-run -a -s "-screen 0 1024x768x24" tools/demo/drive_window.sh PROGRAM
set -euo pipefail
cd "$(dirname "$0")/../.."
headless=$(mktemp --suffix=.png)
trap 'rm -f "$headless"' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY tools/demo/run_demo.sh "$1" > /dev/null
cp demo-out/snapshots/01-pkgm-updi.png "$headless"
tools/demo/run_demo.sh "$1" &
demo_pid=$!
window=""
for _ in $(seq 600); do
    window=$(xdotool search --name "Software Package Update" 2>/dev/null | head -1 || true)
    [[ -n "$window" ]] && break
    sleep 0.1
done
[[ -n "$window" ]] || { echo "the update form did not show" >&2; kill "$demo_pid"; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window "$window" demo-out/window-pkgm-updi.png
differing=$(compare -metric AE demo-out/window-pkgm-updi.png "$headless" null: 2>&1 || true)
echo "pixels differing from the headless snapshot: $differing"
# Install: (245, 418) in the form, 115 x 25.
xdotool mousemove $((X + 302)) $((Y + 430)) click 1
# The save dialog takes the focus as it opens; Return saves once its listing is done.
for _ in $(seq 100); do
    xdotool search --name "Save update file as" > /dev/null 2>&1 && break
    sleep 0.1
done
sleep 2
xdotool key Return || true
status=0
wait "$demo_pid" || status=$?
[[ "$differing" == 0 ]] || status=1
exit "$status"
