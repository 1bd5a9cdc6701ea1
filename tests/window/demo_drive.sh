#!/usr/bin/env bash
# Drives scripts/run-demo.sh as the README tells, with X events on the real window: waits
# until discovery has filled in the address, presses connect once, turns the mouse wheel
# towards the operator until the room appears, and saves the window as the X screen shows
# it to OUT. Fails unless the room's points are on that picture, and were not before the
# wheel was turned. Needs DISPLAY; exits 77 where the demo has no namespace to run in.
#   demo_drive.sh BIN OUT.png [english]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$1
out=$2
english=${3:-}
work=$(mktemp -d)
"$root/scripts/run-demo.sh" --no-build --bin "$bin" >"$work/demo.log" 2>&1 &
demo=$!
wid=
finish() {
  [ -n "$wid" ] && xdotool windowkill "$wid" 2>/dev/null
  for _ in $(seq 100); do kill -0 "$demo" 2>/dev/null || break; sleep 0.1; done
  kill "$demo" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
fail() { echo "demo_drive: $*" >&2; cat "$work/demo.log" >&2; exit 1; }

wid=$(timeout 30 xdotool search --sync --name '^KESTRA VIEWER$' | head -n 1) || fail "no viewer window"
grep -q 'no private network namespace' "$work/demo.log" && { echo "SKIP: $(head -n 1 "$work/demo.log")"; exit 77; }

shot() { import -window "$wid" "$1"; }
pixel() { convert "$1" -format "%[pixel:p{$2}]" info:; }
# Points of the cloud: saturated pixels of the view, away from the panels and the legend.
cloud() {
  convert "$1" -crop 1000x600+100+160 +repage -colorspace HSL -channel G -separate +channel \
    -threshold 50% -format '%[fx:round(mean*w*h)]' info:
}

# The address field is enabled, white, once discovery has filled it in.
for _ in $(seq 60); do
  shot "$work/found.png"
  [ "$(pixel "$work/found.png" 230,22)" = "srgb(255,255,255)" ] && break
  sleep 0.25
done
[ "$(pixel "$work/found.png" 230,22)" = "srgb(255,255,255)" ] || fail "no address discovered"

if [ -n "$english" ]; then
  # The language button is the one saturated icon of the first row while disconnected.
  x=$(convert "$work/found.png" -crop 1300x1+0+21 +repage -colorspace HSL txt:- |
      awk -F'[,:() %]+' 'NR > 1 && $4 > 60 { s += $1; n++ } END { if (n) print int(s / n) }')
  [ -n "$x" ] || fail "no language button"
  xdotool mousemove --window "$wid" "$x" 21 click 1
fi

xdotool mousemove --window "$wid" 40 22 click 1 mousemove --window "$wid" 5 5
sleep 3
shot "$work/near.png"
near=$(cloud "$work/near.png")
[ "$near" -lt 200 ] || fail "the room is on screen before zooming out ($near points)"

xdotool mousemove --window "$wid" 650 450 click --repeat 15 --delay 50 5 mousemove --window "$wid" 5 5
sleep 0.5 # a frame or two, to clear the bearing line of the cursor's last place
for _ in $(seq 40); do
  shot "$out"
  [ "$(cloud "$out")" -ge 1500 ] && exit 0
  sleep 0.25
done
fail "no room on screen after zooming out ($(cloud "$out") points)"
