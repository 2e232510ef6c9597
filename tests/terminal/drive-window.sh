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

# Polls the screen, so no step depends on a fixed delay; a scenario with slow steps raises patience.
patience=1
wait_for() {
    local i shown
    for ((i = 0; i < 100 * patience; i++)); do
        shown=$(screen)
        [[ $shown == *"$1"* ]] && return 0
        sleep 0.05
    done
    return 1
}
wait_gone() {
    local i shown
    for ((i = 0; i < 100 * patience; i++)); do
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
    expect "▾ ◆~ $web" "the web holds an item left out: the partly sign"
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
    expect "│   Don't Publish "
    keys Escape
    expect_gone "│   Don't Publish " "Esc dismisses the menu"
    expect_unmarked "$web/_vti_cnf/zeta.txt"
    keys m
    expect "│   Don't Publish "
    keys Enter
    expect "¶✗ zeta.txt"
    expect_marked "$web/_vti_cnf/zeta.txt"
    grep -q 'vti_author:SR|pat' "$web/_vti_cnf/zeta.txt" || fail "marking lost another property of zeta.txt"
    keys m
    expect "│ ✓ Don't Publish " "the check shows the file is marked"
    keys Enter
    expect "¶  zeta.txt"
    expect_unmarked "$web/_vti_cnf/zeta.txt"
    grep -q 'vti_author:SR|pat' "$web/_vti_cnf/zeta.txt" || fail "publishing lost another property of zeta.txt"
    keys Up
    expect_selected old.htm "page, Don't Publish"
    keys S-F10
    expect "│ ✓ Don't Publish " "Shift+F10 and a file marked on disk"
    keys Space
    expect "≡  old.htm"
    expect_unmarked "$web/_vti_cnf/old.htm"
    # Every file of one kind at once, after a question that says how many; one undo takes it back.
    keys End m
    expect "│   Don't Publish all *.txt files │"
    keys Down Enter
    expect "2 *.txt files show published. Leave them all out of the web?"
    keys Enter
    expect "Note: marked 2 *.txt files"
    expect "¶✗ zeta.txt"
    expect_marked "$web/docs/_vti_cnf/a.txt"
    keys u
    expect "Note: undid: marked all *.txt files (2 items)"
    expect "¶  zeta.txt"
    expect_unmarked "$web/docs/_vti_cnf/a.txt"
    ;;
mark-folder)
    start "$web"
    window_up
    keys Down
    expect_selected docs folder
    keys m
    expect "│   Don't Publish "
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
    expect "│ ✓ Don't Publish "
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
    expect "│   Don't Publish "
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
    # Another program marks an item: the next choice is not applied but said, the selection stays, and
    # the same choice made again is.
    keys Home Down Right Down
    expect_selected a.txt text
    "$varnook" mark -q "$web" index.htm
    keys m Enter
    expect "Note: The web was changed by another program, so this choice was not applied"
    expect "⌂✗ index.htm" "the window shows the other program's mark"
    [[ ! -e $web/docs/_vti_cnf/a.txt ]] || fail "the choice made on a stale window was applied"
    keys Down Up
    expect_selected a.txt text
    keys m Enter
    expect "¶✗ a.txt"
    expect_marked "$web/docs/_vti_cnf/a.txt"
    # The web itself: the choice changes nothing, and says so.
    keys Home m Enter
    expect "Note: the web itself cannot be left out"
    ;;
