#!/usr/bin/env bash
# Times the terminal window on a chain of nested folders with a marked page at the bottom: opening it,
# one choice on the top folder (it publishes the page), and the undo of that choice; and the peak memory.
# For comparison, the same choice by the command line: `varnook toggle`.
#
#   bench/window-deep.sh [VARNOOK] [DEPTH]     (defaults: build/linux-release/varnook, 10000)
#
# Needs tmux, cc and GNU time. Times include up to 0.05 s of polling.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
varnook=$(realpath "${1:-$here/../build/linux-release/varnook}")
depth=${2:-10000}
work=$(mktemp -d "${TMPDIR:-/tmp}/varnook-window-deep-XXXXXX")
socket="varnook-bench-$$"
tm() { tmux -L "$socket" -f /dev/null "$@"; }
cleanup() {
    local pane
    pane=$(tm list-panes -a -F '#{pane_pid}' 2>/dev/null || true)
    [[ -n $pane ]] && kill -KILL $pane 2>/dev/null
    [[ -s $work/pid ]] && kill -KILL "$(cat "$work/pid")" 2>/dev/null
    tm kill-server >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

cc -O2 -o "$work/chain" "$here/chain.c"
(cd "$work" && ./chain deep "$depth" && ./chain cli "$depth")

now() { date +%s.%N; }
since() { echo "$(now) - $1" | bc; }
# Polls the screen until it shows (or, with -v, no longer shows) the text; fails after 10 minutes.
wait_screen() {
    local invert=0 deadline=$((SECONDS + 600))
    [[ $1 == -v ]] && { invert=1; shift; }
    while :; do
        if tm capture-pane -p | grep -q -- "$1"; then ((invert)) || return 0; else ((invert)) && return 0; fi
        ((SECONDS < deadline)) || { echo "timed out waiting for '$1'" >&2; exit 1; }
        sleep 0.05
    done
}

start=$(now)
tm new-session -d -x 120 -y 40 \
    "sh -c 'echo \$\$ > $work/pid; exec /usr/bin/time -f %M -o $work/peak $varnook $work/deep'"
wait_screen "Right-click a file"
open=$(since "$start")
tm send-keys Down m
wait_screen "Enter or Space chooses"
start=$(now)
tm send-keys Enter
wait_screen "Note: published"
choice=$(since "$start")
start=$(now)
tm send-keys u
wait_screen "Note: undid\|cannot be undone\|nothing to undo"
undo=$(since "$start")
note=$(tm capture-pane -p | grep -o "Note: [^│]*" | tail -1)
tm send-keys q
while [[ ! -s $work/peak ]] && ((SECONDS < 600)); do sleep 0.1; done

start=$(now)
/usr/bin/time -f %M -o "$work/cli-peak" "$varnook" toggle "$work/cli" d >/dev/null
cli=$(since "$start")

printf 'depth %s: open %.2f s, choice %.2f s, undo %.2f s (%s), peak %d MB; varnook toggle %.2f s, %d MB\n' \
    "$depth" "$open" "$choice" "$undo" "$note" $(($(tail -1 "$work/peak") / 1024)) "$cli" \
    $(($(tail -1 "$work/cli-peak") / 1024))
