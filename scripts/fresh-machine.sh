#!/usr/bin/env bash
# Tries the README's two commands and the Debian package as a new user would, on bare Debian bookworm
# machines (debootstrap --variant=minbase chroots with only git added), from a clean clone of this
# repository's HEAD. Not part of CI: it takes about 25 minutes. Run as root.
#   scripts/fresh-machine.sh [--skip-tests] [WORKDIR]
#     1. bash scripts/run.sh on a bare machine: its set-up time, and the window it opens (in tmux)
#     2. CI=true bash .ci/run on the same machine (the test command), then bash scripts/run.sh again
#     3. on a second bare machine: apt install ./varnook_*.deb, then varnook --version, tree, the window
#        on the installed sample web, man -w varnook, the completion, and apt remove leaving nothing
# --skip-tests leaves out step 2 and builds the package of step 3 here, with scripts/package.sh deb.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
skip_tests=0
if [ "${1:-}" = --skip-tests ]; then
    skip_tests=1
    shift
fi
work=${1:-$repo/build/fresh-machine}
mirror=${VARNOOK_MIRROR:-http://deb.debian.org/debian}
[ "$(id -u)" -eq 0 ] || { echo "fresh-machine: run it as root (debootstrap, chroot, mount)" >&2; exit 2; }
for tool in debootstrap tmux; do
    command -v "$tool" >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$tool"
done

mkdir -p "$work"
work=$(cd "$work" && pwd)
socket=varnook-fresh-$$
mounted=()
cleanup() {
    tmux -L "$socket" kill-server 2>/dev/null || true
    # Whatever still runs inside a machine (a wineserver, Xvfb) ends with it.
    for machine in "$work/program" "$work/package"; do
        for proc in /proc/[0-9]*; do
            [ "$(readlink "$proc/root" 2>/dev/null)" = "$machine" ] && kill -9 "${proc#/proc/}" 2>/dev/null
        done
    done
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

say() { printf '\n== %s\n' "$*"; }
now() { date +%s; }

# A bare machine in $1: minbase, the mirror apt uses, name resolution, git, and the file systems that
# programs expect to find.
new_machine() {
    local root=$1
    rm -rf "$root"
    if [ ! -d "$work/base" ]; then
        debootstrap --variant=minbase bookworm "$work/base.tmp" "$mirror" >"$work/debootstrap.log"
        mv "$work/base.tmp" "$work/base"
    fi
    cp -a "$work/base" "$root"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    for fs in proc sys dev dev/pts; do
        mount --bind "/$fs" "$root/$fs"
        mounted+=("$root/$fs")
    done
    chroot "$root" sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq git' \
        >"$root.git.log" 2>&1
}

# Runs a command line in machine $1 in a 110x32 terminal; waits until the screen shows $3 (up to $4
# seconds) and leaves it running. Prints the seconds it took.
start_in_terminal() {
    local root=$1 command=$2 wanted=$3 limit=$4 start
    start=$(now)
    tmux -L "$socket" kill-server 2>/dev/null || true
    tmux -L "$socket" new-session -d -x 110 -y 32 \
        "chroot '$root' /usr/bin/env -i HOME=/root TERM=xterm-256color LANG=C.UTF-8 \
         PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin bash -c '$command; echo EXIT=\$?; sleep 600'"
    while ! tmux -L "$socket" capture-pane -p | grep -qF "$wanted"; do
        if [ $(($(now) - start)) -gt "$limit" ]; then
            tmux -L "$socket" capture-pane -p | tail -20
            echo "fresh-machine: '$wanted' did not show within $limit s" >&2
            return 1
        fi
        sleep 2
    done
    echo $(($(now) - start))
}

# Quits the program in the terminal with q and checks that it ended well.
quit_terminal() {
    tmux -L "$socket" send-keys q
    for _ in $(seq 30); do
        tmux -L "$socket" capture-pane -p | grep -q '^EXIT=' && break
        sleep 1
    done
    tmux -L "$socket" capture-pane -p | grep -q '^EXIT=0' || {
        tmux -L "$socket" capture-pane -p | tail -5
        echo "fresh-machine: the program did not end with status 0 after q" >&2
        return 1
    }
    tmux -L "$socket" kill-server
}

window_text="Right-click a file to specify"

say "1. bash scripts/run.sh on a bare machine"
program=$work/program
new_machine "$program"
git clone -q "$repo" "$program/root/varnook"
seconds=$(start_in_terminal "$program" "cd /root/varnook && bash scripts/run.sh" "$window_text" 1800)
echo "the window showed after $seconds s (set-up, build and start)"
quit_terminal

if [ "$skip_tests" -eq 0 ]; then
    say "2. CI=true bash .ci/run on the same machine"
    start=$(now)
    if ! chroot "$program" /usr/bin/env -i HOME=/root CI=true LANG=C.UTF-8 \
        PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin \
        bash -c 'cd /root/varnook && bash .ci/run' >"$work/ci.log" 2>&1; then
        tail -40 "$work/ci.log"
        echo "fresh-machine: .ci/run failed after $(($(now) - start)) s; the whole log is $work/ci.log" >&2
        exit 1
    fi
    echo ".ci/run passed in $(($(now) - start)) s (log: $work/ci.log)"
    seconds=$(start_in_terminal "$program" "cd /root/varnook && bash scripts/run.sh" "$window_text" 600)
    echo "bash scripts/run.sh after it: the window showed after $seconds s"
    quit_terminal
    dist=$program/root/varnook/dist
else
    bash "$repo/scripts/package.sh" deb >"$work/package.log" 2>&1 || { tail -20 "$work/package.log"; exit 1; }
    dist=$repo/dist
fi

say "3. the Debian package on a second bare machine"
package=$work/package
new_machine "$package"
deb=$(cd "$dist" && echo varnook_*_amd64.deb)
cp "$dist/$deb" "$package/root/"
in_package() {
    chroot "$package" /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
        PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin bash -c "$1"
}
start=$(now)
in_package "cd /root && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./$deb" >"$work/install.log" 2>&1 ||
    { tail -20 "$work/install.log"; exit 1; }
echo "apt install ./$deb: $(($(now) - start)) s"
in_package 'dpkg-query -L varnook' >"$work/package-files"
in_package 'varnook --version'
in_package 'varnook tree /usr/share/varnook/sample-web | head -3'
start_in_terminal "$package" "varnook" "$window_text" 60 >/dev/null
quit_terminal
in_package 'test -f /root/.local/share/varnook/sample-web/index.htm' &&
    echo "varnook with no web opened a copy of the installed sample web"
# man and bash-completion are what a user who reads manuals and completes commands has.
in_package 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq man-db bash-completion' >>"$work/install.log" 2>&1
in_package 'man -w varnook'
# shellcheck disable=SC2016 # expanded by the machine's shell
completions=$(in_package '. /usr/share/bash-completion/bash_completion
    _completion_loader varnook
    complete -p varnook
    COMP_WORDS=(varnook ma); COMP_CWORD=1; _varnook; echo "command: ${COMPREPLY[*]}"
    COMP_WORDS=(varnook mark /usr/share/varnook/sample-web ima); COMP_CWORD=3; _varnook
    echo "item: ${COMPREPLY[*]}"')
echo "$completions"
if ! grep -q '^command: mark$' <<<"$completions" || ! grep -q '^item: images/$' <<<"$completions"; then
    echo "fresh-machine: the completion did not complete 'ma' and 'ima'" >&2
    exit 1
fi

in_package 'DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq varnook' >>"$work/install.log" 2>&1
left=0
while read -r path; do
    # Folders that other packages share (/usr/share/man/man1, ...) stay; nothing of the package's own does.
    { [ "$path" = /. ] || [ ! -e "$package$path" ]; } && continue
    [ -d "$package$path" ] && in_package "dpkg-query -S '$path'" >/dev/null 2>&1 && continue
    echo "left behind: $path"
    left=1
done <"$work/package-files"
[ "$left" -eq 0 ] || { echo "fresh-machine: apt remove left files of the package" >&2; exit 1; }
echo "apt remove varnook left no file of the package"
say "all passed"