no-web)
    start "$web"
    window_up
    keys End
    expect_selected zeta.txt text
    keys M-f
    expect "Close Web"
    keys c
    expect "Note: closed the web; the window stays"
    expect "Varnook 3.0" "closing the web leaves the window open"
    expect "¶  zeta.txt"
    keys m
    expect "│   Don't Publish " "the menu still pops up"
    keys Enter
    expect "Error: the web of this window is closed: nothing was changed"
    expect "¶  zeta.txt" "a failed choice leaves the node as it was"
    expect_unmarked "$web/_vti_cnf/zeta.txt"
    grep -q 'vti_author:SR|pat' "$web/_vti_cnf/zeta.txt" || fail "a failed choice touched zeta.txt"
    keys Up
    expect "old.htm: page, Don't Publish — the web is closed" "the why line says so"
    keys Escape
    expect "No web open — use File > Open Web..."
    expect_gone "Varnook 3.0"
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
    expect "▾ ◆~ $web" "the open web and its window stay"
    keys M-f
    expect "Open Web..."
    keys o
    expect "Folder of the web:"
    keys C-u
    type_text "$work/oth"
    keys Tab
    expect "$work/other/" "Tab completes the folder's name"
    keys BSpace
    keys Enter
    expect "▾ ◆~ $work/other" "Open Web shows the window on the web just opened"
    expect "Varnook 3.0"
    expect "Note: Opened the web $work/other"
    keys Escape
    expect "Web: $work/other"
    mkdir -p "$work/pick-one" "$work/pick-two"
    keys M-f
    expect "Open Web..."
    keys o
    expect "Folder of the web:"
    keys C-u
    type_text "$work/pi"
    keys Tab
    expect "$work/pick-" "Tab completes as far as the folders agree"
    expect "pick-one/  pick-two/" "and lists the folders that fit"
    type_text "t"
    keys Tab Enter
    # A folder that is no web is made one only when the user says so.
    expect "pick-two/' is not a web (no"
    expect "Make it one?"
    keys Escape
    expect "Note: did not open $work/pick-two/: it is not a web"
    expect "Web: $work/other"
    [[ ! -e $work/pick-two/_vti_pvt ]] || fail "declining made the folder a web"
    keys M-f
    expect "Open Web..."
    keys o C-u
    type_text "$work/pick-two"
    keys Enter
    expect "[ Make it a web ]  [ Cancel ]"
    keys Enter
    expect "◆  $work/pick-two"
    ;;
sample-web)
    sums() { (cd "$source_dir/examples/sample-web" && find . -type f -exec sha256sum {} + | sort); }
    before=$(sums)
    copy="$work/xdg/varnook/sample-web"
    start
    expect "▾ ◆~ $copy"
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
    keys F10
    expect "Talvo Add-ins"
    keys q
    sleep 0.2
    [[ ! -s $work/status ]] || fail "q in an open menu ended varnook"
    keys Escape
    expect_gone "Talvo Add-ins"
    keys /
    expect "Find a name"
    keys q
    expect "│ q    " "q in a prompt is a letter"
    keys Escape
    expect_gone "Find a name"
    [[ ! -s $work/status ]] || fail "q in a prompt ended varnook"
    keys Down
    expect_selected docs folder
    keys q
    status=$(ended)
    [[ $status == 0 ]] || fail "q in the window: exit status $status"
    expect_restored
    [[ ! -s $work/stderr ]] || fail "q printed on stderr: $(cat "$work/stderr")"
    start "$web"
    window_up
    keys Escape
    expect_gone "Varnook 3.0"
    sleep 0.1
    keys q
    status=$(ended)
    [[ $status == 0 ]] || fail "q: exit status $status"
    expect_restored
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
    expect "│   Don't Publish " "the right button's release pops up the menu"
    expect_selected zeta.txt text
    click_on 0 "│   Don't Publish " 4
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
    # A note too long for the line says where the rest is, and F2 shows it whole.
    type_text "x"
    expect "[F2 reads all]"
    keys F2
    expect "you type it, F1 lists the keys" "the whole note in a box"
    keys Enter
    expect "[F2 reads all]" "the note stays after it was read"
    # Narrower, the key line keeps the keys most needed.
    tm resize-window -t vt -x 80 -y 24
    expect "F1 help  m Don't Publish  / find  u undo  Esc close window  F10 Tools  q quit"
    tm resize-window -t vt -x 30 -y 8
    expect "Too small for the window." "the message fits the terminal"
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
    # Its mark cannot be read either, and the window says so instead of showing it published silently.
    expect "Varnook 3.0" "the publishing window"
    expect "Note: the mark of 1 item cannot be read, so it shows published: docs/b.htm"
    keys Down
    expect_selected docs folder
    keys m
    expect "│   Don't Publish "
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
    expect "Note: the mark of 1 item cannot be read" "the next fill says so again"
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
help)
    start "$web"
    window_up
    expect "F1 help  ↑↓ move" "the bottom line offers the tree's keys"
    keys F1
    expect "─ Help ─"
    expect "u  Ctrl+Z           undo the last choice"
    expect "/  n  N             find a name; the next; the previous"
    expect "q                   quit; in the help: close the help"
    expect "right-click         select the row and open its menu"
    expect "◐  GIF image"
    expect "any other key closes the help" "the bottom line follows the help"
    expect "more ─" "the frame says that more lies below"
    keys End
    expect "¿  unknown type"
    expect "✗  (red) Don't Publish: left out when the web is published"
    expect "~  (yellow) published, but holds items left out"
    expect " above ─"
    expect_gone "more ─" "nothing lies below the last page"
    keys Escape
    expect_gone "─ Help ─"
    expect "Varnook 3.0" "Esc closes the help, not the window"
    keys ?
    expect "─ Help ─" "? opens it too"
    keys q
    expect_gone "─ Help ─"
    [[ ! -s $work/status ]] || fail "q on the help ended varnook"
    keys F10
    expect "Esc goes back" "the bottom line in a menu"
    keys Escape
    expect_gone "Esc goes back"
    keys m
    expect "Enter or Space chooses  Esc dismisses" "the bottom line of the pop-up menu"
    keys Escape
    keys M-f o
    expect "Tab completes a folder name" "the bottom line of the path prompt"
    keys Escape
    expect "F1 help  ↑↓ move"
    ;;
