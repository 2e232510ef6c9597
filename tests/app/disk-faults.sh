#!/usr/bin/env bash
# The disk web's faults as a person meets them at the command line: a folder swapped for a link while a
# marking runs, a web deeper than any path, two markings at once, another user's metadata files written
# by root, metadata with CR line ends, and temporary files a killed run left behind.
#   disk-faults.sh VARNOOK SOURCE_DIR
set -u
varnook=$(realpath "$1")
source_dir=$(realpath "$2")
work=$(mktemp -d /tmp/varnook-faults-XXXXXX)
swapper=""
cleanup() {
    [ -n "$swapper" ] && kill "$swapper" 2>/dev/null && wait "$swapper" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
marked=$'vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n'
plain=$'vti_encoding:SR|utf8-nl\r\n'

# new_web NAME: an empty web (the editor's _vti_pvt only).
new_web() { mkdir -p "$work/$1/_vti_pvt"; echo "$work/$1"; }
# files DIR N: N pages in DIR.
files() { mkdir -p "$1"; for ((i = 0; i < $2; i++)); do : >"$1/p$i.htm"; done; }

# 1. A folder swapped for a link to a folder outside while a marking walks it, the name always there
#    (an atomic exchange): nothing outside changes, whatever the marking makes of it.
cc -O2 -o "$work/exchange" "$source_dir/tests/app/exchange.c" || exit 2
cc -O2 -o "$work/chain" "$source_dir/bench/chain.c" || exit 2
web=$(new_web swap)
files "$web/sub" 5000
mkdir -p "$work/outside"
: >"$work/outside/keep.htm"
ln -s "$work/outside" "$web/sub.link"
"$work/exchange" "$web" sub sub.link &
swapper=$!
for ((run = 0; run < 10; run++)); do
    "$varnook" toggle "$web" sub >/dev/null 2>&1
done
kill "$swapper"
wait "$swapper" 2>/dev/null
swapper=""
check "a folder swapped for a link leads no write outside the web" \
    test "$(cd "$work/outside" && find . | sort | tr '\n' ' ')" = ". ./keep.htm "

# 2. Deeper than any path: 10,000 levels, a marked page at the bottom that a deploy must leave out.
(cd "$work" && ./chain deep 10000) || exit 2
bottom=$(printf 'd/%.0s' $(seq 10000))deep.htm
check "tree reaches the bottom of 10,000 levels" \
    test "$("$varnook" tree --tsv "$work/deep" 2>/dev/null | wc -l)" -eq 10002
check "excluded names the marked page at the bottom" \
    test "$("$varnook" excluded "$work/deep" 2>/dev/null | tail -1)" = "$bottom"
"$varnook" toggle "$work/deep" d >/dev/null 2>&1
check "a toggle of the top folder publishes the page at the bottom" \
    test "$("$varnook" tree --tsv "$work/deep" 2>/dev/null | tail -1 | cut -f2,4)" = "$work/deep/$bottom"$'\tpage'
check "and a deploy leaves nothing out" test -z "$("$varnook" excluded "$work/deep" 2>/dev/null)"

# 3. Two toggles of the same folder at once cancel out, as they do one after the other.
web=$(new_web twice)
files "$web/a" 500
for run in 1 2 3; do
    "$varnook" toggle "$web" a >/dev/null 2>&1 &
    first=$!
    "$varnook" toggle "$web" a >/dev/null 2>&1
    wait "$first"
    check "two toggles at once leave nothing marked (run $run)" test -z "$("$varnook" excluded "$web" 2>/dev/null)"
done

# 4. Root writes another user's metadata file: owner, group and mode stay.
if [ "$(id -u)" -eq 0 ] && getent passwd nobody >/dev/null; then
    web=$(new_web owned)
    mkdir -p "$web/_vti_cnf"
    : >"$web/p.htm"
    printf '%s' "$plain" >"$web/_vti_cnf/p.htm"
    chown nobody "$web/_vti_cnf/p.htm"
    chmod 640 "$web/_vti_cnf/p.htm"
    "$varnook" mark "$web" p.htm >/dev/null 2>&1
    check "root keeps another user's metadata file that user's, mode 640" \
        test "$(stat -c '%U %a' "$web/_vti_cnf/p.htm")" = "nobody 640"
    check "and the mark is in it" grep -q 'vti_donotpublish' "$web/_vti_cnf/p.htm"
else
    echo "skipped: ownership (needs root and a user nobody)"
fi

# 5. Metadata with CR line ends reads as marked, and a toggle keeps its line ends.
web=$(new_web cr)
mkdir -p "$web/_vti_cnf"
: >"$web/p.htm"
printf 'vti_encoding:SR|utf8-nl\rvti_donotpublish:BW|true\r' >"$web/_vti_cnf/p.htm"
check "a CR-only metadata file reads marked" test "$("$varnook" excluded "$web" 2>/dev/null)" = "p.htm"
"$varnook" toggle "$web" p.htm >/dev/null 2>&1
"$varnook" toggle "$web" p.htm >/dev/null 2>&1
check "two toggles give it back with its CR line ends" \
    test "$(od -An -c "$web/_vti_cnf/p.htm" | tr -s ' ' | tr -d '\n')" = \
    "$(printf 'vti_encoding:SR|utf8-nl\rvti_donotpublish:BW|true\r' | od -An -c | tr -s ' ' | tr -d '\n')"

# 6. Temporary files of a killed run: a reader leaves them, the next writer removes them.
web=$(new_web stale)
mkdir -p "$web/_vti_cnf"
: >"$web/p.htm"
printf '%s' "$marked" >"$web/_vti_cnf/.varnook\\99999-7.tmp"
"$varnook" tree "$web" >/dev/null 2>&1
check "a reader leaves a stale temporary file alone" test -e "$web/_vti_cnf/.varnook\\99999-7.tmp"
"$varnook" toggle "$web" p.htm >/dev/null 2>&1
check "the next writer removes it" test ! -e "$web/_vti_cnf/.varnook\\99999-7.tmp"

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
