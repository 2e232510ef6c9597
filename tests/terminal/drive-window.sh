#!/usr/bin/env bash
# Drives the varnook terminal window in a tmux pane as a person does: keys, mouse clicks, a look at the
# screen and at the web's metadata files after each step.
#
#   drive-window.sh VARNOOK SOURCE_DIR SCENARIO
#
# Exit status: 0 when every check held, 1 at the first that did not, 77 (skipped) without tmux.
set -u

varnook=$1
source_dir=$2
scenario=$3

command -v tmux >/dev/null || { echo "tmux is not installed"; exit 77; }
export LC_ALL=C.UTF-8 # the screen holds UTF-8, and ${#text} must count characters

work=$(mktemp -d "${TMPDIR:-/tmp}/varnook-window-XXXXXX")
socket="varnook-test-$$"
tm() { tmux -L "$socket" -f /dev/null "$@"; }
# Ends the tmux server and whatever still runs in its pane: the launcher ignores the hangup that the
# server's end sends, and varnook must not outlive a test either.
stop_server() {
    local launchers
    launchers=$(tm list-panes -a -F '#{pane_pid}' 2>/dev/null)
    [[ -n $launchers ]] && kill -KILL $launchers 2>/dev/null
    [[ -s $work/pid ]] && kill -TERM "$(cat "$work/pid")" 2>/dev/null
    tm kill-server >/dev/null 2>&1
    return 0
}
cleanup() {
    stop_server
    chmod -R u+rwx "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

screen() { tm capture-pane -p -t vt 2>/dev/null; }
fail() {
    echo "FAIL ($scenario): $*"
    echo "---- screen ----"
    screen
    echo "---- stderr of varnook ----"
    cat "$work/stderr" 2>/dev/null
    exit 1 # later checks would only fail for the same reason
}

# The web the tests mark: a folder with two files, three files in the root (one already marked and one
# whose metadata holds another property that must survive).
make_web() {
    local w=$1
    mkdir -p "$w/docs/_vti_cnf" "$w/_vti_cnf"
    printf 'a' >"$w/docs/a.txt"
    printf '<html>' >"$w/docs/b.htm"
    printf '<html>' >"$w/index.htm"
    printf '<html>' >"$w/old.htm"
    printf 'zeta' >"$w/zeta.txt"
    printf 'vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n' >"$w/_vti_cnf/old.htm"
    printf 'vti_encoding:SR|utf8-nl\r\nvti_author:SR|pat\r\n' >"$w/_vti_cnf/zeta.txt"
}
web="$work/web"
make_web "$web"

# varnook runs under a launcher that records its exit status and then keeps the pane open, so the
# terminal's modes after it ended can be read. The launcher survives Ctrl+C; varnook gets the default
# signal dispositions.
cat >"$work/launch.sh" <<'EOF'
work=$1; shift
trap : INT TERM HUP
ulimit -c 0 # the signals that dump core must not leave cores behind
sh -c 'echo $$ > "$1/pid"; w=$1; shift; exec "$@" 2>"$w/stderr"' sh "$work" \
    env TERM=xterm-256color LC_ALL=C.UTF-8 HOME="$work/home" XDG_DATA_HOME="$work/xdg" "$@"
echo $? > "$work/status"
exec sleep 300 # then the pane, its session and the tmux server end, even if nobody cleans up
EOF

# Runs a command line under the launcher in a fresh tmux server; start runs varnook with the arguments.
start_command() {
    stop_server
    rm -f "$work/status" "$work/pid" "$work/stderr"
    local cmd="sh '$work/launch.sh' '$work'"
    local a
    for a in "$@"; do cmd+=" '$a'"; done
    tm new-session -d -s vt -x 110 -y 35 "$cmd"
}
start() { start_command "$varnook" "$@"; }

keys() { tm send-keys -t vt "$@"; }
type_text() { tm send-keys -t vt -l "$1"; }

# Polls the screen, so no step depends on a fixed delay.
wait_for() {
    local i shown
    for ((i = 0; i < 100; i++)); do
        shown=$(screen)
        [[ $shown == *"$1"* ]] && return 0
        sleep 0.05
    done
    return 1
}
wait_gone() {
    local i shown
    for ((i = 0; i < 100; i++)); do
        shown=$(screen)
        [[ $shown != *"$1"* ]] && return 0
        sleep 0.05
    done
    return 1
}
expect() { wait_for "$1" || fail "the screen never showed '$1'${2:+ ($2)}"; }
expect_gone() { wait_gone "$1" || fail "'$1' stayed on the screen${2:+ ($2)}"; }

# The status line's right end names the selected node: a way to wait until a key has been handled.
expect_selected() { expect "$1: $2" "the selected node"; }

# Waits for varnook to end; prints its exit status (128+N after signal N).
ended() {
    local i
    for ((i = 0; i < 200; i++)); do
        [[ -s $work/status ]] && { cat "$work/status"; return 0; }
        sleep 0.05
    done
    echo "still running"
}
# The terminal as a shell expects it back: main screen, no mouse reports, cursor shown, keypad reset.
expect_restored() {
    local modes
    modes=$(tm display -p -t vt 'alternate=#{alternate_on} mouse=#{mouse_any_flag} cursor=#{cursor_flag} keypad=#{keypad_flag}')
    [[ $modes == "alternate=0 mouse=0 cursor=1 keypad=0" ]] || fail "terminal not restored: $modes"
}

# The pane's terminal is back in the modes a shell expects: line editing, echo, CR to NL on input and
# NL to CRLF on output.
expect_sane_modes() {
    local modes tty
    tty=$(tm display -p -t vt '#{pane_tty}')
    modes=" $(stty -a -F "$tty" | tr -s ' ;\n' '   ') "
    local m
    for m in icanon echo icrnl onlcr; do
        [[ $modes == *" $m "* ]] || fail "$1: the terminal was left with -$m: $modes"
    done
}

# The row and column (1-based) where a text first shows on the screen.
position() {
    local row=0 line prefix
    while IFS= read -r line; do
        row=$((row + 1))
        if [[ $line == *"$1"* ]]; then
            prefix=${line%%"$1"*}
            echo "$row $((${#prefix} + 1))"
            return 0
        fi
    done < <(screen)
    return 1
}
# A mouse button pressed and released at a cell, as xterm reports it (SGR): 0 left, 2 right.
click_at() {
    keys -l $'\e'"[<$1;$3;$2M"
    keys -l $'\e'"[<$1;$3;$2m"
}
click_on() {
    local pos
    pos=$(position "$2") || { fail "nothing to click: '$2' is not on the screen"; return 1; }
    set -- "$1" $pos "${3:-0}"
    click_at "$1" "$2" $(($3 + $4))
}

has_mark() { grep -q 'vti_donotpublish:BW|true' "$1" 2>/dev/null; }
expect_marked() { has_mark "$1" || fail "$1 lacks the Don't Publish mark"; }
expect_unmarked() { has_mark "$1" && fail "$1 still holds the Don't Publish mark"; }

# The window is up with its tree's root, the web, selected.
window_up() { expect "Varnook 3.0" "the publishing window"; expect "/${1:-web}: web" "the web selected"; }

case $scenario in
window)
    start "$web"
    window_up
    expect "Right-click a file to specify whether or not to publish that file."
    expect "Right-click a folder to specify whether or not to publish all files in that folder."
    expect "[ Close ]"
    expect "▾ ◆  $web"
    expect "▸ ■  docs"
    expect "⌂  index.htm"
    expect "≡✗ old.htm" "a file marked on disk shows the badge"
    expect "¶  zeta.txt"
    title=$(screen | grep -F "Varnook 3.0")
    [[ $title == *┌*"─ Varnook 3.0 ─"*┐ ]] || fail "the caption is not in the window's title: $title"
    left=${title%%┌*}
    right=$(($(tm display -p -t vt '#{pane_width}') - ${#title}))
    ((${#left} >= 4 && ${#left} - right <= 1 && right - ${#left} <= 1)) ||
        fail "the window is not centred: ${#left} columns left of it, $right right"
    # With the focus on Close, Down must not move the tree: two Downs, one after Tab back, reach docs.
    keys Tab Down Tab Down
    expect_selected docs folder
    keys Tab Enter
    expect_gone "Varnook 3.0" "Enter on Close"
    expect "Web: $web"
    ;;
tools-menu)
    start "$web"
    window_up
    keys F10
    expect "│ Talvo Add-ins ▸ │"
    keys Enter
    expect "│ Varnook 3.0... │"
    keys Escape
    expect_gone "Varnook 3.0..."
    expect "Talvo Add-ins" "Esc closes one level"
    keys Escape
    expect_gone "Talvo Add-ins"
    keys M-t
    expect "Talvo Add-ins" "Alt+T"
    keys Escape
    expect_gone "Talvo Add-ins"
    keys M-f
    expect "│ Open Web... │"
    expect "│ Close Web   │"
    expect "│ Exit        │"
    keys Right
    expect "Talvo Add-ins" "Right moves to the next menu"
    expect_gone "Open Web..."
    keys Escape
    ;;
mark-file)
    start "$web"
    window_up
    keys End
    expect_selected zeta.txt text
    keys m
    expect "│   Don't Publish │"
    keys Escape
    expect_gone "Don't Publish │" "Esc dismisses the menu"
    expect_unmarked "$web/_vti_cnf/zeta.txt"
    keys m
    expect "│   Don't Publish │"
    keys Enter
    expect "¶✗ zeta.txt"
    expect_marked "$web/_vti_cnf/zeta.txt"
    grep -q 'vti_author:SR|pat' "$web/_vti_cnf/zeta.txt" || fail "marking lost another property of zeta.txt"
    keys m
    expect "│ ✓ Don't Publish │" "the check shows the file is marked"
    keys Enter
    expect "¶  zeta.txt"
    expect_unmarked "$web/_vti_cnf/zeta.txt"
    grep -q 'vti_author:SR|pat' "$web/_vti_cnf/zeta.txt" || fail "publishing lost another property of zeta.txt"
    keys Up
    expect_selected old.htm "page, Don't Publish"
    keys S-F10
    expect "│ ✓ Don't Publish │" "Shift+F10 and a file marked on disk"
    keys Space
    expect "≡  old.htm"
    expect_unmarked "$web/_vti_cnf/old.htm"
    ;;
mark-folder)
    start "$web"
    window_up
    keys Down
    expect_selected docs folder
    keys m
    expect "│   Don't Publish │"
    keys Enter
    expect "□✗ docs" "the selected folder shows its open image, marked"
    expect_marked "$web/docs/_vti_cnf/.fp_folder_info"
    expect_marked "$web/docs/_vti_cnf/a.txt"
    expect_marked "$web/docs/_vti_cnf/b.htm"
    expect_unmarked "$web/_vti_cnf/zeta.txt"
    keys Right
    expect "¶✗ a.txt"
    expect "≡✗ b.htm"
    keys m
    expect "│ ✓ Don't Publish │"
    keys Enter
    expect "□  docs"
    expect "¶  a.txt"
    expect_unmarked "$web/docs/_vti_cnf/.fp_folder_info"
    expect_unmarked "$web/docs/_vti_cnf/a.txt"
    expect_unmarked "$web/docs/_vti_cnf/b.htm"
    ;;
reopen)
    start "$web"
    window_up
    keys End m
    expect "│   Don't Publish │"
    keys Enter
    expect "¶✗ zeta.txt"
    keys Home Down Right
    expect "¶  a.txt" "docs expanded"
    keys Escape
    expect_gone "Varnook 3.0" "Esc closes the window"
    expect "Web: $web"
    keys F10 Enter Enter
    window_up
    expect_gone "¶  a.txt" "a fresh tree starts folded"
    expect "¶✗ zeta.txt" "the fresh tree reads the mark back from disk"
    ;;
no-web)
    start "$web"
    window_up
    keys M-f
    expect "Close Web"
    keys c
    expect "No web open — use File > Open Web..."
    expect_gone "Varnook 3.0" "closing the web closes its window"
    keys F10 Enter Enter
    expect "You must open a Web before using Varnook."
    expect "─ Varnook ─" "the message box's title"
    expect "[ OK ]"
    keys Enter
    expect_gone "You must open a Web"
    expect "No web open"
    ;;
open-web)
    make_web "$work/other"
    start "$web"
    window_up
    keys M-f
    expect "Open Web..."
    keys o
    expect "Folder of the web:"
    keys Escape
    expect_gone "Folder of the web:" "Esc cancels"
    expect "/web: web"
    keys M-f
    expect "Open Web..."
    keys o
    expect "Folder of the web:"
    keys C-u
    type_text "$work/nothing-here"
    keys Enter
    expect "Error: cannot open the web"
    expect "▾ ◆  $web" "the open web and its window stay"
    keys M-f
    expect "Open Web..."
    keys o
    expect "Folder of the web:"
    keys C-u
    type_text "$work/othe"
    keys BSpace
    type_text "er"
    keys Enter
    expect "Web: $work/other"
    keys F10 Enter Enter
    expect "▾ ◆  $work/other"
    ;;