search)
    mkdir -p "$web/docs/deep"
    printf 'c' >"$web/docs/deep/c.txt"
    start "$web"
    window_up
    keys /
    expect "Find a name"
    type_text "B.H"
    keys Enter
    expect "Note: found docs/b.htm"
    expect "▾ ■  docs" "the search opens the folders on its way"
    # A new search starts empty, so what is typed is the whole of it.
    keys Home /
    expect "Find a name"
    type_text "txt"
    keys Enter
    expect "Note: found docs/a.txt"
    keys n
    expect "Note: found docs/deep/c.txt"
    expect "▾ ■  deep" "a folded folder opened to show the match"
    keys n
    expect "Note: found zeta.txt"
    keys n
    expect "Note: found docs/a.txt (went round to the top)"
    keys N
    expect "Note: found zeta.txt (went round to the bottom)"
    keys Up Down
    expect_selected zeta.txt text
    keys /
    expect "Find a name"
    keys C-u
    type_text "nope"
    keys Enter
    expect 'Note: no name holds "nope"'
    # Ctrl+S, then letters: a jump to the next row that starts with them. Letters that are keys (h, u)
    # are letters there; Esc ends the jump and leaves the window open.
    keys Home
    expect_selected "$web" web
    keys C-s
    expect "Jump to:"
    type_text "ol"
    expect_selected old.htm "page, Don't Publish"
    keys Escape
    expect_gone "Jump to:"
    keys C-s
    type_text "z"
    expect_selected zeta.txt text
    keys Enter C-s
    type_text "i"
    expect_selected index.htm "home page"
    keys Enter
    # Outside a jump a letter that is no key says so and does nothing else.
    type_text "x"
    expect "Note: 'x' is not a key here"
    # j k h l and *
    keys Home j
    expect_selected docs "folder"
    keys h
    expect_gone "¶  a.txt" "h folds the folder"
    keys l
    expect "¶  a.txt" "l expands it"
    keys l
    expect_selected a.txt text
    keys h
    expect_selected docs folder
    keys k
    expect_selected "$web" web
    keys h
    expect_gone "docs" "the web folded"
    keys '*'
    expect "¶  c.txt" "* expands everything beneath"
    ;;
