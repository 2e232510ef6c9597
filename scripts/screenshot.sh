#!/usr/bin/env bash
# Shows the real publishing window of the 64-bit Varnook3.dll under wine64 on a private Xvfb display,
# over a web like the bundled sample web (one folder open, marked and unmarked items), in Wine's own
# fonts as a user of Wine sees it, and writes pictures of it at 96 and at 144 dots per inch to
# docs/window.png and docs/window-144dpi.png (or into the folder given).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-docs}
bash scripts/deps.sh test
# The picture tools are only needed here.
if ! command -v xwd >/dev/null || ! convert -version 2>/dev/null | grep -q ImageMagick; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends x11-apps imagemagick
fi
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)" --target win-demo >/dev/null

work=$(mktemp -d)
xvfb_pid="" demo_pid=""
cleanup() {
    [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
    WINEPREFIX="$PWD/build/win64/wineprefix" wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: the first free number from 90 up.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

# No window manager runs on the private display: Wine draws the windows' frames and captions itself.
(cd build/win64/bin && ../wine-run.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f) >/dev/null 2>&1

shoot() { # DPI PICTURE
    (cd build/win64/bin && VARNOOK_WINE_DPI=$1 exec ../wine-run.sh win-demo.exe) >"$work/demo.out" 2>"$work/demo.err" &
    demo_pid=$!
    for _ in $(seq 600); do
        grep -q '^READY' "$work/demo.out" 2>/dev/null && break
        kill -0 "$demo_pid" 2>/dev/null || { cat "$work/demo.err" >&2; echo "screenshot: the demo ended early" >&2; exit 1; }
        sleep 0.1
    done
    read -r _ left top right bottom < <(grep '^READY' "$work/demo.out" | tr -d '\r')
    sleep 0.5
    xwd -root -silent -display "$DISPLAY" >"$work/screen.xwd"
    convert "xwd:$work/screen.xwd" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$2"
    echo "wrote $2 ($((right - left))x$((bottom - top)) at $1 dots per inch)"
    # The demo stays up for a person to look at: ended here, with its Wine server.
    WINEPREFIX="$PWD/build/win64/wineprefix" wineserver -k 2>/dev/null || true
    wait "$demo_pid" 2>/dev/null || true
    demo_pid=""
}
shoot 96 "$dir/window.png"
shoot 144 "$dir/window-144dpi.png"