sample-web)
    sums() { (cd "$source_dir/examples/sample-web" && find . -type f -exec sha256sum {} + | sort); }
    before=$(sums)
    copy="$work/xdg/varnook/sample-web"
    start
    expect "▾ ◆  $copy"
    diff -r "$source_dir/examples/sample-web" "$copy" >/dev/null || fail "the copy differs from the sample web"
    keys Down Down
    expect_selected images folder
    keys m
    expect "Don't Publish │"
    keys Enter
    expect "□✗ images"
    expect_marked "$copy/images/_vti_cnf/.fp_folder_info"
    keys Escape
    expect_gone "Varnook 3.0"
    sleep 0.1
    keys q
    [[ $(ended) == 0 ]] || fail "q did not end varnook with status 0"
    [[ $(sums) == "$before" ]] || fail "the repository's sample web changed"
    [[ $(ls -A "$work/xdg/varnook") == sample-web ]] || fail "left behind: $(ls -A "$work/xdg/varnook")"
    start
    expect "■✗ images" "the second run opens the same copy"
    ;;
quit)
    start "$web"
    window_up
    keys q
    sleep 0.2
    keys Down
    expect_selected docs folder # q is no command inside the window
    keys Escape
    expect_gone "Varnook 3.0"
    sleep 0.1
    keys q
    status=$(ended)
    [[ $status == 0 ]] || fail "q: exit status $status"
    expect_restored
    [[ ! -s $work/stderr ]] || fail "q printed on stderr: $(cat "$work/stderr")"
    start "$web"
    window_up
    keys M-f
    expect "Exit"
    keys x
    status=$(ended)
    [[ $status == 0 ]] || fail "File > Exit: exit status $status"
    expect_restored
    ;;