partly)
    start "$web"
    window_up
    expect "/web: web, partly — 1 of 6 items beneath left out" "the why line of the web"
    keys Down
    expect "docs: folder — no mark of its own; none of the 2 items beneath left out"
    keys Right Down
    expect_selected a.txt text
    expect "a.txt: text — not linked from any published page; no mark of its own"
    keys m Enter
    expect "¶✗ a.txt"
    expect "a.txt: text, Don't Publish — its own mark"
    expect "▾ ■~ docs" "a published folder holding an item left out: the partly sign"
    keys Up
    expect "docs: folder, partly — no mark of its own; 1 of 2 items beneath left out"
    expect "▾ □~ docs"
    keys Down Down m Enter
    expect "≡✗ b.htm"
    expect "▾ ■~ docs" "the window keeps the folder's published image"
    keys Escape F10 Enter Enter
    window_up
    expect "▸ ■✗ docs" "every file left out: the folder shows marked"
    keys Down
    expect "docs: folder, Don't Publish — nothing to publish inside; 2 of 2 items beneath left out"
    keys End Up
    expect "old.htm: page, Don't Publish — its own mark"
    # A folder whose own mark is set while a file in it is published.
    printf 'vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n' >"$web/docs/_vti_cnf/.fp_folder_info"
    rm "$web/docs/_vti_cnf/a.txt"
    keys Escape F10 Enter Enter
    window_up
    keys Down
    expect "docs: folder, partly — marked in the web, but holds published files; 1 of 2 items beneath left out"
    ;;
undo)
    # The write lock's file is the one thing a choice may leave behind.
    sums() { (cd "$web" && find . -type f ! -path ./_vti_pvt/varnook.lock -exec sha256sum {} + | sort); }
    original=$(sums)
    cp "$web/_vti_cnf/zeta.txt" "$work/zeta-before"
    start "$web"
    window_up
    keys Down
    expect_selected docs folder
    keys m Enter
    expect "□✗ docs"
    expect_marked "$web/docs/_vti_cnf/a.txt"
    keys End
    expect_selected zeta.txt text
    keys m Enter
    expect "¶✗ zeta.txt"
    expect_marked "$web/_vti_cnf/zeta.txt"
    keys u
    expect "Note: undid: marked zeta.txt (1 item)"
    expect "¶  zeta.txt"
    # The next key takes the status line; the tree's frame still says what the undo did.
    keys s
    expect "Note: 's' is not a key here"
    expect "─ undid: marked zeta.txt (1 item) ─"
    cmp -s "$web/_vti_cnf/zeta.txt" "$work/zeta-before" || fail "undo did not give zeta.txt's metadata its bytes back"
    keys C-z
    expect "Note: undid: marked docs (3 items)"
    expect "■  docs"
    [[ $(sums) == "$original" ]] || fail "after undoing both choices the web differs: $(diff <(echo "$original") <(sums))"
    [[ ! -e $web/docs/_vti_cnf/a.txt ]] || fail "undo left a metadata file the choice created"
    keys u
    expect "Note: nothing to undo"
    keys U
    expect "Note: redid: marked docs (3 items)"
    expect "■✗ docs"
    expect_marked "$web/docs/_vti_cnf/b.htm"
    keys C-r
    expect "Note: redid: marked zeta.txt (1 item)"
    expect "¶✗ zeta.txt"
    expect_marked "$web/_vti_cnf/zeta.txt"
    grep -q 'vti_author:SR|pat' "$web/_vti_cnf/zeta.txt" || fail "redo lost another property of zeta.txt"
    # A file changed on disk since: the undo says so and changes nothing.
    printf 'vti_encoding:SR|utf8-nl\r\nvti_title:SR|edited\r\n' >"$web/_vti_cnf/zeta.txt"
    keys u
    expect "Error: $web/_vti_cnf/zeta.txt changed on disk since; nothing was changed"
    grep -q 'vti_title:SR|edited' "$web/_vti_cnf/zeta.txt" || fail "a failed undo changed zeta.txt"
    expect_marked "$web/docs/_vti_cnf/b.htm"
    ;;
