#!/usr/bin/env bash
# Makes docs/viewer.png: the README's demo under a virtual display, switched to English and
# driven as the README tells, the window taken as the X screen shows it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
mkdir -p "$root/docs"
xvfb-run -a -s "-screen 0 1920x1080x24" \
  "$root/tests/window/demo_drive.sh" "$root/build/bin" "$root/docs/viewer.png" english
echo "wrote docs/viewer.png"