signals)
    start "$web"
    window_up
    keys C-c
    status=$(ended)
    [[ $status == 130 ]] || fail "Ctrl+C: status $status, not death by SIGINT"
    expect_restored
    for sig in TERM HUP; do
        start "$web"
        keys F10 # a menu is open: its loop must end too
        expect "Talvo Add-ins"
        kill -s "$sig" "$(cat "$work/pid")"
        status=$(ended)
        expected=$((128 + $(kill -l "$sig")))
        [[ $status == "$expected" ]] || fail "SIG$sig: status $status, not $expected"
        expect_restored
    done
    # A terminal that goes away without a hangup signal reaching varnook (it runs in a session of its
    # own here): every read fails from then on, and varnook must end rather than spin.
    # setsid keeps the launcher's process: the recorded pid is varnook's.
    start_command setsid "$varnook" "$web"
    window_up
    pid=$(cat "$work/pid")
    tm kill-server
    # Ended means gone or a zombie nobody has reaped yet.
    running() { [[ $(ps -o stat= -p "$1" 2>/dev/null) == [^Z]* ]]; }
    for ((i = 0; i < 100; i++)); do
        running "$pid" || break
        sleep 0.05
    done
    if running "$pid"; then
        kill -KILL "$pid"
        fail "varnook still runs after its terminal went away"
    fi
    ;;