deep)
    # Deeper than any path the system takes: a choice on the top folder reaches the marked page at the
    # bottom, and its undo puts the mark back.
    cc -O2 -o "$work/chain" "$source_dir/bench/chain.c" || fail "cannot build the chain maker"
    (cd "$work" && ./chain deep 10000) || fail "cannot make a web 10,000 folders deep"
    bottom=$(printf 'd/%.0s' $(seq 10000))deep.htm
    patience=60 # a sanitized build takes its time over 10,000 folders
    start "$work/deep"
    window_up deep
    keys Down
    expect_selected d folder
    keys m Enter
    expect "Note: published 1 item that was marked on its own"
    [[ -z $("$varnook" excluded "$work/deep" 2>&1) ]] || fail "the page at the bottom is still left out"
    keys u
    expect "Note: undid: published d (1 item)"
    [[ $("$varnook" excluded "$work/deep" 2>&1 | tail -1) == "$bottom" ]] ||
        fail "the undo did not mark the page at the bottom again"
    ;;
publish-warning)
    start "$web"
    window_up
    keys Down Right Down
    expect_selected a.txt text
    keys m Enter
    expect "¶✗ a.txt"
    keys Down m Enter
    expect "≡✗ b.htm"
    a_marked=$(cat "$web/docs/_vti_cnf/a.txt")
    keys Escape F10 Enter Enter
    window_up
    keys Down
    expect_selected docs "folder, Don't Publish"
    keys m
    expect "│ ✓ Don't Publish "
    keys Enter
    expect "Note: published 2 items that were marked on their own — u to undo"
    expect_unmarked "$web/docs/_vti_cnf/a.txt"
    keys u
    expect "Note: undid: published docs (2 items)"
    [[ $(cat "$web/docs/_vti_cnf/a.txt") == "$a_marked" ]] || fail "undo did not restore a.txt's mark"
    expect_marked "$web/docs/_vti_cnf/b.htm"
    expect "□✗ docs" "the tree is filled again from the files"
    ;;
scroll)
    for i in $(seq -w 1 60); do printf 'x' >"$web/f$i.txt"; done
    start "$web"
    window_up
    first=$(screen | grep -F "▾ ◆")
    [[ $first == *"█ │"* ]] || fail "at the top the thumb starts the track: $first"
    keys End
    expect_selected zeta.txt text
    last=$(screen | grep -F "zeta.txt")
    [[ $last == *"¶  zeta.txt"*"█ │"* ]] || fail "at the last node the thumb does not reach the track's end: $last"
    ;;
links)
    printf '<a href="old.htm">old</a> <a href="docs/a.txt">a</a> <a href="docs/a.txt#top">a again</a>' >"$web/index.htm"
    printf '<a href="zeta.txt">zeta</a>' >"$web/old.htm"
    start "$web"
    window_up
    expect "≡✗ old.htm !" "a marked page a published page links to"
    expect "¶  zeta.txt  " "a page left out links to zeta.txt: no warning"
    keys End
    expect "zeta.txt: text — not linked from any published page" "only a page left out links to it"
    keys Home Down Right Down
    expect "a.txt: text — no mark of its own" "the home page links to it"
    keys Left Left
    keys End Up
    expect "old.htm: page, Don't Publish — linked from index.htm: this link will break; its own mark"
    keys Home Down Right Down
    expect_selected a.txt text
    keys m Enter
    expect "Note: a.txt: linked from index.htm: these links will break" "marking it says so at once"
    expect "¶✗ a.txt !"
    keys Escape F10 Enter Enter
    window_up
    keys Down Right
    expect "¶✗ a.txt !" "a fresh window reads the links again"
    keys End Up m
    expect "│ ✓ Don't Publish "
    keys Enter
    expect "≡  old.htm"
    expect_gone "old.htm !" "published, it warns no more"
    keys End m Enter
    expect "Note: zeta.txt: linked from old.htm: this link will break" "a page published since counts"
    keys F1 PageDown
    expect "!  (yellow) left out, but a published page links to it"
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