mouse)
    start "$web"
    window_up
    click_on 2 "zeta.txt"
    expect "│   Don't Publish │" "the right button's release pops up the menu"
    expect_selected zeta.txt text
    click_on 0 "Don't Publish │"
    expect "¶✗ zeta.txt"
    expect_marked "$web/_vti_cnf/zeta.txt"
    click_on 2 "docs"
    expect "Don't Publish │"
    click_at 0 34 3 # below the window, outside the menu
    expect_gone "Don't Publish │" "a click elsewhere dismisses the menu"
    expect_selected docs folder
    expect_unmarked "$web/docs/_vti_cnf/.fp_folder_info"
    click_on 0 "▸ □  docs"
    expect "¶  a.txt" "a click on the expander"
    click_on 0 "index.htm"
    expect_selected index.htm "home page"
    click_on 0 "[ Close ]" 2
    expect_gone "Varnook 3.0"
    click_on 0 "Tools" 1
    expect "Talvo Add-ins"
    click_on 0 "Talvo Add-ins" 2
    expect "Varnook 3.0..."
    click_on 0 "Varnook 3.0..." 2
    window_up
    ;;
resize)
    start "$web"
    window_up
    tm resize-window -t vt -x 60 -y 20
    expect_gone "Right-click a file to specify whether or not to publish that file." "the label wraps"
    expect "Right-click a file"
    expect "that file."
    expect "Varnook 3.0"
    expect "[ Close ]"
    while IFS= read -r line; do
        ((${#line} <= 60)) || fail "a line wider than the terminal: $line"
    done < <(screen)
    tm resize-window -t vt -x 14 -y 4
    expect "File" "a terminal too small for the window still shows the menu bar"
    keys Down m # keys on a window that cannot be drawn
    sleep 0.3
    keys Escape
    [[ ! -s $work/status ]] || fail "varnook ended in a tiny terminal with status $(cat "$work/status")"
    tm resize-window -t vt -x 110 -y 35
    expect "Right-click a file to specify whether or not to publish that file."
    ;;
fatal-signals)
    # Every signal that ends the program puts the terminal back first, and still ends it by that signal.
    for sig in QUIT USR1 USR2 ALRM PIPE SEGV ABRT BUS FPE ILL; do
        start "$web"
        window_up
        kill -s "$sig" "$(cat "$work/pid")"
        status=$(ended)
        expected=$((128 + $(kill -l "$sig")))
        [[ $status == "$expected" ]] || fail "SIG$sig: status $status, not $expected"
        expect_restored
        expect_sane_modes "SIG$sig"
    done
    ;;
write-failure)
    # b.htm's metadata file is a folder: no one, not even root, can replace it with the mark.
    mkdir -p "$web/docs/_vti_cnf/b.htm"
    start "$web"
    window_up
    keys Down
    expect_selected docs folder
    keys m
    expect "│   Don't Publish │"
    keys Enter
    # Too long for the status line: shown whole in a box, then kept on the status line.
    expect "─ Varnook ─" "the message box"
    expect "could not write the mark of 1 of 3"
    keys Enter
    expect_gone "─ Varnook ─"
    expect "Error: could not write the mark of 1 of 3 items: $web/docs/b.htm"
    expect_marked "$web/docs/_vti_cnf/a.txt"
    expect_marked "$web/docs/_vti_cnf/.fp_folder_info"
    # The next fill shows the truth: the refused file is not marked.
    keys Escape
    expect_gone "Varnook 3.0"
    keys F10 Enter Enter
    window_up
    keys Down Right
    expect "¶✗ a.txt"
    expect "≡  b.htm"
    keys q
    ;;
failure)
    start "$web"
    window_up
    keys Escape
    expect_gone "Varnook 3.0"
    rm -rf "$web"
    keys F10 Enter Enter
    expect "Error: cannot list the folder $web" "a failing click ends on the status line"
    expect_gone "Varnook 3.0" "a window whose load failed is not shown"
    sleep 0.1
    keys q
    status=$(ended)
    [[ $status == 0 ]] || fail "after the failure, q: exit status $status"
    ;;
startup)
    "$varnook" </dev/null >"$work/out" 2>"$work/err"
    status=$?
    [[ $status == 2 ]] || fail "no terminal: exit status $status"
    grep -qxF "varnook: the terminal window needs a terminal; use 'varnook tree WEB' for scripts" "$work/err" ||
        fail "no terminal: $(cat "$work/err")"
    [[ ! -s $work/out ]] || fail "no terminal: wrote on stdout"
    start "$work/nothing-here"
    status=$(ended)
    [[ $status == 1 ]] || fail "a web that cannot be opened: exit status $status"
    grep -q "^varnook: cannot open the web" "$work/stderr" || fail "a web that cannot be opened: $(cat "$work/stderr")"
    expect_restored
    ;;
*)
    echo "no scenario '$scenario'"
    exit 2
    ;;
esac

echo "$scenario: every check held"
